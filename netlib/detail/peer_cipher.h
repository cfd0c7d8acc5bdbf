// The peer packet cipher (internal).
//
// This is obfuscation, not protection: a 16-round Feistel network over the DES tables with a
// weakened substitution step (boxes 5 to 7 see two bits, box 8 none, boxes 2 to 8 hold character
// codes) and a key that every instance knows by default. Anyone on the network can read and forge
// what it hides. It is kept exactly as it is because other instances decipher with the same rules;
// never rely on it to keep data secret.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ov::net::detail {

constexpr size_t kCipherKeyLength = 24;
constexpr size_t kCipherBlock = 8;

using RoundKey = std::array<std::uint8_t, 6>;  // 48 bits, bit 1 = least significant bit of byte 0
using RoundKeys = std::array<RoundKey, 16>;

// The 24-character field the round keys come from: `key` blank-padded and cut at 24; a key that is
// not all blank and shorter than 24 characters (trailing blanks not counted) is written twice over
// until it fills the field.
std::array<char, kCipherKeyLength> cipherKeyField(std::string_view key);
RoundKeys cipherRoundKeys(std::string_view key);

// The 512-byte substitution table.
const std::array<std::uint8_t, 512>& cipherSubstitutionTable();

// One 8-byte block in place.
void cipherBlock(std::uint8_t* block, const RoundKeys& keys, bool encipher);

// A run of `n` bytes in place: runs below 8 bytes are left as they are; otherwise every aligned
// block and then the last 8 bytes once more (overlapping the previous block, or repeating it).
// Deciphering takes the last 8 bytes first. The round keys are built anew from `key` every call.
void encipherRun(std::string_view key, std::uint8_t* data, size_t n);
void decipherRun(std::string_view key, std::uint8_t* data, size_t n);

}  // namespace ov::net::detail
