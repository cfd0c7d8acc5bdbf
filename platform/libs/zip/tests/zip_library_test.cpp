// The zip layer against Info-ZIP's zip and unzip as oracles: archives we write must test clean and
// list the names we meant; archives Info-ZIP writes must list as it says and extract byte for byte.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "platform/libs/zip/zip_library.h"

namespace fs = std::filesystem;
using namespace ov::zip;

namespace {

std::string run(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return out;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  int rc = pclose(p);
  if (status) *status = WEXITSTATUS(rc);
  return out;
}

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeFile(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

// Info-ZIP's list of member names (zipinfo -1), as a set.
std::set<std::string> names(const fs::path& archive) {
  std::set<std::string> out;
  std::istringstream in(run("zipinfo -1 '" + archive.string() + "'"));
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) out.insert(line);
  return out;
}

// A temporary folder that is the current folder while the test runs.
class Scratch {
 public:
  Scratch() {
    char tmpl[] = "/tmp/ovzipXXXXXX";
    m_dir = mkdtemp(tmpl);
    m_old = fs::current_path();
    fs::current_path(m_dir);
  }
  ~Scratch() {
    fs::current_path(m_old);
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  const fs::path& dir() const { return m_dir; }

 private:
  fs::path m_dir, m_old;
};

struct Recorder : ProgressSink {
  std::vector<std::string> files;
  std::vector<std::pair<long, long>> values;
  int abortAfterFiles = -1;
  void progress(long a, long b) override { values.emplace_back(a, b); }
  void file(std::string_view name) override {
    files.emplace_back(name);
    if (abortAfterFiles >= 0 && static_cast<int>(files.size()) > abortAfterFiles) AbortAll();
  }
};

class ZipLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    LSZIP_INIT(&sink);
    LSUZ_INIT(&sink);
    writeFile(scratch.dir() / "DATA.TPS", std::string(5000, 'a') + "end");
    writeFile(scratch.dir() / "notes.tps", "short");
    writeFile(scratch.dir() / "readme.txt", "read me");
    writeFile(scratch.dir() / "sub" / "deep.tps", std::string(70000, 'z'));
    writeFile(scratch.dir() / "sub" / "skip.log", "log");
    writeFile(scratch.dir() / ".hidden.tps", "hidden");
  }
  Scratch scratch;
  Recorder sink;
};

TEST_F(ZipLibrary, BackupOfPatternsTestsCleanWithUnzipAndExtractsByteForByte) {
  ASSERT_EQ(LSZIP_INCLUDE("*.TPS"), 1);
  ASSERT_EQ(LSZIP_EXECUTE("b.zip", zipaction::Add, 6, zipopt::FullPath | zipopt::Recurse), 0);
  int status = -1;
  std::string out = run("unzip -t b.zip", &status);
  EXPECT_EQ(status, 0) << out;
  // "*.TPS" finds lower-case names too; dot files stay out without option 512.
  EXPECT_EQ(names("b.zip"), (std::set<std::string>{"DATA.TPS", "notes.tps", "sub/deep.tps"}));
  EXPECT_FALSE(sink.files.empty());
  EXPECT_EQ(sink.values.back(), (std::pair<long, long>(100, 100)));

  ASSERT_EQ(LSUZ_ZIPNAME("b.zip"), 1);
  ASSERT_EQ(LSUZ_INCLUDE("*"), 1);
  LSUZ_EXTRACTTO("out");
  ASSERT_EQ(LSUZ_EXECUTE(unzipaction::Extract, unzipopt::Overwrite), 0);
  for (const char* f : {"DATA.TPS", "notes.tps", "sub/deep.tps"})
    EXPECT_EQ(readFile(scratch.dir() / "out" / f), readFile(scratch.dir() / f)) << f;

  // No paths: every member lands in the target folder itself.
  LSUZ_RESET();
  LSUZ_ZIPNAME("b.zip");
  LSUZ_INCLUDE("*");
  LSUZ_EXTRACTTO("flat");
  ASSERT_EQ(LSUZ_EXECUTE(unzipaction::Extract, unzipopt::Overwrite | unzipopt::NoPaths), 0);
  EXPECT_TRUE(fs::exists(scratch.dir() / "flat" / "deep.tps"));
  EXPECT_FALSE(fs::exists(scratch.dir() / "flat" / "sub"));
}

TEST_F(ZipLibrary, ExcludePatternsWithoutPathsHiddenFilesAndRepeatedNames) {
  LSZIP_INCLUDE("*.*");
  LSZIP_EXCLUDE("*.LOG README.TXT");
  ASSERT_EQ(LSZIP_EXECUTE("a.zip", zipaction::Add, 9, zipopt::FullPath | zipopt::Recurse | zipopt::SystemHidden), 0);
  EXPECT_EQ(names("a.zip"), (std::set<std::string>{".hidden.tps", "DATA.TPS", "notes.tps", "sub/deep.tps"}));

  // Without the path bit two files of one name would become one member: refused, nothing written.
  writeFile(scratch.dir() / "sub" / "notes.tps", "other");
  LSZIP_INCLUDE("*.tps");
  EXPECT_EQ(LSZIP_EXECUTE("c.zip", zipaction::Add, 6, zipopt::Recurse), code::RepeatedName);
  EXPECT_FALSE(fs::exists(scratch.dir() / "c.zip"));

  // A link back up the tree is followed once, not forever.
  fs::create_directory_symlink(scratch.dir(), scratch.dir() / "sub" / "loop");
  LSZIP_INCLUDE("deep.* skip.*");
  ASSERT_EQ(LSZIP_EXECUTE("l.zip", zipaction::Add, 6, zipopt::Recurse | zipopt::FullPath), 0);
  EXPECT_EQ(names("l.zip"), (std::set<std::string>{"sub/deep.tps", "sub/skip.log"}));

  LSZIP_INCLUDE("*.nothing");
  EXPECT_EQ(LSZIP_EXECUTE("c.zip", zipaction::Add, 6, 0), code::NothingToDo);
}

TEST_F(ZipLibrary, UpdateAndFreshenReplaceOnlyByNewerFilesAndDeleteRemovesMembers) {
  LSZIP_INCLUDE("notes.tps readme.txt");
  ASSERT_EQ(LSZIP_EXECUTE("u.zip", zipaction::Add, 6, 0), 0);
  auto older = fs::last_write_time(scratch.dir() / "notes.tps") - std::chrono::hours(1);
  writeFile(scratch.dir() / "notes.tps", "changed but older");
  fs::last_write_time(scratch.dir() / "notes.tps", older);
  writeFile(scratch.dir() / "readme.txt", "newer text");
  fs::last_write_time(scratch.dir() / "readme.txt", fs::file_time_type::clock::now() + std::chrono::hours(1));

  LSZIP_INCLUDE("notes.tps readme.txt DATA.TPS");
  ASSERT_EQ(LSZIP_EXECUTE("u.zip", zipaction::Freshen, 6, 0), 0);
  EXPECT_EQ(names("u.zip"), (std::set<std::string>{"notes.tps", "readme.txt"})) << "freshen adds nothing";
  EXPECT_EQ(run("unzip -p u.zip readme.txt"), "newer text");
  EXPECT_EQ(run("unzip -p u.zip notes.tps"), "short") << "an older file does not replace a member";

  LSZIP_INCLUDE("notes.tps DATA.TPS");
  ASSERT_EQ(LSZIP_EXECUTE("u.zip", zipaction::Update, 6, 0), 0);
  EXPECT_EQ(names("u.zip"), (std::set<std::string>{"DATA.TPS", "notes.tps", "readme.txt"}));
  EXPECT_EQ(run("unzip -p u.zip notes.tps"), "short");

  LSZIP_INCLUDE("NOTES.TPS");
  ASSERT_EQ(LSZIP_EXECUTE("u.zip", zipaction::Delete, 0, 0), 0);
  EXPECT_EQ(names("u.zip"), (std::set<std::string>{"DATA.TPS", "readme.txt"}));
  LSZIP_INCLUDE("gone.txt");
  EXPECT_EQ(LSZIP_EXECUTE("u.zip", zipaction::Delete, 0, 0), code::NotMatched);
}

TEST_F(ZipLibrary, CommentsAndPasswordsAreReadByUnzip) {
  ASSERT_EQ(LSZIP_SETARCHIVECMT("Backup made 12/10/26"), 1);
  LSZIP_SETFILECMT("the data");
  LSZIP_PASSWORD("secret");
  LSZIP_INCLUDE("DATA.TPS");
  ASSERT_EQ(LSZIP_EXECUTE("p.zip", zipaction::Add, 6,
                          zipopt::ArchiveComment | zipopt::FileComment | zipopt::Encrypt), 0);
  int status = -1;
  std::string out = run("unzip -t -P secret p.zip", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Backup made 12/10/26"), std::string::npos) << out;
  EXPECT_NE(run("zipinfo -v p.zip").find("the data"), std::string::npos);

  LSUZ_ZIPNAME("p.zip");
  EXPECT_EQ(LSUZ_EXECUTE(unzipaction::HasComment, 0), 1);
  EXPECT_EQ(LSUZ_GETCMT(), "Backup made 12/10/26");
  LSUZ_INCLUDE("*");
  LSUZ_EXTRACTTO("x");
  EXPECT_EQ(LSUZ_EXECUTE(unzipaction::Extract, unzipopt::Overwrite), code::BadPassword) << "no password";
  // The old encryption checks a password against one byte, so about one wrong password in 256
  // gets past the check: those too are told as a bad key, never as a damaged archive.
  for (int i = 0; i < 1500; ++i) {
    LSUZ_PASSWORD("wrong " + std::to_string(i));
    ASSERT_EQ(LSUZ_EXECUTE(unzipaction::Test, 0), code::BadPassword) << "wrong " << i;
  }
  LSUZ_PASSWORD("secret");
  EXPECT_EQ(LSUZ_EXECUTE(unzipaction::Extract, unzipopt::Overwrite), 0);
  EXPECT_EQ(readFile(scratch.dir() / "x" / "DATA.TPS"), readFile(scratch.dir() / "DATA.TPS"));

  // Comment alone (action 0) on an existing archive.
  LSZIP_SETARCHIVECMT("second");
  ASSERT_EQ(LSZIP_EXECUTE("p.zip", zipaction::Comment, 0, zipopt::ArchiveComment), 0);
  EXPECT_NE(run("unzip -z p.zip").find("second"), std::string::npos);
}

TEST_F(ZipLibrary, InfoZipArchivesListWithTheirMethodsCrcAttributesAndComments) {
  std::string mk = "zip -q -0 s.zip readme.txt && zip -q -1 f.zip DATA.TPS && zip -q -9 x.zip DATA.TPS && "
                   "zip -q n.zip DATA.TPS notes.tps && touch empty.txt && zip -q -0 e.zip empty.txt && "
                   "printf 'An archive comment' | zip -q -z n.zip";
  int status = -1;
  ASSERT_EQ((run(mk, &status), status), 0);

  struct Row {
    const char* archive;
    const char* member;
    uint16_t method;
    uint16_t variant;
  };
  const Row rows[] = {{"s.zip", "readme.txt", 0, 0},
                      {"f.zip", "DATA.TPS", 8, 4},
                      {"x.zip", "DATA.TPS", 8, 2},
                      {"n.zip", "DATA.TPS", 8, 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.archive);
    LSUZ_RESET();
    ASSERT_EQ(LSUZ_ZIPNAME(r.archive), 1);
    ASSERT_GE(LSUZ_EXECUTE(unzipaction::Count, 0), 1);
    MemberRecord m;
    ASSERT_EQ(LSUZ_GETNEXT(m), 0);
    EXPECT_EQ(m.name, r.member);
    EXPECT_EQ(m.method, r.method);
    EXPECT_EQ(m.deflateVariant, r.variant);
    // CRC and sizes as zipinfo reports them.
    std::string v = run(std::string("zipinfo -v ") + r.archive + " " + r.member);
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", m.crc);
    EXPECT_NE(v.find(std::string("32-bit CRC value (hex):                         ") + crc), std::string::npos) << v;
    EXPECT_NE(v.find("uncompressed size:                              " + std::to_string(m.size) + " bytes"),
              std::string::npos) << v;
    EXPECT_NE(v.find("compressed size:                                " + std::to_string(m.packed) + " bytes"),
              std::string::npos) << v;
  }
  LSUZ_RESET();
  LSUZ_ZIPNAME("n.zip");
  EXPECT_EQ(LSUZ_EXECUTE(unzipaction::HasComment, 0), 1);
  EXPECT_EQ(LSUZ_GETCMT(), "An archive comment");
  EXPECT_EQ(LSUZ_EXECUTE(unzipaction::Count, 0), 2);

  LSUZ_RESET();
  LSUZ_ZIPNAME("e.zip");
  ASSERT_EQ(LSUZ_EXECUTE(unzipaction::Count, 0), 1);
  MemberRecord empty;
  ASSERT_EQ(LSUZ_GETNEXT(empty), 0);
  EXPECT_EQ(empty.size, 0u);
  EXPECT_EQ(empty.ratio, 0) << "an empty member saved nothing";
  EXPECT_EQ(LSUZ_EXECUTE(unzipaction::HasComment, 0), 0);
}

TEST_F(ZipLibrary, DamagedArchivesGiveClearErrors) {
  LSZIP_INCLUDE("*.tps");
  ASSERT_EQ(LSZIP_EXECUTE("good.zip", zipaction::Add, 6, zipopt::Recurse | zipopt::FullPath), 0);
  std::string bytes = readFile(scratch.dir() / "good.zip");

  writeFile(scratch.dir() / "cut.zip", bytes.substr(0, bytes.size() - 30));     // end record cut
  writeFile(scratch.dir() / "junk.zip", std::string(400, 'j'));
  std::string blob;
  for (int i = 0; i < 2000; ++i) blob += static_cast<char>('A' + (i * 7) % 26);
  writeFile(scratch.dir() / "blob.bin", blob);
  LSZIP_INCLUDE("blob.bin");
  ASSERT_EQ(LSZIP_EXECUTE("stored.zip", zipaction::Add, 0, 0), 0);
  std::string flipped = readFile(scratch.dir() / "stored.zip");
  flipped[1000] ^= 0x55;  // inside the stored member's data: the CRC no longer fits
  writeFile(scratch.dir() / "flip.zip", flipped);
  std::string wrongOffset = bytes;
  wrongOffset[wrongOffset.size() - 6] = '\x7f';  // central directory offset far past the end
  writeFile(scratch.dir() / "offset.zip", wrongOffset);

  struct Case {
    const char* archive;
    long action;
    long want;
  };
  const Case cases[] = {{"missing.zip", unzipaction::Count, code::OpenArchive},
                        {"junk.zip", unzipaction::Count, code::FormatError},
                        {"cut.zip", unzipaction::Count, code::FormatError},
                        {"offset.zip", unzipaction::Count, code::StructureError},
                        {"flip.zip", unzipaction::Test, code::CrcError}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive);
    LSUZ_RESET();
    LSUZ_ZIPNAME(c.archive);
    LSUZ_INCLUDE("*");
    long r = LSUZ_EXECUTE(c.action, 0);
    EXPECT_EQ(r, c.want);
  }
  // Adding to an archive that is not one leaves the file alone.
  LSZIP_INCLUDE("readme.txt");
  EXPECT_LT(LSZIP_EXECUTE("junk.zip", zipaction::Add, 6, 0), 0);
  EXPECT_EQ(readFile(scratch.dir() / "junk.zip"), std::string(400, 'j'));
}

TEST_F(ZipLibrary, AbortMidRunEndsWithMinus30AndLeavesTheArchiveAsItWas) {
  LSZIP_INCLUDE("readme.txt");
  ASSERT_EQ(LSZIP_EXECUTE("k.zip", zipaction::Add, 6, 0), 0);
  const std::string before = readFile(scratch.dir() / "k.zip");

  sink.abortAfterFiles = 1;  // the second file's start broadcasts the abort
  LSZIP_INCLUDE("*.tps");
  EXPECT_EQ(LSZIP_EXECUTE("k.zip", zipaction::Add, 6, zipopt::Recurse | zipopt::FullPath), code::Cancelled);
  EXPECT_EQ(readFile(scratch.dir() / "k.zip"), before);

  // The flag served one call: the next runs.
  sink.abortAfterFiles = -1;
  LSZIP_INCLUDE("*.tps");
  ASSERT_EQ(LSZIP_EXECUTE("k.zip", zipaction::Add, 6, zipopt::Recurse | zipopt::FullPath), 0);

  sink.files.clear();
  sink.abortAfterFiles = 1;
  LSUZ_ZIPNAME("k.zip");
  LSUZ_INCLUDE("*");
  LSUZ_EXTRACTTO("ab");
  EXPECT_EQ(LSUZ_EXECUTE(unzipaction::Extract, unzipopt::Overwrite), code::Cancelled);
  EXPECT_EQ(sink.files.size(), 2u);
}

TEST_F(ZipLibrary, MultipleVolumesAndSelfExtractingArchivesAreRefused) {
  LSZIP_INCLUDE("readme.txt");
  EXPECT_EQ(LSZIP_EXECUTE("v.zip", zipaction::Add, 6, zipopt::MultiVolume), code::NoMultipleVolumes);
  EXPECT_FALSE(fs::exists(scratch.dir() / "v.zip"));
  writeFile(scratch.dir() / "setup.exe", "MZ\x90\x00 a program with an archive behind it");
  LSZIP_INCLUDE("readme.txt");
  EXPECT_EQ(LSZIP_EXECUTE("setup.exe", zipaction::Add, 6, 0), code::SfxNotModifiable);
}

TEST_F(ZipLibrary, HostileMemberNamesStayInsideTheTargetFolder) {
  int status = -1;
  run("python3 -c \"import zipfile; z=zipfile.ZipFile('evil.zip','w'); "
      "z.writestr('../../escape.txt','x'); z.writestr('/abs.txt','y'); z.close()\"", &status);
  ASSERT_EQ(status, 0);
  LSUZ_ZIPNAME("evil.zip");
  LSUZ_INCLUDE("*");
  LSUZ_EXTRACTTO("in");
  ASSERT_EQ(LSUZ_EXECUTE(unzipaction::Extract, unzipopt::Overwrite), 0);
  EXPECT_TRUE(fs::exists(scratch.dir() / "in" / "escape.txt"));
  EXPECT_TRUE(fs::exists(scratch.dir() / "in" / "abs.txt"));
  EXPECT_FALSE(fs::exists(scratch.dir().parent_path() / "escape.txt"));
}

}  // namespace

namespace {

// A source filter answers per file: another file's bytes (deleted once written), an empty
// member, the file as it is, or a refusal that fails the add and leaves the archive as it was.
TEST_F(ZipLibrary, ASourceFilterReplacesEmptiesOrRefusesFilesAsItAnswers) {
  const std::string replacement = (scratch.dir() / "snapshot.tmp").string();
  auto filter = [&](const std::string& path) {
    SourceAnswer a;
    const std::string name = fs::path(path).filename().string();
    if (name == "DATA.TPS") {
      writeFile(replacement, "the copy of one moment");
      a.kind = SourceAnswer::Replaced;
      a.path = replacement;
    } else if (name == "notes.tps") {
      a.kind = SourceAnswer::Empty;
    }
    return a;
  };
  setSourceFilter(filter);
  LSZIP_INCLUDE("DATA.TPS notes.tps readme.txt");
  ASSERT_EQ(LSZIP_EXECUTE("f.zip", zipaction::Add, 6, 0), 0);
  EXPECT_EQ(run("unzip -p f.zip DATA.TPS"), "the copy of one moment");
  EXPECT_EQ(run("unzip -p f.zip notes.tps"), "");
  EXPECT_EQ(run("unzip -p f.zip readme.txt"), "read me");
  EXPECT_FALSE(fs::exists(replacement)) << "the replacement is gone once written";
  EXPECT_EQ(lastSourceFailure(), "");

  setSourceFilter([](const std::string& path) {
    SourceAnswer a;
    if (fs::path(path).filename() == "readme.txt") {
      a.kind = SourceAnswer::Failed;
      a.detail = "readme.txt: could not be copied";
    }
    return a;
  });
  const std::string before = readFile(scratch.dir() / "f.zip");
  writeFile(scratch.dir() / "notes.tps", "changed");
  LSZIP_INCLUDE("notes.tps readme.txt");
  EXPECT_EQ(LSZIP_EXECUTE("f.zip", zipaction::Add, 6, 0), code::ZippingError);
  EXPECT_EQ(lastSourceFailure(), "readme.txt: could not be copied");
  EXPECT_EQ(readFile(scratch.dir() / "f.zip"), before) << "a refused file leaves the archive as it was";

  setSourceFilter({});
  LSZIP_INCLUDE("notes.tps");
  ASSERT_EQ(LSZIP_EXECUTE("f.zip", zipaction::Add, 6, 0), 0);
  EXPECT_EQ(run("unzip -p f.zip notes.tps"), "changed") << "the default source reads the file itself";
}

}  // namespace
