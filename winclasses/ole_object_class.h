// OleObjectClass: one OLE control of a window. It creates the control (or adopts one), makes the
// OLE object in it from a creation string, registers the control's OCX file and tries again when
// the object cannot be made, routes the control's OLE events to HandleOleEvent, and offers the
// control's OLE operations as methods. OleObjectCollectionClass adds Count and Item for automation
// objects that are collections.
//
// The OLE control itself belongs to the platform (OleControlRuntime). This system runs where no
// OLE server exists: the platform's runtime makes no object and loads no OCX file, so Init ends on
// "Can not Find OLE Control ...!" or "Can not Register OLE Control ..." titled "Fatal OLE Error"
// and tells the application to close down, as it would wherever a control is missing. Tests put a
// runtime of their own in place with setOleControlRuntime.
//
// A failure the class calls fatal posts EVENT:CloseDown to the application frame (thread 1); the
// program then closes its windows and files in order rather than stopping where it stands.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ov::ui {
class Window;
}

namespace ov::winclasses {

// The attributes the display and error-reporting setters change.
enum class OleAttr { ReportException, Compatibility, Zoom, AutoSize, Stretch, Clip };
// The operations of the control that take at most one text (a file name or a verb number).
enum class OleOp { Copy, Paste, PasteLink, Update, CanPaste, CanPasteLink, DoVerb, SaveAs, Open, Document, Link };

// The platform's OLE control.
class OleControlRuntime {
 public:
  virtual ~OleControlRuntime() = default;
  // A hidden OLE control of 1 by 1 at (1, 1) on the window; its number.
  virtual int CreateControl(ui::Window& window);
  virtual void DestroyControl(ui::Window& window, int control);
  // The control holds an OLE object.
  virtual bool HasObject(int control) const = 0;
  // The control's object reference (beginning with a backquote), "" when it has none.
  virtual std::string ObjectReference(int control) const = 0;
  // Makes the object from the creation string; false when that fails.
  virtual bool Create(int control, std::string_view creation) = 0;
  // Loads the OCX file and calls its "DllRegisterServer"; 0 on success, else the failure's code.
  virtual long RegisterServer(std::string_view ocxFile) = 0;
  virtual void SetAttr(int control, OleAttr attr, long value) = 0;
  virtual long Run(int control, OleOp op, std::string_view argument = {}) = 0;
  virtual bool SaveToBlob(int control, std::string& blob) = 0;
  virtual bool ReadFromBlob(int control, const std::string& blob) = 0;
  // Reads an automation property ("`ref.Count", "`ref.Item(2)") as text.
  virtual std::string Read(int control, std::string_view property) = 0;
  virtual void Release(int control, std::string_view reference) = 0;
  // Closes the control's OLE object.
  virtual void CloseObject(int control) = 0;
  // The OLE events of the control go to `procedure` (0 stops them).
  using EventProcedure = long (*)(int control);
  virtual void SetEventProcedure(int control, EventProcedure procedure) = 0;
};

// The runtime in use: the system's (no OLE server) unless a test set another. nullptr restores it.
OleControlRuntime& oleControlRuntime();
void setOleControlRuntime(OleControlRuntime* runtime);

class OleObjectClass {
 public:
  OleObjectClass() = default;
  virtual ~OleObjectClass();
  OleObjectClass(const OleObjectClass&) = delete;
  OleObjectClass& operator=(const OleObjectClass&) = delete;

  bool OLETYPECREATED = false;
  bool OLECONTROLCREATED = false;
  bool DEAD = false;
  // Per-event records, each with a queue of its own.
  std::unique_ptr<std::vector<std::unique_ptr<std::vector<std::string>>>> EVENTS;
  ui::Window* OLEWINDOW = nullptr;
  int32_t OLECONTROL = 0;
  std::string OLEDISPATCH;          // the automation reference followed by "." (200 characters)
  std::string OLECONTROLFILENAME;   // the OCX file registered when creation fails (255 characters)
  bool AUTORELEASE = false;

  virtual void SetClip(bool on);
  virtual void SetStretch(bool on);
  virtual void SetAutoSize(bool on);
  virtual void SetZoom(bool on);
  virtual void SetCompatibility(long value);
  virtual void SetReportException(bool on);
  virtual long Open(std::string_view file);
  virtual long Document(std::string_view file);
  virtual long Link(std::string_view file);
  virtual bool SaveToBlob(std::string& blob);
  virtual bool ReadFromBlob(const std::string& blob);
  virtual long SaveAs(std::string_view file);
  virtual long DoVerb(long verb);
  virtual long Update();
  virtual bool CanPaste();
  virtual long Paste();
  virtual bool CanPasteLink();
  virtual long PasteLink();
  virtual long Copy();
  // The runtime's current target window.
  virtual void Init();
  // A hidden control of its own on `window`.
  virtual void Init(ui::Window& window);
  virtual void Init(ui::Window& window, int control);
  virtual void Init(ui::Window& window, int control, std::string_view creation);
  // An automation object by reference; an empty reference is fatal.
  virtual void Init(ui::Window& window, int control, std::string_view reference, std::string_view creation,
                    bool autoRelease);
  virtual void EnableEvents() {}
  virtual void InitProperties() {}
  virtual void KillProperties() {}
  // OLEDISPATCH without its ".", else the control's object reference.
  virtual std::string GetObject();
  // Takes the other wrapper's control and reference and destroys that wrapper.
  virtual void CreateFrom(std::unique_ptr<OleObjectClass> other);
  virtual long HandleOleEvent() { return 0; }
  virtual long HandleEvent() { return 0; }
  // True when `value` is an object reference; otherwise "Cannot Get <name> Object".
  virtual bool CheckCreateError(std::string_view name, std::string_view value);
  virtual void Kill();

  // The process's OLE event procedure: the wrapper of the control answers, 0 when there is none.
  static long EventProcedure(int control);

 protected:
  OleControlRuntime& runtime() const;
};

class OleObjectCollectionClass : public OleObjectClass {
 public:
  virtual long Count();
  // A wrapper of the n-th item (auto release on), nullptr when it cannot be read.
  virtual std::unique_ptr<OleObjectClass> Item(long n);
};

}  // namespace ov::winclasses
