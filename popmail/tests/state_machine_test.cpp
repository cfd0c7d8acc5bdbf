// The POP3 client fed with replies directly: packets cut anywhere, decisions, deletes, faults.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "popmail/net_email_receive.h"
#include "popmail/tests/support.h"

namespace ov::pop {
namespace {

using test::crlf;

// Records what the client sends and decides instead of talking to the library.
class Client : public NetEmailReceive {
 public:
  Client() {
    Command = kAskFetch;
    State = kStateConnecting;
    OpenFlag = true;
    User = "bob";
    Password = "pw";
  }
  void Send() override { sent.emplace_back(Packet.BinData, static_cast<size_t>(Packet.BinDataLen)); }
  void Close() override {
    closes++;
    OpenFlag = false;
    State = kStateIdle;
  }
  void Abort() override { Close(); }
  void ErrorTrap(std::string_view text, std::string_view procedure) override {
    errors.push_back(std::string(procedure) + ": " + std::string(text));
  }
  void Decide(int when) override {
    decisions.push_back(when);
    if (decide) decide(*this, when);
  }
  void Done(long command, bool finished) override {
    (void)command;
    if (finished) {
      finishedCount++;
      return;
    }
    messages.push_back(WholeMessage);
    texts.push_back(MessageText);
    if (keep) KeepOnServer = true;
  }
  // One packet from the server.
  void feed(std::string_view data) {
    ASSERT_LE(data.size(), sizeof Packet.BinData);
    std::memcpy(Packet.BinData, data.data(), data.size());
    Packet.BinDataLen = static_cast<std::int32_t>(data.size());
    Error = 0;
    Process();
  }
  // The data in packets of `size` bytes.
  void feedInPieces(std::string_view data, size_t size) {
    for (size_t i = 0; i < data.size(); i += size) feed(data.substr(i, size));
  }
  std::string last() const { return sent.empty() ? std::string() : sent.back(); }
  // Logs in; `capa` answers CAPA (by default the server knows no CAPA: one command per reply).
  void login(const std::string& stat, const std::string& capa = "-ERR unknown command\r\n") {
    feed("+OK ready\r\n");
    feed("+OK\r\n");
    feed("+OK\r\n");
    feed(capa);
    feed(stat);
  }

  std::vector<std::string> sent, errors, messages, texts;
  std::vector<int> decisions;
  std::function<void(Client&, int)> decide;
  bool keep = false;
  int closes = 0;
  int finishedCount = 0;
};

const std::string kMessage = crlf({"Subject: one", "", "..dot line", "body", ".."});
const std::string kStuffed = crlf({"Subject: one", "", "...dot line", "body", "..."}) + ".\r\n";

TEST(Pop3Client, LogsInAndJoinsRepliesSplitOverPackets) {
  Client c;
  c.feed("+O");
  EXPECT_TRUE(c.sent.empty());
  c.feed("K hi\r\n");
  EXPECT_EQ(c.sent, std::vector<std::string>{"USER bob\r\n"});
  c.feed("+OK\r");
  c.feed("\n");
  EXPECT_EQ(c.last(), "PASS pw\r\n");
  c.feed("+OK\r\n");
  EXPECT_EQ(c.last(), "CAPA\r\n");
  c.feedInPieces("+OK\r\nTOP\r\nUIDL\r\n.\r\n", 3);
  EXPECT_EQ(c.last(), "STAT\r\n");
  c.feed("+OK 0 0\r\n");
  EXPECT_EQ(c.last(), "QUIT\r\n");  // an empty mailbox quits at once
  c.feed("+OK bye\r\n");
  EXPECT_EQ(c.finishedCount, 1);
  EXPECT_TRUE(c.errors.empty());
}

TEST(Pop3Client, DownloadsMessagesCutAnywhereAndUndoesDotStuffing) {
  for (size_t piece : {1u, 2u, 3u, 5u, 7u, 64u}) {
    SCOPED_TRACE(piece);
    Client c;
    c.decide = [](Client& self, int) { self.DecideAction = kDecideDownload; };
    c.login("+OK 2 100\r\n");
    EXPECT_EQ(c.last(), "LIST 1\r\n");
    c.feedInPieces("+OK 1 40\r\n", piece);
    EXPECT_EQ(c.last(), "RETR 1\r\n");
    c.feedInPieces("+OK 40 octets\r\n" + kStuffed, piece);
    EXPECT_EQ(c.last(), "LIST 2\r\n");
    c.feedInPieces("+OK 2 40\r\n", piece);
    c.feedInPieces("+OK\r\n" + kStuffed, piece);
    EXPECT_EQ(c.last(), "QUIT\r\n");
    ASSERT_EQ(c.messages.size(), 2u);
    EXPECT_EQ(c.messages[0], kMessage + ".\r\n");
    EXPECT_EQ(c.texts[0], "..dot line\r\nbody\r\n..");
    EXPECT_EQ(c.decisions, (std::vector<int>{kDecideAfterList, kDecideAfterList}));
    EXPECT_TRUE(c.errors.empty());
  }
}

TEST(Pop3Client, EmptyMessagesAndMessagesLargerThanListed) {
  Client c;
  c.login("+OK 2 10\r\n");
  c.feed("+OK 1 0\r\n");
  c.feed("+OK\r\n.\r\n");  // nothing between the status line and the end
  EXPECT_EQ(c.last(), "LIST 2\r\n");
  c.feed("+OK 2 5\r\n");
  std::string big = "Subject: big\r\n\r\n" + std::string(100000, 'x') + "\r\n";
  c.feedInPieces("+OK\r\n" + big + ".\r\n", 16384);
  ASSERT_EQ(c.messages.size(), 2u);
  EXPECT_EQ(c.messages[0], ".\r\n");
  EXPECT_EQ(c.texts[0], "");
  EXPECT_EQ(c.messages[1], big + ".\r\n");
}

// The server's size figure never sizes a buffer.
TEST(Pop3Client, AnAbsurdListSizeIsNotTrusted) {
  Client c;
  c.login("+OK 1 99999999999999999999\r\n");
  c.feed("+OK 1 99999999999999999999\r\n");
  EXPECT_EQ(c.last(), "RETR 1\r\n");
  c.feed("+OK\r\n");
  EXPECT_LE(c.WholeMessage.capacity(), size_t{2} << 20);
  c.feed(kStuffed);
  ASSERT_EQ(c.messages.size(), 1u);
  EXPECT_EQ(c.last(), "QUIT\r\n");
}

TEST(Pop3Client, DecisionsSkipDeleteOrFetchHeadersFirst) {
  Client c;
  c.OptionsDelete = true;
  int headersSeen = 0;
  c.decide = [&](Client& self, int when) {
    if (when == kDecideAfterHeaders) {
      ++headersSeen;
      EXPECT_EQ(self.Subject, "one");
      EXPECT_EQ(self.UID, "uid-2");
      self.DecideAction = kDecideSkip;
    } else {
      const long decisions[] = {kDecideDeleteUnread, kDecideFetchHeaders, kDecideSkip};
      self.DecideAction = decisions[self.CurrentMessageNum - 1];
    }
  };
  c.login("+OK 3 300\r\n");
  c.feed("+OK 1 100\r\n");
  EXPECT_EQ(c.last(), "DELE 1\r\n");  // deleted unread: never downloaded
  c.feed("+OK\r\n");
  EXPECT_EQ(c.last(), "LIST 2\r\n");
  c.feed("+OK 2 100\r\n");
  EXPECT_EQ(c.last(), "UIDL 2\r\n");
  c.feed("+OK 2 uid-2\r\n");
  EXPECT_EQ(c.last(), "TOP 2 0\r\n");
  c.feed("+OK\r\n" + crlf({"Subject: one", ""}) + ".\r\n");
  EXPECT_EQ(headersSeen, 1);
  EXPECT_EQ(c.last(), "LIST 3\r\n");
  c.feed("+OK 3 100\r\n");
  EXPECT_EQ(c.last(), "QUIT\r\n");  // skipping the last message ends the run
  EXPECT_TRUE(c.messages.empty());  // neither the deleted nor the skipped ones reached Done
}

// With delete on, DELE comes only after the message was handed over and kept nothing back.
TEST(Pop3Client, DeletesOnlyWhatWasHandledCompletely) {
  for (bool keep : {false, true}) {
    SCOPED_TRACE(keep);
    Client c;
    c.OptionsDelete = true;
    c.keep = keep;
    c.login("+OK 1 40\r\n");
    c.feed("+OK 1 40\r\n");
    EXPECT_EQ(c.last(), "RETR 1\r\n");
    c.feed("+OK\r\n" + kStuffed);
    ASSERT_EQ(c.messages.size(), 1u);
    EXPECT_EQ(c.last(), keep ? "QUIT\r\n" : "DELE 1\r\n");
  }
}

// A file of the message that cannot be created is reported, and the message stays on the server.
TEST(Pop3Client, AFileThatCannotBeWrittenKeepsTheMessageOnTheServer) {
  test::Scratch scratch;
  scratch.write("not-a-folder", "x");
  Client c;
  c.OptionsDelete = true;
  c.AttachmentPath = scratch.path("not-a-folder") + "/";
  c.login("+OK 1 60\r\n");
  c.feed("+OK 1 60\r\n");
  EXPECT_EQ(c.last(), "RETR 1\r\n");
  c.feed("+OK\r\n" + crlf({"MIME-Version: 1.0", "Content-Type: application/pdf; name=a.pdf", "", "data"}) + ".\r\n");
  ASSERT_EQ(c.messages.size(), 1u);
  EXPECT_EQ(c.last(), "QUIT\r\n");
  ASSERT_EQ(c.errors.size(), 1u);
  EXPECT_NE(c.errors[0].find("Error creating attached files from email"), std::string::npos) << c.errors[0];
}

TEST(Pop3Client, ServerErrorsEndTheRunWithTheirText) {
  struct Case {
    const char* name;
    std::vector<std::string> replies;
    const char* error;
  };
  const Case cases[] = {
      {"wrong password", {"+OK\r\n", "+OK\r\n", "-ERR [AUTH] Authentication failed.\r\n"},
       "The POP (Email) Server returned error = [AUTH] Authentication failed."},
      {"greeting refused", {"-ERR busy\r\n"}, "The POP (Email) Server returned error = busy"},
      {"refused TOP", {"+OK\r\n", "+OK\r\n", "+OK\r\n", "-ERR\r\n", "+OK 1 10\r\n", "+OK 1 10\r\n", "+OK 1 u\r\n", "-ERR no TOP\r\n"},
       "The POP (Email) Server returned error = -ERR no TOP"},
      {"refused RETR", {"+OK\r\n", "+OK\r\n", "+OK\r\n", "-ERR\r\n", "+OK 1 10\r\n", "+OK 1 10\r\n", "-ERR gone\r\n"},
       "The POP (Email) Server returned error = -ERR gone"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Client client;
    client.decide = [&](Client& self, int when) {
      self.DecideAction = std::string(c.name) == "refused TOP" && when == kDecideAfterList ? kDecideFetchHeaders
                                                                                           : kDecideDownload;
    };
    for (const std::string& r : c.replies) client.feed(r);
    ASSERT_EQ(client.errors.size(), 1u);
    EXPECT_NE(client.errors[0].find(c.error), std::string::npos) << client.errors[0];
    EXPECT_EQ(client.closes, 1);
    EXPECT_EQ(client.State, kStateIdle);
  }
}

TEST(Pop3Client, ASilentServerTimesOut) {
  Client c;
  c.ReplyTimeoutSeconds = 0;
  c.feed("+OK ready\r\n");
  EXPECT_EQ(c.last(), "USER bob\r\n");
  c.CheckTimeout();
  ASSERT_EQ(c.errors.size(), 1u);
  EXPECT_NE(c.errors[0].find("did not answer within 0 seconds. State = 152"), std::string::npos);
  EXPECT_EQ(c.closes, 1);
  c.CheckTimeout();  // reported once
  EXPECT_EQ(c.errors.size(), 1u);
}

TEST(Pop3Client, AConnectionClosedMidRunIsAnError) {
  Client c;
  c.login("+OK 1 10\r\n");
  c.ConnectionClosed();
  ASSERT_EQ(c.errors.size(), 1u);
  EXPECT_NE(c.errors[0].find("Connection to POP (Email) Server closed by Server"), std::string::npos);
  Client done;
  done.login("+OK 0 0\r\n");
  done.feed("+OK bye\r\n");
  done.ConnectionClosed();
  EXPECT_TRUE(done.errors.empty());
  EXPECT_EQ(done.State, kStateWaiting);
}

TEST(Pop3Client, HeadersFetchedWithTopNeverWriteAttachments) {
  test::Scratch scratch;
  Client c;
  c.AttachmentPath = scratch.root() + "/";
  c.decide = [](Client& self, int when) {
    self.DecideAction = when == kDecideAfterList ? kDecideFetchHeaders : kDecideSkip;
    if (when == kDecideAfterHeaders) {
      EXPECT_EQ(self.AttachmentList, "a.pdf");
    }
  };
  c.login("+OK 1 10\r\n");
  c.feed("+OK 1 10\r\n");
  c.feed("+OK 1 u\r\n");
  c.feed("+OK\r\n" + crlf({"MIME-Version: 1.0", "Content-Type: application/pdf; name=a.pdf", ""}) + ".\r\n");
  EXPECT_EQ(c.last(), "QUIT\r\n");
  EXPECT_TRUE(scratch.list("").empty());
}

// ---- Commands sent back to back (the server announced PIPELINING) --------------------------------

const std::string kPipelining = "+OK Capability list follows\r\nTOP\r\nUIDL\r\nPIPELINING\r\n.\r\n";

// Answers, as a server would, every command the client has sent and that is not answered yet,
// all in one stream cut into pieces of `piece` bytes, until nothing is left to answer. A TOP of
// a message listed in `refusedTop` gets "-ERR".
struct Responder {
  std::vector<std::string> mailbox;  // message n is mailbox[n - 1], dot-stuffed, without its end
  std::vector<std::string> commands;  // every command received, in order
  std::vector<int> refusedTop;
  size_t answered = 0;  // packets of Client::sent already answered (the log-in is answered by hand)

  void run(Client& c, size_t piece) {
    while (answered < c.sent.size()) {
      std::string stream;
      for (; answered < c.sent.size(); ++answered) {
        std::string packet = c.sent[answered];
        for (size_t eol; (eol = packet.find("\r\n")) != std::string::npos; packet.erase(0, eol + 2))
          stream += reply(packet.substr(0, eol));
      }
      c.feedInPieces(stream, piece);
    }
  }
  std::string reply(const std::string& command) {
    commands.push_back(command);
    const size_t blank = command.find(' ');
    const std::string verb = command.substr(0, blank);
    const int n = blank == std::string::npos ? 0 : std::atoi(command.c_str() + blank + 1);
    if (verb == "QUIT") return "+OK bye\r\n";
    if (n < 1 || n > static_cast<int>(mailbox.size())) return "-ERR no such message\r\n";
    const std::string& m = mailbox[static_cast<size_t>(n - 1)];
    const bool refuse = std::find(refusedTop.begin(), refusedTop.end(), n) != refusedTop.end();
    if (verb == "LIST") return "+OK " + std::to_string(n) + " " + std::to_string(m.size()) + "\r\n";
    if (verb == "UIDL") return "+OK " + std::to_string(n) + " uid-" + std::to_string(n) + "\r\n";
    if (verb == "TOP") return refuse ? "-ERR no TOP\r\n" : "+OK\r\n" + m.substr(0, m.find("\r\n\r\n") + 4) + ".\r\n";
    if (verb == "RETR") return "+OK\r\n" + m + ".\r\n";
    if (verb == "DELE") return "+OK\r\n";
    return "-ERR unknown\r\n";
  }
};

std::string pipelinedMessage(int n) {
  return crlf({"Subject: m" + std::to_string(n), "", "..dotted " + std::to_string(n), std::string(3000, 'x')});
}

// Decisions per message: after the list, then after the headers (0: not asked).
struct Plan {
  long afterList, afterHeaders;
};

// Messages are still handled one after another with every decision in order, whatever the
// server's stream is cut into; replies to commands that a decision made unnecessary are dropped.
TEST(Pop3Client, CommandsSentBackToBackKeepTheOrderOfDecisions) {
  const std::vector<Plan> plan = {
      {kDecideFetchHeaders, kDecideDownload},  // 1: the usual way
      {kDecideDownload, 0},                    // 2: UIDL and TOP sent ahead are dropped
      {kDecideFetchHeaders, kDecideSkip},      // 3
      {kDecideSkip, 0},                        // 4
      {kDecideFetchHeaders, kDecideDownload},  // 5
  };
  for (size_t piece : {1u, 5u, 64u, 16384u}) {
    SCOPED_TRACE(piece);
    Client c;
    Responder server;
    for (int n = 1; n <= 5; ++n) server.mailbox.push_back(pipelinedMessage(n));
    std::vector<std::pair<long, int>> asked;  // (message, when)
    c.decide = [&](Client& self, int when) {
      asked.emplace_back(self.CurrentMessageNum, when);
      const Plan& p = plan[static_cast<size_t>(self.CurrentMessageNum - 1)];
      self.DecideAction = when == kDecideAfterList ? p.afterList : p.afterHeaders;
      if (when == kDecideAfterHeaders) {
        EXPECT_EQ(self.Subject, "m" + std::to_string(self.CurrentMessageNum));
        EXPECT_EQ(self.UID, "uid-" + std::to_string(self.CurrentMessageNum));
      }
    };
    c.login("+OK 5 20000\r\n", kPipelining);
    server.answered = c.sent.size() - 1;
    EXPECT_EQ(c.last(), "LIST 1\r\nUIDL 1\r\nTOP 1 0\r\n");
    server.run(c, piece);
    EXPECT_TRUE(c.errors.empty()) << c.errors[0];
    EXPECT_EQ(c.finishedCount, 1);
    EXPECT_EQ(asked, (std::vector<std::pair<long, int>>{{1, kDecideAfterList}, {1, kDecideAfterHeaders},
                                                        {2, kDecideAfterList}, {3, kDecideAfterList},
                                                        {3, kDecideAfterHeaders}, {4, kDecideAfterList},
                                                        {5, kDecideAfterList}, {5, kDecideAfterHeaders}}));
    ASSERT_EQ(c.messages.size(), 3u);
    for (auto [i, n] : {std::pair{0, 1}, {1, 2}, {2, 5}}) {
      const std::string m = pipelinedMessage(n);
      EXPECT_EQ(c.messages[static_cast<size_t>(i)], m.substr(0, m.find("..")) + m.substr(m.find("..") + 1) + ".\r\n");
    }
    EXPECT_EQ(std::count(server.commands.begin(), server.commands.end(), "RETR 3"), 0);
    EXPECT_EQ(server.commands.back(), "QUIT");
    EXPECT_EQ(c.State, kStateWaiting);  // the QUIT reply, not a dropped one, ended the run
  }
}

// DELE waits for the message's Done; a message kept back is never deleted. A refused TOP that
// was sent ahead for a message downloaded at once is no error; one that is needed is.
TEST(Pop3Client, BackToBackDeletesOnlyHandledMessagesAndReportsNeededRefusals) {
  for (bool keep : {false, true}) {
    SCOPED_TRACE(keep);
    Client c;
    c.OptionsDelete = true;
    c.keep = keep;
    Responder server;
    for (int n = 1; n <= 3; ++n) server.mailbox.push_back(pipelinedMessage(n));
    server.refusedTop = {1};  // TOP 1 is refused, but message 1 is downloaded without it
    c.login("+OK 3 9000\r\n", kPipelining);
    server.answered = c.sent.size() - 1;
    server.run(c, 7);
    EXPECT_TRUE(c.errors.empty()) << c.errors[0];
    EXPECT_EQ(c.messages.size(), 3u);
    std::vector<std::string> expected;
    for (int n = 1; n <= 3; ++n) {
      const std::string s = std::to_string(n);
      for (const std::string& cmd : {"LIST " + s, "UIDL " + s, "TOP " + s + " 0", "RETR " + s})
        expected.push_back(cmd);
      if (!keep) expected.push_back("DELE " + s);
    }
    expected.push_back("QUIT");
    EXPECT_EQ(server.commands, expected);
  }
  Client c;
  c.decide = [](Client& self, int when) { self.DecideAction = when == kDecideAfterList ? kDecideFetchHeaders : kDecideDownload; };
  Responder server;
  server.mailbox = {pipelinedMessage(1), pipelinedMessage(2)};
  server.refusedTop = {2};
  c.login("+OK 2 6000\r\n", kPipelining);
  server.answered = c.sent.size() - 1;
  server.run(c, 16384);
  ASSERT_EQ(c.errors.size(), 1u);
  EXPECT_NE(c.errors[0].find("returned error = -ERR no TOP"), std::string::npos) << c.errors[0];
  EXPECT_EQ(c.messages.size(), 1u);
  EXPECT_EQ(c.State, kStateIdle);
}

// With the connection kept open, replies still due when the run ends are dropped quietly: they
// must not pass for the answer to a new run's command.
TEST(Pop3Client, RepliesStillDueWhenARunEndsAreDropped) {
  Client c;
  c.OptionsKeepOpen = true;
  c.decide = [](Client& self, int) { self.DecideAction = kDecideSkip; };
  Responder server;
  server.mailbox = {pipelinedMessage(1)};
  c.login("+OK 1 3000\r\n", kPipelining);
  EXPECT_EQ(c.last(), "LIST 1\r\nUIDL 1\r\nTOP 1 0\r\n");
  c.feed("+OK 1 3000\r\n");  // skipped: the run ends before UIDL and TOP are answered
  EXPECT_EQ(c.finishedCount, 1);
  EXPECT_EQ(c.State, kStateWaiting);
  c.feed("+OK 1 uid-1\r\n+OK\r\nSubject: m1\r\n\r\n.\r\n");
  EXPECT_EQ(c.sent.size(), 5u);  // nothing more was sent
  EXPECT_TRUE(c.errors.empty());
  EXPECT_EQ(c.State, kStateWaiting);
}

}  // namespace
}  // namespace ov::pop
