// ExploreRootClass: the base of the explorer-style list windows.
//
// It works on one list control of one window: the columns described by the window in packed form
// (decodePackedColumns) are kept in two queues, FQ (every described field) and SQ (the displayed
// columns in display order). The user re-orders columns (drag or menu), hides them, fits their
// widths, sorts by clicking a header (two orders per sortable column), and the layout is saved per
// window in an INI file. The list source is a browse over a file view (list type 1), a file list
// (type 2) or an in-memory list (type 3); types 2 and 3 are sorted in memory by prepared sort
// strings.
//
// The header mouse: ExploreListProc sits in the list control's window-procedure chain and turns
// presses, releases and moves into the window events 1025..1035 (HeaderMouse holds the state, one
// per process as only one list is pressed at a time). The window passes those events back to the
// derived class (ExploreClass::HandleMyEvents), which calls LeftButtonDown, MouseMoved, ...
//
// A derived browse supplies ListBoxData, AddColumnSortOrder, SetFilters and SetNewOrderFields;
// their bodies here only show the "Base Method" message box.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/browse_class.h"
#include "platform/ui/list_control.h"
#include "platform/ui/popup_class.h"
#include "platform/ui/query_class.h"
#include "platform/ui/window_manager.h"
#include "platform/ui/window_proc.h"

namespace ov::winclasses {

// Events that the header mouse and the popup items post to the explorer's window.
namespace ExploreEvent {
constexpr int LeftDown = 1025;
constexpr int LeftUp = 1026;
constexpr int None = 1027;
constexpr int OffButton = 1028;
constexpr int RightDown = 1029;
constexpr int RightUp = 1030;
constexpr int NewSort = 1031;
constexpr int DragMoved = 1032;
constexpr int MoveLeft = 1034;
constexpr int MoveRight = 1035;
constexpr int Reset = 1036;
constexpr int HdrJustLeft = 1037, HdrJustRight = 1038, HdrJustCenter = 1039, HdrJustDecimal = 1040;
constexpr int DataJustLeft = 1041, DataJustRight = 1042, DataJustCenter = 1043, DataJustDecimal = 1044;
constexpr int ListProperties = 1045;
constexpr int Width = 1046, HeaderOffset = 1047, DataOffset = 1048;
constexpr int HeaderText = 1050;
constexpr int Fixed = 1051, Underline = 1052, Border = 1053, Resize = 1054;
constexpr int ListX = 1055, ListY = 1056, ListWidth = 1057, ListHeight = 1058;
constexpr int Font = 1059, LineHeight = 1060, HScroll = 1061, VScroll = 1062, Colors = 1063;
constexpr int HideColumn = 1065;
constexpr int Nothing = 1066;
constexpr int BestFit = 1067, SortOn = 1068, PrintPage = 1069, PrintAll = 1070, Graph = 1071;
constexpr int ExportAscii = 1072, ExportHtml = 1073;
constexpr int FilterEqual = 1074, FilterLess = 1075, FilterGreater = 1076, FilterNotEqual = 1077;
constexpr int UserFilter = 1078, CancelFilter = 1079, AddEqualToFilter = 1080;
}  // namespace ExploreEvent

// Bits of the window's option mask.
namespace ExploreMask {
constexpr int64_t DataJustLeft = 0x1, DataJustCenter = 0x2, DataJustRight = 0x4, DataJustDecimal = 0x8;
constexpr int64_t DataOffset = 0x10;
constexpr int64_t HdrJustLeft = 0x20, HdrJustCenter = 0x40, HdrJustRight = 0x80, HdrJustDecimal = 0x100;
constexpr int64_t HeaderOffset = 0x200, HeaderText = 0x400, Width = 0x800;
constexpr int64_t Moving = 0x2000, Colors = 0x8000;
constexpr int64_t Fixed = 0x10000, Underline = 0x20000, Border = 0x40000, Resize = 0x80000;
constexpr int64_t ListProperties = 0x100000;
constexpr int64_t ListX = 0x200000, ListY = 0x400000, ListWidth = 0x800000, ListHeight = 0x1000000;
constexpr int64_t Font = 0x2000000, LineHeight = 0x4000000, HScroll = 0x8000000, VScroll = 0x10000000;
}  // namespace ExploreMask

// A column entry (queues SQ and FQ).
struct XPGQ {
  std::string Field;          // the data field's name, as sort strings name it
  std::string Description;
  int Icon = 0;               // FQ: 1 when displayed (the column chooser's tick)
  std::string Header;
  int QNos = 0;               // the field's number in the list's data queue
  int Seq = 0;                // display position
  int Col = 0;                // position in the list; 0 = not displayed
  int32_t NFG = -1, NBG = -1, SFG = -1, SBG = -1;
  int WidthDLU = 0;
  int WidthPix = 0;
  int XPosPix = 0;
  char HJust = 'L', FJust = 'L';
  int HOffset = 0, FOffset = 0;
  bool ULine = false, Fixed = false, Border = false, Resize = false;
  bool Display = false;
  int AscDesc = 0;            // 0 ascending, 1 descending
  bool ControlField = false;  // may be displayed (displayed at design)
  bool ViewField = false;
  int TabControl = 0;
  bool TotalOK = false, GraphOK = false;
  int GraphType = 0;
  int SortField = 0;          // 0: can't be sorted; else the number of its first prepared order
  char LocatorType = ' ';
  bool Colors = false;
  int IconX = 0;              // 0 none, 1 icon, 2 transparent icon
  int MaxWidth = 0;
  std::string Picture;
  int EC = 0;                 // edit-in-place control
  std::string Format;
};

// A sort sub-field or an apply-to-all field (SOQ, AOQ).
struct SortSubField {
  int QNos = 0;
  int Seq = 0;
  std::string FieldName;
  int AscDesc = 0;
  std::string Picture;
};

struct FormatSlot {  // ForQ
  int Control = 0;
  std::string Format;
};

struct SortStringEntry {  // LSQ
  int Seq = 0;
  std::string SortString;
};

struct GraphCategory {  // QSel
  std::string Name;
  int Count = 0;
  double Percent = 0, Total = 0;
  std::string TextSfx;
};

// The list's layout: as designed (Def) and as edited in the properties window (Pars).
struct ListLayout {
  std::string OrigFormatString;
  int XPos = 0, YPos = 0, Height = 0, Width = 0;
  int LineHeight = 0, Column = 0;
  bool HScroll = false, VScroll = false;
  std::string Font;
  int Point = 0;
  int32_t Color = -1;
  int Style = 0;
  int CurrentCol = 0;
  bool AllowBBResize = false;
};

// ---- packed column descriptions ----
//
// Columns: per record, a length byte and the field name; the width (2 bytes, little-endian); the
// header, the picture and the description, each after its length byte; the justification; the
// bytes Display, Colors, IconX, ViewField; TabControl (4 bytes, the low two taken); TotalOK,
// GraphOK, GraphType, SortField and LocatorType. Sort sub-fields: per record, the column's name, a
// 2-byte count and per sub-field its name, direction byte and picture. Apply-to-all: the ApplyAll
// byte, a 2-byte count and the fields as above.
//
// Every read is bounded: text that ends early gives zeros and blanks for what is missing, and a
// count larger than the bytes left stops at the end of the text.
struct PackedSubFields {
  std::string column;
  std::vector<SortSubField> fields;
};
std::vector<XPGQ> decodePackedColumns(std::string_view packed, int count);
std::vector<PackedSubFields> decodePackedSubFields(std::string_view packed, int count);
std::vector<SortSubField> decodePackedApplyAll(std::string_view packed, int& applyAll);

// The order elements of a column for one direction (0 ascending, 1 descending): its sub-fields,
// or its own field, then the apply-to-all fields (for a column with sub-fields only when
// `applyAll`); each "-" + name where the direction differs from the field's own and, with
// `upper`, "UPPER(name)" for a string picture.
std::vector<std::string> columnOrderElements(const XPGQ& column, const std::vector<SortSubField>& subFields,
                                             const std::vector<SortSubField>& applyAllFields, bool applyAll,
                                             int direction, bool upper);

// The list format of displayed columns, and the columns a format shows (taken from `fields` by
// their data-queue field numbers; columns naming no described field are left out).
std::string exploreFormatString(const std::vector<XPGQ>& columns);
bool columnsFromFormat(std::string_view format, const std::vector<XPGQ>& fields, std::vector<XPGQ>& out);

// Lays the columns out from the list's left edge in `roomPx` pixels: each gets its XPosPix and a
// WidthPix cut to the room left; a bordered column takes one pixel more; what is left over goes to
// the last column. Columns with WidthPix 0 (scrolled out) take no room.
void layoutColumns(std::vector<XPGQ>& columns, int roomPx);

// ---- the header mouse ----
//
// The pure state of the list-box procedure: it is fed the list's messages with list-local
// pixels and posts events. The header button's cell (left, width) and the header height are set
// by ShowButtonDown.
class HeaderMouse {
 public:
  std::function<void(int event)> post;
  std::function<void(bool shown)> showDragBox;  // the grey box that follows a drag

  void message(uint32_t msg, int x, int y);

  bool pressed = false;
  bool buttonShown = false;
  bool dragBoxShown = false;
  int pressX = 0;
  int lastX = 0;
  int cellLeft = 0, cellWidth = 0, headerHeight = 0;
  int messages = 0;
  int control = 0;  // the list last pressed on: a window may hold two explorer lists
};

// The process-wide state of ExploreListProc.
HeaderMouse& headerMouse();

// The list-box procedure (window_proc.h), installed by SetSubclassFunc on the list control.
ui::LRESULT ExploreListProc(ui::Handle hwnd, uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam);

// The two list sources that are not a file-view browse: both keep the popup of their list.
class ExploreFileClass {
 public:
  ui::PopupClass* Popup = nullptr;
  uint8_t AddSortOrder(ui::StepClass*, db::Key) { return 0; }
};
class ExploreListClass {
 public:
  ui::PopupClass* Popup = nullptr;
  uint8_t AddSortOrder(ui::StepClass*, db::Key) { return 0; }
};

// The window variables the class works on (held by the window, referred to by the object).
struct ExploreWindowVars {
  uint8_t* restoreHeader = nullptr;  // 1: the sort mark is still to be drawn
  uint8_t* viewOrder = nullptr;      // 1: the view applies the new order; 0: sorted in memory
  uint8_t* sequenceNbr = nullptr;    // position of the sort column, 0 = none
  int64_t* mask = nullptr;           // option mask
  uint8_t* fileSeqOn = nullptr;      // 1: "Do not sort"
  std::string* titleText = nullptr;  // title template of the "Text Bar" mark
};

class ExploreRootClass {
 public:
  ExploreRootClass();
  virtual ~ExploreRootClass();
  ExploreRootClass(const ExploreRootClass&) = delete;
  ExploreRootClass& operator=(const ExploreRootClass&) = delete;

  // ---- virtual operations, in slot order ----
  virtual void AddColumnSortOrder(int number);  // abstract
  virtual void AddItemsToPopup();
  virtual void AdjustAllColumns();
  virtual void EraseVisual();
  virtual void HideColumn();
  virtual void ListBoxData();                   // abstract
  virtual void MoveColLeft();
  virtual void MoveColRight();
  virtual void ResetToDefault();
  virtual void SetFilters();                    // abstract
  virtual void SetVisual();
  virtual void SetNewOrderFields();             // abstract

  // ---- set-up and end ----
  // `list` is the list control's number on the manager's window; the list must be bound to its
  // data queue. For a browse, `query` receives the fields (QueryClass::Init is called).
  void Init(ui::WindowManager& manager, ui::BrowseClass& browse, ui::QueryClass& query, int list,
            std::string_view visual, std::string_view iniFile, bool allowResize, const ExploreWindowVars& vars);
  void Init(ui::WindowManager& manager, ExploreFileClass& files, int list, std::string_view visual,
            std::string_view iniFile, bool allowResize, const ExploreWindowVars& vars);
  void Init(ui::WindowManager& manager, ExploreListClass& items, int list, std::string_view visual,
            std::string_view iniFile, bool allowResize, const ExploreWindowVars& vars);
  void Kill();

  void CreateFormatQ(int control);
  // Reads the packed descriptions (GrLBF, GrSSF, GrASF with QDim and QDimS) into the queues.
  void GetQFields();
  // Pairs the current FQ entry with a view field and a data-queue field (browse, list type 1).
  void AddField(std::string_view viewField, std::string_view queueField);
  // Prepares two orders per sortable column (ascending, then descending).
  void AddAllColumnSortOrders(bool firstSets = true);
  void FindAnySubFields(bool firstSets, std::string_view direction);

  // ---- layout ----
  void GetBBSize(std::string_view section, std::string_view suffix);
  void PutIniX(std::string_view section, std::string_view suffix, int previousColumn, int direction);
  void PrepareVars();
  void ReorganizePairs();
  void ShowNewSort();
  void SetupOrder(int& orderNumber);
  void GetColumnInfo(bool ignored, bool keepCurrent);
  void ReformatListBox();
  void EquateColToQField();
  void CalcColumnWidths();
  int GetWidestString(int fieldNumber, std::string_view picture, std::string_view header);
  void FineTuneWidth(int column, int& width);
  int XlateCol2Q(int column) const;

  // ---- header mouse and popup ----
  void SetSubclassFunc();
  void SetupButton();
  void ShowButtonDown(int column);
  void LeftButtonDown();
  void LeftButtonUp(int warn);
  uint8_t LeftButton2();
  void RightButtonDown();
  void RightButtonUp();
  void MouseMoved();
  void MouseOffButton();
  void PreparePopup();
  // Measures the header cell under a press (list pixels) for the header mouse.
  void armHeaderPress(int x, int y);

  // ---- fields (names as the window code uses them) ----
  bool IncludeHeader = false;
  int LHCol4Moving = 1;
  bool Upper = false;
  bool Graph = false;
  bool PrintView = false;
  bool PrintPage = false;
  std::string AsciiFileName;
  std::string HtmlFileName;
  std::string Separator;
  bool BrowseHeader = false;
  bool ShellExecute = false;
  int AscDesc = 0;
  int MaxFontSize = 14;
  int MinFontSize = 6;
  int PaperType = 1;
  bool AllPreview = true;
  bool PagePreview = false;
  int HeaderStyle = 400;
  bool IgnoreEvent = false;
  int ListType = 0;
  int CurrentCol = 0;
  int HPos = 0;
  int QNos = 0;
  std::string HdrToken;
  std::string AscToken = ">";
  std::string DescToken = "<";
  std::string Visual;
  std::string ColDesc;
  std::string IniFileName;
  std::string sValue;
  std::string Symbol;
  std::string GrLBF, GrSSF, GrASF;  // packed descriptions
  int QDim = 0, QDimS = 0;
  ExploreWindowVars vars;
  ui::WindowManager* WM = nullptr;
  ui::BrowseClass* BC = nullptr;
  ExploreListClass* LC = nullptr;
  ExploreFileClass* FC = nullptr;
  ui::PopupClass* RPU = nullptr;
  ui::QueryClass* QC = nullptr;
  int LB = 0;
  std::vector<XPGQ> SQ;
  std::vector<XPGQ> FQ;
  std::vector<SortSubField> SOQ;
  std::vector<SortSubField> AOQ;
  std::vector<FormatSlot> ForQ;
  std::vector<GraphCategory> QSel;
  std::vector<SortStringEntry> LSQ;
  size_t currentSlot = 0;  // the ForQ entry in use
  ListLayout Def, Pars;
  bool ApplyAll = false;
  bool FilterShared = false;
  bool FilterEqual = false;

  // The pieces of the window the class works on.
  ui::Window& window() const { return WM->window(); }
  ui::ListControl& list() const;
  ui::ListQueue* dataQueue() const { return list().queue(); }
  // The SQ entry at a display position (1-based), or nullptr.
  XPGQ* columnAt(int position);
  XPGQ* fieldEntry(int qnos);
  // A field of the data queue's current entry (the selected row) through a picture.
  std::string currentValue(int qnos, std::string_view picture) const;

  // Header button and drag box as they are shown over the list.
  struct HeaderButtonState {
    bool created = false;
    bool buttonShown = false;
    bool boxShown = false;
    int x = 0, y = 0, width = 0, height = 0;  // the pressed cell, inset by one pixel
    int boxX = 0;                             // the drag box's left edge, list pixels
    std::string boxText;
  } headerButton;

  // Pairs of the browse (view field, queue field) per FQ entry, in FQ order.
  std::vector<std::pair<std::string, std::string>> pairs;

 protected:
  void abstractMethod(std::string_view name) const;
  void InitAux(ui::WindowManager& manager, int list, std::string_view visual, std::string_view iniFile,
               bool allowResize, const ExploreWindowVars& vars);
  // Pixels of a vertical scroll bar (the room the list's own scroll bar takes).
  virtual int scrollBarPx() const;
  // Pixel width of a text in the list's font.
  virtual int textWidthPx(std::string_view text) const;
  void setSequence(int v) { if (vars.sequenceNbr) *vars.sequenceNbr = static_cast<uint8_t>(v); }
  int sequence() const { return vars.sequenceNbr ? *vars.sequenceNbr : 0; }
  int64_t mask() const { return vars.mask ? *vars.mask : 0; }
  void sortInMemory();
  // Shows, hides and places the header button and the drag box as headerButton says.
  void showHeaderControls();

 private:
  ui::PopupClass m_ownPopup;     // the popup of a file or in-memory list source
  size_t m_sortColumn = 0;       // the FQ entry whose orders are being prepared
  int m_pressedColumn = 0;       // the header cell pressed, 0 none
  int m_buttonFeq = 0, m_boxFeq = 0;  // the header button and the drag box, once the window is open
  size_t m_addFieldAt = 0;
  ui::ProcNumber m_savedProc = 0;
  bool m_readHPos = false;
  int m_lastHPos = 0;
};

}  // namespace ov::winclasses
