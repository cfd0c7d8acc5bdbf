// The display strings of the report runs: the texts of the progress window and of the preview and
// cancel questions, read from section "DISPLAY STRINGS 2.0" of an INI file each time a report starts.
#pragma once

#include <string>
#include <string_view>

namespace ov::reports {

struct DisplayStrings {
  std::string ProgWinTitlePrvw, ProgWinTitlePrnt, ProgWinPctText, ProgWinRecText, ProgWinUsrText;
  std::string PrinterDlgTitle, AskPrvwDialogTitle, AskPrvwDialogText;
  std::string CancelAreYouSureTitle, CancelAreYouSureText, CancelPrvwPartialTitle, CancelPrvwPartialText;
  std::string NoDfltPrtrTitle, NoDfltPrtrText;
  std::string NothingToPrvwTitle, NothingToPrvwText, NothingToPrntTitle, NothingToPrntText;
  std::string AsciiOutTitle, AsciiOutMasks, DynLblErrTitle, DynLblErrText1, DynLblErrText2;
};

// Reads the 23 strings from `iniFile` ("WIN.INI" when blank), each with its default; the ask text,
// ask title and user text given are the defaults of their three strings.
DisplayStrings LoadReportDisplayStrings(std::string_view askText, std::string_view askTitle,
                                        std::string_view userText, std::string_view iniFile);

}  // namespace ov::reports
