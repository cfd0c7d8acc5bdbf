// The peer packet cipher: its tables, key schedule and byte runs. Expected values are worked by
// hand from the cipher's rules (the first round key of the blank key, the table's head) or come
// from a separate implementation of the same rules written in Python from their description.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "netlib/detail/peer_cipher.h"

namespace ov::net::detail {
namespace {

std::vector<std::uint8_t> fromHex(const std::string& hex) {
  std::vector<std::uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::vector<std::uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

TEST(PeerCipher, SubstitutionTableHoldsBoxOneAndTheTextOfTheOthers) {
  const auto& t = cipherSubstitutionTable();
  // Box 1 column 0 is 14, 0, 4, 15 in the standard; row 3 holds 5 here. Column 1 is 4, 15, 1, 12.
  const std::uint8_t head[8] = {14, 0, 4, 5, 4, 15, 1, 12};
  EXPECT_EQ(0, std::memcmp(t.data(), head, 8));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.data() + 64), 19), "15,3,0,13,1,13,14,8");
}

TEST(PeerCipher, KeyFieldRepeatsShortKeysAndCutsLongOnes) {
  struct Case {
    const char* name;
    std::string key, field;
  };
  const Case kCases[] = {
      {"five characters, written over and over", "abcde", "abcdeabcdeabcdeabcdeabcd"},
      {"trailing blanks do not count", "ab  ", "abababababababababababab"},
      {"all blank stays blank", "", std::string(24, ' ')},
      {"24 characters as they are", "0123456789ABCDEFGHIJKLMN", "0123456789ABCDEFGHIJKLMN"},
      {"longer keys are cut at 24", "0123456789ABCDEFGHIJKLMNOPQ", "0123456789ABCDEFGHIJKLMN"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto field = cipherKeyField(c.key);
    EXPECT_EQ(std::string(field.data(), field.size()), c.field);
  }
}

// The blank key: each segment byte is 0x20 (bits 6, 14, ..., 62). Through IP only the picks 17-24
// of C hit those bits, so C = 0xFF0 and D = 0; one rotation gives C = 0x7F8, packed F8 07 00 ...
// (bits 4-11); PC-2 picks 11, 5, 6, 10, 4, 8, 7 at positions 3, 6, 10, 12, 16, 18, 20.
TEST(PeerCipher, FirstRoundKeyOfTheBlankKeyWorkedByHand) {
  const RoundKeys keys = cipherRoundKeys("");
  const RoundKey want = {0x24, 0x8A, 0x0A, 0, 0, 0};
  EXPECT_EQ(keys[0], want);
  const RoundKeys abcde = cipherRoundKeys("abcde");
  EXPECT_EQ(abcde[0], (RoundKey{0x24, 0x8e, 0x1b, 0x80, 0x79, 0x04}));
  EXPECT_EQ(abcde[15], (RoundKey{0x9c, 0x19, 0x15, 0x88, 0x84, 0x40}));
}

TEST(PeerCipher, KnownRunsEncipherAndComeBack) {
  struct Case {
    const char* name;
    std::string key;
    std::vector<std::uint8_t> plain;
    std::string cipher;
  };
  std::vector<std::uint8_t> thirtyTwo;
  for (int i = 0; i < 32; ++i) thirtyTwo.push_back(static_cast<std::uint8_t>(i));
  const Case kCases[] = {
      {"one block, short key", "abcde", bytesOf("ABCDEFGH"), "bdf4c2679c44adb1"},
      {"one block of zeros, blank key", "", std::vector<std::uint8_t>(8, 0), "5b82678257a5a4d0"},
      {"13 bytes, full key", "0123456789ABCDEFGHIJKLMN", bytesOf("Hello, peers!"), "4cb8611216934599da9ccd22b5"},
      {"12 bytes, 24 blanks", std::string(24, ' '), bytesOf("twelve bytes"), "2e766542f1736c30d247247f"},
      {"32 bytes, one-letter key", "k", thirtyTwo,
       "7c96097d5b93c66b870ba3f6589b27fbb793dd2e1d347bd3601ab4f96aacb2a7"},
      {"three equal blocks: the last is enciphered twice", "abcde", bytesOf("ABCDEFGHABCDEFGHABCDEFGH"),
       "b1764d2169532894b1764d2169532894bdf4c2679c44adb1"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> data = c.plain;
    encipherRun(c.key, data.data(), data.size());
    EXPECT_EQ(data, fromHex(c.cipher));
    decipherRun(c.key, data.data(), data.size());
    EXPECT_EQ(data, c.plain);
  }
}

TEST(PeerCipher, RunsBelowEightBytesStayPlain) {
  std::vector<std::uint8_t> data = bytesOf("7 bytes");
  encipherRun("abcde", data.data(), data.size());
  EXPECT_EQ(data, bytesOf("7 bytes"));
}

TEST(PeerCipher, TwelveBytesTakeTheFirstBlockThenTheLastEight) {
  const RoundKeys keys = cipherRoundKeys("abcde");
  std::vector<std::uint8_t> want = bytesOf("twelve bytes");
  cipherBlock(want.data(), keys, true);
  cipherBlock(want.data() + 4, keys, true);
  std::vector<std::uint8_t> data = bytesOf("twelve bytes");
  encipherRun("abcde", data.data(), data.size());
  EXPECT_EQ(data, want);
  // Deciphering in the same order as enciphering would not give the text back.
  std::vector<std::uint8_t> wrongOrder = data;
  cipherBlock(wrongOrder.data(), keys, false);
  cipherBlock(wrongOrder.data() + 4, keys, false);
  EXPECT_NE(wrongOrder, bytesOf("twelve bytes"));
  decipherRun("abcde", data.data(), data.size());
  EXPECT_EQ(data, bytesOf("twelve bytes"));
}

TEST(PeerCipher, AWrongKeyDoesNotDecipher) {
  std::vector<std::uint8_t> data = bytesOf("sixteen bytes!!!");
  encipherRun("right key", data.data(), data.size());
  decipherRun("wrong key", data.data(), data.size());
  EXPECT_NE(data, bytesOf("sixteen bytes!!!"));
}

}  // namespace
}  // namespace ov::net::detail
