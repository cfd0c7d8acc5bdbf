// What the small record forms of this folder share: the update file over a data file's file and
// relation managers, and the titles of the requests.
//
// Threading: GUI thread only.
#pragma once

#include <string>
#include <string_view>

#include "platform/files/file_manager.h"
#include "platform/files/relation_manager.h"
#include "platform/ui/window_manager.h"

namespace ov::dialogs {

// Inserts through the file manager; changes and deletes through the relation manager, so the
// relations' rules apply. Each call reports its own errors through the data layer.
class RelationUpdateFile : public ui::UpdateFile {
 public:
  explicit RelationUpdateFile(db::RelationManager& relation) : m_relation(relation) {}
  rt::Err PrimeRecord(bool keepBuffer) override { return m_relation.Me.PrimeRecord(keepBuffer); }
  rt::Err Insert() override { return m_relation.Insert(); }
  rt::Err Change() override { return m_relation.Update(); }
  rt::Err Delete() override { return m_relation.Delete(); }
  void CancelAutoInc() override { (void)m_relation.Me.CancelAutoInc(); }  // best effort, as on Cancel
  void Watch(bool on) override {
    if (on)
      (void)m_relation.Me.file().watch();
    else
      m_relation.Me.file().unwatch();
  }

 private:
  db::RelationManager& m_relation;
};

// Takes the request a list left for its form, once as the form opens: a view runs as a change
// with read-only controls. GLOBALREQUEST and GLOBALRESPONSE are cleared for the next form.
void takeFormRequest(int& request, bool& viewOnly, bool& deleting);

// "New <kind>" for an insert, "Edit <kind>" for a change, "View <kind>" in view-only mode, and
// the bare <kind> for a delete, whose form shows the record read-only for OK to delete it.
std::string formTitle(int request, bool viewOnly, std::string_view kind);

}  // namespace ov::dialogs
