// The ov_pop program end to end: against dovecot's POP3 service on 127.0.0.1 (started by each
// test), and on its own for the failures that need no server.

#include <gtest/gtest.h>

#include <map>

#include "platform/rt/ini.h"
#include "popmail/main_window.h"
#include "popmail/pop_receiver.h"
#include "popmail/tests/support.h"

namespace ov::pop {
namespace {

using test::crlf;
using test::Dovecot;
using test::Scratch;

std::string logged(const char* key) { return rt::GETINI("Pop", key, "", kPopLog); }

#define NEED_DOVECOT(server)                                                    \
  if (std::string why = Dovecot::unavailable(); !why.empty()) GTEST_SKIP() << why; \
  Dovecot server;                                                               \
  ASSERT_TRUE(server.running()) << server.error()

std::vector<std::string> login(const Dovecot& server, const std::string& password = "alicepw") {
  return {"SERVER=127.0.0.1", "PORT=" + std::to_string(server.port()), "USER=alice", "PASSWORD=" + password};
}

const std::string kPlain = crlf({"From: a@example.org", "To: alice@example.org", "Subject: Plain note",
                                 "Message-ID: <plain@example.org>", "", "Just text.", ".leading dot"});
const std::string kQuoted = crlf({"From: b@example.org", "Subject: =?UTF-8?Q?Caf=C3=A9?=", "Message-ID: <qp@example.org>",
                                  "MIME-Version: 1.0", "Content-Type: text/plain; charset=utf-8",
                                  "Content-Transfer-Encoding: quoted-printable", "", "caf=C3=A9 au lait"});
const std::string kHtmlWithFile = crlf({
    "From: c@example.org", "Subject: Report", "Message-ID: <report@example.org>", "MIME-Version: 1.0",
    "Content-Type: multipart/mixed; boundary=\"mix\"", "", "--mix", "Content-Type: text/html; charset=utf-8",
    "Content-Transfer-Encoding: base64", "", "PHA+R3LDvMOfZTwvcD4=", "--mix",
    "Content-Type: application/pdf; name=\"report.pdf\"", "Content-Transfer-Encoding: base64",
    "Content-Disposition: attachment; filename=\"report.pdf\"", "", "JVBERi0xLjQgdGVzdAo=", "--mix--"});

TEST(Program, FetchesAndSavesTextHtmlAndAttachments) {
  Scratch scratch;
  NEED_DOVECOT(server);
  server.deliver(kPlain);
  server.deliver(kQuoted);
  server.deliver(kHtmlWithFile);
  scratch.write("OV_POP.LOG", "[Pop]\nError=an old failure\n");
  std::vector<std::string> args = login(server);
  args.insert(args.end(), {"SAVETEXT=text", "SAVEHTML=html", "SAVEATTACH=att"});
  EXPECT_EQ(test::runProgram(args), kExitOk) << scratch.read("ov_pop.out");
  EXPECT_EQ(logged("Error"), "");  // the old entry is not this run's

  std::vector<std::string> texts = scratch.list("text");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].rfind("Café ", 0), 0u) << texts[0];
  EXPECT_EQ(texts[1].rfind("Plain note ", 0), 0u) << texts[1];
  EXPECT_EQ(scratch.read("text/" + texts[0]), "café au lait");
  EXPECT_EQ(scratch.read("text/" + texts[1]), "Just text.\r\n.leading dot");
  std::vector<std::string> html = scratch.list("html");
  ASSERT_EQ(html.size(), 1u);
  EXPECT_EQ(scratch.read("html/" + html[0]), "<p>Grüße</p>");
  EXPECT_EQ(scratch.list("att"), std::vector<std::string>{"report.pdf"});
  EXPECT_EQ(scratch.read("att/report.pdf"), "%PDF-1.4 test\n");
  EXPECT_EQ(logged("File"), html[0]);  // the last file saved
  EXPECT_EQ(server.messageCount(), 3u);  // nothing deleted without being asked
}

TEST(Program, DeleteRemovesOnlyTheSavedMessages) {
  Scratch scratch;
  NEED_DOVECOT(server);
  server.deliver(kPlain);
  server.deliver(kQuoted);
  server.deliver(kHtmlWithFile);
  // The options come from OV_POP.INI this time; the switch from the command line.
  scratch.write("OV_POP.INI", "[Pop]\nServer=127.0.0.1\nPort=" + std::to_string(server.port()) +
                                  "\nUser=alice\nPassword=alicepw\nSaveText=text\nSubject=plain||report\n");
  EXPECT_EQ(test::runProgram({"/DELETE"}), kExitOk) << scratch.read("ov_pop.out");
  EXPECT_EQ(scratch.list("text").size(), 1u);  // "Report" has no text part to save
  // Left: the one the filter refused, and "Report", whose HTML body and file have no folder here.
  EXPECT_EQ(server.messageCount(), 2u);
  EXPECT_EQ(test::runProgram({"/DELETE"}), kExitOk);
  EXPECT_EQ(server.messageCount(), 2u);
}

// Messages whose parts have no name of their own: a forwarded message, a PDF, an inline picture,
// a file ten multipart levels down. Each is deleted only once all of it was saved.
TEST(Program, DeleteWaitsUntilEveryPartIsSaved) {
  Scratch scratch;
  NEED_DOVECOT(server);
  auto message = [](const std::string& subject, std::vector<std::string> body) {
    std::vector<std::string> lines = {"From: f@example.org", "Subject: " + subject,
                                      "Message-ID: <" + subject + "@example.org>", "MIME-Version: 1.0",
                                      "Content-Type: multipart/mixed; boundary=\"L0\"", "", "--L0",
                                      "Content-Type: text/plain", "", subject + " text", "--L0"};
    lines.insert(lines.end(), body.begin(), body.end());
    lines.push_back("--L0--");
    return crlf(lines);
  };
  server.deliver(message("forward", {"Content-Type: message/rfc822", "", "From: inner@example.org",
                                     "Subject: inner", "", "Inner body."}));
  server.deliver(message("pdf", {"Content-Type: application/pdf", "Content-Transfer-Encoding: base64", "",
                                 "JVBERi0xLjQgdGVzdAo="}));
  server.deliver(message("picture", {"Content-Type: multipart/related; boundary=R", "", "--R", "Content-Type: text/html",
                                     "", "<img>", "--R", "Content-Type: image/png", "Content-Disposition: inline",
                                     "Content-Transfer-Encoding: base64", "", "iVBORw0KGgo=", "--R--"}));
  std::vector<std::string> deep;
  for (int level = 1; level <= 10; ++level)
    deep.insert(deep.end(), {"Content-Type: multipart/mixed; boundary=L" + std::to_string(level), "",
                             "--L" + std::to_string(level)});
  deep.insert(deep.end(), {"Content-Type: application/octet-stream", "", "deep data"});
  for (int level = 10; level >= 1; --level) deep.push_back("--L" + std::to_string(level) + "--");
  server.deliver(message("deep", deep));

  std::vector<std::string> args = login(server);
  args.insert(args.end(), {"SAVETEXT=text", "SAVEHTML=html", "/DELETE"});
  EXPECT_EQ(test::runProgram(args), kExitOk) << scratch.read("ov_pop.out");
  EXPECT_EQ(scratch.list("text").size(), 4u);
  EXPECT_EQ(server.messageCount(), 4u);  // no folder for files: every message keeps a part unsaved

  args.push_back("SAVEATTACH=att");
  EXPECT_EQ(test::runProgram(args), kExitOk) << scratch.read("ov_pop.out");
  EXPECT_EQ(server.messageCount(), 0u);
  std::map<std::string, std::string> byExtension;
  for (const std::string& f : scratch.list("att")) byExtension[f.substr(std::min(f.rfind('.'), f.size()))] = f;
  ASSERT_EQ(byExtension.size(), 4u);
  EXPECT_EQ(scratch.read("att/" + byExtension[".eml"]), "From: inner@example.org\r\nSubject: inner\r\n\r\nInner body.");
  EXPECT_EQ(scratch.read("att/" + byExtension[".pdf"]), "%PDF-1.4 test\n");
  EXPECT_EQ(scratch.read("att/" + byExtension[".png"]), std::string("\x89PNG\r\n\x1a\n"));
  EXPECT_EQ(scratch.read("att/" + byExtension[""]), "deep data");
}

TEST(Program, SizeLimitsSkipMessages) {
  Scratch scratch;
  NEED_DOVECOT(server);
  server.deliver(kPlain);
  server.deliver(kHtmlWithFile);
  std::vector<std::string> args = login(server);
  args.insert(args.end(), {"SAVETEXT=text", "SAVEHTML=html", "MAXSIZE=" + std::to_string(kPlain.size() + 20)});
  EXPECT_EQ(test::runProgram(args), kExitOk);
  EXPECT_EQ(scratch.list("text").size(), 1u);
  EXPECT_TRUE(scratch.list("html").empty());  // the larger message was skipped
}

// Last against its server: dovecot delays further logins after a failed one.
TEST(Program, AWrongPasswordFailsWithTheServersText) {
  Scratch scratch;
  NEED_DOVECOT(server);
  server.deliver(kPlain);
  EXPECT_EQ(test::runProgram(login(server, "wrong")), kExitFailed);
  EXPECT_EQ(logged("Error"),
            "The POP (Email) Server returned error = [AUTH] Authentication failed.; NetEmailReceive._ProcessRaiseError");
  EXPECT_EQ(server.messageCount(), 1u);
}

TEST(Program, MissingOptionsAndUnreachableServersFail) {
  Scratch scratch;
  EXPECT_EQ(test::runProgram({"USER=alice"}), kExitNoOptions);
  EXPECT_EQ(logged("Error"), "Missing option(s): SERVER; Main.StartFetch");
  // A port where nobody listens.
  EXPECT_EQ(test::runProgram({"SERVER=127.0.0.1", "PORT=1", "USER=alice"}), kExitFailed);
  EXPECT_EQ(logged("Error"), "Unable to Open Connection; NetSimple(Client).Open");
}

}  // namespace
}  // namespace ov::pop
