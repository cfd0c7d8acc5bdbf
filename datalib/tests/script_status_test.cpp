#include "datalib/script_status.h"

#include <gtest/gtest.h>

#include <functional>

#include "datalib/date_string_functions.h"

using namespace ov::files;

namespace {

ScriptingRec step(std::string_view action, const std::function<void(ScriptingRec&)>& fill = {}) {
  ScriptingRec r;
  r.Action = action;
  if (fill) fill(r);
  return r;
}

// The run-as account slices of the command field: user 1-64, password 65-128, domain 129-192.
void setRunAs(ScriptingRec& r, std::string_view user, std::string_view password) {
  std::string all(192, ' ');
  all.replace(0, user.size(), user);
  all.replace(64, password.size(), password);
  r.DDECommand = all;
}

struct StatusCase {
  const char* name;
  ScriptingRec step;
  const char* want;
};

}  // namespace

TEST(ScriptStatus, DescribesEachAction) {
  const StatusCase kCases[] = {
      {"comment", step("Comment", [](auto& r) { r.Command = "check the backup"; }), "check the backup"},
      {"wait 180 s", step("Wait", [](auto& r) { r.SecondsToWait = 180; }), "3 minutes"},
      {"wait 90 s", step("Wait", [](auto& r) { r.SecondsToWait = 90; }), "90 seconds"},
      {"wait 120 s", step("Wait", [](auto& r) { r.SecondsToWait = 120; }), "120 seconds"},
      {"wait 150 s", step("Wait", [](auto& r) { r.SecondsToWait = 150; }), "150 seconds"},
      {"wait for a window too",
       step("Wait", [](auto& r) { r.SecondsToWait = 60; r.WaitForWindow = "Notepad"; r.DDEApplicationName = "Both"; }),
       "60 seconds Both Notepad"},
      {"wait for a window only",
       step("Wait", [](auto& r) { r.WaitForWindow = "Save As"; r.FocusOnWindow = "Edit"; }),
       "Save As (containing Edit)"},
      {"close focused window", step("Close Program"), "Window with focus"},
      {"close program", step("Close Program", [](auto& r) { r.Command = "gedit"; }), "gedit"},
      {"start program",
       step("Start Program", [](auto& r) { r.Command = "/usr/bin/xterm -e top"; r.Path = "/tmp"; }),
       "/usr/bin/xterm -e top /tmp"},
      {"start script", step("Start Script", [](auto& r) { r.Command = "/s/a.ovs"; r.Path = "I"; }), "/s/a.ovs I"},
      {"run-as wait, with domain",
       step("Wait for Program End", [](auto& r) { r.Command = "ExecuteAs u=\"bob\" p=\"pw\" d=\"lan\" calc.exe x"; }),
       "calc.exe x"},
      {"run-as wait, no domain",
       step("Wait for Program End", [](auto& r) { r.Command = "executeas u=\"bob\" p=\"pw\" calc"; r.Path = "/tmp"; }),
       "calc /tmp"},
      {"run-as wait, password handed over in a file",
       step("Wait for Program End", [](auto& r) {
         r.Command = "/opt/ExecuteAs u=\"bob\" PASSWORDFILE=\"/run/o/secret-1\" d=\"\" tool p=zz";
       }),
       "tool p=zz"},
      {"run-as wait without quotes shows nothing of the command",
       step("Wait for Program End", [](auto& r) { r.Command = "executeas u=bob p=pw calc"; }), ""},
      {"system log on as",
       step("System", [](auto& r) { r.DDEType = "Log on as"; setRunAs(r, "bob", "secret"); }), "Log on as bob"},
      {"system service",
       step("System", [](auto& r) { r.DDEType = "Start service"; r.Command = "cups"; }), "Start service cups"},
      {"system reboot", step("System", [](auto& r) { r.DDEType = "Reboot"; }), "Reboot"},
      {"set value", step("Set Value", [](auto& r) { r.Path = "X"; r.Command = "5"; }), "[X] =5"},
      {"set value from INI",
       step("Set Value", [](auto& r) {
         r.Path = "X"; r.Command = "5"; r.DDEType = "Set value from INI";
         r.DDEApplicationTopic = "Sec"; r.DDEApplicationName = "a.ini";
       }),
       "[X] =5 under [Sec] in a.ini"},
      {"set INI from value",
       step("Set Value", [](auto& r) {
         r.Path = "X"; r.Command = "5"; r.DDEType = "Set INI from value";
         r.DDEApplicationTopic = "Sec"; r.DDEApplicationName = "a.ini";
       }),
       "X under [Sec] in a.ini = \"5\""},
      {"if value",
       step("If Value...", [](auto& r) { r.Command = "[X]"; r.WindowTitleToCheckFor = "="; r.WaitForWindow = "5"; }),
       "[X] = 5"},
      {"file copy",
       step("File Actions", [](auto& r) { r.DDEType = "Copy"; r.Command = "a.txt"; r.Path = "/b"; }),
       "Copy a.txt to /b"},
      {"file delete", step("File Actions", [](auto& r) { r.DDEType = "Delete"; r.Command = "a.txt"; r.Path = "/b"; }),
       "Delete a.txt"},
      {"file date", step("File Actions", [](auto& r) { r.DDEType = "Get File Date"; r.Command = "a"; }),
       "Get File Date a"},
      {"send keys", step("Send Keys", [](auto& r) { r.Keystrokes = "abc{Enter}"; }), "abc{Enter}"},
      {"send keystrokes", step("Send Keystrokes", [](auto& r) { r.Keystrokes = "x"; }), "x"},
      {"dde", step("DDE", [](auto& r) { r.DDEType = "Execute"; r.DDEApplicationName = "prog"; r.DDEApplicationTopic = "sys"; }),
       "Execute prog sys"},
      {"message with a timed window",
       step("Display Message", [](auto& r) {
         r.DDEApplicationName = "Hello"; r.DDEApplicationTopic = "World"; r.SecondsToWait = 5; r.FocusOnWindow = "Win";
       }),
       "Hello World <Win>"},
      {"message without time",
       step("Message", [](auto& r) { r.DDEApplicationName = "Hello"; r.FocusOnWindow = "Win"; }), "Hello"},
      {"set focus",
       step("Set Focus", [](auto& r) { r.FocusOnWindow = "Notepad"; r.WaitForWindow = "Untitled"; }),
       "Notepad (containing Untitled)"},
      {"loop count", step("Start Loop", [](auto& r) { r.DDEType = "Count"; r.SecondsToWait = 5; }), "5 times"},
      {"loop while",
       step("Start Loop", [](auto& r) {
         r.DDEType = "While"; r.Command = "[N]"; r.WindowTitleToCheckFor = "<"; r.WaitForWindow = "5";
       }),
       "While [N] < 5"},
      {"loop files", step("Start Loop", [](auto& r) { r.DDEType = "Files"; r.Command = "/t/*.txt"; }), "Files /t/*.txt"},
      {"loop forever", step("Start Loop", [](auto& r) { r.DDEType = "Forever"; }), "Forever"},
      {"end loop", step("...End Loop", [](auto& r) { r.Command = "x"; }), ""},
      {"if file exists",
       step("If File Exists...", [](auto& r) { r.Command = "a.txt"; r.WindowExistance = "Exists"; }), "a.txt (Exists)"},
      {"if window",
       step("If Window...", [](auto& r) { r.WindowTitleToCheckFor = "Notepad"; r.WindowExistance = "Exists"; }),
       "Notepad Exists"},
      {"if window with a child",
       step("If Window...", [](auto& r) {
         r.WindowTitleToCheckFor = "Notepad"; r.WindowExistance = "Exists"; r.FocusOnWindow = "Edit";
       }),
       "Notepad (containing Edit) Exists"},
      {"if time elapsed", step("If Time Elapsed...", [](auto& r) { r.TimeElapsed = 300; }), "5 minutes"},
      {"send email", step("Send Email", [](auto& r) { r.EmailID = 12; }), "Message #12"},
      {"send e-mail with a title",
       step("Send E-mail", [](auto& r) { r.EmailID = 12; r.WindowTitleToCheckFor = "Weekly"; }),
       "Weekly - Message #12"},
      {"get email",
       step("Get Email", [](auto& r) {
         r.Command = "pop.x.org"; r.Path = "bob"; r.DDECommand = "secret"; r.DDEApplicationName = "/tmp/att";
         r.DDEApplicationTopic = "/tmp/txt"; r.WindowTitleToCheckFor = "/F"; r.EmailID = 1;
       }),
       "pop.x.org bob ****** /tmp/att /tmp/txt /F /DELETE"},
      {"get email, no deletion",
       step("Get Email", [](auto& r) { r.Command = "pop"; r.Path = "bob"; r.DDECommand = "pä\"s"; }), "pop bob ****"},
      {"unknown action", step("Frobnicate", [](auto& r) { r.Command = "x"; }), ""},
      {"actions compare case-sensitively", step("comment", [](auto& r) { r.Command = "x"; }), ""},
  };
  for (const StatusCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SCRIPTSTATUS(c.step), c.want);
  }
}

TEST(ScriptStatus, ScrambledMailPasswordShowsItsPlainLength) {
  ScriptingRec r = step("Get Email", [](auto& s) { s.Command = "pop"; s.DDECommand = "secret"; });
  String<64> slice = "secret";
  QVDECRYPT(slice);
  r.DDECommand = slice.view();
  EXPECT_EQ(SCRIPTSTATUS(r), "pop  ******");
}

TEST(ScriptStatus, CompanionCommandLinesHideTheirPasswords) {
  struct Case { const char* name; const char* command; const char* want; };
  const Case kCases[] = {
      {"mail receiver", "/opt/ov/ov_pop SERVER=pop USER=bob PASSWORD=\"my pw\" /F",
       "/opt/ov/ov_pop SERVER=pop USER=bob PASSWORD=\"*****\" /F"},
      {"FTP transfer", "ovftp U \"/r/a b.txt\" \"/l/a.txt\" host bob s3cr3t",
       "ovftp U \"/r/a b.txt\" \"/l/a.txt\" host bob ******"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SCRIPTSTATUS(step("Start Program", [&](auto& r) { r.Command = c.command; })), c.want);
  }
}

TEST(ScriptStatus, CutsAt128BytesWithoutSplittingACharacter) {
  EXPECT_EQ(SCRIPTSTATUS(step("Comment", [](auto& r) { r.Command = std::string(200, 'x'); })), std::string(128, 'x'));
  EXPECT_EQ(SCRIPTSTATUS(step("Comment", [](auto& r) { r.Command = std::string(127, 'x') + "é"; })),
            std::string(127, 'x'));
  // Trailing blanks left by the cut are removed too.
  EXPECT_EQ(SCRIPTSTATUS(step("Comment", [](auto& r) { r.Command = std::string(120, 'x') + "        yz"; })),
            std::string(120, 'x'));
}

TEST(MaskPasswords, MasksEveryKindOfPassword) {
  struct Case { const char* name; const char* in; const char* want; };
  const Case kCases[] = {
      {"PASSWORD= in any case", "ov_pop SERVER=a password=secret /DELETE", "ov_pop SERVER=a password=****** /DELETE"},
      {"UTF-8 counts characters", "ov_pop PASSWORD=pässwörd", "ov_pop PASSWORD=********"},
      {"escaped quote stays a quote", "ov_pop PASSWORD=\"a b\\\"c\" x", "ov_pop PASSWORD=\"***\\\"*\" x"},
      {"run-as password, only the first p=", "ExecuteAs u=\"bob\" p=\"pw\" d=\"x\" tool p=zz",
       "ExecuteAs u=\"bob\" p=\"**\" d=\"x\" tool p=zz"},
      {"p= of other programs stays", "tool p=zz", "tool p=zz"},
      {"FTP password is the sixth argument", "\"/My Apps/OVFTP\" D a b host user pass",
       "\"/My Apps/OVFTP\" D a b host user ****"},
      {"FTP line too short to hold one", "ovftp U a b", "ovftp U a b"},
      {"nothing to hide", "notepad a.txt", "notepad a.txt"},
      {"empty", "", ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(maskPasswords(c.in), c.want);
  }
}
