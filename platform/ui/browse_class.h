// BrowseClass: a list control showing the records of a view, a page at a time.
//
// The browse belongs to a window (WindowManager::AddItem) and works on one list control bound to
// a queue (ListControl::from), one view over the primary file (db::ViewManager) and optionally the
// file's relation manager, which then writes deletions and changes made in place:
//
//   Browse.Init(listFeq, View, *this, &Relate_CONTACT);
//   Browse.AddSortOrder(&StepString, CON_KeyLastName);      // order 1: a key
//   Browse.AddLocator(Locate);                               // on the order just added
//   Browse.AddSortOrder();                                   // order 2: free elements
//   Browse.SetOrder("UPPER(CON:City)");
//   Browse.AppendOrder("-CON:Born");
//   Browse.SetFilter("CON:Active", "Active");                // named filters of order 2
//   Browse.AddField("CON:LastName", "Name");                 // file field -> queue field
//   Browse.InsertControl = insertFeq; ... Browse.AskProcedure = 1;
//   AddItem(Browse);
//
// Orders: the calls that add locators, ranges and filters act on the order added last (or chosen
// with SetSort); ResetSort and the window's resets read the view in the current order. A key's
// text components order with case ignored unless the key says otherwise.
//
// Loading: the view is paged (db::ViewManager::SetPaged): in a key's order it reads the file only
// as far as the page shown, so a list of any size opens at the cost of its first page; scrolling
// reads on, the end and a thumb dragged read further. A locator on the key's first field, and a
// record looked for by its position, place the view at the value in the key, so the page there
// costs its own records; its place is an estimate until the list is scrolled back to its first
// record. The queue holds the rows that fit in the
// list (its Items), from the view's record `firstRow()`; the list is immediate, so its scroll events move the page over the view and its
// thumb shows the page's place. Each row is made by SetQueueRecord from the record in the file's
// buffer: the field pairs are copied, and a derived browse computes its own columns (icons,
// colours, texts) there. After a load and on each new selection the file's buffer holds the
// selected record.
//
// Requests: the select, insert, change, delete and view buttons (and double click, Enter, Insert
// and Delete on the list, and the popup's items that mimic the buttons) call Ask with the request.
// With AskProcedure set, Ask runs the window's update procedure (WindowManager::Run(number,
// request)) with the record in the buffer (primed for an insert) and, when it answers completed,
// reads the view again and selects the record it wrote. Without one, insert and change edit the
// columns given to AddEditControl in place, and delete asks for a confirmation and deletes.
//
// Edit in place: an entry ("?EIP:" + the file field's name) lies over the cell of the selected
// row; Tab and Shift+Tab move between the edited columns (Tab on the last one completes), Enter
// completes, Esc cancels. Completing writes the record (inserts it, or changes it through the
// relation manager when there is one); a write the file refuses keeps the entry open.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/relation_manager.h"
#include "platform/files/view_manager.h"
#include "platform/ui/binding.h"
#include "platform/ui/list_control.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/popup_class.h"
#include "platform/ui/query_class.h"
#include "platform/ui/window_manager.h"

namespace ov::ui {

class BrowseClass : public WindowComponent {
 public:
  BrowseClass();
  ~BrowseClass() override;
  BrowseClass(const BrowseClass&) = delete;
  BrowseClass& operator=(const BrowseClass&) = delete;

  // The list must be declared on the manager's window and bound to its queue.
  void Init(int listControl, db::ViewManager& view, WindowManager& manager, db::RelationManager* relation = nullptr);
  void Kill() override;

  // ---- orders, locators, ranges, filters ----
  // Adds an order (a key, or none for free elements) and makes it current; returns its number.
  int AddSortOrder(StepClass* step = nullptr, db::Key key = {});
  int AddSortOrder(db::Key key) { return AddSortOrder(nullptr, key); }
  // The free elements of the current order ("-SCH:Date,UPPER(SCH:Description)"): SetOrder
  // replaces them, AppendOrder adds after them. A key order keeps its key in front.
  void SetOrder(std::string_view elements);
  void AppendOrder(std::string_view elements);
  void AddLocator(LocatorClass& locator);
  // Records whose field lies between the values the variables hold at each reset.
  void AddRange(std::string_view field, Binding value);
  void AddRange(std::string_view field, Binding low, Binding high);
  // A variable whose change makes the next Reset read the view again.
  void AddResetField(Binding field);
  // A named part of the current order's filter (an empty expression removes the part); the parts
  // are joined with AND.
  void SetFilter(std::string_view expression, std::string_view name = {});
  std::string GetFilter(int order = 0) const;  // 0 = the current order
  std::string GetOrder(int order = 0) const;   // the order as the view reads it
  int SortOrders() const { return static_cast<int>(m_orders.size()); }
  int CurrentSort() const { return m_current; }
  // Makes an order current; true when it changed (the view is read again at the next reset).
  bool SetSort(int order);
  // Reads the view again in the current order (always when forced, else when something changed).
  virtual void ResetSort(bool force);

  // ---- fields ----
  // Pairs a field of the primary file (or a variable) with a field of the list's queue.
  void AddField(std::string_view fileField, std::string_view queueField);
  void AddField(Binding source, std::string_view queueField);
  // Whether the primary file has the field `fileField` (a list may show columns its row code fills).
  bool HasFileField(std::string_view fileField) const;
  // Fills the queue's buffer from the record in the file's buffer: the pairs, then a derived
  // browse's computed fields.
  virtual void SetQueueRecord();

  // ---- reading ----
  void Reset(bool force) override;
  void ScrollOne(int direction);    // +1 down, -1 up
  void ScrollPage(int direction);
  void ScrollEnd(int direction);
  void ScrollDrag(int percent);
  // Moves to the first record of the current order at or after `value` for the locator's field.
  void Locate(LocatorClass& locator, std::string_view value);
  // Shows and selects the record at a file position; false (the list unchanged) when the view
  // does not hold it.
  bool SelectPosition(int64_t position);
  // Records of the view (the view reads to its end for it); rows loaded in the list; the view's
  // index of the first loaded row.
  int64_t Records() const;
  int HasRecords() const;
  int64_t firstRow() const { return m_top; }
  // The file position of a loaded row (1-based), 0 when there is none.
  int64_t positionOf(int row) const;
  // Reads the selected row's record into the file's buffer.
  rt::Err UpdateBuffer();
  // The error of the last reading of the view (a malformed filter or order), None when it read.
  rt::Err lastError() const { return m_error; }

  // ---- requests ----
  int SelectControl = 0;
  int InsertControl = 0;
  int ChangeControl = 0;
  int DeleteControl = 0;
  int ViewControl = 0;
  // The window's other buttons that act on the selected row (copy it, run it, mark it...): like
  // change and delete, they are greyed while the list holds no row.
  std::vector<int> RowControls;
  int AskProcedure = 0;     // the update procedure's number for WindowManager::Run; 0 = none
  bool Selecting = false;   // a picker: Enter and double click press the select button
  PopupClass Popup;
  // When set, the query's limits narrow the filter of every order at each reading of the view.
  QueryClass* Query = nullptr;
  std::string DeleteText = "Are you sure you want to delete the highlighted record?";

  // Runs a request on the selected record (insert: a primed one); answers the response.
  virtual int Ask(int request);
  // A request without an update procedure: edit in place, or delete after a confirmation.
  virtual int AskRecord(int request);
  virtual rt::Err PrimeRecord(bool suppressClear = false);
  virtual void UpdateWindow();
  void SetAlerts() override;
  Level TakeEvent() override;
  // A key of the list (KEYCODE()); true when taken.
  virtual bool TakeKey();
  virtual void TakeScroll(int event);
  virtual void TakeNewSelection();

  // ---- edit in place ----
  // A column (display column from 1) whose field pairs with a file field is edited in place.
  void AddEditControl(int column);
  bool isEditing() const { return m_editing; }
  int editColumn() const { return m_editing ? m_editColumns[m_editAt] : 0; }

  ListControl& list() const { return *m_list; }
  db::ViewManager& view() const { return *m_view; }
  WindowManager& manager() const { return *m_manager; }
  int listControl() const { return m_listFeq; }

 private:
  struct Range {
    std::string field;
    Binding low, high;
  };
  struct Order {
    db::Key key;
    StepClass* step = nullptr;
    std::string elements;
    std::vector<std::pair<std::string, std::string>> filters;  // name, expression
    std::vector<Range> ranges;
    std::vector<LocatorClass*> locators;
  };
  struct Pair {
    const rt::FieldDesc* file = nullptr;  // null: from `source`
    Binding source;
    const rt::FieldDesc* queue = nullptr;
  };
  struct ResetField {
    Binding field;
    std::string last;
  };

  Order* current();
  const Order* order(int n) const;
  std::string orderText(const Order& o) const;
  bool leadingField(const Order& o, const rt::FieldDesc*& field, bool& descending) const;
  bool resetFieldsChanged();
  void openView();
  void loadPage();
  void placeIndex(int64_t index, int rowOffset);
  int pageSize() const;
  // Has the view select at least `count` records where it has them; answers how many it has.
  int64_t reach(int64_t count) const;
  // Moves m_top with the view's indexes (db::ViewManager::shift).
  void followShift();
  // The index of the record at a file position, -1 when the view does not select it: looked for
  // among the records read so far and a few pages on, then by placing the view at the record.
  int64_t findPosition(int64_t position, int64_t near);
  // Places a view in a key's order at the locator's value; -1 when it can't be placed so.
  int64_t seekValue(const rt::FieldDesc& f, std::string_view value, bool caseless, const std::string& picture);
  int compareAt(int64_t index, const rt::FieldDesc& f, std::string_view value, bool caseless, const std::string& picture);
  void pressButton(int feq);
  // Edit in place.
  void ensureEditors();
  bool startEdit(int request);
  void showEditor();
  void hideEditors();
  bool finishEdit();
  void cancelEdit();
  const rt::FieldDesc* fileFieldOf(int column) const;

  WindowManager* m_manager = nullptr;
  db::ViewManager* m_view = nullptr;
  db::RelationManager* m_relation = nullptr;
  ListControl* m_list = nullptr;
  int m_listFeq = 0;
  std::vector<Order> m_orders;
  int m_current = 0;
  std::vector<Pair> m_pairs;
  std::vector<ResetField> m_resetFields;
  std::vector<int64_t> m_positions;  // file positions of the loaded rows
  int64_t m_top = 0;
  int64_t m_seenShift = 0;
  int m_wantRow = 0;  // the row to select at the next load (past the end: the last)
  bool m_needOpen = true;
  int m_openedOrder = 0;
  rt::Err m_error = rt::Err::None;
  bool m_popupBuilt = false;

  std::vector<int> m_editColumns;
  std::vector<int> m_editors;  // entry controls, one per edited column
  bool m_editing = false;
  int m_editRequest = 0;
  size_t m_editAt = 0;
  int m_editRow = 0;
};

}  // namespace ov::ui
