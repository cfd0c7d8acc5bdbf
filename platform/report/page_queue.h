// The pages of a report as outputs read them: one page at a time, in any order.
//
// PageQueue holds the pages a report lays out. The first few stay in memory; the rest are written
// to an unnamed temporary file as they are finished and read back when an output asks for them,
// so a report of thousands of pages takes the memory of a few. A page the file cannot take (the
// disk is full) stays in memory: nothing is lost.
//
// Threading: one thread at a time (reading a page moves the file's position).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/report/page.h"

namespace ov::report {

class PageSource {
 public:
  virtual ~PageSource() = default;
  virtual size_t size() const = 0;
  bool empty() const { return size() == 0; }
  // A copy of page `i` (0-based, below size()).
  virtual Page at(size_t i) const = 0;
  Page operator[](size_t i) const { return at(i); }
  // The width and height of page `i` in report units, without reading the whole page where the
  // source can.
  virtual std::pair<int, int> pageSize(size_t i) const {
    const Page page = at(i);
    return {page.width, page.height};
  }
  // Why a page could not be read back (at() then gave a blank page); empty while all is well.
  virtual std::string error() const { return {}; }
};

// Pages the caller keeps in a vector; the vector must outlive the list.
class PageList final : public PageSource {
 public:
  explicit PageList(const std::vector<Page>& pages) : m_pages(pages) {}
  size_t size() const override { return m_pages.size(); }
  Page at(size_t i) const override { return m_pages[i]; }

 private:
  const std::vector<Page>& m_pages;
};

class PageQueue final : public PageSource {
 public:
  // `inMemory`: how many pages stay in memory before the rest go to the file.
  explicit PageQueue(size_t inMemory = 8);
  ~PageQueue() override;
  PageQueue(PageQueue&& other) noexcept;
  PageQueue& operator=(PageQueue&& other) noexcept;
  PageQueue(const PageQueue&) = delete;
  PageQueue& operator=(const PageQueue&) = delete;

  void push(Page page);
  void clear();
  size_t size() const override { return m_slots.size(); }
  Page at(size_t i) const override;
  std::pair<int, int> pageSize(size_t i) const override { return {m_slots[i].width, m_slots[i].height}; }
  // How many pages are in memory now (the rest are in the file).
  size_t pagesInMemory() const { return m_memory.size(); }
  std::string error() const override { return m_error; }

 private:
  struct Slot {
    int64_t offset = -1;  // in the file; -1: m_memory[memory]
    uint32_t length = 0;
    uint32_t memory = 0;
    int32_t width = 0, height = 0;
  };
  bool spill(const Page& page, Slot& slot);

  size_t m_inMemory;
  std::vector<Slot> m_slots;
  std::vector<Page> m_memory;
  std::FILE* m_file = nullptr;
  int64_t m_end = 0;
  bool m_fileFailed = false;
  mutable std::string m_buffer;
  mutable std::string m_error;
};

// HANDLECOPIES over a page set: its pages `copies` times, collated (1..n, 1..n) or not (1,1, 2,2).
// Reads `pages` on demand; `pages` must outlive the view.
class CopiedPages final : public PageSource {
 public:
  CopiedPages(const PageSource& pages, int copies, bool collate);
  size_t size() const override { return m_pages.size() * static_cast<size_t>(m_copies); }
  Page at(size_t i) const override;
  std::pair<int, int> pageSize(size_t i) const override { return m_pages.pageSize(source(i)); }
  std::string error() const override { return m_pages.error(); }

 private:
  size_t source(size_t i) const;

  const PageSource& m_pages;
  int m_copies;
  bool m_collate;
};

// Every page of `pages` in a vector (for small page sets and tests).
std::vector<Page> allPages(const PageSource& pages);

// The byte form a page takes in the queue's file; readPage answers false for a damaged record.
void writePage(const Page& page, std::string& out);
bool readPage(const std::string& in, Page& page);

}  // namespace ov::report
