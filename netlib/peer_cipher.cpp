// The peer packet cipher. Obfuscation only: see detail/peer_cipher.h.

#include "netlib/detail/peer_cipher.h"

#include <cstring>
#include <string>

namespace ov::net::detail {
namespace {

// The tables of the DES standard, entries counted from 1.
constexpr std::uint8_t kIP[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                                  62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                                  57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                                  61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
constexpr std::uint8_t kE[48] = {32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
                                 12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
                                 22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};
constexpr std::uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                 2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
constexpr std::uint8_t kPC2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                   26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                   51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr std::uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
constexpr std::uint8_t kS[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7}, {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0}, {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10}, {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15}, {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8}, {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7}, {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15}, {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4}, {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9}, {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14}, {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11}, {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6}, {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1}, {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2}, {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7}, {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8}, {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}},
};

// Bit n (from 1) of a byte string: least significant bit first, bytes in order.
inline unsigned bitOf(const std::uint8_t* bytes, unsigned n) { return (bytes[(n - 1) / 8] >> ((n - 1) % 8)) & 1u; }
inline void setBit(std::uint8_t* bytes, unsigned n) { bytes[(n - 1) / 8] |= static_cast<std::uint8_t>(1u << ((n - 1) % 8)); }

std::array<std::uint8_t, 512> buildTable() {
  std::array<std::uint8_t, 512> t{};
  // Box 1, column by column; its row 3, column 0 holds 5 (the standard has 15).
  for (int col = 0; col < 16; ++col)
    for (int row = 0; row < 4; ++row) t[static_cast<size_t>(4 * col + row)] = kS[0][row][col];
  t[3] = 5;
  // Boxes 2 to 8 as the text that writes them, their character codes standing in for the values.
  std::string text;
  for (int box = 1; box < 8; ++box) {
    if (box > 1) text += '>';
    for (int col = 0; col < 16; ++col)
      for (int row = 0; row < 4; ++row) {
        if (col != 0 || row != 0) text += ',';
        text += std::to_string(kS[box][row][col]);
      }
  }
  for (size_t i = 0; i < 448; ++i) t[64 + i] = static_cast<std::uint8_t>(text[i]);
  return t;
}

// f(R, K) on 4 bytes.
void roundFunction(const std::uint8_t* r, const RoundKey& k, std::uint8_t* out) {
  const auto& table = cipherSubstitutionTable();
  std::uint8_t x[6] = {};
  for (unsigned i = 1; i <= 48; ++i)
    if (bitOf(r, kE[i - 1])) setBit(x, i);
  for (int i = 0; i < 6; ++i) x[i] ^= k[static_cast<size_t>(i)];
  auto bits = [&](unsigned first, unsigned count) {
    unsigned v = 0;
    for (unsigned i = 0; i < count; ++i) v |= bitOf(x, first + i) << i;
    return v;
  };
  const unsigned in[8] = {bits(1, 6), bits(7, 6), bits(13, 6), bits(19, 6), bits(31, 2), bits(37, 2), bits(43, 2), 0};
  unsigned y[8];
  for (unsigned b = 0; b < 8; ++b) {
    unsigned v = in[b];
    y[b] = table[b * 64 + ((v / 2) % 16) * 4 + ((v / 32) % 2) * 2 + (v % 2)];
  }
  std::uint8_t four[4];
  for (int i = 0; i < 4; ++i) four[i] = static_cast<std::uint8_t>((16 * y[2 * i + 1] + y[2 * i]) % 256);
  std::uint8_t f[4] = {};
  for (unsigned i = 1; i <= 32; ++i)
    if (bitOf(four, kP[i - 1])) setBit(f, i);
  std::memcpy(out, f, 4);
}

}  // namespace

const std::array<std::uint8_t, 512>& cipherSubstitutionTable() {
  static const std::array<std::uint8_t, 512> table = buildTable();
  return table;
}

std::array<char, kCipherKeyLength> cipherKeyField(std::string_view key) {
  std::string field(key.substr(0, kCipherKeyLength));
  field.resize(kCipherKeyLength, ' ');
  if (field.find_first_not_of(' ') != std::string::npos) {
    for (;;) {
      std::string trimmed = field.substr(0, field.find_last_not_of(' ') + 1);
      if (trimmed.size() >= kCipherKeyLength) break;
      field = (trimmed + trimmed).substr(0, kCipherKeyLength);
      field.resize(kCipherKeyLength, ' ');
    }
  }
  std::array<char, kCipherKeyLength> out;
  std::memcpy(out.data(), field.data(), kCipherKeyLength);
  return out;
}

RoundKeys cipherRoundKeys(std::string_view key) {
  const auto field = cipherKeyField(key);
  RoundKeys keys{};
  struct Group {
    int offset, first, last;
  };
  constexpr Group kGroups[] = {{0, 1, 5}, {8, 6, 10}, {16, 11, 16}};
  for (const Group& g : kGroups) {
    const auto* segment = reinterpret_cast<const std::uint8_t*>(field.data() + g.offset);
    std::uint32_t c = 0, d = 0;
    for (unsigned i = 1; i <= 28; ++i) {
      c = 2 * c + bitOf(segment, kIP[i - 1]);
      d = 2 * d + bitOf(segment, kIP[28 + i - 1]);
    }
    for (int r = g.first; r <= g.last; ++r) {
      for (int s = 0; s < kShifts[r - 1]; ++s) {  // 28-bit rotations to the right
        c = (c >> 1) | ((c & 1u) << 27);
        d = (d >> 1) | ((d & 1u) << 27);
      }
      std::uint8_t packed[8];
      const std::uint32_t low = c + ((d % 8) << 28);  // bit 4 of D (value 8) is not used
      const std::uint32_t high = d / 16;
      for (int i = 0; i < 4; ++i) {
        packed[i] = static_cast<std::uint8_t>(low >> (8 * i));
        packed[4 + i] = static_cast<std::uint8_t>(high >> (8 * i));
      }
      RoundKey& k = keys[static_cast<size_t>(r - 1)];
      k.fill(0);
      for (unsigned i = 1; i <= 48; ++i)
        if (bitOf(packed, kPC2[i - 1])) setBit(k.data(), i);
    }
  }
  return keys;
}

void cipherBlock(std::uint8_t* block, const RoundKeys& keys, bool encipher) {
  std::uint8_t l[4], r[4], f[4];
  std::memcpy(l, block, 4);
  std::memcpy(r, block + 4, 4);
  for (int round = 0; round < 16; ++round) {
    const RoundKey& k = keys[static_cast<size_t>(encipher ? round : 15 - round)];
    roundFunction(r, k, f);
    for (int i = 0; i < 4; ++i) {
      std::uint8_t next = static_cast<std::uint8_t>(l[i] ^ f[i]);
      l[i] = r[i];
      r[i] = next;
    }
  }
  std::memcpy(block, r, 4);  // R first, then L; no final permutation
  std::memcpy(block + 4, l, 4);
}

void encipherRun(std::string_view key, std::uint8_t* data, size_t n) {
  if (n < kCipherBlock) return;
  const RoundKeys keys = cipherRoundKeys(key);
  for (size_t start = 0; start + kCipherBlock <= n; start += kCipherBlock) cipherBlock(data + start, keys, true);
  cipherBlock(data + n - kCipherBlock, keys, true);
}

void decipherRun(std::string_view key, std::uint8_t* data, size_t n) {
  if (n < kCipherBlock) return;
  const RoundKeys keys = cipherRoundKeys(key);
  cipherBlock(data + n - kCipherBlock, keys, false);
  for (size_t start = 0; start + kCipherBlock <= n; start += kCipherBlock) cipherBlock(data + start, keys, false);
}

}  // namespace ov::net::detail
