// The command line, its overrides and the masked password of the log.
#include <gtest/gtest.h>

#include "ftp/ftp_command.h"
#include "ftp/ftp_log.h"
#include "platform/libs/ftp/tests/ftp_server.h"

namespace ov::ftp {
namespace {

using ftplib::test::TempFolder;

struct OperationCase {
  const char* name;
  const char* word;
  bool accepted;
  const char* operation;
  int type;
};

const OperationCase kOperations[] = {
    {"download", "D", true, "D", 2},
    {"text download", "AD", true, "D", 0},
    {"lower case upload", "u", true, "U", 2},
    {"blocking upload in text", "ap", true, "P", 0},
    {"blocking download", "G", true, "G", 2},
    {"remote delete", "RM", true, "RM", 2},
    {"make folder", "md", true, "MD", 2},
    {"remove folder", "RD", true, "RD", 2},
    {"A alone", "A", false, "A", 2},
    {"unknown letter", "X", false, "X", 2},
    {"two letters not a command", "DU", false, "DU", 2},
    {"nothing", "", false, "", 2},
};

TEST(FtpCommandLine, OperationsAndTransferTypes) {
  TempFolder folder;
  for (const OperationCase& c : kOperations) {
    SCOPED_TRACE(c.name);
    FtpCommand cmd;
    EXPECT_EQ(parseFtpCommand({c.word, "a", "b", "host"}, folder.file("OVFTP.INI"), cmd), c.accepted);
    EXPECT_EQ(cmd.operation, c.operation);
    EXPECT_EQ(cmd.transferType, c.type);
  }
}

TEST(FtpCommandLine, ValuesByPositionAndOverridesWhenNotEmpty) {
  TempFolder folder;
  FtpCommand cmd;
  // As the script steps give it: six values, no port, no modes.
  ASSERT_TRUE(parseFtpCommand({"D", "in/a.txt", "/tmp/x", "ftp.example.org", "me", "secret"}, folder.file("OVFTP.INI"), cmd));
  EXPECT_EQ(cmd.from, "in/a.txt");
  EXPECT_EQ(cmd.to, "/tmp/x");
  EXPECT_EQ(cmd.host, "ftp.example.org");
  EXPECT_EQ(cmd.user, "me");
  EXPECT_EQ(cmd.password, "secret");
  EXPECT_EQ(cmd.overwrite, "");
  EXPECT_EQ(cmd.passive, "");
  EXPECT_EQ(cmd.port, 0);

  ASSERT_TRUE(parseFtpCommand({"U", "a", "b", "h", "u", "p", "yes", "no", "2121"}, folder.file("OVFTP.INI"), cmd));
  EXPECT_EQ(cmd.overwrite, "Y");
  EXPECT_EQ(cmd.passive, "N");
  EXPECT_EQ(cmd.port, 2121);

  // A key present but empty leaves the command line's value; a value replaces it.
  folder.write("OVFTP.INI", "[Overrides]\nOverwrite=\nPassive=y\nPort=990\n");
  ASSERT_TRUE(parseFtpCommand({"U", "a", "b", "h", "u", "p", "yes", "no", "2121"}, overridesFile(folder.path()), cmd));
  EXPECT_EQ(cmd.overwrite, "Y");
  EXPECT_EQ(cmd.passive, "Y");
  EXPECT_EQ(cmd.port, 990);
}

TEST(FtpCommandLine, OverridesFileIsFoundIgnoringCase) {
  TempFolder folder;
  folder.write("ovftp.ini", "[Overrides]\nPort=4021\n");
  FtpCommand cmd;
  ASSERT_TRUE(parseFtpCommand({"D", "a", "b", "h"}, overridesFile(folder.path()), cmd));
  EXPECT_EQ(cmd.port, 4021);
}

TEST(FtpLog, PasswordIsOneStarPerCharacter) {
  const std::pair<std::string, std::string> kCases[] = {
      {"abc", "***"}, {"", ""}, {"pw  ", "**"}, {"pässwörd", "********"}, {std::string(300, 'x'), std::string(255, '*')}};
  for (const auto& [password, masked] : kCases) {
    SCOPED_TRACE(password);
    EXPECT_EQ(maskPassword(password), masked);
  }
}

}  // namespace
}  // namespace ov::ftp
