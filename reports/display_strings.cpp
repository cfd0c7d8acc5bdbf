#include "reports/display_strings.h"

#include "platform/rt/ini.h"
#include "platform/rt/text.h"

namespace ov::reports {

DisplayStrings LoadReportDisplayStrings(std::string_view askText, std::string_view askTitle,
                                        std::string_view userText, std::string_view iniFile) {
  std::string file = rt::CLIP(iniFile);
  if (file.empty()) file = "WIN.INI";
  auto get = [&](std::string_view key, std::string_view deflt, size_t width = 64) {
    std::string v = rt::GETINI("DISPLAY STRINGS 2.0", key, deflt, file);
    if (v.size() > width) v.resize(width);
    return v;
  };
  DisplayStrings s;
  s.ProgWinTitlePrvw = get("ProgWinTitlePrvw", "Generating Report");
  s.ProgWinTitlePrnt = get("ProgWinTitlePrnt", "Printing Report");
  s.ProgWinPctText = get("ProgWinPctText", "% Completed");
  s.ProgWinRecText = get("ProgWinRecText", "Records Read");
  s.ProgWinUsrText = get("ProgWinUsrText", userText);
  s.PrinterDlgTitle = get("PrinterDlgTitle", "Report Destination");
  s.AskPrvwDialogTitle = get("AskPrvwDialogTitle", askTitle);
  s.AskPrvwDialogText = get("AskPrvwDialogText", askText);
  s.CancelAreYouSureTitle = get("CancelAreYouSureTitle", "Question");
  s.CancelAreYouSureText = get("CancelAreYouSureText", "Are you sure you want to CANCEL this Report?");
  s.CancelPrvwPartialTitle = get("CancelPrvwPartialTitle", "Question");
  s.CancelPrvwPartialText =
      get("CancelPrvwPartialText", "Report Cancellation Requested!||Preview Report generated so far?", 128);
  s.NoDfltPrtrTitle = get("NoDfltPrtrTitle", "WARNING!");
  s.NoDfltPrtrText = get("NoDfltPrtrText",
                         "Warning:  No DEFAULT Printer Driver Found!||Printing may not occur correctly (or at "
                         "all)|without a Default printer assigned.||Use CONTROL PANEL (PRINTERS) to set a|printer "
                         "as your Default.||Continue with report anyway?",
                         255);
  s.NothingToPrvwTitle = get("NothingToPrvwTitle", "NOTE...");
  s.NothingToPrvwText = get("NothingToPrvwText", "Nothing to Preview.");
  s.NothingToPrntTitle = get("NothingToPrntTitle", "NOTE...");
  s.NothingToPrntText = get("NothingToPrntText", "Nothing to Print.");
  s.AsciiOutTitle = get("AsciiOutTitle", "Save to what Filename?");
  s.AsciiOutMasks = get("AsciiOutMasks", "Text|*.TXT|All Files|*.*");
  s.DynLblErrTitle = get("DynLblErrTitle", "Problem!");
  s.DynLblErrText1 = get("DynLblErrText1", "Sorry!");
  s.DynLblErrText2 = get("DynLblErrText2", "||Does not support paper type:");
  return s;
}

}  // namespace ov::reports
