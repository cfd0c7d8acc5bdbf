// The ov_pop program end to end: against dovecot's POP3 service on 127.0.0.1 (started by each
// test), and on its own for the failures that need no server.

#include <gtest/gtest.h>

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
  EXPECT_EQ(server.messageCount(), 1u);         // only the one the filter refused is left
  EXPECT_EQ(test::runProgram({"/DELETE"}), kExitOk);
  EXPECT_EQ(server.messageCount(), 1u);
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
