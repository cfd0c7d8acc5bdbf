// Locators and scroll steps of a browse's sort orders.
//
// A locator moves a browse to the first record of its order whose field is at or after a value:
//   StepLocatorClass         a character typed in the list: the first record starting at it
//   IncrementalLocatorClass  characters typed in the list add up ("Le" then "Lee"); Backspace takes
//                            one back, and the text starts afresh when the selection moves
//   EntryLocatorClass        the text of an entry ("&Locate:") when it is accepted
// Texts compare with case ignored unless the locator is told otherwise; fields of number, date and
// time types compare by value, the text read through the locator's picture ("@d17") when it has one.
//
// Scroll steps (StepClass and its kinds) say how the runtime estimated a page-loaded list's thumb
// from the leading field of an order. The browse here knows the place of every record of its view,
// so its thumb is exact; a step object is kept with its order for the callers that pass one.
#pragma once

#include <string>
#include <string_view>

namespace ov::ui {

class StepClass {
 public:
  enum class Kind { Custom, Long, Real, String };
  explicit StepClass(Kind kind = Kind::Custom) : m_kind(kind) {}
  virtual ~StepClass() = default;
  void Init(int options) { Options = options; }
  Kind kind() const { return m_kind; }
  int Options = 0;

 private:
  Kind m_kind;
};

class StepLongClass : public StepClass {
 public:
  StepLongClass() : StepClass(Kind::Long) {}
};
class StepRealClass : public StepClass {
 public:
  StepRealClass() : StepClass(Kind::Real) {}
};
class StepStringClass : public StepClass {
 public:
  StepStringClass() : StepClass(Kind::String) {}
};
class StepCustomClass : public StepClass {
 public:
  StepCustomClass() : StepClass(Kind::Custom) {}
};

class LocatorClass {
 public:
  enum class Kind { Step, Incremental, Entry };
  explicit LocatorClass(Kind kind) : m_kind(kind) {}
  virtual ~LocatorClass() = default;

  // The field of the browsed file (its declared name) that the locator compares.
  void Init(std::string_view field, bool caseSensitive = false, std::string_view picture = {}) {
    Field = field;
    CaseSensitive = caseSensitive;
    Picture = picture;
    Shadow.clear();
  }
  Kind kind() const { return m_kind; }

  // A key typed in the list (its character, and Backspace as key code 8): true with the text to
  // look for when the browse should move.
  virtual bool TakeKey(int keycode, std::string_view character, std::string& locate) {
    (void)keycode;
    (void)character;
    (void)locate;
    return false;
  }
  // The selection moved by other means.
  virtual void Reset() { Shadow.clear(); }

  std::string Field;
  std::string Picture;
  bool CaseSensitive = false;
  std::string Shadow;  // the text located last (the incremental locator's typed text)

 private:
  Kind m_kind;
};

class StepLocatorClass : public LocatorClass {
 public:
  StepLocatorClass() : LocatorClass(Kind::Step) {}
  bool TakeKey(int keycode, std::string_view character, std::string& locate) override;
};

class IncrementalLocatorClass : public LocatorClass {
 public:
  IncrementalLocatorClass() : LocatorClass(Kind::Incremental) {}
  bool TakeKey(int keycode, std::string_view character, std::string& locate) override;
};

class EntryLocatorClass : public LocatorClass {
 public:
  EntryLocatorClass() : LocatorClass(Kind::Entry) {}
  // The entry whose accepted text is located.
  void Init(std::string_view field, int entryControl, bool caseSensitive = false, std::string_view picture = {}) {
    LocatorClass::Init(field, caseSensitive, picture);
    Control = entryControl;
  }
  int Control = 0;
};

}  // namespace ov::ui
