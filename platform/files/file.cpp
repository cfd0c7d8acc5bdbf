#include "platform/files/file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cstring>

#include "platform/files/detail/backend.h"
#include "platform/files/detail/storage.h"
#include "platform/files/detail/txn.h"
#include "platform/rt/text.h"
#include "platform/rt/thread_data.h"

namespace ov::db {

using rt::Err;
using detail::Anchor;
using detail::Row;

namespace {
constexpr int kMaxReadAhead = 64;

// Whether two images of a record hold the same values (memo members of the record compare by
// their text, not by the bytes of the string object).
bool sameRecord(const rt::RecordDesc& record, const RecordImage& a, const RecordImage& b) {
  if (a.bytes.size() != b.bytes.size() || a.memos != b.memos) return false;
  for (const rt::FieldDesc& f : record.fields) {
    if (f.type == rt::FieldType::Memo || f.type == rt::FieldType::Blob) continue;
    size_t span = static_cast<size_t>(f.width) * static_cast<size_t>(f.dim);
    if (a.bytes.compare(f.memberOffset, span, b.bytes, f.memberOffset, span) != 0) return false;
  }
  return true;
}
}  // namespace

// What one logical thread holds of a file while another thread is resident: its sequence, its
// current record, the record it watches and its record buffer.
struct ThreadFileState {
  int order = -1;
  Anchor anchor;
  std::vector<Row> ahead;
  size_t aheadPos = 0;
  bool aheadForward = true;
  uint64_t aheadGeneration = 0;
  int aheadSize = 1;
  int64_t current = 0;
  bool holdNext = false;
  bool recover = false;
  int64_t watchRid = 0;
  RecordImage watched;
  int64_t lastRid = 0;
  RecordImage lastRead;
  bool hasBuffer = false;  // false: the thread starts with a cleared buffer
  RecordImage buffer;
};

struct File::Impl : rt::ThreadData {
  explicit Impl(File& f) : self(f) {}

  File& self;
  std::unique_ptr<detail::Backend> backend;
  bool isOpen = false;
  int mode = 0;
  // The sequence: its order (-1 file order, else a key) and where it stands.
  int order = -1;
  Anchor anchor;
  // Records read ahead in the sequence's direction; valid while nothing was written through
  // this process (the backend's generation) and the direction holds.
  std::vector<Row> ahead;
  size_t aheadPos = 0;
  bool aheadForward = true;
  uint64_t aheadGeneration = 0;
  int aheadSize = 1;
  int64_t current = 0;  // row id of the current record, 0 none
  bool holdNext = false;
  bool recover = false;  // reads drop holds (SEND "RECOVER=1")
  // WATCH: the record at watchRid as it was stored when watched; 0 none.
  int64_t watchRid = 0;
  RecordImage watched;
  // The record this thread read last, as it was stored then (what a watch starts from).
  int64_t lastRid = 0;
  RecordImage lastRead;
  std::vector<detail::MemoSlot> memos;
  // The state of the logical threads that are not resident, by thread number.
  std::unique_ptr<ThreadFileState> parked[rt::kMaxThreadData + 1];

  ThreadFileState& slot(int thread) {
    auto& p = parked[thread];
    if (!p) p = std::make_unique<ThreadFileState>();
    return *p;
  }

  void park(int thread) override {
    std::lock_guard lock(detail::fileLock());
    ThreadFileState& p = slot(thread);
    p.order = order;
    p.anchor = std::move(anchor);
    p.ahead = std::move(ahead);
    p.aheadPos = aheadPos;
    p.aheadForward = aheadForward;
    p.aheadGeneration = aheadGeneration;
    p.aheadSize = aheadSize;
    p.current = current;
    p.holdNext = holdNext;
    p.recover = recover;
    p.watchRid = watchRid;
    p.watched = std::move(watched);
    p.lastRid = lastRid;
    p.lastRead = std::move(lastRead);
    // The buffer's bytes are copied; its memos are moved, the resumed thread sets them anew.
    p.buffer.bytes.assign(static_cast<const char*>(self.m_decl.buffer), self.m_decl.bufferSize);
    p.buffer.memos.resize(memos.size());
    for (size_t m = 0; m < memos.size(); ++m) p.buffer.memos[m] = std::move(memos[m].ref(self.m_decl.buffer));
    p.hasBuffer = true;
  }

  void resume(int thread) override {
    std::lock_guard lock(detail::fileLock());
    ThreadFileState fresh;
    ThreadFileState& p = parked[thread] ? *parked[thread] : fresh;
    order = p.order;
    anchor = std::move(p.anchor);
    ahead = std::move(p.ahead);
    aheadPos = p.aheadPos;
    aheadForward = p.aheadForward;
    aheadGeneration = p.aheadGeneration;
    aheadSize = p.aheadSize;
    current = p.current;
    holdNext = p.holdNext;
    recover = p.recover;
    watchRid = p.watchRid;
    watched = std::move(p.watched);
    lastRid = p.lastRid;
    lastRead = std::move(p.lastRead);
    if (p.hasBuffer) {
      detail::copyFields(*self.m_decl.record, self.m_decl.buffer, p.buffer.bytes.data());
      for (size_t m = 0; m < memos.size() && m < p.buffer.memos.size(); ++m)
        memos[m].ref(self.m_decl.buffer) = std::move(p.buffer.memos[m]);
    } else {
      clearBuffer(0);
    }
    p.hasBuffer = false;
  }

  void begin(int thread, int from) override {
    std::lock_guard lock(detail::fileLock());
    ThreadFileState& p = slot(thread);
    p = ThreadFileState{};
    // The new thread gets a copy of the starter's record; its sequence starts afresh.
    if (from == rt::residentThread()) {
      p.buffer = self.saveBuffer();
      p.hasBuffer = true;
    } else if (parked[from] && parked[from]->hasBuffer) {
      p.buffer = parked[from]->buffer;
      p.hasBuffer = true;
    }
  }

  void end(int thread) override {
    std::lock_guard lock(detail::fileLock());
    parked[thread].reset();
  }

  void clearBuffer(int how);

  // Before a write of the record at `rid`: 89 when this thread watches it and the stored record
  // is no longer the one it watched.
  Err checkWatch(int64_t rid, std::string& detail) {
    if (watchRid == 0 || watchRid != rid) return Err::None;
    Row row;
    if (Err err = drv().getByRid(rid, row, detail); err != Err::None) return err;
    if (sameRecord(*self.m_decl.record, row.image, watched)) return Err::None;
    detail = "the record was changed after it was read";
    return Err::Changed;
  }
  void endWatch(int64_t rid) {
    if (lastRid == rid) {
      lastRid = 0;
      lastRead = RecordImage{};
    }
    if (watchRid == rid) {
      watchRid = 0;
      watched = RecordImage{};
    }
  }

  detail::Backend& drv() {
    if (!backend)
      backend = self.m_decl.driver == Driver::Tps ? detail::makeTableBackend(self) : detail::makeTextBackend(self);
    return *backend;
  }

  Err done(Err err, const std::string& detail = {}) {
    rt::setError(err, err == Err::None ? std::string() : self.name(), detail);
    return err;
  }

  void resetSequence(int newOrder, Anchor a) {
    order = newOrder;
    anchor = std::move(a);
    ahead.clear();
    aheadPos = 0;
    aheadSize = 1;
  }

  // Whether the current record is the one the sequence stands on, with the buffer's value of
  // the sequence's key (file order: its position) equal to the one it was read with. Tables
  // only: a record of a text file written over may move the records after it.
  bool keepsPlace() {
    if (self.m_decl.driver != Driver::Tps) return false;
    if (anchor.kind != Anchor::Row || anchor.rid != current) return false;
    return order < 0 || drv().encodeKey(order, self.m_decl.buffer) == anchor.key;
  }

  void load(const Row& row) {
    self.restoreBuffer(row.image);
    current = row.rid;
    lastRid = row.rid;
    lastRead = row.image;
  }

  // Takes a hold on the record about to be read when HOLD asked for one, and reads it afresh.
  Err holdIfAsked(Row& row, std::string& detail) {
    if (recover) drv().dropHold(row.rid);
    if (!holdNext) return Err::None;
    holdNext = false;  // HOLD asks for the next read only, whether it gets the hold or not
    if (Err err = drv().hold(row.rid, detail); err != Err::None) return err;
    std::string key = std::move(row.key);
    Err err = drv().getByRid(row.rid, row, detail);
    row.key = std::move(key);
    return err;
  }

  Err step(bool forward) {
    if (!isOpen) return done(Err::NotOpen);
    std::string detail;
    detail::Backend& b = drv();
    bool valid = aheadForward == forward && aheadGeneration == b.generation() && aheadPos < ahead.size();
    if (!valid) {
      ahead.clear();
      aheadPos = 0;
      if (aheadForward != forward) aheadSize = 1;
      aheadForward = forward;
      aheadGeneration = b.generation();
      if (Err err = b.scan(order, anchor, forward, aheadSize, ahead, detail); err != Err::None) return done(err, detail);
      aheadSize = std::min(aheadSize * 4, kMaxReadAhead);
      if (ahead.empty()) {
        anchor = Anchor{forward ? Anchor::End : Anchor::Begin, {}, 0};
        current = 0;  // a PUT or DELETE now must not hit the record read before
        return done(Err::NotAvailable);
      }
    }
    Row& row = ahead[aheadPos];
    if (Err err = holdIfAsked(row, detail); err != Err::None) return done(err, detail);
    ++aheadPos;
    load(row);
    anchor = Anchor{Anchor::Row, row.key, row.rid};
    return done(Err::None);
  }
};

const KeyDecl& Key::decl() const { return m_file->decl().keys[static_cast<size_t>(m_index)]; }

File::File(FileDecl decl) : m_decl(std::move(decl)), m_impl(std::make_unique<Impl>(*this)) {
  m_impl->memos = detail::memoSlots(m_decl);
}

File::~File() {
  std::lock_guard lock(detail::fileLock());
  m_impl.reset();
}

Key File::key(std::string_view name) {
  std::string want = rt::UPPER(name);
  for (size_t i = 0; i < m_decl.keys.size(); ++i) {
    std::string full = rt::UPPER(m_decl.keys[i].name);
    size_t colon = full.find(':');
    if (full == want || (colon != std::string::npos && full.compare(colon + 1, std::string::npos, want) == 0))
      return Key(this, static_cast<int>(i));
  }
  return Key();
}

Key File::primaryKey() {
  for (size_t i = 0; i < m_decl.keys.size(); ++i)
    if (m_decl.keys[i].primary) return Key(this, static_cast<int>(i));
  return Key();
}

std::string File::name() const {
  if (m_decl.nameFrom) {
    std::string n = m_decl.nameFrom();
    while (!n.empty() && n.back() == ' ') n.pop_back();
    if (!n.empty()) return n;
  }
  return m_decl.name ? m_decl.name : m_decl.label;
}

std::string File::path() const {
  std::lock_guard lock(detail::fileLock());
  return m_impl->drv().path();
}

Err File::open(int mode) {
  std::lock_guard lock(detail::fileLock());
  if (m_impl->isOpen) return m_impl->done(Err::AlreadyOpen);
  std::string detail;
  if (Err err = m_impl->drv().open(mode, detail); err != Err::None) return m_impl->done(err, detail);
  m_impl->isOpen = true;
  m_impl->mode = mode;
  m_impl->current = 0;
  m_impl->holdNext = false;
  m_impl->resetSequence(-1, Anchor{});
  return m_impl->done(Err::None);
}

Err File::create() {
  std::lock_guard lock(detail::fileLock());
  if (m_impl->isOpen) return m_impl->done(Err::AlreadyOpen);
  std::string detail;
  return m_impl->done(m_impl->drv().create(detail), detail);
}

Err File::close() {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  m_impl->drv().close();
  m_impl->isOpen = false;
  m_impl->current = 0;
  m_impl->endWatch(m_impl->watchRid);
  m_impl->resetSequence(-1, Anchor{});
  return m_impl->done(Err::None);
}

bool File::isOpen() const {
  std::lock_guard lock(detail::fileLock());
  return m_impl->isOpen;
}

int File::openMode() const { return m_impl->mode; }

Err File::removeFile() {
  std::lock_guard lock(detail::fileLock());
  if (m_impl->isOpen) return m_impl->done(Err::AlreadyOpen);
  std::string detail;
  return m_impl->done(m_impl->drv().removeFile(detail), detail);
}

Err File::set() {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  m_impl->resetSequence(-1, Anchor{});
  return m_impl->done(Err::None);
}

Err File::set(Key key) {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  if (key.file() != this || key.index() >= keyCount()) return m_impl->done(Err::BadParameters);
  m_impl->resetSequence(key.index(), Anchor{});
  return m_impl->done(Err::None);
}

Err File::setFrom(Key key) {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  if (key.file() != this || key.index() >= keyCount()) return m_impl->done(Err::BadParameters);
  m_impl->resetSequence(key.index(), Anchor{Anchor::Value, m_impl->drv().encodeKey(key.index(), m_decl.buffer), 0});
  return m_impl->done(Err::None);
}

Err File::setPosition(int64_t position) {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  m_impl->resetSequence(-1, Anchor{Anchor::Value, {}, position});
  return m_impl->done(Err::None);
}

Err File::next() {
  std::lock_guard lock(detail::fileLock());
  return m_impl->step(true);
}

Err File::previous() {
  std::lock_guard lock(detail::fileLock());
  return m_impl->step(false);
}

Err File::get(Key key) {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  if (key.file() != this || key.index() >= keyCount()) return m_impl->done(Err::BadParameters);
  std::string detail;
  Row row;
  detail::Backend& b = m_impl->drv();
  if (Err err = b.getByKey(key.index(), b.encodeKey(key.index(), m_decl.buffer), row, detail); err != Err::None) {
    m_impl->current = 0;
    return m_impl->done(err, detail);
  }
  if (Err err = m_impl->holdIfAsked(row, detail); err != Err::None) return m_impl->done(err, detail);
  m_impl->load(row);
  return m_impl->done(Err::None);
}

Err File::getPosition(int64_t position) {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  std::string detail;
  Row row;
  if (Err err = m_impl->drv().getByRid(position, row, detail); err != Err::None) {
    m_impl->current = 0;
    return m_impl->done(err, detail);
  }
  if (Err err = m_impl->holdIfAsked(row, detail); err != Err::None) return m_impl->done(err, detail);
  m_impl->load(row);
  return m_impl->done(Err::None);
}

Err File::reget() {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  if (m_impl->current == 0) return m_impl->done(Err::NotAvailable);
  std::string detail;
  Row row;
  if (Err err = m_impl->drv().getByRid(m_impl->current, row, detail); err != Err::None)
    return m_impl->done(err == Err::NotFound ? Err::NotAvailable : err, detail);
  m_impl->load(row);
  return m_impl->done(Err::None);
}

Err File::add() {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  std::string detail;
  int64_t rid = 0;
  if (Err err = m_impl->drv().insert(rid, detail); err != Err::None) return m_impl->done(err, detail);
  m_impl->current = rid;
  return m_impl->done(Err::None);
}

Err File::deferKeys() {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  for (const KeyDecl& k : m_decl.keys)
    if (k.unique) return m_impl->done(Err::BadParameters, std::string(k.name) + " is a unique key");
  std::string detail;
  return m_impl->done(m_impl->drv().deferKeys(detail), detail);
}

Err File::buildDeferredKeys() {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  std::string detail;
  return m_impl->done(m_impl->drv().buildDeferredKeys(detail), detail);
}

Err File::put() {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  if (m_impl->current == 0) return m_impl->done(Err::NotAvailable);
  std::string detail;
  if (Err err = m_impl->checkWatch(m_impl->current, detail); err != Err::None) return m_impl->done(err, detail);
  detail::Backend& b = m_impl->drv();
  const bool aheadFresh = m_impl->aheadGeneration == b.generation();
  Err err = b.update(m_impl->current, detail);
  if (err == Err::None) m_impl->endWatch(m_impl->current);
  // The records read ahead lie after the one written, which is the only one changed: they stay
  // valid when nothing else was written since they were read and the record keeps its place
  // in the sequence. A loop that reads and writes each record in turn then reads in batches.
  if (err == Err::None && aheadFresh && m_impl->keepsPlace()) m_impl->aheadGeneration = b.generation();
  return m_impl->done(err, detail);
}

Err File::deleteRecord() {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  if (m_impl->current == 0) return m_impl->done(Err::NotAvailable);
  std::string detail;
  int64_t rid = m_impl->current;
  Err err = m_impl->drv().erase(rid, detail);
  if (err == Err::None) {
    m_impl->current = 0;
    m_impl->endWatch(rid);
  }
  return m_impl->done(err, detail);
}

Err File::putAt(int64_t position) {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  std::string detail;
  if (Err err = m_impl->checkWatch(position, detail); err != Err::None) return m_impl->done(err, detail);
  Err err = m_impl->drv().update(position, detail);
  if (err == Err::None) {
    m_impl->current = position;
    m_impl->endWatch(position);
  }
  return m_impl->done(err, detail);
}

Err File::deleteAt(int64_t position) {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  std::string detail;
  Err err = m_impl->drv().erase(position, detail);
  if (err == Err::None && m_impl->current == position) m_impl->current = 0;
  return m_impl->done(err, detail);
}

Err File::watch() {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  if (m_impl->current == 0) return m_impl->done(Err::NotAvailable);
  if (m_impl->lastRid == m_impl->current) {
    m_impl->watchRid = m_impl->current;
    m_impl->watched = m_impl->lastRead;
    return m_impl->done(Err::None);
  }
  return watchStoredLocked();
}

Err File::watchStored() {
  std::lock_guard lock(detail::fileLock());
  return watchStoredLocked();
}

Err File::watchStoredLocked() {
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  if (m_impl->current == 0) return m_impl->done(Err::NotAvailable);
  std::string detail;
  Row row;
  if (Err err = m_impl->drv().getByRid(m_impl->current, row, detail); err != Err::None)
    return m_impl->done(err == Err::NotFound ? Err::NotAvailable : err, detail);
  m_impl->watchRid = m_impl->current;
  m_impl->watched = std::move(row.image);
  return m_impl->done(Err::None);
}

void File::unwatch() {
  std::lock_guard lock(detail::fileLock());
  m_impl->endWatch(m_impl->watchRid);
}

bool File::watching() const {
  std::lock_guard lock(detail::fileLock());
  return m_impl->watchRid != 0;
}

Err File::readAt(int64_t position, RecordImage& image) {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  std::string detail;
  Row row;
  Err err = m_impl->drv().getByRid(position, row, detail);
  if (err == Err::None) image = std::move(row.image);
  return m_impl->done(err, detail);
}

int64_t File::records() {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) {
    m_impl->done(Err::NotOpen);
    return -1;
  }
  std::string detail;
  int64_t n = 0;
  if (Err err = m_impl->drv().count(n, detail); err != Err::None) {
    m_impl->done(err, detail);
    return -1;
  }
  m_impl->done(Err::None);
  return n;
}

void File::clear(int how) {
  std::lock_guard lock(detail::fileLock());
  m_impl->clearBuffer(how);
}

void File::Impl::clearBuffer(int how) {
  const FileDecl& m_decl = self.m_decl;
  char* base = static_cast<char*>(m_decl.buffer);
  for (const rt::FieldDesc& f : m_decl.record->fields) {
    for (int e = 0; e < f.dim; ++e) {
      char* p = base + f.memberOffset + static_cast<size_t>(e) * f.width;
      switch (f.type) {
        case rt::FieldType::String: std::memset(p, how == 0 ? ' ' : how < 0 ? '\0' : '\xFF', f.width); break;
        case rt::FieldType::CString:
          std::memset(p, how > 0 ? '\xFF' : '\0', f.width);
          if (how > 0) p[f.width - 1] = '\0';
          break;
        case rt::FieldType::Memo:
        case rt::FieldType::Blob: reinterpret_cast<std::string*>(p)->clear(); break;
        case rt::FieldType::Real:
        case rt::FieldType::Decimal:
        case rt::FieldType::SReal: rt::setFieldNumber(base, f, how == 0 ? 0 : how < 0 ? -DBL_MAX : DBL_MAX, e); break;
        default: rt::setFieldNumber(base, f, how == 0 ? 0 : how < 0 ? -1e300 : 1e300, e); break;  // clamped
      }
    }
  }
  for (const MemoDecl& m : m_decl.memos) m.value->clear();
}

namespace detail {

Err highestNumber(File& file, Key key, double& value) {
  std::lock_guard lock(fileLock());
  if (!file.isOpen()) return Err::NotOpen;
  std::string detail;
  Err err = file.impl().drv().highestNumber(key.index(), value, detail);
  rt::setError(err, err == Err::None ? std::string() : file.name(), detail);
  return err;
}

Err noteReservation(File& file, int64_t rid, bool reserved) {
  std::lock_guard lock(fileLock());
  if (!file.isOpen()) return Err::NotOpen;
  std::string detail;
  Err err = file.impl().drv().noteReservation(rid, reserved, detail);
  if (err != Err::None) rt::setError(err, file.name(), detail);
  return err;
}

std::vector<int64_t> abandonedReservations(File& file) {
  std::lock_guard lock(fileLock());
  return file.isOpen() ? file.impl().drv().abandonedReservations() : std::vector<int64_t>();
}

bool duplicateAny(File& file, Key key) {
  std::lock_guard lock(fileLock());
  return file.isOpen() && file.impl().drv().duplicate(key.index(), 0);
}

std::string encodeKeyPrefixOf(File& file, Key key, const void* buffer, size_t parts) {
  std::lock_guard lock(fileLock());
  return file.impl().drv().encodeKeyPrefix(key.index(), buffer, parts);
}

Err countKeyRange(File& file, Key key, const std::string* low, const std::string* high, int64_t& n) {
  std::lock_guard lock(fileLock());
  if (!file.isOpen()) return Err::NotOpen;
  std::string detail;
  return file.impl().drv().countKeys(key.index(), low, high, n, detail);
}

Err sortedRows(File& file, const std::vector<Backend::SortColumn>& columns, const Anchor& from, bool forward, int limit,
               std::vector<Row>& out) {
  std::lock_guard lock(fileLock());
  if (!file.isOpen()) return Err::NotOpen;
  std::string detail;
  Err err = file.impl().drv().sortedScan(columns, from, forward, limit, out, detail);
  if (err != Err::None && err != Err::NotSupported) rt::setError(err, file.name(), detail);
  return err;
}

Err sortedPlace(File& file, const std::vector<Backend::SortColumn>& columns, int64_t rid, std::string& key,
                int64_t& before) {
  std::lock_guard lock(fileLock());
  if (!file.isOpen()) return Err::NotOpen;
  std::string detail;
  Err err = file.impl().drv().sortedPlace(columns, rid, key, before, detail);
  if (err != Err::None && err != Err::NotSupported && err != Err::NotFound) rt::setError(err, file.name(), detail);
  return err;
}

Err readRows(File& file, const std::vector<int64_t>& rids, std::vector<Row>& out) {
  std::lock_guard lock(fileLock());
  if (!file.isOpen()) return Err::NotOpen;
  std::string detail;
  Err err = file.impl().drv().readRows(rids, out, detail);
  if (err != Err::None) rt::setError(err, file.name(), detail);
  return err;
}

CursorState saveCursor(File& file) {
  std::lock_guard lock(fileLock());
  File::Impl& i = file.impl();
  return CursorState{i.order, i.anchor, i.current};
}

void restoreCursor(File& file, const CursorState& state) {
  std::lock_guard lock(fileLock());
  File::Impl& i = file.impl();
  i.resetSequence(state.order, state.anchor);
  i.current = state.current;
}

std::string encodeKeyOf(File& file, Key key, const void* buffer) {
  std::lock_guard lock(fileLock());
  return file.impl().drv().encodeKey(key.index(), buffer);
}

std::vector<MemoSlot> memoSlots(const FileDecl& decl) {
  std::vector<MemoSlot> out;
  if (decl.record)
    for (const rt::FieldDesc& f : decl.record->fields)
      if (f.type == rt::FieldType::Memo || f.type == rt::FieldType::Blob)
        out.push_back({f.name, f.width, f.type == rt::FieldType::Blob, &f, nullptr});
  for (const MemoDecl& m : decl.memos) out.push_back({m.name, m.size, m.isBlob, nullptr, m.value});
  return out;
}

void copyFields(const rt::RecordDesc& record, void* dst, const void* src) {
  for (const rt::FieldDesc& f : record.fields) {
    if (f.type == rt::FieldType::Memo || f.type == rt::FieldType::Blob) continue;
    std::memcpy(static_cast<char*>(dst) + f.memberOffset, static_cast<const char*>(src) + f.memberOffset,
                static_cast<size_t>(f.width) * f.dim);
  }
}

}  // namespace detail

Err File::hold() {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  m_impl->drv().releaseHolds();
  m_impl->holdNext = true;
  return m_impl->done(Err::None);
}

void File::release() {
  std::lock_guard lock(detail::fileLock());
  m_impl->holdNext = false;
  if (m_impl->isOpen) m_impl->drv().releaseHolds();
}

int64_t File::position() const {
  std::lock_guard lock(detail::fileLock());
  return m_impl->current;
}

bool File::duplicate(Key key) {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen || key.file() != this || key.index() >= keyCount() || !key.decl().unique) return false;
  return m_impl->drv().duplicate(key.index(), m_impl->current);
}

bool File::duplicate() {
  for (int k = 0; k < keyCount(); ++k)
    if (m_decl.keys[static_cast<size_t>(k)].unique && duplicate(Key(this, k))) return true;
  return false;
}

std::string File::send(std::string_view option) {
  std::lock_guard lock(detail::fileLock());
  std::string o = rt::UPPER(option);
  o.erase(std::remove(o.begin(), o.end(), ' '), o.end());
  if (o == "HELD") return held() ? "ON" : "OFF";
  if (o == "RECOVER=1") m_impl->recover = true;
  if (o == "RECOVER=0") m_impl->recover = false;
  return {};
}

bool File::held() {
  std::lock_guard lock(detail::fileLock());
  return m_impl->isOpen && m_impl->current != 0 && m_impl->drv().isHeld(m_impl->current);
}

Err File::pack() {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  std::string detail;
  return m_impl->done(m_impl->drv().pack(detail), detail);
}

Err File::build(const std::function<void(std::string_view)>& onKey) {
  std::lock_guard lock(detail::fileLock());
  if (!m_impl->isOpen) return m_impl->done(Err::NotOpen);
  std::string detail;
  return m_impl->done(m_impl->drv().build(onKey, detail), detail);
}

RecordImage File::saveBuffer() const {
  RecordImage image;
  image.bytes.assign(static_cast<const char*>(m_decl.buffer), m_decl.bufferSize);
  for (const detail::MemoSlot& m : m_impl->memos) image.memos.push_back(m.ref(m_decl.buffer));
  return image;
}

void File::restoreBuffer(const RecordImage& image) {
  if (image.bytes.size() != m_decl.bufferSize) return;
  detail::copyFields(*m_decl.record, m_decl.buffer, image.bytes.data());
  for (size_t m = 0; m < m_impl->memos.size() && m < image.memos.size(); ++m)
    m_impl->memos[m].ref(m_decl.buffer) = image.memos[m];
}

// ---- transactions ----

namespace detail {

std::shared_ptr<Storage> storageOf(File& file) {
  if (!file.isOpen() || file.decl().driver != Driver::Tps) return nullptr;
  Storage* s = file.impl().drv().storage();
  return s ? Storage::find(s->path()) : nullptr;
}

WriteScope::~WriteScope() { (void)finish(false); }

Err WriteScope::begin(const std::vector<File*>& files, int timeoutMs, std::string* detail) {
  m_timeoutMs = timeoutMs;
  for (File* f : files) {
    if (Err err = join(*f, detail); err != Err::None) {
      (void)finish(false);
      return err;
    }
  }
  return Err::None;
}

Err WriteScope::join(File& file, std::string* detail) {
  std::shared_ptr<Storage> s = storageOf(file);
  if (!s) return file.isOpen() ? Err::None : Err::NotOpen;
  for (const auto& have : m_storages)
    if (have == s) return Err::None;
  if (Err err = s->begin(m_timeoutMs, detail); err != Err::None) return err;
  m_storages.push_back(std::move(s));
  return Err::None;
}

Err WriteScope::finish(bool commit, std::string* detail) {
  Err result = Err::None;
  // Savepoints inside an outer transaction first; the transactions this scope began end
  // together, in reverse order of joining.
  std::vector<std::shared_ptr<Storage>> outermost;
  for (auto it = m_storages.rbegin(); it != m_storages.rend(); ++it) {
    if ((*it)->depth() == 1) {
      outermost.push_back(*it);
      continue;
    }
    Err err = (*it)->end(commit && result == Err::None, detail);
    if (err != Err::None && result == Err::None) result = err;
    (*it)->touchAll();
  }
  if (!outermost.empty()) {
    Err err = Err::None;
    if (commit && result == Err::None) {
      err = commitTogether(outermost, detail);
    } else {
      for (const auto& s : outermost) (void)s->end(false);
    }
    if (err != Err::None && result == Err::None) result = err;
    for (const auto& s : outermost) s->touchAll();
  }
  m_storages.clear();
  return result;
}

}  // namespace detail

namespace {

struct LogoutState {
  std::unique_ptr<detail::WriteScope> scope;
};
LogoutState& logoutState() {
  static auto* s = new LogoutState;  // outlives the files declared as globals
  return *s;
}

}  // namespace

Err LOGOUT(int timeoutSeconds, std::initializer_list<File*> files) {
  return LOGOUT(timeoutSeconds, std::vector<File*>(files));
}

Err LOGOUT(int timeoutSeconds, const std::vector<File*>& files) {
  std::lock_guard lock(detail::fileLock());
  LogoutState& st = logoutState();
  if (st.scope) {
    rt::setError(Err::LogoutActive);
    return Err::LogoutActive;
  }
  for (File* f : files) {
    if (!f->isOpen()) {
      rt::setError(Err::NotOpen, f->name());
      return Err::NotOpen;
    }
  }
  auto scope = std::make_unique<detail::WriteScope>();
  std::string detail;
  Err err = scope->begin(files, std::max(0, timeoutSeconds) * 1000, &detail);
  if (err != Err::None) {
    rt::setError(err, files.empty() ? std::string() : files.front()->name(), detail);
    return err;
  }
  st.scope = std::move(scope);
  rt::setError(Err::None);
  return Err::None;
}

Err COMMIT() {
  std::lock_guard lock(detail::fileLock());
  LogoutState& st = logoutState();
  if (!st.scope) {
    rt::setError(Err::NoLogout);
    return Err::NoLogout;
  }
  std::string detail;
  Err err = st.scope->finish(true, &detail);
  st.scope.reset();
  rt::setError(err, {}, detail);
  return err;
}

Err ROLLBACK() {
  std::lock_guard lock(detail::fileLock());
  LogoutState& st = logoutState();
  if (!st.scope) {
    rt::setError(Err::NoLogout);
    return Err::NoLogout;
  }
  std::string detail;
  Err err = st.scope->finish(false, &detail);
  st.scope.reset();
  rt::setError(err, {}, detail);
  return err;
}

Err checkStorageFile(const std::string& path, const std::string& password, std::string& detail, bool& repairable) {
  std::lock_guard lock(detail::fileLock());
  repairable = false;
  std::string where = detail::resolveStorageName(path, "").path;
  struct stat st;
  if (::stat(where.c_str(), &st) != 0) {
    detail = where + ": no such file";
    return Err::NoFile;
  }
  if (S_ISREG(st.st_mode) && st.st_size == 0) {
    detail = where + ": the file is empty (0 bytes); it holds no data";
    return Err::FileSystem;
  }
  // Marked read-only (no write permission for anyone) counts even for a user who could write it.
  if (S_ISREG(st.st_mode) && ((st.st_mode & 0222) == 0 || ::access(where.c_str(), W_OK) != 0)) {
    detail = where + ": the file is read-only for this user";
    return Err::NoAccess;
  }
  std::shared_ptr<detail::Storage> s;
  if (Err err = detail::Storage::acquire(where, password, false, false, s, detail); err != Err::None) {
    if (detail.find("wrong owner password") != std::string::npos)
      detail += " (or its first page is damaged)";
    return err;
  }
  return s->quickCheck(detail, repairable);
}

std::vector<std::string> lostStorageFiles() {
  std::lock_guard lock(detail::fileLock());
  return detail::Storage::findLost();
}

StorageCopy copyStorageFile(const std::string& path, const std::string& password, const std::string& target,
                            std::string& detail) {
  // Not under the file lock: a long copy must not hold up the process's own file work, and the
  // copy uses a connection of its own.
  switch (detail::snapshotStorage(path, password, target, 10000, detail)) {
    case detail::SnapshotResult::Made: return StorageCopy::Made;
    case detail::SnapshotResult::NotDataFile: return StorageCopy::NotDataFile;
    case detail::SnapshotResult::Failed: break;
  }
  return StorageCopy::Failed;
}

bool isLoggedOut() {
  std::lock_guard lock(detail::fileLock());
  return logoutState().scope != nullptr;
}

}  // namespace ov::db
