#include "editors/script_catalogue.h"

#include <gtest/gtest.h>

namespace ov::editors {
namespace {

using files::ScriptingRec;

ScriptingRec item(const char* action) {
  ScriptingRec r;
  r.Action = action;
  return r;
}

TEST(ScriptCatalogue, TabsOfStoredActionsAndOlderNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"Send Keys", "Keys"}, {"Send Keystrokes", "Keys"}, {"Wait", "Wait"}, {"Set Focus", "Focus"},
      {"If Window...", "IfWin"}, {"If Time Elapsed...", "IfTime"}, {"If File Exists...", "IfFile"},
      {"If Value...", "IfVar"}, {"Set Value", "SetVar"}, {"Start Loop", "Loop"}, {"Start Script", "Script"},
      {"Send Email", "Email"}, {"Get Email", "Pop"}, {"File Actions", "File"}, {"Start Program", "Start"},
      {"Display Message", "Msg"}, {"Close Program", "Close"}, {"System", "Sys"}, {"DDE", "DDE"},
      {"DDE (Dynamic Data Exchange)", "DDE"}, {"Comment", "Comment"}, {"...End If", "Other"},
      {"Exit Loop", "Other"}, {"Something New", "Other"}, {"wait", "Other"}};
  for (const auto& [action, tab] : cases) EXPECT_EQ(ActionTab(action), tab) << action;
  EXPECT_TRUE(ActionNeedsNoValues("...End Loop"));
  EXPECT_FALSE(ActionNeedsNoValues("Wait"));
  EXPECT_EQ(FileActionList().size(), 17u);
  EXPECT_EQ(ReservedValueNames().size(), 18u);
  EXPECT_EQ(ReservedValueNames(true).back(), "CLIPBOARD");
  EXPECT_EQ(KeyList().size(), 56u);
}

TEST(ScriptCatalogue, WaitCombinationOnlyWithSecondsAndWindow) {
  EXPECT_EQ(WaitCombination(5, "", "Both"), "");
  EXPECT_EQ(WaitCombination(0, "Editor", "Either"), "");
  EXPECT_EQ(WaitCombination(5, "Editor", ""), "Both");
  EXPECT_EQ(WaitCombination(5, "Editor", "Either"), "Either");

  ScriptingRec w = item("Wait");
  ItemLocals l = ReadItemLocals(w);
  l.waitCombination = WaitCombination(5, "", "Both");
  WriteItemLocals(l, w);
  EXPECT_TRUE(w.DDEApplicationName.isBlank());
}

TEST(ScriptCatalogue, FileActionSwitchesReplaceTheFtpValues) {
  ScriptingRec r = item("File Actions");
  r.DDEType = "Copy";
  ItemLocals l = ReadItemLocals(r);
  l.ftpUser = "anne";
  l.ftpPassword = "secret";
  l.fileThird = "host";
  l.newerFiles = true;
  l.includeFolders = true;
  WriteItemLocals(l, r);
  EXPECT_EQ(r.DDEApplicationName.str(), "/D");
  EXPECT_EQ(r.DDEApplicationTopic.str(), "/S");
  const ItemLocals back = ReadItemLocals(r);
  EXPECT_TRUE(back.newerFiles);
  EXPECT_TRUE(back.includeFolders);
  EXPECT_FALSE(back.renameFiles);
  EXPECT_EQ(back.ftpUser, "/S");  // the topic now holds the switch, no user
  EXPECT_EQ(back.ftpPassword, "");
}

TEST(ScriptCatalogue, FtpUserAndFullLengthPasswordRoundTrip) {
  ScriptingRec r = item("File Actions");
  r.DDEType = "FTP Upload";
  ItemLocals l;
  l.fileThird = "ftp.example.org";
  l.ftpUser = std::string(128, 'u');
  l.ftpPassword = std::string(126, 'p') + "!";  // 127 characters: every one is kept
  WriteItemLocals(l, r);
  const ItemLocals back = ReadItemLocals(r);
  EXPECT_EQ(back.ftpUser, l.ftpUser);
  EXPECT_EQ(back.ftpPassword, l.ftpPassword);
  EXPECT_EQ(back.fileThird, "ftp.example.org");
}

TEST(ScriptCatalogue, DisplayMessageKeepsFullWidthTexts) {
  ScriptingRec r = item("Display Message");
  const std::string message(200, 'm'), title(120, 't');
  r.DDEApplicationName = message;
  r.DDEApplicationTopic = title;
  r.SecondsToWait = 1;
  ItemLocals l = ReadItemLocals(r);
  EXPECT_EQ(l.messageText, message);
  EXPECT_EQ(l.messageTitle, title);
  EXPECT_TRUE(l.windowsDialog);
  l.windowsDialog = false;
  WriteItemLocals(l, r);
  EXPECT_EQ(r.DDEApplicationName.str(), message);
  EXPECT_EQ(r.DDEApplicationTopic.str(), title);
  EXPECT_EQ(r.SecondsToWait, 0);
}

TEST(ScriptCatalogue, StartProgramSavesOnlyTheWaitCharacter) {
  ScriptingRec r = item("Start Program");
  r.DDEApplicationName = "03H11";
  ItemLocals l = ReadItemLocals(r);
  EXPECT_FALSE(l.waitForProgram);
  l.waitForProgram = true;
  WriteItemLocals(l, r);
  EXPECT_EQ(r.DDEApplicationName.str(), "13H11");
}

TEST(ScriptCatalogue, SystemAndGetEmailSlices) {
  ScriptingRec s = item("System");
  ItemLocals l = ReadItemLocals(s);
  EXPECT_EQ(l.systemAction, "Reboot");
  l.systemAction = "Logon as";
  l.logonUser = "anne";
  l.logonPassword = "pw";
  l.logonDomain = "home";
  WriteItemLocals(l, s);
  EXPECT_EQ(s.DDEType.str(), "Logon as");
  EXPECT_EQ(s.DDECommand.view().substr(0, 4), "anne");
  EXPECT_EQ(s.DDECommand.view().substr(64, 2), "pw");
  EXPECT_EQ(s.DDECommand.view().substr(128, 4), "home");
  const ItemLocals back = ReadItemLocals(s);
  EXPECT_EQ(back.logonUser, "anne");
  EXPECT_EQ(back.logonPassword, "pw");
  EXPECT_EQ(back.logonDomain, "home");

  ScriptingRec g = item("Get Email");
  ItemLocals m;
  m.mailServer = "pop.example.org";
  m.mailUser = "anne";
  m.mailPassword = "pw";
  m.deleteAfterRetrieving = true;
  m.attachmentsFolder = "/tmp/a";
  m.messageFolder = "/tmp/m";
  m.mailParameters = "-x";
  WriteItemLocals(m, g);
  const ItemLocals gb = ReadItemLocals(g);
  EXPECT_EQ(gb.mailServer, "pop.example.org");
  EXPECT_EQ(gb.mailPassword, "pw");
  EXPECT_TRUE(gb.deleteAfterRetrieving);
  EXPECT_EQ(g.EmailID, 1);
  EXPECT_EQ(gb.mailParameters, "-x");
}

TEST(ScriptCatalogue, TabDefaultsAsTheFormOpens) {
  ScriptingRec f = item("File Actions");
  f.DDEType = "Shred";
  f.DDEApplicationName = "x";
  f.DDEApplicationTopic = "y";
  ApplyTabDefaults(f);
  EXPECT_EQ(f.DDEType.str(), "Copy");
  EXPECT_TRUE(f.DDEApplicationName.isBlank());
  EXPECT_TRUE(f.DDEApplicationTopic.isBlank());

  ScriptingRec loop = item("Start Loop");
  loop.DDEType = "Sometimes";
  ApplyTabDefaults(loop);
  EXPECT_EQ(loop.DDEType.str(), "Count");
  EXPECT_EQ(loop.SecondsToWait, 1);

  ScriptingRec v = item("If Value...");
  ApplyTabDefaults(v);
  EXPECT_EQ(v.WindowTitleToCheckFor.str(), "=");
  EXPECT_EQ(v.Command.str(), "FILEEXISTS");
  EXPECT_EQ(v.WaitForWindow.str(), "1");

  ScriptingRec set = item("Set Value");
  set.DDEType = "Set something";
  set.DDEApplicationName = "a.ini";
  ApplyTabDefaults(set);
  EXPECT_EQ(set.DDEType.str(), "Set value");
  EXPECT_TRUE(set.DDEApplicationName.isBlank());

  ScriptingRec script = item("Start Script");
  script.Path = "jump";
  ApplyTabDefaults(script);
  EXPECT_EQ(script.Path.str(), "Jump to (Execute and skip)");
  EXPECT_EQ(StartMethodFor("append"), "Append");
  EXPECT_EQ(StartMethodFor("x"), "Insert (Execute and continue)");

  ScriptingRec t = item("If Time Elapsed...");
  ApplyTabDefaults(t);
  EXPECT_EQ(t.IfTimeElapsed.str(), "Less than");
  ScriptingRec w = item("Wait");
  ApplyTabDefaults(w);
  EXPECT_EQ(w.DDEApplicationName.str(), "Either");
}

}  // namespace
}  // namespace ov::editors
