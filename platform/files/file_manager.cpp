#include "platform/files/file_manager.h"

#include "platform/files/detail/backend.h"
#include "platform/files/detail/storage.h"
#include "platform/files/detail/txn.h"

namespace ov::db {

using rt::Err;

FileManager::FileManager(File& file) : m_file(file) {}

FileManager::~FileManager() {
  if (m_opened > 0 && m_file.isOpen()) {
    (void)CancelAutoInc();  // best effort: an abandoned new record must not stay reserved
    (void)m_file.close();
  }
}

Err FileManager::report(Err err, Msg id) {
  if (err != Err::None) Throw(id);
  return err;
}

Err FileManager::openFile() {
  Err err = m_file.open(OpenMode);
  if (err == Err::AlreadyOpen) err = Err::None;
  if (err == Err::NoFile && m_file.decl().create) {
    if (Err c = m_file.create(); c != Err::None) return c;
    err = m_file.open(OpenMode);
  }
  return err;
}

Err FileManager::TryOpen() {
  if (m_opened == 0) {
    if (Err err = openFile(); err != Err::None) return err;
  }
  ++m_opened;
  rt::clearError();
  return Err::None;
}

Err FileManager::Open() {
  Err err = TryOpen();
  if (err != Err::None) Throw(Msg::OpenFailed);
  return err;
}

Err FileManager::Close() {
  if (m_opened == 0) {
    rt::setError(Err::NotOpen, m_file.name());
    return Err::NotOpen;
  }
  if (--m_opened > 0) return Err::None;
  (void)CancelAutoInc();  // a record primed and never inserted is dropped with the file
  return m_file.isOpen() ? m_file.close() : Err::None;
}

Err FileManager::UseFile() {
  if (m_opened > 0 && m_file.isOpen()) return Err::None;
  if (m_opened > 0) m_opened = 0;  // closed behind our back: open afresh
  return Open();
}

Key FileManager::autoKey() const {
  for (int k = 0; k < m_file.keyCount(); ++k)
    if (m_file.decl().keys[static_cast<size_t>(k)].autoNumber != AutoNumber::None) return Key(&m_file, k);
  return Key();
}

Err FileManager::numberAndAdd(bool reserve) {
  Key key = autoKey();
  const rt::FieldDesc* numbered = m_file.record().find(key.decl().parts.back().field);
  if (!numbered) return Err::BadRecordDecl;
  Err err = Err::None;
  for (int attempt = 0; attempt < std::max(1, AutoIncRetries); ++attempt) {
    detail::WriteScope scope;
    std::string detail;
    if (err = scope.begin({&m_file}, 10000, &detail); err != Err::None) {
      rt::setError(err, m_file.name(), detail);
      return err;
    }
    double highest = 0;
    if (err = detail::highestNumber(m_file, key, highest); err != Err::None) return err;
    rt::setFieldNumber(m_file.buffer(), *numbered, highest + 1);
    err = m_file.add();
    // A reserved record is noted with it, so that one its program never finished is found.
    if (err == Err::None && reserve) err = detail::noteReservation(m_file, m_file.position(), true);
    if (err == Err::None) {
      if (Err c = scope.finish(true, &detail); c != Err::None) {
        rt::setError(c, m_file.name(), detail);
        return c;
      }
      if (reserve) reserved() = m_file.position();
      return Err::None;
    }
    // Only a clash on the numbered key itself is worth another number.
    bool clash = err == Err::DupKey && detail::duplicateAny(m_file, key);
    Err keep = err;
    std::string keepDetail = rt::FILEERROR();
    (void)scope.finish(false);
    rt::setError(keep, m_file.name(), keepDetail);
    if (!clash) return keep;
  }
  return err;
}

Err FileManager::PrimeRecord(bool suppressClear) {
  if (Err err = CancelAutoInc(); err != Err::None) return report(err, Msg::DeleteFailed);
  if (!suppressClear) m_file.clear();
  PrimeFields();
  Key key = autoKey();
  if (!key.isValid() || LazyAutoInc) return Err::None;
  if (!m_file.isOpen()) return report(Err::NotOpen, Msg::AutoIncFailed);
  Err err = numberAndAdd(true);
  if (err == Err::DupKey) {
    // Another unique key of the primed record is taken: number it when it is inserted.
    if (const rt::FieldDesc* f = m_file.record().find(key.decl().parts.back().field))
      rt::setFieldNumber(m_file.buffer(), *f, 0);
    rt::clearError();
    return Err::None;
  }
  return report(err, Msg::AutoIncFailed);
}

// Writes over (or removes) the reserved record at `at` and forgets its reservation, together.
Err FileManager::finishReservation(int64_t at, bool keep) {
  detail::WriteScope scope;
  std::string detail;
  if (Err err = scope.begin({&m_file}, 10000, &detail); err != Err::None) {
    rt::setError(err, m_file.name(), detail);
    return err;
  }
  Err err = keep ? m_file.putAt(at) : m_file.deleteAt(at);
  if (err == Err::NotAvailable && !keep) err = Err::None;  // already gone
  if (err == Err::None) err = detail::noteReservation(m_file, at, false);
  if (err != Err::None) {
    std::string keepDetail = rt::FILEERROR();
    (void)scope.finish(false);
    rt::setError(err, m_file.name(), keepDetail);
    return err;
  }
  if (Err c = scope.finish(true, &detail); c != Err::None) {
    rt::setError(c, m_file.name(), detail);
    return c;
  }
  return Err::None;
}

Err FileManager::CancelAutoInc() {
  if (reserved() == 0) return Err::None;
  int64_t at = reserved();
  reserved() = 0;
  if (!m_file.isOpen()) return Err::NotOpen;
  return finishReservation(at, false);
}

Err FileManager::insertRecord() {
  if (reserved() != 0) {
    Err err = finishReservation(reserved(), true);
    if (err == Err::None) reserved() = 0;
    return err;
  }
  return TryInsertApart();
}

std::vector<int64_t> FileManager::AbandonedReservations() { return detail::abandonedReservations(m_file); }

Err FileManager::ForgetReservation(int64_t position) { return detail::noteReservation(m_file, position, false); }

Err FileManager::TryInsertApart() {
  Key key = autoKey();
  if (key.isValid()) {
    const rt::FieldDesc* f = m_file.record().find(key.decl().parts.back().field);
    if (f && rt::fieldNumber(m_file.buffer(), *f) == 0) return numberAndAdd(false);
  }
  return m_file.add();
}

Err FileManager::TryInsert() { return insertRecord(); }

Err FileManager::Insert() {
  Err err = insertRecord();
  if (err == Err::DupKey) {
    std::string keyName;
    for (int k = 0; k < m_file.keyCount(); ++k)
      if (m_file.decl().keys[static_cast<size_t>(k)].unique && detail::duplicateAny(m_file, Key(&m_file, k))) {
        keyName = m_file.decl().keys[static_cast<size_t>(k)].name;
        break;
      }
    rt::setError(err, m_file.name());
    ThrowMessage(Msg::DuplicateKey, keyName);
    return err;
  }
  return report(err, Msg::AddFailed);
}

Err FileManager::TryUpdate() { return m_file.put(); }

bool FileManager::TakeChanged() {
  rt::setError(rt::Err::Changed, m_file.name());
  if (Throw(Msg::RecordChanged) == Level::User) {
    (void)m_file.watchStored();
    return true;
  }
  if (m_file.reget() == rt::Err::None) (void)m_file.watch();
  return false;
}

Err FileManager::Update() {
  Err err = m_file.put();
  if (err == Err::Changed) {
    if (!TakeChanged()) return err;
    err = m_file.put();
  }
  if (err == Err::DupKey) {
    std::string keyName;
    for (int k = 0; k < m_file.keyCount() && keyName.empty(); ++k)
      if (m_file.decl().keys[static_cast<size_t>(k)].unique && m_file.duplicate(Key(&m_file, k)))
        keyName = m_file.decl().keys[static_cast<size_t>(k)].name;
    rt::setError(err, m_file.name());
    ThrowMessage(Msg::DuplicateKey, keyName);
    return err;
  }
  return report(err, Msg::PutFailed);
}

Err FileManager::TryFetch(Key key) { return m_file.get(key); }

Err FileManager::Fetch(Key key) {
  Err err = m_file.get(key);
  return report(err, err == Err::NotFound ? Msg::RecordNotFound : Msg::RetrieveFailed);
}

Err FileManager::TryNext() { return m_file.next(); }
Err FileManager::TryPrevious() { return m_file.previous(); }

Err FileManager::Next() {
  Err err = m_file.next();
  return err == Err::NotAvailable ? err : report(err, Msg::RetrieveFailed);
}

Err FileManager::Previous() {
  Err err = m_file.previous();
  return err == Err::NotAvailable ? err : report(err, Msg::RetrieveFailed);
}

Err FileManager::TryDelete() { return m_file.deleteRecord(); }
Err FileManager::Delete() { return report(m_file.deleteRecord(), Msg::DeleteFailed); }

Level FileManager::ValidateField(const rt::FieldDesc&) { return Level::Benign; }

Level FileManager::ValidateByName(std::string_view name) {
  const rt::FieldDesc* f = m_file.record().find(name);
  return f ? ValidateField(*f) : Level::Benign;
}

Level FileManager::ValidateFields() {
  for (const rt::FieldDesc& f : m_file.record().fields)
    if (Level l = ValidateField(f); l != Level::Benign) return l;
  return Level::Benign;
}

Level FileManager::ValidateRange(std::string_view fieldText, double value, double low, double high,
                                 std::string_view rangeText) {
  if (value >= low && value <= high) return Level::Benign;
  errors().SetField(fieldText);
  ThrowMessage(Msg::FieldOutOfRange, rangeText);
  return Level::Notify;
}

Level FileManager::Throw(Msg id) {
  errors().SetFile(m_file.decl().errorLabel);
  return errors().Throw(id);
}

Level FileManager::ThrowMessage(Msg id, std::string_view message) {
  errors().SetFile(m_file.decl().errorLabel);
  return errors().ThrowMessage(id, message);
}

void FileManager::BindFields(const Binder& bind) {
  for (const detail::MemoSlot& m : detail::memoSlots(m_file.decl())) {
    if (m.field) {
      bind(m.name, *m.field, m_file.buffer());
    } else {
      rt::FieldDesc f{m.name, m.isBlob ? rt::FieldType::Blob : rt::FieldType::Memo, m.size, 0, 0};
      bind(m.name, f, m.value);
    }
  }
}

}  // namespace ov::db
