// The error manager: turns a file error (or a failed field check) into a message for the user.
//
// Every error has an id (Msg) with a level, a title and a text in which %File (the label of the
// file that failed, set by SetFile), %Field, %Message, %Error, %ErrorCode and %FileError are
// replaced. What happens with a message depends on its level: Benign ones are only recorded;
// the others go to the sink, which shows them and returns the level the caller acts on. The
// windows layer installs a sink that shows message boxes; until then the default sink writes the
// message to standard error. Nothing here ends the program: a Fatal result tells the caller to.
//
// A program derives its own error manager where it wants to change what a level does; the
// Take* members are the hooks.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/rt/err.h"

namespace ov::db {

enum class Level : int {
  Benign = 0,  // no message; the caller goes on
  User,        // the user chose to go on
  Program,     // a fault of the program
  Fatal,       // the caller cannot go on
  Cancel,      // the user cancelled
  Notify,      // the user was told; the caller goes on without the change
};

enum class Msg : int {
  None = 0,
  OpenFailed,
  CreateFailed,
  CloseFailed,
  AddFailed,
  PutFailed,
  DeleteFailed,
  DuplicateKey,
  RetrieveFailed,
  RecordNotFound,
  FieldOutOfRange,
  RestrictUpdate,
  RestrictDelete,
  CascadeFailed,
  AutoIncFailed,
  LogoutFailed,
  ViewOpenFailed,
  RecordChanged,  // a question: User keeps the user's version, anything else reloads
};

struct ErrorReport {
  Msg id = Msg::None;
  Level level = Level::Benign;
  std::string title;
  std::string text;  // with every % name replaced
  int errorCode = 0;
  std::string file;  // the file label
};

class ErrorClass {
 public:
  using Sink = std::function<Level(const ErrorReport&)>;

  ErrorClass();
  virtual ~ErrorClass();

  void Init() {}
  void Kill() {}

  // Names used in the texts.
  void SetFile(std::string_view label) { m_file = label; }
  void SetField(std::string_view field) { m_field = field; }
  const std::string& fileLabel() const { return m_file; }

  // Reports `id` with the runtime's last error (ERRORCODE, ERROR, FILEERROR) in the text.
  Level Throw(Msg id);
  Level ThrowFile(Msg id, std::string_view fileLabel);
  Level ThrowMessage(Msg id, std::string_view message);

  // The text of `id` with the current names in it.
  std::string text(Msg id, std::string_view message = {}) const;
  static Level levelOf(Msg id);
  static std::string_view titleOf(Msg id);

  // Where messages go; an empty sink restores the default (standard error).
  void setSink(Sink sink);
  const ErrorReport& lastReport() const { return m_last; }

 protected:
  virtual Level TakeBenign(const ErrorReport& r);
  virtual Level TakeNotify(const ErrorReport& r);
  virtual Level TakeUser(const ErrorReport& r);
  virtual Level TakeProgram(const ErrorReport& r);
  virtual Level TakeFatal(const ErrorReport& r);
  Level deliver(const ErrorReport& r);

 private:
  Level take(Msg id, std::string_view message);

  std::string m_file, m_field;
  Sink m_sink;
  ErrorReport m_last;
};

// The error manager that file managers report through unless given another: the process's
// own until a program installs one (setGlobalErrors(nullptr) goes back to it).
ErrorClass& globalErrors();
void setGlobalErrors(ErrorClass* errors);

}  // namespace ov::db
