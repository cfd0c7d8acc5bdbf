#include <gtest/gtest.h>

#include <filesystem>

#include "datalib/date_string_functions.h"
#include "platform/rt/command_line.h"
#include "platform/rt/fixed_string.h"
#include "platform/rt/secret_file.h"
#include "popmail/pop_receiver.h"
#include "popmail/tests/support.h"

namespace ov::pop {
namespace {

using test::Scratch;

PopOptions read(const std::string& commandLine, std::string* missing = nullptr) {
  rt::setCommandLine(commandLine);
  PopOptions o;
  std::string m;
  readPopOptions(o, m);
  if (missing) *missing = m;
  return o;
}

TEST(PopOptions, CommandLineFirstThenTheIniFile) {
  Scratch scratch;
  scratch.write("OV_POP.INI", "[Pop]\nServer=ini.example\nUser=ini-user\nPort=2110\nSubject=from ini\n");
  PopOptions o = read("ov_pop server=cmd.example SUBJECT=\"   \"");
  EXPECT_EQ(o.Server, "cmd.example");          // the name in any case
  EXPECT_EQ(o.User, "ini-user");               // absent on the command line
  EXPECT_EQ(o.Subject, "from ini");            // only blanks on the command line
  EXPECT_EQ(o.Port, 2110);
  EXPECT_EQ(read("ov_pop PORT=0 SERVER=x USER=y").Port, 110);
  EXPECT_EQ(ReadPopOption("MESSAGE"), "");
}

TEST(PopOptions, PortDefaultsTo110) {
  Scratch scratch;
  EXPECT_EQ(read("ov_pop SERVER=x USER=y").Port, 110);
  EXPECT_EQ(read("ov_pop SERVER=x USER=y PORT=995").Port, 995);
  EXPECT_EQ(read("ov_pop SERVER=x USER=y PORT=abc").Port, 110);
}

TEST(PopOptions, DeleteNeedsAnUpperCaseYOrTheSwitch) {
  Scratch scratch;
  struct Case {
    const char* line;
    bool want;
  };
  const Case cases[] = {
      {"ov_pop DELETE=yes", false}, {"ov_pop DELETE=Y", true},   {"ov_pop DELETE=Yes", true},
      {"ov_pop DELETE=N", false},   {"ov_pop /DELETE", true},    {"ov_pop /delete", true},
      {"ov_pop", false},
  };
  for (const Case& c : cases) EXPECT_EQ(read(c.line).Delete, c.want) << c.line;
}

TEST(PopOptions, FoldersGetTheirClosingSlash) {
  Scratch scratch;
  PopOptions o = read("ov_pop SAVETEXT=out\\text SAVEHTML=/tmp/html/ SAVEATTACH=");
  EXPECT_EQ(o.SaveText, "out/text/");
  EXPECT_EQ(o.SaveHTML, "/tmp/html/");
  EXPECT_EQ(o.SaveAttach, "");
  EXPECT_TRUE(read("ov_pop MESSAGE=x").nothingToSave() == false);
  EXPECT_TRUE(read("ov_pop SUBJECT=x").nothingToSave());
}

TEST(PopOptions, MissingServerOrUserIsReported) {
  Scratch scratch;
  std::string missing;
  read("ov_pop PORT=110", &missing);
  EXPECT_EQ(missing, "SERVER USER");
  read("ov_pop SERVER=x", &missing);
  EXPECT_EQ(missing, "USER");
  read("ov_pop SERVER=x USER=y", &missing);
  EXPECT_EQ(missing, "");
}

TEST(PopOptions, StoredPasswordsAreUnscrambled) {
  Scratch scratch;
  rt::String<64> stored("pa ss:word");
  files::QVDECRYPT(stored);  // the main program's stored form
  ASSERT_TRUE(stored.clipped().starts_with("!ENC"));
  std::string arg = "PASSWORD=" + stored.str();  // passed as one word, as the step's program start does
  const char* argv[] = {"ov_pop", arg.c_str()};
  rt::setCommandLine(2, argv);
  PopOptions o;
  std::string missing;
  readPopOptions(o, missing);
  EXPECT_EQ(o.Password, "pa ss:word");
  EXPECT_EQ(read("ov_pop PASSWORD=plain").Password, "plain");
}

// The main program hands the password over in a private file: read once, deleted, preferred to
// PASSWORD=; a file that is not one of those is an error, and the run stops before it connects.
TEST(PopOptions, PasswordFileIsReadOnceAndDeleted) {
  Scratch scratch;
  rt::String<64> stored("pa ss:word");
  files::QVDECRYPT(stored);
  for (const std::string& secret : {std::string("plain pw"), stored.str()}) {
    SCOPED_TRACE(secret);
    std::string error;
    const std::string file = rt::writeSecretFile(secret, &error);
    ASSERT_FALSE(file.empty()) << error;
    std::string missing;
    const PopOptions o = read("ov_pop SERVER=s USER=u PASSWORD=ignored PASSWORDFILE=\"" + file + "\"", &missing);
    EXPECT_EQ(o.Password, secret == "plain pw" ? "plain pw" : "pa ss:word");
    EXPECT_EQ(missing, "");
    EXPECT_FALSE(std::filesystem::exists(file));
    // Read once: a second run with the same command line has no password.
    read("ov_pop SERVER=s USER=u PASSWORDFILE=\"" + file + "\"", &missing);
    EXPECT_TRUE(missing.starts_with("PASSWORD (cannot read " + file)) << missing;
  }
  std::string missing;
  read("ov_pop SERVER=s USER=u PASSWORDFILE=/etc/passwd", &missing);
  EXPECT_EQ(missing, "PASSWORD (/etc/passwd is not a password file of this program)");
  EXPECT_TRUE(std::filesystem::exists("/etc/passwd"));
}

TEST(PopOptions, FiltersAreCutAt80Characters) {
  Scratch scratch;
  PopOptions o = read("ov_pop SUBJECT=" + std::string(100, 's') + " MINSIZE=1000 MAXSIZE=-5 TIMEOUT=7");
  EXPECT_EQ(o.Subject, std::string(80, 's'));
  EXPECT_EQ(o.MinSize, 1000u);
  EXPECT_EQ(o.MaxSize, 0u);
  EXPECT_EQ(o.TimeOut, 7);
}

}  // namespace
}  // namespace ov::pop
