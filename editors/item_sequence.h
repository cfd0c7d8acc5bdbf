// Reordering the child records of a list that keeps them by a sequence number under their parent
// (script items of a task, detail lines of a contact) under a unique (parent, sequence) key.
//
// Every move parks the moving record on a free sequence past the end, shifts its neighbours one
// by one into the gap it left and puts it into the last gap, so two records never hold the same
// sequence at once; gaps in the numbering stay where they were. All the updates of one move run in
// one transaction: when any of them fails the records are as they were before the move, and the
// failure is reported with the step ("Put Swap Out", "Shift Stage", "Final Move", "Put Upd Seq").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/file.h"
#include "platform/rt/err.h"

namespace ov::editors {

class ItemSequencer {
 public:
  // The file's key is (parent, sequence); the two accessors give those fields of its buffer.
  // `keyText`, `parentText` and `sequenceText` name them in error reports ("Scripting,
  // SCR:KeyID", "Key Field SCR:ID = ", "Key Field SCR:Sequence = ").
  struct Binding {
    db::File* file = nullptr;
    db::Key key;
    std::function<int32_t&()> parent, sequence;
    std::string keyText, parentText, sequenceText;
  };
  // The script items of a task (SCRIPTING by SCR:KeyID) and the detail lines of a contact
  // (CONTACTDETAILS by CDT:K_Contact).
  static Binding scriptItems();
  static Binding contactDetails();

  explicit ItemSequencer(Binding binding) : m_b(std::move(binding)) {}

  struct Result {
    rt::Err err = rt::Err::None;
    bool moved = false;        // something was written
    int32_t sequence = 0;      // where the moving record stands now (for the list to show)
    std::string stage;         // the step that failed
    std::string report;        // the "Record swap error: " text of a failure
  };

  // One place up or down, to the top or the bottom. The first record cannot go up nor the last
  // down: nothing is written then.
  Result moveUp(int32_t parent, int32_t sequence);
  Result moveDown(int32_t parent, int32_t sequence);
  Result moveToTop(int32_t parent, int32_t sequence);
  Result moveToBottom(int32_t parent, int32_t sequence);
  // Drag and drop: the record at `from` takes the place of the record at `onto` (both sequence
  // numbers, as the list's rows show them), and the records between move one place towards
  // where it came from. `from` 0 (no row where the mouse went down) does nothing.
  Result dragTo(int32_t parent, int32_t from, int32_t onto);
  // A record just added at `sequence` is moved to stand right after the record at `anchor`.
  Result placeAfter(int32_t parent, int32_t sequence, int32_t anchor);
  // After the record at `deleted` was deleted: the records after it are numbered on from
  // `deleted`, closing the gap.
  Result renumberAfterDelete(int32_t parent, int32_t deleted);

  // The sequences of the parent's records in order.
  rt::Err sequences(int32_t parent, std::vector<int32_t>& out);

  // Test hook: called before each update with the stage name; a non-zero result fails it.
  std::function<rt::Err(std::string_view stage)> beforeUpdate;

 private:
  Result moveTo(int32_t parent, int32_t sequence, const std::function<size_t(const std::vector<int32_t>&, size_t)>& target);
  rt::Err update(int32_t parent, int32_t from, int32_t to, std::string_view stage, Result& r);
  Result run(const std::function<void(Result&)>& body);
  Binding m_b;
};

}  // namespace ov::editors
