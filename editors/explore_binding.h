// How a list window of the main program binds the explorer class to its browse.
//
// The window describes its columns (ExploreColumn), owns a BoundExplorer and an ExploreBinding,
// and calls, in its Init: Bind (before the window opens, after its own sort orders), then
// Opened (after Open). The binding then, as a part of the window procedure:
//   - gives each sortable column two keyless orders of the browse (ascending, descending), with
//     the browse's reset fields and the base filter the window names;
//   - restores the saved layout under the list's name ("?Browse:1" unless told) and the
//     procedure's name, and saves it as the window closes;
//   - alerts Alt+F11 (fit all columns), Alt+F12 (default layout), Ctrl+Alt+R (the bar) and Alt+M
//     (the explorer's popup) on the list, and posts itself EVENT::ListLayout as the window opens;
//   - takes the header mouse's events and the explorer's popup events (only those of its own list's
//     header, so that a window may hold two explorer lists); a double click on a column's border
//     fits the column instead of editing the row.
// A right click on a row opens the window's popup as the button is released (rowPopup).
// The window asks chosenOrder() which order its resets read: a column's order while a column
// sort is active, else its own.
//
// Threading: GUI thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ui/browse_class.h"
#include "platform/ui/locator_class.h"
#include "platform/ui/query_class.h"
#include "platform/ui/window_manager.h"
#include "winclasses/explore_class.h"

namespace ov::editors {

// One described field of an explorer list. `field` names the list queue's field (a file field
// such as "SCH:Date", or a bound name such as "Checkmark").
struct ExploreColumn {
  std::string field;
  int width = 0;  // dialog units
  std::string header;
  std::string picture;
  std::string description;
  char just = 'L';
  bool shown = true;      // shown in the list as it is designed
  bool colours = false;   // the queue holds four colour fields after it
  bool icon = false;      // an icon column
  bool sortable = false;  // a file field the view can order by
  bool graph = false;     // "Graph on" the column counts the rows per value in a bar graph
};

// The packed description the explorer class reads (decodePackedColumns).
std::string packExploreColumns(const std::vector<ExploreColumn>& columns);

// The window-side state the explorer reads and sets.
struct ExploreState {
  uint8_t restoreHeader = 0;
  uint8_t viewOrder = 0;       // 1: a header click chose a new column order, the view is to be read
  uint8_t sequence = 0;        // the sorted column's position in the list, 0: none
  uint8_t fileSeqOn = 0;
  int64_t mask = 0x1FFFFFFF;   // every column and list attribute may be changed, columns moved
  std::string titleText;
  bool columnSort = false;     // a column order is current
  int columnOrder = 0;         // its number in the browse
};

class BoundExplorer : public winclasses::ExploreClass {
 public:
  std::vector<ExploreColumn> columns;
  ExploreState* state = nullptr;
  std::string baseFilter;                       // given to every column order
  std::vector<ui::Binding> resetFields;         // given to every column order
  std::vector<std::pair<std::string, ui::Binding>> ranges;  // (field, value) given to every column order
  std::function<void()> setFilters;             // multi-view windows: re-apply the view to the orders

  void ListBoxData() override;
  void AddColumnSortOrder(int number) override;
  void SetFilters() override;
  void SetNewOrderFields() override;
  long GetRecordsInKey() override;
  void GetStringForGraph(int fieldNumber, std::string_view picture) override;
  bool MyPreviewer() override;

  // The browse orders of the column sorts: [2 * (k - 1) + direction] for the k-th sortable field.
  std::vector<int> columnOrders;

 private:
  std::vector<std::unique_ptr<ui::StepClass>> m_steps;
  std::vector<std::unique_ptr<ui::StepLocatorClass>> m_locators;
};

class ExploreBinding : public ui::WindowComponent {
 public:
  // Alerted on the list: Alt+F11, Alt+F12, Ctrl+Alt+R, Alt+M.
  static constexpr int kFitColumns = 1146, kDefaultLayout = 1147, kToggleBar = 1618, kPopup = 1101;
  static constexpr int kListLayout = 1082;

  // Before the window opens: the explorer over the browse, its columns added as fields, its
  // column orders made. `pairs` gives, per described column, the browse's source field (a file
  // field or a bound name) for the queue field of the same name.
  // `visual` is the sort mark: ">Header", "Underline" or "Text Bar". `listName` names the layout
  // in the file beside the procedure's name (a window's second list has its own).
  void Bind(ui::WindowManager& manager, ui::BrowseClass& browse, ui::QueryClass& query, BoundExplorer& explorer,
            ExploreState& state, std::string_view iniFile, std::string_view visual = ">Header",
            std::string_view listName = "?Browse:1");
  // After Open: the saved layout restored, the list layout event posted, the keys alerted.
  void Opened();

  ui::Level TakeEvent() override;
  void Kill() override;

  // A right button released on a row: the window's row popup, with the row's record in the
  // buffer; not set: the browse's popup as it stands. A right press only selects the row, so the
  // popup opens once, on the release (the header's popup is the explorer's own).
  std::function<void()> rowPopup;

  // A double click on the list: offered to the explorer first; true when it took it.
  bool takeDoubleClick();
  // The order a reset should read: the column order while a column sort is active, else `own`.
  int chosenOrder(int own) const;
  // Clears the column sort (a new view was chosen by the window).
  void clearColumnSort();

 private:
  ui::WindowManager* m_manager = nullptr;
  ui::BrowseClass* m_browse = nullptr;
  BoundExplorer* m_explorer = nullptr;
  ExploreState* m_state = nullptr;
  std::string m_listName;
  int m_ownOrder = 0;  // the browse's order when it was bound
  bool m_opened = false;
  bool m_handled = false;
};

}  // namespace ov::editors
