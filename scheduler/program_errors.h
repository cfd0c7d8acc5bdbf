// The main program's error manager: the class library's, with its messages shown in message
// boxes. Notices and fatal errors go on to the class library's handling unchanged. The program
// body creates it and hands it to the data library, whose files report through it.
#pragma once

#include "platform/files/error_class.h"

namespace ov::scheduler {

class ProgramErrors : public db::ErrorClass {
 public:
  ProgramErrors();

 protected:
  db::Level TakeNotify(const db::ErrorReport& r) override;
  db::Level TakeFatal(const db::ErrorReport& r) override;
};

}  // namespace ov::scheduler
