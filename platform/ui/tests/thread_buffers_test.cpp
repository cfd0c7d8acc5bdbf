// Each logical thread's record buffers and file positions while windows of several threads
// read and write one file in turn, with nested loops between.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/files/file.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/record.h"
#include "platform/ui/event.h"
#include "platform/ui/runtime.h"
#include "platform/ui/testing/driver.h"
#include "platform/ui/window_manager.h"

using namespace ov::ui;
using ov::db::File;
using ov::rt::Err;
using ov::ui::test::Driver;
using ov::ui::test::runScript;
using ov::ui::test::WindowDriver;

namespace {

struct Pet {
  int32_t id = 0;
  ov::rt::String<12> name;
  int32_t markA = 0;
  int32_t markB = 0;
};
const ov::rt::FieldDesc kPetFields[] = {
    {"PET:ID", ov::rt::FieldType::Long, 4, 0, offsetof(Pet, id)},
    {"PET:Name", ov::rt::FieldType::String, 12, 4, offsetof(Pet, name)},
    {"PET:MarkA", ov::rt::FieldType::Long, 4, 16, offsetof(Pet, markA)},
    {"PET:MarkB", ov::rt::FieldType::Long, 4, 20, offsetof(Pet, markB)},
};
const ov::rt::RecordDesc kPetRecord{"PET", kPetFields, 24};
Pet PET;  // the file's record buffer, a global as the program's are

class PetFile {
 public:
  PetFile() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ov_pets_XXXXXX").string();
    m_dir = ::mkdtemp(tmpl.data());
    ov::db::FileDecl d;
    d.label = "PETS";
    d.prefix = "PET";
    d.name = "PETS";
    std::string path = m_dir + "/PETS";
    d.nameFrom = [path] { return path; };
    d.record = &kPetRecord;
    d.buffer = &PET;
    d.bufferSize = sizeof PET;
    d.keys = {{.name = "PET:KeyName", .description = "Name", .parts = {{"PET:Name"}}}};
    file = std::make_unique<File>(d);
  }
  ~PetFile() {
    file.reset();
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
  std::unique_ptr<File> file;

 private:
  std::string m_dir;
};

// A window that walks the file one record per EVENT:User, forwards (A) or backwards (B), and
// marks each record it reads with its step number. A's step runs B's step inside a nested loop
// between A's read and A's write.
class Walker : public WindowManager {
 public:
  Walker(File& f, bool forward, Walker** partner) : WindowManager(forward ? "WalkerA" : "WalkerB"), m_file(f),
        m_forward(forward), m_partner(partner) {}
  Level Init() override {
    window().setTitle(procedureName());
    window().button("?OK", "OK").at(4, 4, 40, 14);
    Open();
    return Level::Benign;
  }
  Level TakeWindowEvent() override {
    if (EVENT() != EVENT::User) return WindowManager::TakeWindowEvent();
    if (steps == 0) m_file.set(m_file.key("KeyName"));
    Err err = m_forward ? m_file.next() : m_file.previous();
    if (err != Err::None) {
      failures.push_back("read failed at step " + std::to_string(steps + 1));
      return Level::Notify;
    }
    const std::string name = PET.name.str();
    read.push_back(name);
    {
      // A nested loop, as a message box or a called window gives, in which the other thread
      // takes its own step.
      ModalScope modal;
      if (Walker* other = m_partner ? *m_partner : nullptr) {
        const size_t before = other->read.size();
        POST(EVENT::User, 0, other->thread);
        for (int i = 0; i < 1000 && other->read.size() == before; ++i) processEvents();
      } else {
        processEvents();
      }
    }
    if (PET.name.str() != name) failures.push_back("buffer changed under " + name + " to " + PET.name.str());
    ++steps;
    (m_forward ? PET.markA : PET.markB) = steps;
    if (m_file.put() != Err::None) failures.push_back("put failed for " + name);
    return Level::Notify;
  }

  int thread = 0;
  int steps = 0;
  std::vector<std::string> read;
  std::vector<std::string> failures;

 private:
  File& m_file;
  bool m_forward;
  Walker** m_partner;
};

class ThreadBuffers : public ::testing::Test {
 protected:
  void SetUp() override { ov::ui::test::application(); }
  void TearDown() override {
    closeAllWindows();
    processEvents();
  }
};

TEST_F(ThreadBuffers, TwoThreadsWalkOneFileInTurnAndNeverSeeEachOthersRecordOrPlace) {
  PetFile pets;
  File& f = *pets.file;
  ASSERT_EQ(f.create(), Err::None);
  ASSERT_EQ(f.open(), Err::None);
  int id = 0;
  for (const char* n : {"Ann", "Bob", "Cid", "Dag"}) {
    PET = Pet{};
    PET.id = ++id;
    PET.name = n;
    ASSERT_EQ(f.add(), Err::None);
  }
  PET = Pet{};
  PET.name = "Frame's own";

  Walker* a = nullptr;
  Walker* b = nullptr;
  runScript([&](Driver& d) {
    const int tb = d.start([&] {
      auto w = std::make_unique<Walker>(f, false, nullptr);
      b = w.get();
      return w;
    });
    const int ta = d.start([&] {
      auto w = std::make_unique<Walker>(f, true, &b);
      a = w.get();
      return w;
    });
    ASSERT_TRUE(ta && tb);
    d.gui([&] {
      a->thread = ta;
      b->thread = tb;
    });
    for (int step = 1; step <= 4; ++step) {
      d.gui([&] { POST(EVENT::User, 0, ta); });
      ASSERT_TRUE(d.waitUntil([&] { return a->steps == step && b->steps == step; })) << "step " << step;
    }
    d.gui([&] {
      EXPECT_EQ(a->read, (std::vector<std::string>{"Ann", "Bob", "Cid", "Dag"}));
      EXPECT_EQ(b->read, (std::vector<std::string>{"Dag", "Cid", "Bob", "Ann"}));
      EXPECT_EQ(a->failures, std::vector<std::string>{});
      EXPECT_EQ(b->failures, std::vector<std::string>{});
      EXPECT_EQ(PET.name.str(), "Frame's own") << "the frame's buffer is its own";
    });
  });

  // Every record got both marks, on the right record: no write landed on another one.
  std::vector<std::string> stored;
  f.set(f.key("KeyName"));
  while (f.next() == Err::None)
    stored.push_back(PET.name.str() + " " + std::to_string(PET.markA) + " " + std::to_string(PET.markB));
  EXPECT_EQ(stored, (std::vector<std::string>{"Ann 1 4", "Bob 2 3", "Cid 3 2", "Dag 4 1"}));
  (void)f.close();
}

}  // namespace
