// The relation manager: one per data file, keeping the rules that tie it to the files it is the
// parent of. Writing through it carries a changed link into the children (or refuses the change,
// or clears the children's links) and deleting through it deletes, clears or protects the
// children, each by the relation's rule, all of it inside one transaction (a savepoint when a
// LOGOUT is active) over every storage file involved: when any step fails nothing is changed and
// the failure is reported through the file manager under the parent's error label.
//
// The children's record buffers and sequences are put back as they were after a cascade.
#pragma once

#include <vector>

#include "platform/files/file_manager.h"

namespace ov::db {
namespace detail {
class WriteScope;
}

class RelationManager {
 public:
  explicit RelationManager(FileManager& me);
  virtual ~RelationManager();
  RelationManager(const RelationManager&) = delete;
  RelationManager& operator=(const RelationManager&) = delete;

  FileManager& Me;

  struct Link {
    const char* parentField;  // a field of this file
    const char* childField;   // the field of the child that holds the same value
  };

  // A related file without link or rule (a lookup): opened and closed with this file.
  void AddRelation(RelationManager& related);
  // This file is the parent of `child`, whose records with link fields equal to this record's
  // are found through `childKey` (its leading components are the child's link fields).
  void AddRelation(RelationManager& child, Rule onUpdate, Rule onDelete, Key childKey, std::vector<Link> links);

  // Opens this file and every related one through their file managers; Close undoes it.
  rt::Err Open();
  rt::Err Close();

  rt::Err Insert() { return Me.Insert(); }
  // Writes the current record, applying each relation's update rule when its link changed.
  rt::Err Update();
  // Deletes the current record, applying each relation's delete rule.
  rt::Err Delete();

 private:
  struct Relation {
    RelationManager* other;
    bool isParent;  // false: a lookup
    Rule onUpdate = Rule::None;
    Rule onDelete = Rule::None;
    Key childKey;
    std::vector<Link> links;
  };

  rt::Err updateOnce();
  void dropAbandoned();
  rt::Err updateInScope(detail::WriteScope& scope, Msg& failure, std::string& failedFile);
  rt::Err deleteInScope(detail::WriteScope& scope, Msg& failure, std::string& failedFile);
  rt::Err forEachChild(const Relation& rel, const std::vector<std::string>& values, bool stopAtFirst, bool& found,
                       const std::function<rt::Err()>& each);
  rt::Err applyToChildren(detail::WriteScope& scope, const Relation& rel, Rule rule, bool deleting,
                          const std::vector<std::string>& oldValues, const std::vector<std::string>& newValues,
                          Msg& failure, std::string& failedFile);
  rt::Err finish(detail::WriteScope& scope, rt::Err err, Msg failure, const std::string& failedFile);

  std::vector<Relation> m_relations;
  std::vector<RelationManager*> m_openedWith;
};

}  // namespace ov::db
