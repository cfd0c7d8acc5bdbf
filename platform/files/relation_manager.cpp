#include "platform/files/relation_manager.h"

#include "platform/files/detail/txn.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/text.h"

namespace ov::db {

using rt::Err;

namespace {

std::vector<std::string> linkValues(const rt::RecordDesc& rec, const void* base,
                                    const std::vector<RelationManager::Link>& links, bool parentSide) {
  std::vector<std::string> out;
  for (const RelationManager::Link& l : links) {
    const rt::FieldDesc* f = rec.find(parentSide ? l.parentField : l.childField);
    out.push_back(f ? rt::fieldText(base, *f) : std::string());
  }
  return out;
}

void setChildLinks(File& child, const std::vector<RelationManager::Link>& links, const std::vector<std::string>* values) {
  for (size_t i = 0; i < links.size(); ++i) {
    if (const rt::FieldDesc* f = child.record().find(links[i].childField)) {
      if (values) rt::setFieldText(child.buffer(), *f, (*values)[i]);
      else if (f->type == rt::FieldType::String || f->type == rt::FieldType::CString) rt::setFieldText(child.buffer(), *f, "");
      else rt::setFieldNumber(child.buffer(), *f, 0);
    }
  }
}

// Error code and texts of a failure, kept across the rollback that follows it.
struct SavedError {
  SavedError() : code(static_cast<Err>(rt::ERRORCODE())), file(rt::ERRORFILE()), detail(rt::FILEERROR()) {}
  void restore() const { rt::setError(code, file, detail); }
  Err code;
  std::string file, detail;
};

}  // namespace

RelationManager::RelationManager(FileManager& me) : Me(me) {}
RelationManager::~RelationManager() = default;

void RelationManager::AddRelation(RelationManager& related) {
  m_relations.push_back(Relation{&related, false, Rule::None, Rule::None, Key(), {}});
}

void RelationManager::AddRelation(RelationManager& child, Rule onUpdate, Rule onDelete, Key childKey,
                                  std::vector<Link> links) {
  m_relations.push_back(Relation{&child, true, onUpdate, onDelete, childKey, std::move(links)});
}

Err RelationManager::Open() {
  if (Err err = Me.Open(); err != Err::None) return err;
  for (const Relation& r : m_relations) {
    if (Err err = r.other->Me.Open(); err != Err::None) {
      (void)Close();  // what was opened here is closed again
      return err;
    }
    m_openedWith.push_back(r.other);
  }
  dropAbandoned();
  return Err::None;
}

// A new record that a program reserved and never finished nor gave up (it was killed with the
// form open) goes, with what was written under its number, as giving it up would have done;
// the next record given that number must not find it. A failure leaves it for the next open.
void RelationManager::dropAbandoned() {
  const std::vector<int64_t> rids = Me.AbandonedReservations();
  if (rids.empty()) return;
  File& f = Me.file();
  const RecordImage buffer = f.saveBuffer();
  const detail::CursorState cursor = detail::saveCursor(f);
  const SavedError before;
  for (int64_t rid : rids) {
    detail::WriteScope scope;
    if (scope.begin({&f}, 10000) != Err::None) break;
    Msg failure = Msg::DeleteFailed;
    std::string failedFile;
    Err err = f.getPosition(rid);
    if (err == Err::None) err = deleteInScope(scope, failure, failedFile);
    if (err == Err::None || err == Err::NotFound) err = Me.ForgetReservation(rid);
    (void)scope.finish(err == Err::None);
  }
  f.restoreBuffer(buffer);
  detail::restoreCursor(f, cursor);
  before.restore();
}

Err RelationManager::Close() {
  for (auto it = m_openedWith.rbegin(); it != m_openedWith.rend(); ++it) (void)(*it)->Me.Close();
  m_openedWith.clear();
  return Me.Close();
}

Err RelationManager::forEachChild(const Relation& rel, const std::vector<std::string>& values, bool stopAtFirst,
                                  bool& found, const std::function<Err()>& each) {
  File& child = rel.other->Me.file();
  Key key = rel.childKey;
  size_t n = rel.links.size();
  // The children are found through the key when its leading components are the link fields.
  bool byKey = key.isValid() && key.decl().parts.size() >= n;
  for (size_t i = 0; byKey && i < n; ++i) {
    bool linked = false;
    for (const Link& l : rel.links) linked = linked || rt::UPPER(l.childField) == rt::UPPER(key.decl().parts[i].field);
    byKey = linked;
  }
  found = false;
  child.clear(-1);
  setChildLinks(child, rel.links, &values);
  std::string target = byKey ? detail::encodeKeyPrefixOf(child, key, child.buffer(), n) : std::string();
  Err err = byKey ? child.setFrom(key) : child.set();
  if (err != Err::None) return err;
  bool caseless = !key.isValid() || !key.decl().caseSensitive;
  for (;;) {
    err = child.next();
    if (err == Err::NotAvailable) return Err::None;
    if (err != Err::None) return err;
    if (byKey) {
      if (detail::encodeKeyPrefixOf(child, key, child.buffer(), n) != target) return Err::None;
    } else {
      std::vector<std::string> have = linkValues(child.record(), child.buffer(), rel.links, false);
      bool same = true;
      for (size_t i = 0; i < n; ++i) same = same && rt::compareText(have[i], values[i], caseless) == 0;
      if (!same) continue;
    }
    found = true;
    if (stopAtFirst) return Err::None;
    if (err = each(); err != Err::None) return err;
  }
}

Err RelationManager::applyToChildren(detail::WriteScope& scope, const Relation& rel, Rule rule, bool deleting,
                                     const std::vector<std::string>& oldValues,
                                     const std::vector<std::string>& newValues, Msg& failure,
                                     std::string& failedFile) {
  RelationManager& child = *rel.other;
  File& cf = child.Me.file();
  bool opened = false;
  if (!cf.isOpen()) {
    if (Err err = child.Me.TryOpen(); err != Err::None) {
      failure = Msg::CascadeFailed;
      failedFile = cf.decl().errorLabel;
      return err;
    }
    opened = true;
  }
  Err err = scope.join(cf);
  RecordImage saved = cf.saveBuffer();
  detail::CursorState cursor = detail::saveCursor(cf);
  bool found = false;
  if (err == Err::None) {
    err = forEachChild(rel, oldValues, rule == Rule::Restrict, found, [&]() -> Err {
      if (rule == Rule::Cascade && deleting) return child.deleteInScope(scope, failure, failedFile);
      setChildLinks(cf, rel.links, rule == Rule::Cascade ? &newValues : nullptr);
      return child.updateInScope(scope, failure, failedFile);
    });
  }
  if (err == Err::None && rule == Rule::Restrict && found) {
    failure = deleting ? Msg::RestrictDelete : Msg::RestrictUpdate;
    failedFile = cf.decl().errorLabel;
    err = Err::NoAccess;
    rt::setError(err, Me.file().name(), std::string("records of ") + cf.decl().errorLabel + " refer to this record");
  } else if (err != Err::None && (failure == Msg::PutFailed || failure == Msg::DeleteFailed)) {
    failure = Msg::CascadeFailed;
    failedFile = cf.decl().errorLabel;
  }
  SavedError keep;
  cf.restoreBuffer(saved);
  detail::restoreCursor(cf, cursor);
  if (opened) (void)child.Me.Close();
  keep.restore();
  return err;
}

Err RelationManager::updateInScope(detail::WriteScope& scope, Msg& failure, std::string& failedFile) {
  File& f = Me.file();
  int64_t pos = f.position();
  if (pos == 0) {
    rt::setError(Err::NotAvailable, f.name());
    return Err::NotAvailable;
  }
  RecordImage old;
  if (Err err = f.readAt(pos, old); err != Err::None) return err;
  for (const Relation& rel : m_relations) {
    if (!rel.isParent || rel.onUpdate == Rule::None) continue;
    std::vector<std::string> before = linkValues(f.record(), old.bytes.data(), rel.links, true);
    std::vector<std::string> after = linkValues(f.record(), f.buffer(), rel.links, true);
    if (before == after) continue;
    if (Err err = applyToChildren(scope, rel, rel.onUpdate, false, before, after, failure, failedFile); err != Err::None)
      return err;
  }
  Err err = f.putAt(pos);
  if (err != Err::None && failure == Msg::PutFailed && failedFile.empty()) failedFile = f.decl().errorLabel;
  return err;
}

Err RelationManager::deleteInScope(detail::WriteScope& scope, Msg& failure, std::string& failedFile) {
  File& f = Me.file();
  int64_t pos = f.position();
  if (pos == 0) {
    rt::setError(Err::NotAvailable, f.name());
    return Err::NotAvailable;
  }
  RecordImage old;
  if (Err err = f.readAt(pos, old); err != Err::None) return err;
  for (const Relation& rel : m_relations) {
    if (!rel.isParent || rel.onDelete == Rule::None) continue;
    std::vector<std::string> values = linkValues(f.record(), old.bytes.data(), rel.links, true);
    if (Err err = applyToChildren(scope, rel, rel.onDelete, true, values, {}, failure, failedFile); err != Err::None)
      return err;
  }
  return f.deleteAt(pos);
}

Err RelationManager::finish(detail::WriteScope& scope, Err err, Msg failure, const std::string& failedFile) {
  std::string detail;
  if (err == Err::None) {
    err = scope.finish(true, &detail);
    if (err == Err::None) return err;
    rt::setError(err, Me.file().name(), detail);
  } else {
    SavedError keep;
    (void)scope.finish(false);
    keep.restore();
  }
  if (failure == Msg::PutFailed || failure == Msg::DeleteFailed) {
    if (err == Err::DupKey) return Me.ThrowMessage(Msg::DuplicateKey, ""), err;
    Me.Throw(failure);
  } else {
    Me.ThrowMessage(failure, failedFile);
  }
  return err;
}

Err RelationManager::Update() {
  Err err = updateOnce();
  if (err != Err::Changed) return err;
  if (!Me.TakeChanged()) return err;
  return updateOnce();
}

Err RelationManager::updateOnce() {
  detail::WriteScope scope;
  std::string detail;
  if (Err err = scope.begin({&Me.file()}, 10000, &detail); err != Err::None) {
    rt::setError(err, Me.file().name(), detail);
    Me.Throw(err == Err::NotOpen ? Msg::PutFailed : Msg::LogoutFailed);
    return err;
  }
  Msg failure = Msg::PutFailed;
  std::string failedFile;
  Err err = updateInScope(scope, failure, failedFile);
  if (err == Err::Changed) {  // nothing was written; the caller asks the user
    SavedError keep;
    (void)scope.finish(false);
    keep.restore();
    return err;
  }
  return finish(scope, err, failure, failedFile);
}

Err RelationManager::Delete() {
  detail::WriteScope scope;
  std::string detail;
  if (Err err = scope.begin({&Me.file()}, 10000, &detail); err != Err::None) {
    rt::setError(err, Me.file().name(), detail);
    Me.Throw(err == Err::NotOpen ? Msg::DeleteFailed : Msg::LogoutFailed);
    return err;
  }
  Msg failure = Msg::DeleteFailed;
  std::string failedFile;
  Err err = deleteInScope(scope, failure, failedFile);
  return finish(scope, err, failure, failedFile);
}

}  // namespace ov::db
