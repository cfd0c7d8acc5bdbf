// The explorer list's exports: HTML and comma-separated files compared with the expected text
// (an empty list, escaping, quoting, long rows), the text file read back by Python's csv module
// and by ov_impex's reader, and the exports run from the list's events with the file dialog,
// the progress window and the shell.
#include "winclasses/explore_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "impex/csv.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/testing/scripted_host.h"
#include "winclasses/tests/explore_fixture.h"

using namespace ov::winclasses;
using namespace ov::winclasses::test;
using ov::ui::test::ScriptedHost;

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

ExportRows rowsOf(std::vector<std::vector<std::string>> rows) {
  auto at = std::make_shared<size_t>(0);
  return [rows = std::move(rows), at](std::vector<std::string>& out) {
    if (*at >= rows.size()) return false;
    out = rows[(*at)++];
    return true;
  };
}

const char* const kHtmlHead =
    "<html><head><title>T</title></head><body bgcolor=\"#FFFFFF\"><div align=\"left\"><font face=\"Arial\">\r\n"
    "<H1 align=\"center\">T</H1><P>\r\n"
    "<table border=\"1\" style=\"border-collapse: collapse\" bordercolor=\"#000080\" width=\"100\" id=\"AutoNumber1\" "
    "cellpadding=\"2\">\r\n";
const char* const kHtmlTail = "</table>\r\n</font></div></body></html>\r\n";

TEST(ExploreExport, EmptyListsGiveTheSkeletonAndZeroRecords) {
  TempDir dir;
  int written = -1;
  ASSERT_EQ(writeHtmlExport(dir.file("x.htm"), "T", {"Name", ""}, true, rowsOf({}), written), ov::rt::Err::None);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(readFile(dir.file("x.htm")),
            std::string(kHtmlHead) +
                "<tr><td bgcolor=\"#FFFF99\"><b><font face=\"Arial\" size=\"2\">Name</font></b></td> "
                "<td bgcolor=\"#FFFF99\"><b><font face=\"Arial\" size=\"2\">&nbsp</font></b></td> </tr>\r\n" +
                kHtmlTail);
  ASSERT_EQ(writeCsvExport(dir.file("x.csv"), ",", {"Name", "City"}, true, rowsOf({}), written), ov::rt::Err::None);
  EXPECT_EQ(readFile(dir.file("x.csv")), "# Records=0000000\r\nName,City\r\n");
  ASSERT_EQ(writeCsvExport(dir.file("y.csv"), ",", {"Name"}, false, rowsOf({}), written), ov::rt::Err::None);
  EXPECT_EQ(readFile(dir.file("y.csv")), "# Records=0000000\r\n") << "no header line";
}

TEST(ExploreExport, HtmlEscapesTitleHeadersAndValues) {
  TempDir dir;
  int written = 0;
  ASSERT_EQ(writeHtmlExport(dir.file("x.htm"), "Mine & yours <b>", {"a<b"},
                            false, rowsOf({{"say \"hi\" & <b>bye</b>"}, {"   "}}), written),
            ov::rt::Err::None);
  EXPECT_EQ(written, 2);
  std::string html = readFile(dir.file("x.htm"));
  EXPECT_NE(html.find("<title>Mine &amp; yours &lt;b&gt;</title>"), std::string::npos);
  EXPECT_NE(html.find(">say &quot;hi&quot; &amp; &lt;b&gt;bye&lt;/b&gt;</font></td>"), std::string::npos);
  EXPECT_NE(html.find("size=\"2\">&nbsp</font></td></tr>"), std::string::npos) << "a blank cell";
  EXPECT_EQ(html.find("a&lt;b"), std::string::npos) << "no header line";
}

TEST(ExploreExport, LongHtmlRowsGoOnInANewLine) {
  TempDir dir;
  int written = 0;
  std::vector<std::string> row(12, std::string(200, 'x'));
  ASSERT_EQ(writeHtmlExport(dir.file("x.htm"), "T", {}, false, rowsOf({row}), written), ov::rt::Err::None);
  std::string html = readFile(dir.file("x.htm"));
  size_t lines = 0, longest = 0, at = 0;
  for (size_t nl; (nl = html.find("\r\n", at)) != std::string::npos; at = nl + 2) {
    ++lines;
    longest = std::max(longest, nl - at);
  }
  EXPECT_LE(longest, kExportHtmlLineMax + 200);
  EXPECT_GT(lines, 6u) << "the row was broken into lines";
  std::string joined;
  for (char c : html)
    if (c != '\r' && c != '\n') joined += c;
  EXPECT_NE(joined.find("size=\"2\">" + std::string(200, 'x') + "</font></td><td"), std::string::npos)
      << "a value is never split";
}

TEST(ExploreExport, CsvFieldsAreQuotedTheStandardWay) {
  struct Case {
    const char* name;
    const char* value;
    const char* want;
  };
  const Case kCases[] = {
      {"plain", "Lee", "Lee"},
      {"empty", "", ""},
      {"with the separator", "Lee, Ann", "\"Lee, Ann\""},
      {"with a quote", "5\" disk", "\"5\"\" disk\""},
      {"with both", "a,\"b\"", "\"a,\"\"b\"\"\""},
      {"single quotes are data", "'x'", "'x'"},
      {"a line break", "a\nb", "\"a\nb\""},
      {"a blank at the start", " x", "\" x\""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(csvField(c.value, ","), c.want);
  }
  EXPECT_EQ(csvField("a;b", ";"), "\"a;b\"");
  EXPECT_EQ(csvField("a,b", ";"), "a,b");
}

const std::vector<std::vector<std::string>> kTricky = {
    {"Lee, Ann", "5\" disk", "plain"},
    {"", "He said \"hi, there\"", "'quoted'"},
    {"x", "", "a & <b>"},
};

TEST(ExploreExport, CsvReadsBackWithPythonsReader) {
  TempDir dir;
  int written = 0;
  ASSERT_EQ(writeCsvExport(dir.file("x.csv"), ",", {"Name, full", "Size", "Note"}, true, rowsOf(kTricky), written),
            ov::rt::Err::None);
  EXPECT_EQ(written, 3);
  std::string script = dir.file("read.py");
  {
    std::ofstream s(script);
    s << "import csv, sys\n"
         "with open(sys.argv[1], newline='') as f:\n"
         "    lines = f.read().split('\\r\\n', 1)\n"
         "    print(lines[0])\n"
         "    for row in csv.reader(lines[1].splitlines(True)):\n"
         "        print('|'.join(row))\n";
  }
  std::string cmd = "/usr/bin/python3 " + script + " " + dir.file("x.csv");
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[512];
  while (fgets(buf, sizeof buf, p)) out += buf;
  ASSERT_EQ(pclose(p), 0) << out;
  EXPECT_EQ(out,
            "# Records=0000003\n"
            "Name, full|Size|Note\n"
            "Lee, Ann|5\" disk|plain\n"
            "|He said \"hi, there\"|'quoted'\n"
            "x||a & <b>\n");
}

TEST(ExploreExport, CsvReadsBackWithTheImportReader) {
  TempDir dir;
  int written = 0;
  ASSERT_EQ(writeCsvExport(dir.file("x.csv"), ",", {"A", "B", "C"}, false, rowsOf(kTricky), written),
            ov::rt::Err::None);
  std::string text = readFile(dir.file("x.csv"));
  ov::impex::CsvReader reader(text);
  ov::impex::CsvRecord rec;
  ASSERT_EQ(reader.next(rec), ov::impex::CsvReader::Result::Record);  // the count line
  for (const auto& row : kTricky) {
    ASSERT_EQ(reader.next(rec), ov::impex::CsvReader::Result::Record) << reader.error();
    ASSERT_EQ(rec.fields.size(), row.size());
    for (size_t i = 0; i < row.size(); ++i) EXPECT_EQ(rec.fields[i].text, row[i]);
  }
  EXPECT_EQ(reader.next(rec), ov::impex::CsvReader::Result::End);
}

TEST(ExploreExport, AFileThatCannotBeWrittenIsReportedAndLeftAlone) {
  TempDir dir;
  int written = 0;
  EXPECT_NE(writeCsvExport(dir.file("no/such/folder/x.csv"), ",", {}, true, rowsOf({}), written), ov::rt::Err::None);
  // A folder of that name cannot be replaced: the export fails and leaves no file behind.
  std::filesystem::create_directories(dir.file("taken.csv"));
  EXPECT_NE(writeCsvExport(dir.file("taken.csv"), ",", {}, true, rowsOf({{"a"}}), written), ov::rt::Err::None);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.csv")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator()), 1)
      << "no temporary file stays";
}

// The exports from the list's events: the file dialog, the rows in the list's present order and
// columns, and the shell opening the file.
TEST(ExploreExport, ExportsRunFromTheListEvents) {
  (void)ov::ui::test::application();
  TempDir dir;
  ScriptedHost host;
  ExploreWindow w(dir.file("POSITION.INI"), ExploreMask::Moving);
  w.setUp();
  w.explorer.BrowseHeader = true;
  w.explorer.ShellExecute = true;
  w.explorer.Separator = ",";
  std::vector<std::string> opened;
  w.explorer.shellOpen = [&](const std::string& f) {
    opened.push_back(f);
    return 42;
  };
  w.people.GET(1);
  w.people.buf.City = "Berlin, Mitte";
  w.people.PUT();
  w.explorer.CurrentCol = 1;
  w.explorer.HandleMyEvents(ExploreEvent::MoveRight);  // City, Name, Born

  host.expectFile("Select ASCII Export File", {dir.file("people.csv")});
  w.explorer.HandleMyEvents(ExploreEvent::ExportAscii);
  EXPECT_EQ(readFile(dir.file("people.csv")),
            "# Records=0000003\r\nCity,Name,Born\r\n\"Berlin, Mitte\",Carol,1970\r\nParis,alice,1985\r\n"
            "Berlin,Bob,1960\r\n");
  EXPECT_EQ(w.explorer.AsciiFileName, dir.file("people.csv")) << "kept for the next export";

  host.expectFile("Select HTML Export File", {dir.file("people.htm")});
  w.explorer.HandleMyEvents(ExploreEvent::ExportHtml);
  std::string html = readFile(dir.file("people.htm"));
  EXPECT_NE(html.find("<title>People</title>"), std::string::npos);
  EXPECT_NE(html.find(">Berlin, Mitte</font></td><td"), std::string::npos);
  EXPECT_EQ(opened, (std::vector<std::string>{dir.file("people.csv"), dir.file("people.htm")}));

  // Cancelling the dialog writes nothing; a shell failure is reported.
  host.expectFile("Select HTML Export File", {});
  w.explorer.HandleMyEvents(ExploreEvent::ExportHtml);
  w.explorer.shellOpen = [](const std::string&) { return 31; };
  host.expectFile("Select ASCII Export File", {dir.file("again.csv")});
  host.expectMessage("Shell launching error:31", ov::ui::BUTTON::Ok);
  w.explorer.HandleMyEvents(ExploreEvent::ExportAscii);
  EXPECT_TRUE(std::filesystem::exists(dir.file("again.csv")));
  EXPECT_EQ(opened.size(), 2u);
}

}  // namespace
