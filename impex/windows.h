// The windows of the import/export program: the export window "Choose Fields for Export...",
// the import window "Assign fields for Import...", the picture question and the program body
// that picks one of eight procedures from the command line. The work itself is ExportRun and
// ImportRun; these classes only show it and ask for the file.
#pragma once

#include <cstdint>
#include <deque>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "impex/field_chooser.h"
#include "impex/field_lists.h"
#include "impex/import_run.h"
#include "platform/ui/window_manager.h"

namespace ov::impex {

// Opens a table shared, creating it when missing; on any failure says why and answers false.
bool openImpexTable(const ImpexTable& table);

// AskPicture: the new picture, or "" when cancelled. A text not starting with "@" is refused
// with "Pictures must begin with "@"" and asked again.
std::string AskPicture(std::string_view current);

class ExportWindow : public ui::WindowManager {
 public:
  explicit ExportWindow(const ImpexTable& table);
  ui::Level Init() override;
  ui::Level TakeAccepted() override;
  ui::Level TakeNewSelection() override;
  FieldChooser& chooser() { return m_chooser; }
  // The lists' views report a click or a selection key here: the entry it reached and the key
  // code (the left button or the key, with its Shift and Ctrl bits); it arrives as NewSelection.
  void listInput(FieldChooser::List l, int index, int keycode);

 private:
  void refresh();
  void runExport();
  const ImpexTable& m_table;
  FieldChooser m_chooser;
  std::deque<int> m_reached[2];  // per list: entries reached by input not yet handled
  uint8_t m_header = 1;
  int m_all = 0, m_chosen = 0, m_add = 0, m_remove = 0, m_up = 0, m_down = 0, m_picture = 0,
      m_display = 0;
};

class ImportWindow : public ui::WindowManager {
 public:
  // `path` is the import file; `layout` holds its columns from the first lines. The window reads
  // the file's lines one at a time as samples, and the run reads the file itself.
  ImportWindow(const ImpexTable& table, std::string path, ImportLayout layout);
  ui::Level Init() override;
  ui::Level TakeAccepted() override;
  ui::Level TakeNewSelection() override;
  const ImportLayout& layout() const { return m_layout; }

 private:
  void refresh();
  void offerButtons();
  void runImport();
  const ImpexTable& m_table;
  std::string m_path;
  ImportLayout m_layout;
  std::ifstream m_sampleIn;
  CsvReader m_sample;  // over m_sampleIn
  int m_sampleNumber = 1;
  uint8_t m_strip = 0;
  int m_columns = 0, m_targets = 0, m_next = 0, m_rec = 0, m_picture = 0, m_assign = 0,
      m_auto = 0, m_unassign = 0;
  bool m_autoDisabled = false;
};

// ExportTodo, ImportContact...: the procedure for a table and a verb ('E' or 'I').
void ExportTable(const ImpexTable& table);
void ImportTable(const ImpexTable& table);

// ImpExDispatch: "E" or "I" and a table word from the command line; anything else does nothing.
// Answers whether a procedure ran.
bool ImpExDispatch();

}  // namespace ov::impex
