// The archiver's (qmtbacka) windows: the frame "QMT Backup Module" with its menus and toolbar, the
// archive window listing the open archive's members on a thread of its own, the dialogs of the
// operations (preferences, password, file comment, selection, archive comment, information) and
// About / System Info. The work itself is in archive_state.h and archive_operations.h.
#pragma once

#include <string>

#include "backup/archive_operations.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/queue.h"
#include "platform/ui/window_manager.h"

namespace ov::backup {

// Controls of the frame that other threads post to.
namespace archiver {
constexpr int kNewArchive = -101, kOpenArchive = -102, kCloseArchive = -103, kInformation = -104,
              kExit = -105, kCut = -106, kCopy = -107, kPaste = -108, kPrintSetup = -109, kAdd = -111, kDelete = -112, kExtract = -113, kTest = -114,
              kPreferences = -121, kAbout = -131, kTbNew = -141, kTbOpen = -142, kTbInfo = -143,
              kTbZip = -144, kTbDelete = -145, kTbUnzip = -146, kTbTest = -147, kTbComment = -148,
              kTbAbout = -149;
// Posted to the archive window when the right button is released over its member list.
constexpr int kMemberPopup = 0x500 + 20;
}  // namespace archiver

class ArchiverFrame : public ui::WindowManager {
 public:
  explicit ArchiverFrame(std::string recommend = {}) : WindowManager("Main"), m_recommend(std::move(recommend)) {}
  ui::Level Init() override;
  ui::Level TakeAccepted() override;
  ui::Level TakeWindowEvent() override;
  ui::Level Kill() override;

 private:
  void openArchiveWindow(const std::string& name);
  void closeArchive();
  void enableArchiveCommands(bool on);
  void runAdd();
  void runSelection(int which);
  std::string m_recommend;
  bool m_opened = false;
};

// The member list of the open archive.
// One row of the archive window's member list, a column per field, formatted for showing.
struct MemberListRow {
  rt::String<8> Seq;  // "* " in front of a marked member's number
  rt::String<255> Filename;
  rt::String<12> Date, Time, Size;
  rt::String<6> Ratio;
  rt::String<12> Packed, Method;
  rt::String<10> Crc;
  rt::String<8> Attributes;
  rt::String<255> Comment;
};
MemberListRow memberListRow(const MemberRow& row);

class DisplayArchiveWindow : public ui::WindowManager {
 public:
  DisplayArchiveWindow() : WindowManager("DisplayArchive") {}
  ui::Level Init() override;
  ui::Level TakeAccepted() override;
  ui::Level TakeFieldEvent() override;
  ui::Level TakeWindowEvent() override;
  ui::Level Kill() override;
  // The list shown again from the member list (after an operation).
  void refresh();
  int currentRow() const;

 private:
  void memberPopup();
  rt::Queue<MemberListRow> m_rows;
  int m_list = 0, m_all = 0, m_clear = 0;
  int m_formerProc = 0, m_popupProc = 0;
};

// The formatted list line of a member.
std::string memberLine(const MemberRow& row);

// The program body: archive state, frame, end.
int RunArchiverProgram();

// The thread of the open archive window, 0 when none.
int archiveWindowThread();

}  // namespace ov::backup
