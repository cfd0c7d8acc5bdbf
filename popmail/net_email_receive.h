// NetEmailReceive: the POP3 client of the mail receiver, on one NetSimple connection.
//
// A caller fills Server, Port, User, Password and the options and calls Ask(11); from then on the
// server's replies drive it: each packet goes to Process, which runs the protocol's state machine,
// sends the next command and, per message, asks Decide what to do (DecideAction) and hands the
// split message to Done. The client sends USER, PASS, CAPA, STAT, LIST n, UIDL n, TOP n 0,
// RETR n, DELE n, NOOP and QUIT, in clear text.
//
// A fetch asks for the server's capabilities after the log-in. When the server announces
// PIPELINING, the per-message commands go out back to back instead of one per reply: LIST n,
// UIDL n and TOP n 0 together (the headers are usually looked at first), and the next message's
// three with RETR n (or with DELE n). The messages are still handled strictly one after another:
// Decide and Done come in the same order, and a reply to a command sent ahead that a decision
// made unnecessary (UIDL and TOP of a message downloaded, skipped or deleted at once, everything
// before QUIT) is read and dropped. DELE n is never sent ahead: it waits until Done has handled
// message n. A server without CAPA or PIPELINING gets one command per reply.
//
// Replies are framed by the protocol, not by packets: a reply line split over packets is joined,
// a message's end (CR LF "." CR LF) is found however the stream is cut, and dot-stuffing is undone
// across packets. No buffer is sized from a figure the server sends. The owner calls CheckTimeout
// on its timer: a server that stays silent for ReplyTimeoutSeconds while an answer is due ends the
// run with an error. A message is deleted on the server (with OptionsDelete) only after Done has
// handled it and left KeepOnServer clear.
//
// Members that the protocol's description names with a leading underscore drop it here (State,
// Command, DownloadStage, ...). Everything runs on the owner's thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "popmail/net_simple.h"

namespace ov::pop {

// Protocol states (State).
constexpr unsigned long kStateIdle = 0;
constexpr unsigned long kStateConnecting = 151;
constexpr unsigned long kStateUser = 152;
constexpr unsigned long kStatePass = 153;
constexpr unsigned long kStateStat = 154;
constexpr unsigned long kStateMessages = 155;
constexpr unsigned long kStateQuit = 156;
constexpr unsigned long kStateWaiting = 157;

// Commands of Ask.
constexpr long kAskStatistics = 10;
constexpr long kAskFetch = 11;

// Moments of Decide.
constexpr int kDecideAfterList = 120;
constexpr int kDecideAfterHeaders = 121;

// Decisions (DecideAction).
constexpr long kDecideDownload = 11;
constexpr long kDecideFetchHeaders = 130;
constexpr long kDecideSkip = 132;
constexpr long kDecideQuit = 133;
constexpr long kDecideDeleteUnread = 134;

class NetEmailReceive : public NetSimple {
 public:
  NetEmailReceive();
  ~NetEmailReceive() override;

  void Init();
  void Kill() override;
  virtual void Free();
  virtual void Ask(long command);
  void Open(std::string_view server, std::uint16_t port) override;
  void Close() override;
  void Process() override;
  void ConnectionClosed() override;
  // Hooks: `when` is kDecideAfterList or kDecideAfterHeaders; set DecideAction. Done(command,
  // false) after each message that was downloaded and split, Done(command, true) at the end.
  virtual void Decide(int when) { (void)when; }
  virtual void Done(long command, bool finished) {
    (void)command;
    (void)finished;
  }
  virtual void MessageDownloaded() {}
  // The progress bar of the owner, if any: shown or hidden, value 0..1000.
  virtual void ShowProgress(bool visible, long value) {
    (void)visible;
    (void)value;
  }
  // Refreshes Progress1000 (the owner calls it on its timer).
  virtual void UpdateProgress();
  // Ends the run when the server has not answered for ReplyTimeoutSeconds; the owner's timer calls it.
  void CheckTimeout();

  // Splitting (message_split.cpp). False on failure (reported through ErrorTrap).
  virtual bool ProcessSplitWholeMessage();
  // A header value: tabs become blanks, line breaks go, encoded words are decoded.
  virtual std::string ProcessHeaderValue(std::string_view text);
  // A name from a message turned into a file name that stays inside AttachmentPath.
  virtual std::string ProcessCleanFileName(std::string_view name);

  // Settings.
  std::string User;
  std::string Password;
  std::string Server;
  std::uint16_t Port = 0;
  bool OptionsDelete = false;
  bool OptionsKeepOpen = false;
  std::string OptionsUserFilter;  // a header name with its colon, upper case
  bool OptionsDontSaveAttachments = false;
  bool OptionsDontSaveEmbeds = false;
  std::string AttachmentPath;     // with its closing "/"
  int ReplyTimeoutSeconds = 60;

  // The run.
  long TotalMessagesCount = 0;
  long long TotalBytesCount = 0;
  long long TotalBytesReceived = 0;
  long long TotalBytesToGo = 0;
  long Progress1000 = 0;
  std::string ServerErrorDesc;
  long DecideAction = 0;
  bool KeepOnServer = false;  // Done sets it when the message must not be deleted (not saved, refused)
  // Parts of the current message that the split listed but did not write (the options said so,
  // or a uuencoded file never ended); a receiver that deletes only what it kept looks at it.
  long PartsNotWritten = 0;

  // The current message.
  long MsgNumber = 0;
  long long Bytes = 0;
  std::string UID;
  std::string ToList, CCList, From, Subject, ReplyTo, Organization, DeliveryReceiptTo, DispositionNotificationTo,
      SentDate, MessageID, References, UserFilterContent;
  std::string AttachmentList;
  std::vector<std::string> AttachmentListQ;
  std::string EmbedList;
  std::vector<std::string> EmbedListQ;
  std::string MessageText, MessageHTML, WholeMessage;
  std::string TextCharset, HTMLCharset, MIMEVersion, ContentType, ContentDisposition, ContentTransferEncoding;
  std::string MimeAltBoundary, MimeMixedBoundary, MimeRelBoundary;
  std::string DeliveryStatusOriginalRecipient, DeliveryStatusFinalRecipient, DeliveryStatusAction,
      DeliveryStatusStatus, DeliveryStatusRemoteMTA, DeliveryStatusDiagnosticCode, DeliveryStatusLastAttemptDate;

  // Protocol state.
  unsigned long State = kStateIdle;
  long Command = 0;
  long CurrentMessageNum = 0;
  long DownloadStage = 0;

  // The part being split.
  std::string MDContentType, MDCharset, MDContentTransfer, MDContentBoundary, MDContentDisposition, MDContentID,
      MDFileName, MDName;

 protected:
  // Sends `command` (with its CR LF).
  void ProcessSendIt(std::string_view command);
  bool ProcessRaiseError(std::string_view text);
  void ProcessDecideWhereToGo();
  void ProcessDoQuit();
  void ProcessClearMessage();
  void ClearBodies();
  std::string ServerDesc() const { return "POP (Email)"; }

  // Splitting steps (message_split.cpp); each returns false on failure.
  void ProcessMimeDesc(std::string_view headerBlock);
  bool ProcessMixed(std::string_view body, int depth);
  bool ProcessAlternative(std::string_view body, int depth);
  bool ProcessRelated(std::string_view body, int depth);
  bool ProcessText(std::string_view body);
  bool ProcessHtml(std::string_view body);
  void ProcessDeliveryStatus(std::string_view body);
  bool ProcessStoreAttachment(std::string_view body);
  // Lists and writes the uuencoded files of `body`; the length of the text before the first of
  // them (the whole body when there is none).
  size_t ProcessUUDecode(std::string_view body, bool& ok);

 private:
  enum class Unit { Line, MultiLine };
  // Handles one whole reply of the current state; false when the run stopped here.
  void handleLine(std::string_view line);
  void handleMultiLine();
  bool getData(bool first, std::string_view reply = {});
  void sendNextCommand();
  bool finishMessage();
  bool nextMessage();
  // Collects a TOP or RETR reply into `into`; true once it is complete. With `drop` the reply
  // answers a command sent ahead that is no longer needed: a refusal is no error then.
  bool collectMultiLine(std::string& into, bool drop);
  bool expectingMultiLine() const;
  // The oldest reply still due answers a command sent ahead that is no longer needed.
  bool oldestReplyIsDropped() const;
  // Reads and drops that reply; false while it is not complete.
  bool dropReply();
  bool writeAttachment(const std::string& name, std::string_view body, const std::string& encoding, const char* proc);
  bool uniqueFileName(const std::vector<std::string>& taken, std::string& name, bool saving);
  bool processNested(std::string_view part, const std::string& type, int depth);
  bool walkParts(std::string_view body, std::string_view boundary, const char* missingEnd,
                 const std::function<bool(std::string_view)>& dispatch);

  // A command of the per-message phase that was sent and not answered yet.
  struct Sent {
    long msg;
    long stage;  // the DownloadStage it belongs to
  };

  std::string m_in;          // bytes received and not yet handled
  std::deque<Sent> m_sent;   // in the order sent, so in the order of their replies
  std::string m_dropped;     // a multi-line reply being dropped
  bool m_pipelining = false; // the server announced PIPELINING
  int m_capa = 0;            // 1: CAPA sent, 2: reading its list
  bool m_statusLineSeen = false;
  bool m_headersOnly = false;  // a TOP reply is split: attachments are listed, not written
  int m_partsFound = 0;
  bool m_waitingReply = false;
  std::chrono::steady_clock::time_point m_lastActivity;
};

}  // namespace ov::pop
