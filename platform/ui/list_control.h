// The list control: rows of a queue shown through a format string (list_format.h).
//
// A list is bound to a queue (FROM); each column shows one field of the queue's entries through
// its picture, with the colours, icon and tree level that the fields after it hold. The list keeps
// the selected row (Selected, a queue position), the column cursor (Column), its scroll state and
// what the mouse last did (PROPLIST MouseDown/MouseUp Row, Field and Zone); the Qt view only
// paints it and passes input back.
//
// Events the list posts to its window (FIELD() is the list):
//   NewSelection   the user moved the selection (key code: the key, 1 left, 2 right button)
//   Accepted       a left click on a row (key code 1), a double click (5), Enter (13)
//   AlertKey       the right button on a row or below the rows (key code 2); typed characters
//                  when the list takes type-ahead (setTypeAhead)
//   ScrollUp, ScrollDown, PageUp, PageDown, ScrollTop, ScrollBottom, ScrollDrag
//                  in immediate mode, in place of moving: the arrow keys at the first or last
//                  row, Page Up/Down, Ctrl+Home/End, the wheel and the scroll bar (whose thumb is
//                  VScrollPos, 0..100, set by the program; ScrollDrag leaves the dragged position
//                  in VScrollPos)
//   Expanded, Contracted   a tree row's box was clicked; the level's sign is flipped in the queue
//   Dragging, Drag, Drop   rows of a list with DragId: the press noted, the drag started, and the
//                  release on a row (MouseDownRow and MouseUpRow tell the two rows)
// A list gaining the focus gets Selected from the window layer.
//
// Mouse positions: row 0 is the header, rows count queue positions from 1; field is the display
// column from 1 (0 none); zone is ListZone below.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rt/err.h"
#include "platform/rt/queue.h"
#include "platform/rt/record.h"
#include "platform/ui/control.h"
#include "platform/ui/list_format.h"
#include "platform/ui/prop.h"

namespace ov::ui {

class PopupClass;

// List properties beside those of prop.h (Format 7C85h, Selected, Immediate, fonts, alerts).
namespace Prop {
constexpr int Column = 0x7B01;        // the column cursor: display column from 1, 0 = row cursor
constexpr int Items = 0x7B02;         // read only: the rows the list shows at once
constexpr int LineHeight = 0x7B03;    // dialog units; 0 = from the font
constexpr int HScroll = 0x7B04;       // the horizontal scroll bar is shown
constexpr int VScroll = 0x7B05;       // the vertical scroll bar is shown
constexpr int HScrollPos = 0x7B06;    // non-fixed columns scrolled out at the left
constexpr int VScrollPos = 0x7B07;    // immediate lists: the thumb, 0..100, kept by the program
constexpr int IconList = 0x7B08;      // icons by number for icon fields: "a.ico|b.ico"
constexpr int HeaderHeight = 0x7B09;  // read only: pixels, 0 when no column has a header
constexpr int DragId = 0x7B0A;        // not blank: rows can be dragged onto other rows
constexpr int Records = 0x7B0B;       // read only: entries of the bound queue
}  // namespace Prop

// Column attributes: ListControl::propList(PROPLIST::x, column) with column the display column
// from 1. Justifications read "1" when set; setting one clears the other three. Offsets and
// widths are dialog units (Width in pixels while the window's Pixels property is on).
namespace PROPLIST {
constexpr int Width = 0x7E01;
constexpr int Header = 0x7E02;
constexpr int Picture = 0x7E03;
constexpr int FieldNo = 0x7E04;
constexpr int Left = 0x7E05;
constexpr int Right = 0x7E06;
constexpr int Center = 0x7E07;
constexpr int Decimal = 0x7E08;
constexpr int LeftOffset = 0x7E09;
constexpr int RightOffset = 0x7E0A;
constexpr int CenterOffset = 0x7E0B;
constexpr int DecimalOffset = 0x7E0C;
constexpr int HeaderLeft = 0x7E0D;
constexpr int HeaderRight = 0x7E0E;
constexpr int HeaderCenter = 0x7E0F;
constexpr int HeaderDecimal = 0x7E10;
constexpr int HeaderLeftOffset = 0x7E11;
constexpr int HeaderRightOffset = 0x7E12;
constexpr int HeaderCenterOffset = 0x7E13;
constexpr int HeaderDecimalOffset = 0x7E14;
constexpr int Fixed = 0x7E15;
constexpr int RightBorder = 0x7E16;
constexpr int Resize = 0x7E17;
constexpr int Underline = 0x7E18;
constexpr int TextColor = 0x7E19;      // E(...) defaults; -1 = none
constexpr int BackColor = 0x7E1A;
constexpr int TextSelected = 0x7E1B;
constexpr int BackSelected = 0x7E1C;
constexpr int Color = 0x7E1D;          // the column has the four colour fields ("*")
constexpr int Tree = 0x7E1E;
constexpr int Icon = 0x7E20;           // the column has an icon field (I or J)
constexpr int IconTrn = 0x7E2E;        // its icon is transparent (J)
constexpr int Exists = 0x7E30;         // "1" when the column exists
// What the mouse last did (the column argument is not used).
constexpr int MouseDownRow = 0x7E40;
constexpr int MouseDownField = 0x7E41;
constexpr int MouseDownZone = 0x7E42;
constexpr int MouseUpRow = 0x7E43;
constexpr int MouseUpField = 0x7E44;
constexpr int MouseUpZone = 0x7E45;
constexpr int MouseMoveRow = 0x7E46;
constexpr int MouseMoveField = 0x7E47;
}  // namespace PROPLIST

namespace ListZone {
constexpr int Field = 0;        // inside a cell
constexpr int RightBorder = 1;  // on the grip at a column's right edge
constexpr int ExpandBox = 2;    // on a tree row's expand box
constexpr int Nowhere = 6;      // outside every cell (right of the last column, below the rows)
}  // namespace ListZone

// The queue a list shows, with its fields by number (1-based, in the record descriptor's order).
class ListQueue {
 public:
  virtual ~ListQueue() = default;
  virtual const rt::RecordDesc& record() const = 0;
  virtual int records() const = 0;
  virtual const void* entry(int position) const = 0;  // 1..records()
  virtual void* buffer() = 0;
  virtual int pointer() const = 0;
  virtual rt::Err get(int position) = 0;
  virtual void add() = 0;                 // appends the buffer
  virtual void add(int position) = 0;     // inserts the buffer at `position`
  virtual rt::Err put() = 0;              // the buffer over the entry at pointer()
  virtual rt::Err remove() = 0;           // deletes the entry at pointer()
  virtual void free() = 0;
  // Writes one field of an entry, leaving the buffer as it was.
  virtual void setEntryField(int position, int field, std::string_view text) = 0;
  // Sorts the entries by field names ("-Date,Name", as rt::orderFromNames reads them); false,
  // with the queue unchanged, when a name is unknown or the list is empty.
  virtual bool sort(std::string_view names) = 0;

  const rt::FieldDesc* field(int number) const {
    const rt::RecordDesc& r = record();
    return number >= 1 && number <= static_cast<int>(r.fields.size()) ? &r.fields[number - 1] : nullptr;
  }
};

template <typename T>
class QueueOf final : public ListQueue {
 public:
  QueueOf(rt::Queue<T>& q, const rt::RecordDesc& desc) : m_q(q), m_desc(desc) {}
  const rt::RecordDesc& record() const override { return m_desc; }
  int records() const override { return m_q.RECORDS(); }
  const void* entry(int position) const override { return &m_q.at(position); }
  void* buffer() override { return &m_q.buf; }
  int pointer() const override { return m_q.POINTER(); }
  rt::Err get(int position) override { return m_q.GET(position); }
  void add() override { m_q.ADD(); }
  void add(int position) override { m_q.ADD(position); }
  rt::Err put() override { return m_q.PUT(); }
  rt::Err remove() override { return m_q.DELETE(); }
  void free() override { m_q.FREE(); }
  void setEntryField(int position, int fieldNo, std::string_view text) override {
    const rt::FieldDesc* f = field(fieldNo);
    if (!f || position < 1 || position > m_q.RECORDS()) return;
    T saved = m_q.buf;
    if (m_q.GET(position) != rt::Err::None) return;
    rt::setFieldText(&m_q.buf, *f, text);
    (void)m_q.PUT();  // the entry was just read
    m_q.buf = saved;
  }
  bool sort(std::string_view names) override {
    rt::QueueOrder<T> order;
    if (!rt::orderFromNames<T>(m_desc, names, order)) return false;
    m_q.SORT(order);
    return true;
  }

 private:
  rt::Queue<T>& m_q;
  const rt::RecordDesc& m_desc;
};

// A field of a queue entry as a list shows it through a picture: without the padding of the
// field or of the picture's width; the plain value when the picture is empty.
std::string formatListField(const void* entry, const rt::FieldDesc* field, const std::string& picture);

// One cell as the list shows it.
struct ListCell {
  std::string text;        // the field through the column's picture, without padding
  int icon = 0;            // the icon field's value: a number in the icon list, 0 none
  std::string iconName;    // that entry of the icon list
  int32_t fg = -1, bg = -1, selFg = -1, selBg = -1;  // the row's colour fields, else E(...); -1 none
  int level = 0;           // tree columns: the row's level (negative: contracted)
  bool hasChildren = false;
};

// Where a point of the list lies.
struct ListHit {
  int row = 0;     // queue position, 0 for the header or no row
  int field = 0;   // display column from 1, 0 none
  int zone = ListZone::Nowhere;
  bool header = false;
};

class ListControl : public Control {
 public:
  explicit ListControl(std::string name);
  ~ListControl() override;

  // Binds the list to a queue; the queue must outlive the list's window.
  template <typename T>
  ListControl& from(rt::Queue<T>& q, const rt::RecordDesc& desc) {
    setQueue(std::make_unique<QueueOf<T>>(q, desc));
    return *this;
  }
  void setQueue(std::unique_ptr<ListQueue> q);
  ListQueue* queue() const { return m_queue.get(); }

  // The format (declaration helper; a malformed text fails the assertion of a programming error).
  ListControl& format(std::string_view text);
  // Reads a format; a malformed one leaves the list as it was and answers false.
  bool setFormat(std::string_view text, ListFormatError* error = nullptr);
  std::string formatString() const { return listFormatString(m_columns); }
  const std::vector<ListColumn>& columns() const { return m_columns; }
  int columnCount() const { return static_cast<int>(m_columns.size()); }

  std::string propList(int p, int column) const;
  bool setPropList(int p, int column, std::string_view value);

  std::string prop(int p) const override;
  bool setProp(int p, std::string_view value) override;

  int selected() const { return m_selected; }
  void setSelected(int position);   // clamped to the queue; 0 = none
  int columnCursor() const { return m_column; }
  int hscrollPos() const { return m_hpos; }
  int vscrollPos() const { return m_vpos; }
  void setVScrollPos(int percent);
  bool isImmediate() const { return m_immediate; }

  // The rows the list shows at once (from the view, or the declared height without one).
  int items() const;
  // Queue positions of the rows that are shown, in order (rows under a contracted tree row
  // are left out).
  const std::vector<int>& shownRows() const { return m_rows; }
  // The first shown row at the top (index into shownRows()).
  int topIndex() const { return m_top; }
  void scrollToRow(int position);

  ListCell cell(int row, int column) const;
  std::string iconName(int number) const;

  // Pixel layout, relative to the list's view: the header height, the row height, a column's left
  // edge and width (display column from 1; width 0 when scrolled out), and a cell's rectangle
  // (false when the row is not in sight).
  int headerHeightPx() const;
  int rowHeightPx() const;
  bool columnSpanPx(int column, int& left, int& width) const;
  bool cellRectPx(int row, int column, Rect& out) const;
  ListHit hitTest(int x, int y) const;

  // Type-ahead: typed characters are posted as AlertKey with the character kept here.
  void setTypeAhead(bool on) { m_typeAhead = on; }
  const std::string& lastChar() const { return m_lastChar; }

  // The popup that a right click on the list opens (kept by whoever owns it, read by tests).
  void setPopup(PopupClass* popup) { m_popup = popup; }
  PopupClass* popup() const { return m_popup; }

  // Re-reads the queue (DISPLAY).
  void display() override;
  bool takesInput() const override { return true; }
  QWidget* createView(QWidget* parent) override;
  void syncView() override;

  // Input from the view (pixels relative to the view) and from keys (runtime key codes).
  void userMousePress(int x, int y, int button, bool doubleClick);
  void userMouseMove(int x, int y, bool leftHeld);
  void userMouseRelease(int x, int y, int button);
  void userKey(int keycode, std::string_view text);
  void userWheel(int notches);  // positive: away from the user (up)
  void userScrollAction(int event, int percent = 0);
  void userHScroll(int pos);

 private:
  friend class ListView;
  void refreshRows();
  void changedLayout();
  std::vector<int> shownColumns() const;  // indexes into m_columns, fixed ones first
  int firstRowAtOrBelow(int position) const;
  void moveSelection(int index, int keycode);
  void post(int event, int keycode = 0) { postEvent(event, keycode); }
  int pxX(int dlu) const;
  int dluX(int px) const;
  void toggleTree(int position);
  bool rowHasChildren(int position) const;

  std::unique_ptr<ListQueue> m_queue;
  std::vector<ListColumn> m_columns;
  std::vector<int> m_rows;       // shown queue positions
  int m_records = 0;             // queue entries when the rows were last read
  int m_selected = 0;
  int m_top = 0;
  int m_column = 0;
  int m_hpos = 0;
  int m_vpos = 0;
  int m_lineHeight = 0;
  bool m_hscroll = false, m_vscroll = true;
  std::vector<std::string> m_icons;
  std::string m_dragId;
  bool m_typeAhead = false;
  std::string m_lastChar;
  PopupClass* m_popup = nullptr;

  ListHit m_down, m_up, m_move;
  bool m_pressed = false, m_dragging = false;
  int m_pressX = 0, m_pressY = 0;
  int m_resizing = 0;            // display column being resized with the mouse, 0 none
  bool m_syncing = false;
};

}  // namespace ov::ui
