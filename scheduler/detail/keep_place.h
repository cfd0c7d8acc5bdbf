// Keeps a file's record buffer and current record across the scheduler's own reads and writes,
// so that a caller who read a record can still update it afterwards. Internal to scheduler/.
#pragma once

#include "platform/files/file.h"

namespace ov::scheduler::detail {

class KeepPlace {
 public:
  explicit KeepPlace(db::File& file) : m_file(file), m_image(file.saveBuffer()), m_position(file.position()) {}
  ~KeepPlace() {
    if (m_position != 0) (void)m_file.getPosition(m_position);  // gone meanwhile: no current record
    m_file.restoreBuffer(m_image);
  }
  KeepPlace(const KeepPlace&) = delete;
  KeepPlace& operator=(const KeepPlace&) = delete;

 private:
  db::File& m_file;
  db::RecordImage m_image;
  int64_t m_position;
};

}  // namespace ov::scheduler::detail
