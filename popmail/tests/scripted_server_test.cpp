// The receiver against a small POP3 server of the test that can misbehave.

#include <gtest/gtest.h>

#include "platform/rt/ini.h"
#include "popmail/pop_receiver.h"
#include "popmail/tests/support.h"

namespace ov::pop {
namespace {

using test::crlf;
using test::Scratch;
using test::ScriptedPop3;

PopOptions optionsFor(const ScriptedPop3& server) {
  PopOptions o;
  o.Server = "127.0.0.1";
  o.Port = server.port();
  o.User = "bob";
  o.Password = "secret";
  return o;
}

std::string logged(const char* key) { return rt::GETINI("Pop", key, "", kPopLog); }

std::string mail(const std::string& subject, const std::string& body) {
  return crlf({"Subject: " + subject, "Message-ID: <" + subject + "@test>", "", body});
}

TEST(ScriptedServer, ASilentServerEndsTheRunWithATimeOut) {
  Scratch scratch;
  ScriptedPop3::Script script;
  script.messages = {mail("one", "text")};
  script.stallOn = "RETR";
  ScriptedPop3 server(script);
  PopOptions o = optionsFor(server);
  o.TimeOut = 1;
  PopReceiver r(o);
  ASSERT_TRUE(test::runFetch(r, 20000));
  EXPECT_TRUE(r.failed());
  EXPECT_EQ(logged("Error"),
            "The POP (Email) Server did not answer within 1 seconds. State = 155; NetEmailReceive.CheckTimeout");
}

TEST(ScriptedServer, AnAbsurdListSizeStillFetchesTheMessage) {
  Scratch scratch;
  ScriptedPop3::Script script;
  script.messages = {mail("big", "small body")};
  script.replies["LIST 1"] = "+OK 1 4294967295999\r\n";
  ScriptedPop3 server(script);
  PopOptions o = optionsFor(server);
  o.SaveText = scratch.root() + "/text/";
  PopReceiver r(o);
  ASSERT_TRUE(test::runFetch(r));
  EXPECT_FALSE(r.failed()) << logged("Error");
  EXPECT_TRUE(r.finished());
  std::vector<std::string> files = scratch.list("text");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(scratch.read("text/" + files[0]), "small body");
  EXPECT_EQ(logged("File"), files[0]);
}

// Deleted are exactly the messages that passed the filters and were saved, whether the server
// takes one command per reply or commands back to back.
TEST(ScriptedServer, DeletesOnlyMessagesThatWereSaved) {
  for (bool pipelining : {false, true}) {
    SCOPED_TRACE(pipelining);
    Scratch scratch;
    ScriptedPop3::Script script;
    script.messages = {mail("Invoice 1", "pay me"), mail("Hello", "hi"), mail("invoice 3", "spam offer"),
                       mail("Invoice 4", "pay again")};
    if (pipelining) script.capabilities = {"TOP", "UIDL", "PIPELINING"};
    ScriptedPop3 server(script);
    PopOptions o = optionsFor(server);
    o.SaveText = scratch.root() + "/text/";
    o.Subject = "invoice";
    o.Message = "~~spam";
    o.Delete = true;
    PopReceiver r(o);
    ASSERT_TRUE(test::runFetch(r));
    EXPECT_FALSE(r.failed()) << logged("Error");
    EXPECT_EQ(server.deleted(), (std::vector<int>{1, 4}));
    EXPECT_EQ(scratch.list("text").size(), 2u);
    std::vector<std::string> commands = server.commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "RETR 2"), 0);  // refused by its headers
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "RETR 3"), 1);  // refused by its text
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "CAPA"), 1);
  }
}

// Messages kept on the server are written after the next command went out: still in their order,
// so a name taken twice gets its " (1)" on the second message, and a file that cannot be written
// still fails the run with its reason.
TEST(ScriptedServer, FilesOfKeptMessagesAreWrittenInOrderAndTheirFailuresReported) {
  Scratch scratch;
  ScriptedPop3::Script script;
  script.messages = {mail("same", "first body"), mail("same", "second body"), mail("other", "third body")};
  script.capabilities = {"PIPELINING"};
  {
    ScriptedPop3 server(script);
    PopOptions o = optionsFor(server);
    o.SaveText = scratch.root() + "/text/";
    PopReceiver r(o);
    ASSERT_TRUE(test::runFetch(r));
    EXPECT_FALSE(r.failed()) << logged("Error");
    std::vector<std::string> files = scratch.list("text");
    ASSERT_EQ(files.size(), 3u);
    const std::string same = MessageFileName("same", "<same@test>");
    EXPECT_EQ(scratch.read("text/" + same + ".txt"), "first body");
    EXPECT_EQ(scratch.read("text/" + same + " (1).txt"), "second body");
    EXPECT_EQ(scratch.read("text/" + MessageFileName("other", "<other@test>") + ".txt"), "third body");
    EXPECT_EQ(logged("File"), MessageFileName("other", "<other@test>") + ".txt");
  }
  scratch.write("plain", "a file, not a folder");
  ScriptedPop3 server(script);
  PopOptions o = optionsFor(server);
  o.SaveText = scratch.root() + "/plain/";
  PopReceiver r(o);
  ASSERT_TRUE(test::runFetch(r));
  EXPECT_TRUE(r.failed());
  EXPECT_NE(logged("Error").find("Error writing the message file (" + scratch.root() + "/plain/"), std::string::npos)
      << logged("Error");
  EXPECT_EQ(scratch.read("plain"), "a file, not a folder");
}

TEST(ScriptedServer, NothingToSaveDeletesWithoutDownloading) {
  Scratch scratch;
  ScriptedPop3::Script script;
  script.messages = {mail("keep me", "a"), mail("drop me", "b")};
  ScriptedPop3 server(script);
  PopOptions o = optionsFor(server);
  o.Subject = "drop";
  o.Delete = true;
  PopReceiver r(o);
  ASSERT_TRUE(test::runFetch(r));
  EXPECT_EQ(server.deleted(), std::vector<int>{2});
  std::vector<std::string> commands = server.commands();
  EXPECT_EQ(std::count_if(commands.begin(), commands.end(), [](const std::string& c) { return c.rfind("RETR", 0) == 0; }), 0);
}

TEST(ScriptedServer, HostileAttachmentNamesAreSavedInsideTheFolder) {
  Scratch scratch;
  ScriptedPop3::Script script;
  script.messages = {crlf({"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b",
                           "Content-Type: text/plain", "", "see attachment", "--b",
                           "Content-Type: application/octet-stream; name=\"../../../tmp/evil.sh\"",
                           "Content-Disposition: attachment; filename=\"../../../tmp/evil.sh\"", "", "rm -rf /",
                           "--b--"}),
                     crlf({"Subject: uu", "", "begin 755 ../../uu-evil.sh", "#8V%T", "`", "end"})};
  ScriptedPop3 server(script);
  PopOptions o = optionsFor(server);
  o.SaveAttach = scratch.root() + "/att/";
  PopReceiver r(o);
  ASSERT_TRUE(test::runFetch(r));
  EXPECT_FALSE(r.failed()) << logged("Error");
  EXPECT_EQ(scratch.list("att"), (std::vector<std::string>{"evil.sh", "uu-evil.sh"}));
  EXPECT_EQ(scratch.read("att/evil.sh"), "rm -rf /");
  EXPECT_EQ(scratch.read("att/uu-evil.sh"), "cat");
  std::vector<std::string> top = scratch.list("");
  std::erase(top, ".config");  // the registry store of the network library
  EXPECT_EQ(top, std::vector<std::string>{"att"});  // nothing beside the save folder
}

TEST(ScriptedServer, MalformedMimeIsSavedAsFarAsItGoes) {
  Scratch scratch;
  ScriptedPop3::Script script;
  script.messages = {crlf({"Subject: broken", "X-Long: " + std::string(200000, 'h'), "MIME-Version: 1.0",
                           "Content-Type: multipart/mixed; boundary=\"cut\"", "", "--cut", "Content-Type: text/plain",
                           "", "text --cut inside a line", "--cut",
                           "Content-Disposition: attachment; filename*=UTF-8''r%C3%A9sum%C3%A9.txt", "",
                           "no closing delimiter follows"})};
  ScriptedPop3 server(script);
  PopOptions o = optionsFor(server);
  o.SaveText = scratch.root() + "/text/";
  o.SaveAttach = scratch.root() + "/att/";
  PopReceiver r(o);
  ASSERT_TRUE(test::runFetch(r));
  EXPECT_FALSE(r.failed()) << logged("Error");
  std::vector<std::string> texts = scratch.list("text");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(scratch.read("text/" + texts[0]), "text --cut inside a line");
  EXPECT_EQ(scratch.list("att"), std::vector<std::string>{"résumé.txt"});
  EXPECT_EQ(scratch.read("att/résumé.txt"), "no closing delimiter follows");
}

TEST(ScriptedServer, AWrongPasswordIsLoggedAndFails) {
  Scratch scratch;
  ScriptedPop3 server(ScriptedPop3::Script{});
  PopOptions o = optionsFor(server);
  o.Password = "wrong";
  PopReceiver r(o);
  ASSERT_TRUE(test::runFetch(r));
  EXPECT_TRUE(r.failed());
  EXPECT_EQ(logged("Error"),
            "The POP (Email) Server returned error = [AUTH] Authentication failed.; NetEmailReceive._ProcessRaiseError");
}

TEST(ScriptedServer, AServerThatHangsUpMidMessageIsAnError) {
  Scratch scratch;
  ScriptedPop3::Script script;
  script.messages = {mail("cut", "body")};
  script.replies["RETR 1"] = "+OK\r\nSubject: cut\r\n\r\npartial";
  script.hangUpOn = "RETR";
  ScriptedPop3 server(script);
  PopReceiver r(optionsFor(server));
  ASSERT_TRUE(test::runFetch(r));
  EXPECT_TRUE(r.failed());
  EXPECT_FALSE(r.finished());
  EXPECT_EQ(logged("Error"), "Connection to POP (Email) Server closed by Server; EmailReceive.ConnectionClosed");
}

}  // namespace
}  // namespace ov::pop
