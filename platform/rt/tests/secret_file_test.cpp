// Passwords handed to a started program in a private file: written readable by the user alone,
// read once and deleted, and nothing else is read or deleted through a forged name.
#include "platform/rt/secret_file.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace ov::rt {
namespace {

namespace fs = std::filesystem;

// A runtime folder of the test's own, so the test neither sees nor leaves files of the session's.
class SecretFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = "/tmp/ov_secret_XXXXXX";
    m_runtime = ::mkdtemp(tmpl.data());
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    m_old = old ? old : "";
    m_had = old != nullptr;
    ::setenv("XDG_RUNTIME_DIR", m_runtime.c_str(), 1);
  }
  void TearDown() override {
    if (m_had) ::setenv("XDG_RUNTIME_DIR", m_old.c_str(), 1);
    else ::unsetenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    fs::remove_all(m_runtime, ec);
  }
  static unsigned mode(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 0777;
  }
  std::string m_runtime, m_old;
  bool m_had = false;
};

TEST_F(SecretFile, IsPrivateReadOnceAndGone) {
  std::string error;
  const std::string secret = std::string("p\"w d\n") + '\0' + "after NUL";
  const std::string path = writeSecretFile(secret, &error);
  ASSERT_FALSE(path.empty()) << error;
  EXPECT_EQ(fs::path(path).parent_path(), fs::path(m_runtime) / "orvane");
  EXPECT_EQ(mode(path), 0600u);
  EXPECT_EQ(mode(m_runtime + "/orvane"), 0700u);

  std::string got;
  ASSERT_TRUE(takeSecretFile(path, got, &error)) << error;
  EXPECT_EQ(got, secret);
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(takeSecretFile(path, got, &error));  // a second reader finds nothing
  EXPECT_TRUE(got.empty());

  // Two at once do not share a file.
  const std::string a = writeSecretFile("a"), b = writeSecretFile("b");
  EXPECT_NE(a, b);
  ASSERT_TRUE(takeSecretFile(b, got));
  EXPECT_EQ(got, "b");
  ASSERT_TRUE(takeSecretFile(a, got));
  EXPECT_EQ(got, "a");
}

TEST_F(SecretFile, ForgedNamesAreNeitherReadNorDeleted) {
  ASSERT_FALSE(secretFolder().empty());
  const std::string folder = m_runtime + "/orvane";
  auto make = [](const std::string& path, unsigned perms) {
    std::ofstream(path) << "key material";
    ::chmod(path.c_str(), perms);
    return path;
  };
  const std::string outside = make(m_runtime + "/secret-key", 0600);       // the user's own file elsewhere
  const std::string otherName = make(folder + "/id_rsa", 0600);            // not one of ours by name
  const std::string readable = make(folder + "/secret-open", 0644);        // others may read it
  const std::string viaDots = folder + "/../secret-key";
  ::symlink(outside.c_str(), (folder + "/secret-link").c_str());          // a link to another file
  for (const std::string& path : {outside, otherName, viaDots, folder + "/secret-link", readable, folder + "/secret-"}) {
    SCOPED_TRACE(path);
    std::string got, error;
    EXPECT_FALSE(takeSecretFile(path, got, &error));
    EXPECT_TRUE(got.empty());
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(fs::exists(outside));
  EXPECT_TRUE(fs::exists(otherName));
}

TEST_F(SecretFile, FolderThatOthersMayEnterIsRefused) {
  fs::create_directory(m_runtime + "/orvane");
  ::chmod((m_runtime + "/orvane").c_str(), 0755);
  std::string error;
  EXPECT_TRUE(writeSecretFile("x", &error).empty());
  EXPECT_NE(error.find("not a private folder"), std::string::npos) << error;
}

}  // namespace
}  // namespace ov::rt
