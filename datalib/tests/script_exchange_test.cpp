#include "datalib/script_exchange.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "datalib/date_string_functions.h"

using namespace ov::files;
namespace fs = std::filesystem;

namespace {

struct TempDir {
  std::string path;
  TempDir() {
    char tmpl[] = "/tmp/ov_exchange_XXXXXX";
    path = ::mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string file(const char* name) const { return path + "/" + name; }
};

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeBytes(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

ScriptingRec step(std::string_view action, const std::function<void(ScriptingRec&)>& fill = {}) {
  ScriptingRec r;
  r.Action = action;
  if (fill) fill(r);
  return r;
}

void setRunAs(ScriptingRec& r, std::string_view user, std::string_view password, std::string_view domain) {
  std::string all(192, ' ');
  all.replace(0, user.size(), user);
  all.replace(64, password.size(), password);
  all.replace(128, domain.size(), domain);
  r.DDECommand = all;
  QVDECRYPT(std::span<char>(r.DDECommand.data() + 64, 64));  // stored scrambled, as the editor keeps it
}

// Field-by-field comparison through the record's descriptor, so a failure names the field.
void expectSameStep(const ScriptingRec& got, const ScriptingRec& want) {
  for (const ov::rt::FieldDesc& f : Desc_SCRIPTING.fields) {
    SCOPED_TRACE(f.name);
    EXPECT_EQ(ov::rt::fieldText(&got, f), ov::rt::fieldText(&want, f));
  }
}

std::string lineOf(const ScriptingRec& s) {
  ExportRec rec;
  EXPECT_EQ(exportScriptRecord(s, rec), 1);
  return formatExchangeLine(rec);
}

ScriptingRec importLine(std::string_view line, uint8_t wantResult = 1) {
  ExportRec rec;
  std::string problem;
  EXPECT_TRUE(parseExchangeLine(line, rec, &problem)) << problem;
  ScriptingRec s;
  EXPECT_EQ(importScriptRecord(rec, s), wantResult);
  return s;
}

}  // namespace

TEST(ScriptExchange, EveryActionRoundTrips) {
  // Every column of every action holds a distinct value; empty middle values show that columns
  // keep their positions.
  const std::pair<const char*, ScriptingRec> kSteps[] = {
      {"close", step("Close Program", [](auto& r) { r.Command = "gedit"; r.Path = "/tmp"; })},
      {"comment", step("Comment", [](auto& r) { r.Command = "note"; })},
      {"start program", step("Start Program", [](auto& r) {
         r.Command = "/usr/bin/xterm"; r.Path = "/home/u"; r.DDEApplicationName = "3"; r.TimeElapsed = 30;
         r.DDEApplicationTopic = "1"; setRunAs(r, "bob", "pä ss!", "LAN");
       })},
      {"start program, no folder", step("Start Program", [](auto& r) {
         r.Command = "xterm"; r.DDEApplicationName = "3"; r.TimeElapsed = 0; r.DDEApplicationTopic = "2";
       })},
      {"display message", step("Display Message", [](auto& r) {
         r.DDEApplicationName = "Hello"; r.DDEApplicationTopic = "World"; r.SecondsToWait = 5; r.FocusOnWindow = "W";
       })},
      {"message", step("Message", [](auto& r) { r.DDEApplicationName = "Hi"; r.FocusOnWindow = "W"; })},
      {"send keys", step("Send Keys", [](auto& r) { r.Keystrokes = "abc{Enter}"; })},
      {"dde", step("DDE (Dynamic Data Exchange)", [](auto& r) {
         r.DDEType = "Execute"; r.DDEApplicationName = "app"; r.DDEApplicationTopic = "sys"; r.DDELinkItem = "it";
         r.DDECommand = "[cmd]";
       })},
      {"system", step("System", [](auto& r) {
         r.DDEType = "Start service"; setRunAs(r, "admin", "pw", ""); r.Command = "cups";
       })},
      {"set focus", step("Set Focus", [](auto& r) { r.FocusOnWindow = "Notepad"; r.WaitForWindow = "Edit"; })},
      {"wait", step("Wait", [](auto& r) {
         r.SecondsToWait = 90; r.WaitForWindow = "Save"; r.DDEApplicationName = "Either"; r.FocusOnWindow = "OK";
       })},
      {"if window", step("If Window...", [](auto& r) {
         r.WindowExistance = "Does not exist"; r.WindowTitleToCheckFor = "Calc"; r.FocusOnWindow = "x";
       })},
      {"if time elapsed", step("If Time Elapsed...", [](auto& r) { r.IfTimeElapsed = "Greater than"; r.TimeElapsed = 600; })},
      {"end if", step("...End If")},
      {"exit script", step("Exit Script")},
      {"end loop", step("...End Loop")},
      {"exit loop", step("Exit Loop")},
      {"file actions", step("File Actions", [](auto& r) {
         r.DDEType = "Copy"; r.Command = "/a/*.txt"; r.Path = "/b"; r.DDEApplicationTopic = "/S";
       })},
      {"get email", step("Get Email", [](auto& r) {
         r.Command = "pop.x.org"; r.Path = "bob"; r.DDECommand = "secret"; r.DDEApplicationTopic = "/tmp/t";
         r.WindowTitleToCheckFor = "/F"; r.EmailID = 1;
       })},
      {"send email", step("Send Email", [](auto& r) {
         r.EmailID = 42;
         r.WindowTitleToCheckFor = "Weekly report - boss@example.org";
       })},
      {"send e-mail", step("Send E-mail", [](auto& r) { r.EmailID = 7; })},
      {"set value", step("Set Value", [](auto& r) {
         r.Path = "X"; r.Command = "key"; r.DDEType = "Set value from INI"; r.DDEApplicationName = "a.ini";
         r.DDEApplicationTopic = "Sec";
       })},
      {"if value", step("If Value...", [](auto& r) { r.Command = "[X]"; r.WindowTitleToCheckFor = ">="; r.WaitForWindow = "5"; })},
      {"if file exists", step("If File Exists...", [](auto& r) { r.Command = "/tmp/a"; r.WindowExistance = "Exists"; })},
      {"start loop", step("Start Loop", [](auto& r) {
         r.DDEType = "While"; r.SecondsToWait = 0; r.Command = "[N]"; r.WindowTitleToCheckFor = "<"; r.WaitForWindow = "9";
       })},
      {"start script", step("Start Script", [](auto& r) { r.Command = "/s/x.ovs"; r.Path = "J"; })},
  };
  for (const auto& [name, original] : kSteps) {
    SCOPED_TRACE(name);
    ScriptingRec back = importLine(lineOf(original));
    expectSameStep(back, original);
  }
}

TEST(ScriptExchange, LinesHoldTheColumnsOfTheTable) {
  struct Case { const char* name; ScriptingRec step; const char* line; };
  const Case kCases[] = {
      {"display message: exactly four fields",
       step("Display Message", [](auto& r) {
         r.DDEApplicationName = "Hello"; r.DDEApplicationTopic = "World"; r.SecondsToWait = 5; r.FocusOnWindow = "Win";
       }),
       R"("Display Message","Hello","World","5","Win","","","","","","")"},
      {"start program keeps an empty folder column",
       step("Start Program", [](auto& r) { r.Command = "xterm"; r.DDEApplicationName = "3"; }),
       R"("Start Program","xterm","","3","0","","","","","","")"},
      {"system: type, user, password, domain, command",
       step("System", [](auto& r) { r.DDEType = "Log on as"; setRunAs(r, "bob", "pw", "LAN"); }),
       R"("System","Log on as","bob","pw","LAN","","","","","","")"},
      {"old name written new", step("Send Keystrokes", [](auto& r) { r.Keystrokes = "x"; }),
       R"("Send Keys","x","","","","","","","","","")"},
      {"no columns", step("Exit Loop"), R"("Exit Loop","","","","","","","","","","")"},
      {"keys with line ends, quote and tab",
       step("Send Keys", [](auto& r) { r.Keystrokes = "a\r\nb\"c\td"; }),
       R"("Send Keys","a<13><10>b<34>c<9>d","","","","","","","","","")"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lineOf(c.step), c.line);
  }
}

TEST(ScriptExchange, EmptyMiddleColumnDoesNotShiftLaterValues) {
  // As written by hand or by an earlier version: no start folder, then the window mode.
  ScriptingRec s = importLine(R"("Start Program","/usr/bin/xterm","","3","25","1","","","","","")");
  EXPECT_EQ(s.Command.clipped(), "/usr/bin/xterm");
  EXPECT_TRUE(s.Path.isBlank());
  EXPECT_EQ(s.DDEApplicationName.clipped(), "3");
  EXPECT_EQ(s.TimeElapsed, 25);
  EXPECT_EQ(s.DDEApplicationTopic.clipped(), "1");
  ScriptingRec g = importLine(R"("Get Email","pop","","","","/tmp/t","/F","1")");
  EXPECT_TRUE(g.Path.isBlank());
  EXPECT_EQ(g.DDEApplicationTopic.clipped(), "/tmp/t");
  EXPECT_EQ(g.WindowTitleToCheckFor.clipped(), "/F");
  EXPECT_EQ(g.EmailID, 1);
}

TEST(ScriptExchange, EscapesReadBackAndOtherBracketsStay) {
  struct Case { const char* escaped; const char* plain; };
  const Case kCases[] = {
      {"a<13><10>b", "a\r\nb"}, {"<9>x", "\tx"},      {"<09>", "\t"},      {"say <34>hi<34>", "say \"hi\""},
      {"<ab>", "<ab>"},         {"<0>", "<0>"},       {"<00>", "<00>"},    {"<100>", "<100>"},
      {"a<b", "a<b"},           {"<", "<"},           {"<1", "<1"},        {"<<10>>", "<\n>"},
      {"<60>10>", "<10>"},      {"<5<62>", "<5>"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.escaped);
    EXPECT_EQ(unescapeExchangeValue(c.escaped), c.plain);
  }
}

TEST(ScriptExchange, EscapingRoundTripsAnyValue) {
  const char* kValues[] = {"plain", "a\r\nb", "\x01\x1f", "\"\"", "<10>", "<9", "x<34>y<0>", "{Enter}<", "é\tü",
                           "\xD5<13>" /* a stray lead byte does not swallow the "<" */};
  for (const char* v : kValues) {
    SCOPED_TRACE(v);
    std::string escaped = escapeExchangeValue(v);
    EXPECT_EQ(escaped.find_first_of("\"\r\n\t"), std::string::npos);
    EXPECT_EQ(unescapeExchangeValue(escaped), v);
  }
}

TEST(ScriptExchange, ZeroBytesAreDropped) {
  EXPECT_EQ(escapeExchangeValue(std::string("a\0b", 3)), "ab");  // "<0>" would read back as text
}

TEST(ScriptExchange, LongValueIsCutBetweenEscapes) {
  // 252 + 4 bytes of "<10>" would pass 255: the cut falls before the escape, not inside it.
  std::string keys = std::string(252, 'x') + "\nyy";
  EXPECT_EQ(escapeExchangeValue(keys), std::string(252, 'x'));
  std::string accents = std::string(254, 'x') + "é";  // the two-byte "é" does not fit
  EXPECT_EQ(escapeExchangeValue(accents), std::string(254, 'x'));
}

TEST(ScriptExchange, StandardEditsOnImport) {
  struct Case { const char* line; const char* action; std::string (*field)(const ScriptingRec&); const char* want; };
  const auto mode = [](const ScriptingRec& r) { return std::string(r.DDEApplicationName.clipped()); };
  const auto exists = [](const ScriptingRec& r) { return std::string(r.WindowExistance.clipped()); };
  const auto elapsed = [](const ScriptingRec& r) { return std::string(r.IfTimeElapsed.clipped()); };
  const Case kCases[] = {
      {R"("Wait","5","","and","")", "Wait", mode, "Both"},
      {R"("Wait","5","","BOTH","")", "Wait", mode, "Both"},
      {R"("Wait","5","","either","")", "Wait", mode, "Either"},
      {R"("Wait","5","","or","")", "Wait", mode, "or"},
      {R"("If Window...","window exists","Calc")", "If Window...", exists, "Exists"},
      {R"("If Window...","not there","Calc")", "If Window...", exists, "Does not exist"},
      {R"("If Time Elapsed...","greater","60")", "If Time Elapsed...", elapsed, "Greater than"},
      {R"("If Time Elapsed...","less","60")", "If Time Elapsed...", elapsed, "Less than"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.line);
    ScriptingRec s = importLine(c.line);
    EXPECT_EQ(s.Action.clipped(), c.action);
    EXPECT_EQ(c.field(s), c.want);
  }
  ScriptingRec keys = importLine(R"("Send Keystrokes","abc")");
  EXPECT_EQ(keys.Action.clipped(), "Send Keys");
  EXPECT_EQ(keys.Keystrokes.clipped(), "abc");
}

TEST(ScriptExchange, RunAsPasswordIsPlainInTheFileAndScrambledInTheStep) {
  ScriptingRec original = step("Start Program", [](auto& r) { r.Command = "x"; setRunAs(r, "bob", "s3cret", "LAN"); });
  ASSERT_TRUE(original.DDECommand.view().substr(64).starts_with(kScrambleMark));
  std::string line = lineOf(original);
  EXPECT_NE(line.find("\"s3cret\""), std::string::npos) << line;
  ScriptingRec back = importLine(line);
  EXPECT_EQ(back.DDECommand.view(), original.DDECommand.view());
  QVENCRYPT(std::span<char>(back.DDECommand.data() + 64, 64));
  EXPECT_EQ(ov::rt::clipView(back.DDECommand.view().substr(64, 64)), "s3cret");
  EXPECT_EQ(original.DDECommand.view().substr(64, 4), kScrambleMark);  // the step itself is unchanged
}

TEST(ScriptExchange, UnknownActionKeepsOnlyItsName) {
  ScriptingRec odd = step("Frobnicate", [](auto& r) { r.Command = "x"; });
  EXP = ExportRec();
  EXP.Field3 = "stale";
  EXPECT_EQ(EXPORTSCRIPTRECORD(odd), 0);
  EXPECT_EQ(EXP.Type.clipped(), "Frobnicate");
  EXPECT_TRUE(EXP.Field1.isBlank());
  EXPECT_TRUE(EXP.Field3.isBlank());

  ScriptingRec target = step("", [](auto& r) { r.Command = "kept"; r.ID = 9; });
  EXP = ExportRec();
  EXP.Type = "Frobnicate";
  EXP.Field1 = "ignored";
  EXPECT_EQ(IMPORTSCRIPTRECORD(target), 0);
  EXPECT_EQ(target.Action.clipped(), "Frobnicate");
  EXPECT_EQ(target.Command.clipped(), "kept");
  EXPECT_EQ(target.ID, 9);
}

TEST(ScriptExchange, ImportKeepsFieldsOutsideTheTable) {
  ScriptingRec target = step("", [](auto& r) { r.ID = 4; r.Sequence = 2; r.Keystrokes = "kept"; r.Path = "old"; });
  EXP = ExportRec();
  EXP.Type = "Comment";
  EXP.Field1 = "new";
  EXPECT_EQ(IMPORTSCRIPTRECORD(target), 1);
  EXPECT_EQ(target.Command.clipped(), "new");
  EXPECT_EQ(target.Keystrokes.clipped(), "kept");
  EXPECT_EQ(target.Path.clipped(), "old");
  EXPECT_EQ(target.ID, 4);
  EXPECT_EQ(target.Sequence, 2);
}

TEST(ScriptExchange, NumbersFromText) {
  const std::pair<const char*, int32_t> kCases[] = {{"12", 12}, {"-5", -5}, {" 7 ", 7}, {"abc", 0}, {"", 0},
                                                    {"12abc", 0}, {"2.9", 2}, {"99999999999", 0}};
  for (auto [text, want] : kCases) {
    SCOPED_TRACE(text);
    ScriptingRec s = importLine(std::string(R"("Send Email",")") + text + "\"");
    EXPECT_EQ(s.EmailID, want);
  }
}

TEST(ExchangeLine, ParsesQuotedAndBareColumns) {
  ExportRec rec;
  ASSERT_TRUE(parseExchangeLine(R"("Comment","say ""hi""",bare,,"x")", rec));
  EXPECT_EQ(rec.Type.clipped(), "Comment");
  EXPECT_EQ(rec.Field1.clipped(), "say \"hi\"");
  EXPECT_EQ(rec.Field2.clipped(), "bare");
  EXPECT_TRUE(rec.Field3.isBlank());
  EXPECT_EQ(rec.Field4.clipped(), "x");
  EXPECT_TRUE(rec.Field10.isBlank());
  // A value holding a double quote is written so that it reads back.
  EXPECT_TRUE(parseExchangeLine(formatExchangeLine(rec), rec));
  EXPECT_EQ(rec.Field1.clipped(), "say \"hi\"");
}

TEST(ExchangeLine, MalformedLinesAreRefusedWithTheReason) {
  struct Case { std::string line; const char* reason; };
  const Case kCases[] = {
      {R"("Comment","open)", "column 2: the double quote is not closed"},
      {R"("Comment","a"b)", "column 2: text after the closing double quote"},
      {R"(a,b,c,d,e,f,g,h,i,j,k,l)", "12 columns, at most 11"},
      {"\"Comment\",\"" + std::string(256, 'x') + "\"", "column 2 holds 256 bytes, at most 255"},
      {"\"" + std::string(61, 'T') + "\"", "column 1 holds 61 bytes, at most 60"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.line);
    ExportRec rec;
    rec.Type = "untouched";
    std::string problem;
    EXPECT_FALSE(parseExchangeLine(c.line, rec, &problem));
    EXPECT_EQ(problem, c.reason);
    EXPECT_EQ(rec.Type.clipped(), "untouched");
  }
}

TEST(ExchangeFile, WritesCrLfLinesAndReadsThemBack) {
  TempDir dir;
  std::string path = dir.file("script.ovs");
  std::vector<ScriptingRec> steps = {
      step("Send Keys", [](auto& r) { r.Keystrokes = "a\r\n"; }),
      step("Frobnicate"),  // no column table: not written
      step("Wait", [](auto& r) { r.SecondsToWait = 3; }),
  };
  ASSERT_EQ(exportScriptFile(path, steps), ov::rt::Err::None);
  EXPECT_EQ(readBytes(path),
            "\"Send Keys\",\"a<13><10>\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
            "\"Wait\",\"3\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // may hold run-as passwords

  std::vector<ImportedStep> back;
  ASSERT_EQ(importScriptFile(path, back), ov::rt::Err::None);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_TRUE(back[0].known);
  EXPECT_EQ(back[0].step.Keystrokes.clipped(), "a\r\n");
  EXPECT_EQ(back[1].step.SecondsToWait, 3);
  EXPECT_EQ(fs::directory_iterator(dir.path)->path().filename(), "script.ovs");  // no temporary left
}

TEST(ExchangeFile, ReadsLfLinesByteOrderMarkAndBlankLines) {
  TempDir dir;
  std::string path = dir.file("mail.csv");
  writeBytes(path, "\xEF\xBB\xBF\"Ann\",\"ann@x.org\",\"Hi\"\n\n   \n\"Bob\",\"bob@x.org\",\"Yo\",\"body\",\"/tmp/a\"\n");
  std::vector<ExportRec> records;
  ASSERT_EQ(readExchangeFile(path, records), ov::rt::Err::None);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].Type.clipped(), "Ann");
  EXPECT_EQ(records[0].Field2.clipped(), "Hi");
  EXPECT_TRUE(records[0].Field3.isBlank());
  EXPECT_EQ(records[1].Field4.clipped(), "/tmp/a");
}

TEST(ExchangeFile, MalformedFileImportsNothing) {
  TempDir dir;
  std::string path = dir.file("bad.ovs");
  writeBytes(path, "\"Comment\",\"one\"\r\n\"Comment\",\"two\"\r\n\"Comment\",\"three\r\n\"Comment\",\"four\"\r\n");
  std::vector<ImportedStep> steps = {ImportedStep()};
  std::string problem;
  EXPECT_EQ(importScriptFile(path, steps, &problem), ov::rt::Err::FileSystem);
  EXPECT_TRUE(steps.empty());
  EXPECT_EQ(problem, path + " line 3: column 2: the double quote is not closed");
  EXPECT_EQ(ov::rt::ERRORCODE(), static_cast<int>(ov::rt::Err::FileSystem));
  EXPECT_EQ(ov::rt::FILEERROR(), problem);
}

// What one file may take is bounded: a line, the number of lines and the whole file are refused
// beyond their limits with the line where reading stopped, and nothing is read.
TEST(ExchangeFile, HostileSizesAreRefusedBeforeTheyTakeTheirMemory) {
  TempDir dir;
  std::string lines;
  for (size_t i = 0; i < kExchangeLinesMax; ++i) lines += "\"Comment\",\"x\"\n";
  struct Case {
    const char* name;
    std::string text;
    std::string problem;
  };
  const Case kCases[] = {
      {"a line beyond the limit", "\"Comment\",\"a\"\n\"Comment\",\"" + std::string(kExchangeLineMax, 'b') + "\"\n",
       "line 2: more than 16384 bytes"},
      {"a last line without its end", "\"Comment\",\"a\"\n" + std::string(kExchangeLineMax + 1, 'b'),
       "line 2: more than 16384 bytes"},
      {"one line too many", lines + "\n\"Comment\",\"y\"\n", "line 20002: more than 20000 lines"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file("big.ovs");
    writeBytes(path, c.text);
    std::vector<ExportRec> records(1);
    std::string problem;
    EXPECT_EQ(readExchangeFile(path, records, &problem), ov::rt::Err::FileSystem);
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(problem, path + " " + c.problem);
  }
  // Exactly at the limits is fine.
  const std::string path = dir.file("full.ovs");
  writeBytes(path, lines + "\r\n");
  std::vector<ExportRec> records;
  EXPECT_EQ(readExchangeFile(path, records), ov::rt::Err::None);
  EXPECT_EQ(records.size(), kExchangeLinesMax);
  // A file beyond the byte limit is refused by its size, unread (sparse: no disk taken).
  const std::string huge = dir.file("huge.ovs");
  writeBytes(huge, "\"Comment\",\"x\"\n");
  std::filesystem::resize_file(huge, kExchangeFileMax + 1);
  std::string problem;
  EXPECT_EQ(readExchangeFile(huge, records, &problem), ov::rt::Err::FileSystem);
  EXPECT_EQ(problem, huge + " holds 67108865 bytes, at most 67108864");
  EXPECT_TRUE(records.empty());
}

TEST(ExchangeFile, MissingFileOrFolder) {
  TempDir dir;
  std::vector<ExportRec> records;
  EXPECT_EQ(readExchangeFile(dir.file("none.ovs"), records), ov::rt::Err::NoFile);
  EXPECT_EQ(writeExchangeFile(dir.file("no/such/x.ovs"), {}), ov::rt::Err::NoFile);
}

TEST(ExchangeFile, ReplacingKeepsTheFilesMode) {
  TempDir dir;
  std::string path = dir.file("shared.ovs");
  writeBytes(path, "old\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  ASSERT_EQ(exportScriptFile(path, std::vector<ScriptingRec>{step("Exit Loop")}), ov::rt::Err::None);
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_EQ(readBytes(path), "\"Exit Loop\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
}
