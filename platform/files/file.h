// A data file and its keys, with the runtime's file statements.
//
// A File is the file block of one declared data file (decl.h). Its operations act on the record
// buffer that the declaration names, as the runtime's statements do: SET/NEXT/PREVIOUS read
// records into the buffer in key order or file order, GET reads by key or position, ADD/PUT/
// DELETE write the buffer. Each operation returns its error code and leaves it for ERRORCODE()/
// ERROR()/ERRORFILE()/FILEERROR() (platform/rt/err.h); rt::Err::None is success.
//
// Storage: a Tps file is a table of a SQLCipher database (one per storage file, shared by every
// table in it); text drivers read and write plain files. File order is the hidden row id (the
// order records were added in) and breaks ties between equal key values.
//
// Logical threads: each logical thread of the windows layer has its own record buffer and its own
// sequence, current record, pending HOLD and watch for every File (rt::ThreadData): the buffer
// global and the File's state are those of the resident thread, and the others' are parked until
// their thread runs again. A thread started from another begins with a copy of the starter's
// record and no sequence. OS threads: the operations serialise on one process-wide lock, so any
// OS thread may call them, but only the GUI thread switches logical threads.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/decl.h"
#include "platform/rt/err.h"

namespace ov::db {

class File;

// A key of a file: a cheap handle, valid as long as its File lives.
class Key {
 public:
  Key() = default;
  Key(File* file, int index) : m_file(file), m_index(index) {}
  bool isValid() const { return m_file != nullptr && m_index >= 0; }
  File* file() const { return m_file; }
  int index() const { return m_index; }
  const KeyDecl& decl() const;
  friend bool operator==(const Key&, const Key&) = default;

 private:
  File* m_file = nullptr;
  int m_index = -1;
};

// A copy of the record buffer and its memos (the class library's SaveBuffer/RestoreBuffer).
struct RecordImage {
  std::string bytes;
  std::vector<std::string> memos;
};

class File {
 public:
  explicit File(FileDecl decl);
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  const FileDecl& decl() const { return m_decl; }
  const char* label() const { return m_decl.label; }
  const rt::RecordDesc& record() const { return *m_decl.record; }
  void* buffer() const { return m_decl.buffer; }
  // The key named `name` ("SCH:KeyID", case ignored, prefix optional); invalid when none is.
  Key key(std::string_view name);
  Key key(int index) { return Key(this, index); }
  int keyCount() const { return static_cast<int>(m_decl.keys.size()); }
  Key primaryKey();
  // The storage name the next open uses, as declared ("RO97.ZEZ\!s").
  std::string name() const;
  // The storage file on disk that the name resolves to in the current folder.
  std::string path() const;

  // OPEN: 2 when the file (or its table) does not exist, 52 when this File is already open,
  // 5 for a wrong owner password, 90 when the storage is not a data file, 47 when the stored
  // layout is newer than the declaration. A table of an older layout version is upgraded.
  [[nodiscard]] rt::Err open(int mode = kSharedReadWrite);
  // CREATE: makes the file (or its table) empty, replacing one that exists; the File stays closed.
  [[nodiscard]] rt::Err create();
  rt::Err close();
  bool isOpen() const;
  int openMode() const;
  // REMOVE: deletes the table (or the text file); the File must be closed.
  [[nodiscard]] rt::Err removeFile();

  // SET(file): file order from the first record.
  rt::Err set();
  // SET(key): key order from the first record.
  rt::Err set(Key key);
  // SET(key, key): key order from the first record whose key is at or after the key values in the
  // buffer (NEXT), or at or before them (PREVIOUS).
  rt::Err setFrom(Key key);
  // SET(file, position): file order from the record at `position` (see position()).
  rt::Err setPosition(int64_t position);
  // Read the next or previous record of the sequence into the buffer; 33 past either end.
  rt::Err next();
  rt::Err previous();

  // GET(file, key): the first record whose key equals the key values in the buffer; 35 when none.
  // GET leaves the sequence where it was.
  rt::Err get(Key key);
  // GET(file, position): the record at a position that position() gave; 35 when it is gone.
  rt::Err getPosition(int64_t position);
  // Reads the current record again (REGET); 33 when there is none.
  rt::Err reget();

  // ADD: stores the buffer as a new record; 40 when a unique key would be duplicated. The new
  // record becomes the current one.
  rt::Err add();
  // PUT: writes the buffer over the current record; 33 without one, 40 on a duplicate.
  rt::Err put();
  // DELETE: removes the current record; the sequence goes on after it. 33 without one.
  rt::Err deleteRecord();
  // PUT and DELETE of the record at `position` (one a file manager reserved), whatever record is
  // current; the record written becomes the current one.
  rt::Err putAt(int64_t position);
  rt::Err deleteAt(int64_t position);
  // WATCH: remembers the current record as this thread last read it (as it is stored now when
  // the last read was of another record; watchStored() takes it as stored now in any case). A
  // PUT of that record (put or putAt) then fails with 89 (Changed) and writes nothing when the
  // stored record differs by then: another thread, window or program changed it meanwhile. A
  // write or delete of it, unwatch() and close end the watch.
  rt::Err watch();
  rt::Err watchStored();
  void unwatch();
  bool watching() const;
  // Reads the record at `position` into `image`, leaving the buffer and the sequence as they are.
  rt::Err readAt(int64_t position, RecordImage& image);
  // RECORDS: the number of records; -1 when the file is not open (error 37).
  int64_t records();

  // CLEAR(record): 0 blanks every field, -1 puts the lowest and 1 the highest values in
  // (for SET(key, key) from either end of a key).
  void clear(int how = 0);

  // HOLD: the next record read is held for this process until RELEASE, the next HOLD or close;
  // reading a record that another live process holds fails with 43.
  rt::Err hold();
  void release();

  // HELD: whether the current record is held by this or another live process.
  bool held();
  // PACK: gives the storage file's free space back to the disk. BUILD: rebuilds every key from
  // the records, calling `onKey` with each key's name first. Neither runs inside a LOGOUT.
  rt::Err pack();
  rt::Err build(const std::function<void(std::string_view key)>& onKey = {});

  // Bulk ADD inside a LOGOUT. deferKeys drops the keys' indexes, so each ADD stores the record
  // alone; buildDeferredKeys builds them again from all the records, sorted once, which costs a
  // fraction of keeping them record by record when many records are added to few. Meanwhile
  // reads in key order still give the right records, only slowly (each sorts the table). The
  // stored keys end up as before; a ROLLBACK brings the old indexes back by itself. Files with
  // a unique key are refused (78): their duplicates must be found at the ADD that makes them.
  // 91 outside a LOGOUT.
  rt::Err deferKeys();
  rt::Err buildDeferredKeys();

  // Position of the current record (its row id, or the byte offset of a text record); 0 none.
  int64_t position() const;
  // DUPLICATE(key): true when storing the buffer would duplicate `key` (a unique key) in
  // another record than the current one. DUPLICATE(): the same for any unique key.
  bool duplicate(Key key);
  bool duplicate();
  // SEND: driver options. "HELD" answers "ON" or "OFF" for the current record; "RECOVER=1" makes
  // the next reads drop any hold on the records they read ("RECOVER=0" ends it); the quick-scan,
  // build and status switches are accepted and change nothing.
  std::string send(std::string_view option);

  RecordImage saveBuffer() const;
  void restoreBuffer(const RecordImage& image);

  struct Impl;
  Impl& impl() { return *m_impl; }

 private:
  rt::Err watchStoredLocked();

  FileDecl m_decl;
  std::unique_ptr<Impl> m_impl;
};

// Transactions over one or more files (of one or more storage files). LOGOUT waits up to
// `timeoutSeconds` for the storages to become free and fails with 32 when they don't; 56 while
// one is active, 37 when a file is not open. COMMIT makes every change since LOGOUT permanent;
// ROLLBACK undoes it; both give 91 without an active LOGOUT.
rt::Err LOGOUT(int timeoutSeconds, std::initializer_list<File*> files);
rt::Err LOGOUT(int timeoutSeconds, const std::vector<File*>& files);
rt::Err COMMIT();
rt::Err ROLLBACK();
bool isLoggedOut();

// Whether the storage file at `path` opens as a data file with owner `password` (a file name, as
// the programs' data files name it, no table part): opened as every program opens it, without
// creating anything, and its pages read through. On failure the error code and, in `detail`, a
// text naming the file and the cause; `repairable` says whether rebuilding it from what is still
// readable can help (a damaged file, not a foreign one or a wrong password). An empty file is no
// data file. Nothing is written to a file that fails.
rt::Err checkStorageFile(const std::string& path, const std::string& password, std::string& detail,
                         bool& repairable);

// The data files of this process that another file has taken the place of (renamed over them)
// or that were deleted since they were opened, found since the last call: one text for each,
// naming the file. Writes to such a file fail from then on (error 90, the same text).
std::vector<std::string> lostStorageFiles();

// A copy of the storage file at `path` as one commit left it, made while other programs may be
// writing it, for a backup: `target` is created anew with the same owner `password` and holds
// every committed change up to one moment and none after it (the file's journal is part of what
// is read; a copy of the file itself beside a copy of its journal taken a moment later would not
// be one state). Made; NotDataFile when `path` does not read as a data file with that password
// (a foreign or a damaged file too: nothing is written, copy its bytes as they are); Failed with `detail` naming the file and the cause.
enum class StorageCopy { Made, NotDataFile, Failed };
StorageCopy copyStorageFile(const std::string& path, const std::string& password, const std::string& target,
                            std::string& detail);

}  // namespace ov::db
