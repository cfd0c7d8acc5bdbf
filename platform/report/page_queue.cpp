#include "platform/report/page_queue.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace ov::report {

namespace {

template <typename T>
void put(std::string& out, T value) {
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.append(bytes, sizeof(T));
}

void putText(std::string& out, const std::string& text) {
  put<uint32_t>(out, static_cast<uint32_t>(text.size()));
  out.append(text);
}

// Reads from a record, refusing to go past its end.
class Reader {
 public:
  explicit Reader(const std::string& in) : m_in(in) {}

  template <typename T>
  bool get(T& value) {
    if (m_in.size() - m_at < sizeof(T)) return false;
    std::memcpy(&value, m_in.data() + m_at, sizeof(T));
    m_at += sizeof(T);
    return true;
  }
  bool getText(std::string& text) {
    uint32_t n = 0;
    if (!get(n) || m_in.size() - m_at < n) return false;
    text.assign(m_in, m_at, n);
    m_at += n;
    return true;
  }
  bool atEnd() const { return m_at == m_in.size(); }

 private:
  const std::string& m_in;
  size_t m_at = 0;
};

enum Flag : uint8_t { Bold = 1, Italic = 2, Wrap = 4, Border = 8, Filled = 16, Checked = 32 };

}  // namespace

void writePage(const Page& page, std::string& out) {
  out.clear();
  put<int32_t>(out, page.number);
  put<int32_t>(out, page.width);
  put<int32_t>(out, page.height);
  put<uint32_t>(out, static_cast<uint32_t>(page.items.size()));
  for (const Item& it : page.items) {
    put<uint8_t>(out, static_cast<uint8_t>(it.kind));
    put<int32_t>(out, it.x);
    put<int32_t>(out, it.y);
    put<int32_t>(out, it.width);
    put<int32_t>(out, it.height);
    putText(out, it.text);
    putText(out, it.font.face);
    put<double>(out, it.font.points);
    put<uint32_t>(out, it.font.color);
    put<uint8_t>(out, static_cast<uint8_t>((it.font.bold ? Bold : 0) | (it.font.italic ? Italic : 0) |
                                           (it.wrap ? Wrap : 0) | (it.border ? Border : 0) |
                                           (it.filled ? Filled : 0) | (it.checked ? Checked : 0)));
    put<uint8_t>(out, static_cast<uint8_t>(it.align));
    put<uint32_t>(out, it.borderColor);
    put<uint32_t>(out, it.fill);
  }
}

bool readPage(const std::string& in, Page& page) {
  Reader r(in);
  uint32_t count = 0;
  if (!r.get(page.number) || !r.get(page.width) || !r.get(page.height) || !r.get(count)) return false;
  page.items.clear();
  page.items.reserve(std::min<size_t>(count, in.size()));
  for (uint32_t i = 0; i < count; ++i) {
    Item it;
    uint8_t kind = 0, flags = 0, align = 0;
    if (!r.get(kind) || !r.get(it.x) || !r.get(it.y) || !r.get(it.width) || !r.get(it.height) ||
        !r.getText(it.text) || !r.getText(it.font.face) || !r.get(it.font.points) || !r.get(it.font.color) ||
        !r.get(flags) || !r.get(align) || !r.get(it.borderColor) || !r.get(it.fill))
      return false;
    if (kind > static_cast<uint8_t>(Item::Kind::Check) || align > static_cast<uint8_t>(Align::Right)) return false;
    it.kind = static_cast<Item::Kind>(kind);
    it.align = static_cast<Align>(align);
    it.font.bold = flags & Bold;
    it.font.italic = flags & Italic;
    it.wrap = flags & Wrap;
    it.border = flags & Border;
    it.filled = flags & Filled;
    it.checked = flags & Checked;
    page.items.push_back(std::move(it));
  }
  return r.atEnd();
}

PageQueue::PageQueue(size_t inMemory) : m_inMemory(inMemory) {}

PageQueue::~PageQueue() {
  if (m_file) std::fclose(m_file);
}

PageQueue::PageQueue(PageQueue&& other) noexcept
    : m_inMemory(other.m_inMemory),
      m_slots(std::move(other.m_slots)),
      m_memory(std::move(other.m_memory)),
      m_file(std::exchange(other.m_file, nullptr)),
      m_end(std::exchange(other.m_end, 0)),
      m_fileFailed(std::exchange(other.m_fileFailed, false)),
      m_error(std::move(other.m_error)) {
  other.m_slots.clear();
  other.m_memory.clear();
  other.m_error.clear();
}

PageQueue& PageQueue::operator=(PageQueue&& other) noexcept {
  if (this != &other) {
    if (m_file) std::fclose(m_file);
    m_inMemory = other.m_inMemory;
    m_slots = std::move(other.m_slots);
    m_memory = std::move(other.m_memory);
    m_file = std::exchange(other.m_file, nullptr);
    m_end = std::exchange(other.m_end, 0);
    m_fileFailed = std::exchange(other.m_fileFailed, false);
    m_error = std::move(other.m_error);
    other.m_slots.clear();
    other.m_memory.clear();
    other.m_error.clear();
  }
  return *this;
}

void PageQueue::clear() {
  m_slots.clear();
  m_memory.clear();
  m_error.clear();
  if (m_file) std::fclose(m_file);
  m_file = nullptr;
  m_end = 0;
  m_fileFailed = false;
}

bool PageQueue::spill(const Page& page, Slot& slot) {
  if (m_fileFailed) return false;
  if (!m_file) {
    m_file = std::tmpfile();  // unnamed: gone when closed, or when the program ends however it ends
    if (!m_file) {
      m_fileFailed = true;
      return false;
    }
  }
  writePage(page, m_buffer);
  if (m_buffer.size() > UINT32_MAX || ::fseeko(m_file, m_end, SEEK_SET) != 0 ||
      std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size()) {
    // Whatever part of the record was written lies beyond m_end and is written over later.
    m_fileFailed = true;
    return false;
  }
  slot.offset = m_end;
  slot.length = static_cast<uint32_t>(m_buffer.size());
  m_end += static_cast<int64_t>(m_buffer.size());
  return true;
}

void PageQueue::push(Page page) {
  Slot slot;
  slot.width = page.width;
  slot.height = page.height;
  if (m_memory.size() >= m_inMemory && spill(page, slot)) {
    m_slots.push_back(slot);
    return;
  }
  slot.memory = static_cast<uint32_t>(m_memory.size());
  m_memory.push_back(std::move(page));
  m_slots.push_back(slot);
}

Page PageQueue::at(size_t i) const {
  const Slot& slot = m_slots[i];
  if (slot.offset < 0) return m_memory[slot.memory];
  Page page;
  m_buffer.resize(slot.length);
  if (std::fflush(m_file) != 0 || ::fseeko(m_file, slot.offset, SEEK_SET) != 0 ||
      std::fread(m_buffer.data(), 1, slot.length, m_file) != slot.length || !readPage(m_buffer, page)) {
    m_error = "Page " + std::to_string(i + 1) + " of the report could not be read back from its temporary file.";
    page = Page{};
    page.number = static_cast<int>(i + 1);
  }
  return page;
}

CopiedPages::CopiedPages(const PageSource& pages, int copies, bool collate)
    : m_pages(pages), m_copies(std::max(1, copies)), m_collate(collate) {}

size_t CopiedPages::source(size_t i) const {
  return m_collate ? i % m_pages.size() : i / static_cast<size_t>(m_copies);
}

Page CopiedPages::at(size_t i) const { return m_pages.at(source(i)); }

std::vector<Page> allPages(const PageSource& pages) {
  std::vector<Page> out;
  out.reserve(pages.size());
  for (size_t i = 0; i < pages.size(); ++i) out.push_back(pages.at(i));
  return out;
}

}  // namespace ov::report
