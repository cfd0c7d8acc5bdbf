// Splitting messages: small fixtures built in the tests, expected values worked by hand (Base64
// texts from Python's base64 module).

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

#include "popmail/net_email_receive.h"
#include "popmail/tests/support.h"

namespace ov::pop {
namespace {

using test::crlf;
using test::Scratch;

class Splitter : public NetEmailReceive {
 public:
  void ErrorTrap(std::string_view text, std::string_view procedure) override {
    errors.push_back(std::string(procedure) + ": " + std::string(text));
  }
  std::vector<std::string> errors;
};

class Split : public ::testing::Test {
 protected:
  // Splits `content` (a stored message, lines ending in CR LF) as after a RETR.
  std::unique_ptr<Splitter> split(const std::string& content, bool saveAttachments = true) {
    auto s = std::make_unique<Splitter>();
    s->AttachmentPath = m_scratch.path("att") + "/";
    s->OptionsDontSaveAttachments = !saveAttachments;
    s->OptionsDontSaveEmbeds = true;
    s->WholeMessage = content + ".\r\n";
    EXPECT_TRUE(s->ProcessSplitWholeMessage());
    return s;
  }
  std::string attachment(const std::string& name) { return m_scratch.read("att/" + name); }
  std::vector<std::string> attachments() { return m_scratch.list("att"); }

  void SetUp() override { ::mkdir(m_scratch.path("att").c_str(), 0755); }
  Scratch m_scratch;
};

TEST_F(Split, HeadersAreUnfoldedAndDecoded) {
  auto s = split(crlf({
      "From: =?ISO-8859-1?Q?J=F6rg?= <j@example.org>",
      "To: a@example.org,",
      "\tb@example.org",
      "Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=",
      " =?UTF-8?Q?_aus_K=C3=B6ln?=",
      "Date: Tue, 5 Mar 2024 10:00:00 +0100",
      "Message-ID: <m1@example.org>",
      "Reply-To: r@example.org",
      "no colon on this line",
      "",
      "Plain body line.",
  }));
  EXPECT_EQ(s->From, "Jörg <j@example.org>");
  EXPECT_EQ(s->ToList, "a@example.org, b@example.org");
  EXPECT_EQ(s->Subject, "Grüße aus Köln");
  EXPECT_EQ(s->SentDate, "Tue, 5 Mar 2024 10:00:00 +0100");
  EXPECT_EQ(s->MessageID, "<m1@example.org>");
  EXPECT_EQ(s->ReplyTo, "r@example.org");
  EXPECT_EQ(s->MessageText, "Plain body line.");  // the line end before the terminator is not the text's
}

TEST_F(Split, SinglePartBodiesAreDecoded) {
  struct Case {
    const char* name;
    std::string type, encoding, body;
    std::string text, html;
  };
  const Case cases[] = {
      {"plain text", "text/plain", "7bit", "line one\r\nline two", "line one\r\nline two", ""},
      {"quoted-printable text", "text/plain; charset=utf-8", "quoted-printable", "=C3=A9t=C3=A9 soft=\r\nbreak",
       "été softbreak", ""},
      {"base64 text", "text/plain", "base64", "Zmlyc3QgYQo=", "first a\n", ""},
      {"base64 HTML is saved decoded", "text/html", "base64", "PHA+R3LDvMOfZTwvcD4=", "", "<p>Grüße</p>"},
      {"quoted-printable HTML", "text/html", "quoted-printable", "<p>a=3Db</p>", "", "<p>a=b</p>"},
      {"plain HTML", "TEXT/HTML", "", "<b>x</b>", "", "<b>x</b>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto s = split(crlf({"MIME-Version: 1.0", "Content-Type: " + c.type, "Content-Transfer-Encoding: " + c.encoding,
                         "", c.body}));
    EXPECT_EQ(s->MessageText, c.text);
    EXPECT_EQ(s->MessageHTML, c.html);
  }
}

TEST_F(Split, MixedPartsGiveTextHtmlAndNumberedCopiesOfAttachments) {
  auto s = split(crlf({
      "MIME-Version: 1.0",
      "Content-Type: Multipart/Mixed; boundary=\"xyz\"",
      "",
      "This is a multi-part message.",
      "--xyz",
      "Content-Type: text/plain; charset=us-ascii",
      "",
      "Hello,",
      "see the files.",
      "--xyz",
      "Content-Type: text/html",
      "Content-Transfer-Encoding: quoted-printable",
      "",
      "<p>Hello=2C</p>",
      "--xyz",
      "Content-Type: application/pdf; name=\"report.pdf\"",
      "Content-Transfer-Encoding: base64",
      "Content-Disposition: attachment; filename=\"report.pdf\"",
      "",
      "JVBERi0xLjQgdGVzdAo=",
      "--xyz",
      "Content-Type: text/plain; name=a.txt",
      "Content-Disposition: attachment; filename=a.txt",
      "Content-Transfer-Encoding: base64",
      "",
      "Zmlyc3QgYQo=",
      "--xyz",
      "Content-Type: text/plain; name=a.txt",
      "Content-Disposition: attachment; filename=a.txt",
      "Content-Transfer-Encoding: base64",
      "",
      "c2Vjb25kIGEK",
      "--xyz--",
      "epilogue",
  }));
  EXPECT_EQ(s->MimeMixedBoundary, "xyz");
  EXPECT_EQ(s->MessageText, "Hello,\r\nsee the files.");
  EXPECT_EQ(s->MessageHTML, "<p>Hello,</p>");
  EXPECT_EQ(s->AttachmentList, "report.pdf, a.txt, Copy (1) a.txt");
  EXPECT_EQ(attachments(), (std::vector<std::string>{"Copy (1) a.txt", "a.txt", "report.pdf"}));
  EXPECT_EQ(attachment("report.pdf"), "%PDF-1.4 test\n");
  EXPECT_EQ(attachment("a.txt"), "first a\n");
  EXPECT_EQ(attachment("Copy (1) a.txt"), "second a\n");
  EXPECT_TRUE(s->errors.empty());
}

TEST_F(Split, AttachmentsAreOnlyListedWhenNotSaved) {
  auto s = split(crlf({"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b",
                       "Content-Type: application/octet-stream; name=x.bin", "", "data", "--b--"}),
                 false);
  EXPECT_EQ(s->AttachmentList, "x.bin");
  EXPECT_TRUE(attachments().empty());
}

TEST_F(Split, ExistingFilesAreNeverOverwritten) {
  m_scratch.write("att/a.txt", "kept");
  ASSERT_EQ(::symlink(m_scratch.path("outside").c_str(), m_scratch.path("att/link.txt").c_str()), 0);
  auto s = split(crlf({"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b",
                       "Content-Type: text/plain; name=a.txt", "Content-Disposition: attachment", "", "new", "--b",
                       "Content-Type: text/plain; name=link.txt", "Content-Disposition: attachment", "", "via link",
                       "--b--"}));
  EXPECT_EQ(attachment("a.txt"), "kept");
  EXPECT_EQ(attachment("Copy (1) a.txt"), "new");
  EXPECT_EQ(attachment("Copy (1) link.txt"), "via link");
  EXPECT_FALSE(std::filesystem::exists(m_scratch.path("outside")));
  EXPECT_EQ(s->AttachmentList, "Copy (1) a.txt, Copy (1) link.txt");
}

// However a message names its parts, every file lands directly in the save folder.
TEST_F(Split, HostileNamesStayInsideTheSaveFolder) {
  struct Case {
    const char* header;
    const char* want;
  };
  const Case cases[] = {
      {"Content-Disposition: attachment; filename=\"../../etc/passwd\"", "passwd"},
      {"Content-Disposition: attachment; filename=\"..\\\\..\\\\evil.bat\"", "evil.bat"},
      {"Content-Disposition: attachment; filename=\"..\"", "file"},
      {"Content-Disposition: attachment; filename=\"/\"", "file"},
      {"Content-Disposition: attachment; filename=\"a\x01:b*?.txt\"", "ab.txt"},
      {"Content-Disposition: attachment; filename=\"=?UTF-8?Q?..=2F..=2Fx.sh?=\"", "x.sh"},
      {"Content-Type: application/x-sh; name=\"C:\\\\Windows\\\\run.cmd\"", "run.cmd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    Scratch fresh;  // an empty save folder for each case
    auto s = std::make_unique<Splitter>();
    s->AttachmentPath = fresh.root() + "/";
    s->WholeMessage = crlf({"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b", c.header, "",
                            "payload", "--b--"}) + ".\r\n";
    ASSERT_TRUE(s->ProcessSplitWholeMessage());
    EXPECT_EQ(s->AttachmentList, c.want);
    EXPECT_EQ(fresh.read(c.want), "payload");
  }
}

TEST_F(Split, ParameterNamesOfRfc2231AreDecoded) {
  struct Case {
    const char* disposition;
    const char* want;
  };
  const Case cases[] = {
      {"attachment; filename*=UTF-8''na%C3%AFve%20file.txt", "naïve file.txt"},
      {"attachment; filename*0=\"long\"; filename*1=\"name.txt\"", "longname.txt"},
      {"attachment; filename*0*=ISO-8859-1''%E9t%E9; filename*1=\".txt\"", "été.txt"},
      {"attachment; filename=\"plain.txt\"; filename*=UTF-8''better.txt", "better.txt"},
      {"attachment; size=12; filename=\"semi;colon.txt\"; creation-date=x", "semicolon.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.disposition);
    auto s = split(crlf({"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b",
                         std::string("Content-Disposition: ") + c.disposition, "", "x", "--b--"}),
                   false);
    EXPECT_EQ(s->AttachmentList, c.want);
  }
}

TEST_F(Split, AlternativeAndRelatedPartsAndEmbeddedImages) {
  auto s = split(crlf({
      "MIME-Version: 1.0",
      "Content-Type: multipart/mixed; boundary=outer",
      "",
      "--outer",
      "Content-Type: multipart/alternative; boundary=\"alt\"",
      "",
      "--alt",
      "Content-Type: text/plain",
      "",
      "plain version",
      "--alt",
      "Content-Type: multipart/related; boundary=rel",
      "",
      "--rel",
      "Content-Type: text/html",
      "",
      "<img src=\"cid:img1@x\">",
      "--rel",
      "Content-Type: image/png; name=\"image001.png\"",
      "Content-ID: <img1@x>",
      "Content-Transfer-Encoding: base64",
      "",
      "iVBORw0KGgo=",
      "--rel--",
      "--alt--",
      "--outer--",
  }));
  EXPECT_EQ(s->MessageText, "plain version");
  EXPECT_EQ(s->MessageHTML, "<img src=\"cid:img1@x\">");
  EXPECT_EQ(s->EmbedList, "img1@x");
  EXPECT_EQ(s->AttachmentList, "");
  EXPECT_TRUE(attachments().empty());  // embedded parts are listed, never written
}

// One message with the four kinds of parts that have no name of their own: a forwarded message,
// a PDF, an inline picture, and a file ten multipart levels down.
std::string partsWithoutNames() {
  std::vector<std::string> lines = {
      "MIME-Version: 1.0", "Subject: four kinds", "Content-Type: multipart/mixed; boundary=\"L0\"", "", "--L0",
      "Content-Type: text/plain", "", "See below.", "--L0", "Content-Type: message/rfc822",
      "Content-Disposition: inline", "", "From: inner@example.org", "Subject: the forwarded one", "",
      "Inner body.", "--L0", "Content-Type: application/pdf", "Content-Transfer-Encoding: base64", "",
      "JVBERi0xLjQgdGVzdAo=", "--L0", "Content-Type: multipart/related; boundary=R", "", "--R",
      "Content-Type: text/html", "", "<p>picture below</p>", "--R", "Content-Type: image/png",
      "Content-Disposition: inline", "Content-Transfer-Encoding: base64", "", "iVBORw0KGgo=", "--R--"};
  for (int level = 1; level <= 10; ++level) {
    lines.push_back("--L" + std::to_string(level - 1));
    lines.push_back("Content-Type: multipart/mixed; boundary=L" + std::to_string(level));
    lines.push_back("");
  }
  for (const char* l : {"--L10", "Content-Type: application/octet-stream; name=deep.dat", "", "deep data"})
    lines.push_back(l);
  for (int level = 10; level >= 0; --level) lines.push_back("--L" + std::to_string(level) + "--");
  return crlf(lines);
}

TEST_F(Split, EveryPartThatIsNoTextIsSavedAsAFile) {
  auto s = split(partsWithoutNames());
  EXPECT_EQ(s->MessageText, "See below.");
  EXPECT_EQ(s->MessageHTML, "<p>picture below</p>");
  EXPECT_EQ(s->PartsNotWritten, 0);
  std::vector<std::string> files = attachments();
  ASSERT_EQ(files.size(), 4u) << s->AttachmentList;
  std::map<std::string, std::string> byExtension;
  for (const std::string& f : files) byExtension[std::filesystem::path(f).extension().string()] = f;
  ASSERT_EQ(byExtension.size(), 4u) << s->AttachmentList;
  EXPECT_EQ(attachment(byExtension[".eml"]), "From: inner@example.org\r\nSubject: the forwarded one\r\n\r\nInner body.");
  EXPECT_EQ(attachment(byExtension[".pdf"]), "%PDF-1.4 test\n");
  EXPECT_EQ(attachment(byExtension[".png"]), std::string("\x89PNG\r\n\x1a\n"));
  EXPECT_EQ(attachment(byExtension[".dat"]), "deep data");
  EXPECT_EQ(byExtension[".dat"], "deep.dat");
  EXPECT_EQ(byExtension[".eml"].rfind("EmailFile", 0), 0u) << byExtension[".eml"];
  EXPECT_TRUE(s->errors.empty());

  // Not saved (no folder for files): each of the four is counted, so the message is not deleted.
  s = split(partsWithoutNames(), false);
  EXPECT_EQ(s->PartsNotWritten, 4);
  EXPECT_EQ(attachments().size(), 4u);  // nothing new written
}

TEST_F(Split, ReportsFillTheDeliveryStatus) {
  auto s = split(crlf({
      "MIME-Version: 1.0",
      "Content-Type: multipart/report; report-type=delivery-status; boundary=rep",
      "",
      "--rep",
      "Content-Type: text/plain",
      "",
      "Your message could not be delivered.",
      "--rep",
      "Content-Type: message/delivery-status",
      "",
      "Original-Recipient: rfc822;who@example.org",
      "Final-Recipient: rfc822;who@example.org",
      "Action: failed",
      "Status: 5.1.1",
      "Remote-MTA: dns; mx.example.org",
      "Diagnostic-Code: smtp; 550 no such user",
      "--rep--",
  }));
  EXPECT_EQ(s->MessageText, "Your message could not be delivered.");
  EXPECT_EQ(s->DeliveryStatusOriginalRecipient, "who@example.org");
  EXPECT_EQ(s->DeliveryStatusFinalRecipient, "who@example.org");
  EXPECT_EQ(s->DeliveryStatusAction, "failed");
  EXPECT_EQ(s->DeliveryStatusStatus, "5.1.1");
  EXPECT_EQ(s->DeliveryStatusRemoteMTA, "dns; mx.example.org");
  EXPECT_EQ(s->DeliveryStatusDiagnosticCode, "smtp; 550 no such user");
  EXPECT_EQ(s->DeliveryStatusLastAttemptDate, "");
}

TEST_F(Split, UuencodedFilesOfPlainMessages) {
  auto s = split(crlf({"Subject: files", "", "Here it is:", "begin 644 cat.txt", "#8V%T", "`", "end",
                       "begin 600 ../../half.txt", "#8V%T", "and no end line"}));
  EXPECT_EQ(s->MessageText, "Here it is:\r\n");
  EXPECT_EQ(s->AttachmentList, "cat.txt, half.txt");
  EXPECT_EQ(attachment("cat.txt"), "cat");
  EXPECT_EQ(attachments(), std::vector<std::string>{"cat.txt"});  // a file without its end is not written
}

TEST_F(Split, MalformedStructuresLoseNothing) {
  // A boundary text in the middle of a line is no delimiter; a missing closing delimiter ends the
  // last part at the end of the message.
  auto s = split(crlf({"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=B", "", "--B",
                       "Content-Type: text/plain", "", "text --B not a boundary", "--Bx is another boundary's line",
                       "last line"}));
  EXPECT_EQ(s->MessageText, "text --B not a boundary\r\n--Bx is another boundary's line\r\nlast line");

  // A multipart body without a single delimiter is kept as the text.
  s = split(crlf({"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=never", "", "just text"}));
  EXPECT_EQ(s->MessageText, "just text");

  // No empty line after the headers: all headers, no body.
  s = split(crlf({"Subject: only headers", "From: x@example.org"}));
  EXPECT_EQ(s->Subject, "only headers");
  EXPECT_EQ(s->From, "x@example.org");
  EXPECT_EQ(s->MessageText, "");

  // Part headers without a blank after the colon, and a mixed body inside a mixed one.
  s = split(crlf({"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=o", "", "--o",
                  "Content-Type:multipart/mixed; boundary=i", "", "--i", "Content-Type:text/html", "", "<i>in</i>",
                  "--i", "Content-Type: application/zip; name=inner.zip", "", "zipdata", "--i--", "--o--"}));
  EXPECT_EQ(s->MessageHTML, "<i>in</i>");
  EXPECT_EQ(s->AttachmentList, "inner.zip");
  EXPECT_EQ(attachment("inner.zip"), "zipdata");
}

TEST_F(Split, HugeHeadersAreCutToTheirFields) {
  const std::string longSubject(1 << 20, 's');
  auto s = split(crlf({"Subject: " + longSubject, "To: " + std::string(20000, 't'), "", "body"}));
  EXPECT_EQ(s->Subject, std::string(255, 's'));
  EXPECT_EQ(s->ToList.size(), 8192u);
  EXPECT_EQ(s->MessageText, "body");
}

}  // namespace
}  // namespace ov::pop
