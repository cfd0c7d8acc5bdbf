#include "platform/files/error_class.h"

#include <cstdio>

namespace ov::db {
namespace {

struct MsgText {
  Msg id;
  Level level;
  const char* title;
  const char* text;
};

const MsgText kTexts[] = {
    {Msg::None, Level::Benign, "", ""},
    {Msg::OpenFailed, Level::Fatal, "File Error", "%File could not be opened. Error: %Error (%ErrorCode). %FileError"},
    {Msg::CreateFailed, Level::Fatal, "File Error", "%File could not be created. Error: %Error (%ErrorCode). %FileError"},
    {Msg::CloseFailed, Level::Notify, "File Error", "%File could not be closed. Error: %Error (%ErrorCode)."},
    {Msg::AddFailed, Level::Notify, "Record Error",
     "The record could not be added to %File. Error: %Error (%ErrorCode). %FileError"},
    {Msg::PutFailed, Level::Notify, "Record Error",
     "The record of %File could not be changed. Error: %Error (%ErrorCode). %FileError"},
    {Msg::DeleteFailed, Level::Notify, "Record Error",
     "The record of %File could not be deleted. Error: %Error (%ErrorCode). %FileError"},
    {Msg::DuplicateKey, Level::Notify, "Duplicate Key",
     "This record would duplicate the key %Message of %File; it was not stored."},
    {Msg::RetrieveFailed, Level::Notify, "Record Error",
     "A record of %File could not be read. Error: %Error (%ErrorCode). %FileError"},
    {Msg::RecordNotFound, Level::Notify, "Record Error", "The record was not found in %File."},
    {Msg::FieldOutOfRange, Level::Notify, "Range Error", "The value of %Field must be between %Message."},
    {Msg::RestrictUpdate, Level::Notify, "Record Error",
     "This record of %File cannot be changed while records of %Message refer to it."},
    {Msg::RestrictDelete, Level::Notify, "Record Error",
     "This record of %File cannot be deleted while records of %Message refer to it."},
    {Msg::CascadeFailed, Level::Notify, "Record Error",
     "The related records of %Message could not be changed, so nothing in %File was changed. Error: %Error "
     "(%ErrorCode). %FileError"},
    {Msg::AutoIncFailed, Level::Notify, "Record Error",
     "No new number could be given to the record of %File. Error: %Error (%ErrorCode). %FileError"},
    {Msg::LogoutFailed, Level::Notify, "Record Error",
     "The change to %File could not be started as one transaction. Error: %Error (%ErrorCode)."},
    {Msg::ViewOpenFailed, Level::Notify, "View Error",
     "The view of %File could not be opened. Error: %Error (%ErrorCode). %FileError"},
    {Msg::RecordChanged, Level::User, "Record Changed",
     "This record of %File was changed by another window or program after you opened it.\n"
     "Yes keeps your version and stores it over that change.\n"
     "No reloads the record as it is stored now; your changes are dropped."},
};

const MsgText& entry(Msg id) {
  for (const MsgText& t : kTexts)
    if (t.id == id) return t;
  return kTexts[0];
}

void replaceAll(std::string& s, std::string_view what, std::string_view with) {
  for (size_t at = 0; (at = s.find(what, at)) != std::string::npos; at += with.size()) s.replace(at, what.size(), with);
}

ErrorClass* g_installed = nullptr;

}  // namespace

ErrorClass::ErrorClass() = default;
ErrorClass::~ErrorClass() {
  if (g_installed == this) g_installed = nullptr;
}

Level ErrorClass::levelOf(Msg id) { return entry(id).level; }
std::string_view ErrorClass::titleOf(Msg id) { return entry(id).title; }

std::string ErrorClass::text(Msg id, std::string_view message) const {
  std::string s = entry(id).text;
  std::string detail = rt::FILEERROR();
  // %FileError last: the driver's text may itself hold a '%'.
  replaceAll(s, "%FileError", "\x01");
  replaceAll(s, "%ErrorCode", std::to_string(rt::ERRORCODE()));
  replaceAll(s, "%Error", rt::ERROR());
  replaceAll(s, "%File", m_file);
  replaceAll(s, "%Field", m_field);
  replaceAll(s, "%Message", message);
  replaceAll(s, "\x01", detail);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

void ErrorClass::setSink(Sink sink) { m_sink = std::move(sink); }

Level ErrorClass::Throw(Msg id) { return take(id, {}); }

Level ErrorClass::ThrowFile(Msg id, std::string_view fileLabel) {
  SetFile(fileLabel);
  return take(id, {});
}

Level ErrorClass::ThrowMessage(Msg id, std::string_view message) { return take(id, message); }

Level ErrorClass::take(Msg id, std::string_view message) {
  ErrorReport r;
  r.id = id;
  r.level = levelOf(id);
  r.title = titleOf(id);
  r.text = text(id, message);
  r.errorCode = rt::ERRORCODE();
  r.file = m_file;
  m_last = r;
  switch (r.level) {
    case Level::Benign: return TakeBenign(r);
    case Level::User: return TakeUser(r);
    case Level::Program: return TakeProgram(r);
    case Level::Fatal: return TakeFatal(r);
    case Level::Cancel:
    case Level::Notify: return TakeNotify(r);
  }
  return r.level;
}

Level ErrorClass::TakeBenign(const ErrorReport&) { return Level::Benign; }
Level ErrorClass::TakeNotify(const ErrorReport& r) { return deliver(r); }
Level ErrorClass::TakeUser(const ErrorReport& r) { return deliver(r); }
Level ErrorClass::TakeProgram(const ErrorReport& r) { return deliver(r); }
Level ErrorClass::TakeFatal(const ErrorReport& r) { return deliver(r); }

Level ErrorClass::deliver(const ErrorReport& r) {
  if (m_sink) return m_sink(r);
  std::fprintf(stderr, "%s: %s\n", r.title.c_str(), r.text.c_str());
  return r.level;
}

ErrorClass& globalErrors() {
  static ErrorClass own;
  return g_installed ? *g_installed : own;
}

void setGlobalErrors(ErrorClass* errors) { g_installed = errors; }

}  // namespace ov::db
