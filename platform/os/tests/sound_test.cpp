// Sound through a private ALSA configuration whose default device writes to a file.
#include "platform/os/sound.h"

#include "platform/os/tests/support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace ov::os {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

std::string le(std::uint32_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

struct Wav {
  unsigned tag = 1, channels = 1, rate = 8000, bits = 16;
  std::string data;
  std::string before;          // chunks between "fmt " and "data"
  long claimedDataSize = -1;   // a data size other than the real one
  bool extensible = false;
  long blockAlign = -1;

  std::string bytes() const {
    unsigned align = blockAlign >= 0 ? static_cast<unsigned>(blockAlign) : channels * bits / 8;
    std::string fmt = le(extensible ? 0xFFFE : tag, 2) + le(channels, 2) + le(rate, 4) + le(rate * align, 4) +
                      le(align, 2) + le(bits, 2);
    if (extensible)  // cbSize, valid bits, channel mask, sub-format GUID (tag first)
      fmt += le(22, 2) + le(bits, 2) + le(0, 4) + le(tag, 2) + std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 14);
    std::string body = "WAVE" + std::string("fmt ") + le(static_cast<std::uint32_t>(fmt.size()), 4) + fmt + before +
                       "data" +
                       le(static_cast<std::uint32_t>(claimedDataSize >= 0 ? claimedDataSize : static_cast<long>(data.size())), 4) +
                       data;
    return "RIFF" + le(static_cast<std::uint32_t>(body.size()), 4) + body;
  }
};

class SoundSink : public ::testing::Test {
 protected:
  void SetUp() override { useDevice("type file\n slave.pcm \"null\"\n file \"" + out().string() + "\"\n format \"raw\""); }
  void TearDown() override { stopSound(); }

  void useDevice(const std::string& body) {
    writeFile(dir.path() / "test.conf", "pcm.!default {\n " + body + "\n}\n");
    env.emplace("ALSA_CONFIG_PATH", "/usr/share/alsa/alsa.conf:" + (dir.path() / "test.conf").string());
  }
  fs::path out() const { return dir.path() / "out.raw"; }
  std::string wavFile(const std::string& bytes, const char* name = "a.wav") {
    writeFile(dir.path() / name, bytes);
    return (dir.path() / name).string();
  }
  std::string played() {
    EXPECT_TRUE(test::waitUntil([] { return !soundPlaying(); }));
    return readFile(out());
  }

  test::TempDir dir;
  std::optional<test::EnvGuard> env;
};

TEST_F(SoundSink, PlaysTheSamplesOfAWavFile) {
  const std::string pcm16 = std::string("\x01\x00\xff\x7f\x00\x80\x10\x20", 8);
  struct Case {
    const char* name;
    Wav wav;
    std::string want;
  };
  Wav stereo;
  stereo.channels = 2;
  stereo.data = pcm16;
  Wav u8;
  u8.bits = 8;
  u8.data = "\x80\x81\x7f\x00\xff";
  Wav f32;
  f32.tag = 3;
  f32.bits = 32;
  f32.data = le(0x3f800000, 4) + le(0xbf000000, 4);  // 1.0, -0.5
  Wav ext24;
  ext24.extensible = true;
  ext24.bits = 24;
  ext24.rate = 48000;
  ext24.data = std::string("\x01\x02\x03\x04\x05\x06", 6);
  Wav odd;
  odd.data = pcm16;
  odd.before = "LIST" + le(3, 4) + "abc" + std::string(1, '\0');  // odd size, one pad byte
  Wav cut;
  cut.data = pcm16 + "\x33";  // a frame and a half past the last whole one
  cut.claimedDataSize = 4000;
  Wav alaw;
  alaw.tag = 6;
  alaw.bits = 8;
  alaw.data = "\xd5\x55\x2a";
  const Case kCases[] = {
      {"16-bit stereo", stereo, pcm16},        {"8-bit", u8, u8.data},
      {"32-bit float", f32, f32.data},        {"24-bit in the extensible form", ext24, ext24.data},
      {"an odd chunk before the data", odd, pcm16}, {"data cut short", cut, pcm16},
      {"A-law", alaw, alaw.data},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(playSound(wavFile(c.wav.bytes())), SoundResult::Played);
    EXPECT_EQ(played(), c.want);
  }
}

TEST_F(SoundSink, RefusesWhatItCannotPlay) {
  Wav mp3;
  mp3.tag = 0x55;
  mp3.data = "xxxx";
  Wav misaligned;
  misaligned.data = "abcd";
  misaligned.blockAlign = 3;
  Wav mute;
  mute.channels = 0;
  mute.data = "ab";
  std::string noData = Wav{}.bytes();
  noData = noData.substr(0, noData.find("data"));
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case kCases[] = {
      {"text", "just some text, long enough to be read"},
      {"compressed", mp3.bytes()},
      {"frames that do not add up", misaligned.bytes()},
      {"no channels", mute.bytes()},
      {"no data chunk", noData},
      {"data before its format", "RIFF" + le(16, 4) + "WAVEdata" + le(2, 4) + "ab"},
      {"empty", ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(playSound(wavFile(c.bytes)), SoundResult::BadFormat);
  }
  EXPECT_EQ(playSound((dir.path() / "missing.wav").string()), SoundResult::NoFile);
  EXPECT_FALSE(fs::exists(out())) << "nothing reached the device";
}

TEST_F(SoundSink, LoopsUntilStoppedAndANewSoundStopsTheOld) {
  Wav loop;
  loop.data = std::string(800, '\x11');
  ASSERT_EQ(playSound(wavFile(loop.bytes(), "loop.wav"), true), SoundResult::Played);
  ASSERT_TRUE(test::waitUntil([&] {
    std::error_code ec;
    return fs::file_size(out(), ec) >= 3 * loop.data.size();
  }));
  EXPECT_TRUE(soundPlaying());
  stopSound();
  EXPECT_FALSE(soundPlaying());
  auto size = fs::file_size(out());
  EXPECT_EQ(size % 2, 0u) << "whole frames";
  EXPECT_EQ(readFile(out()), std::string(size, '\x11'));

  ASSERT_EQ(playSound(wavFile(loop.bytes(), "loop.wav"), true), SoundResult::Played);
  Wav once;
  once.data = "\x01\x02\x03\x04";
  ASSERT_EQ(playSound(wavFile(once.bytes(), "once.wav")), SoundResult::Played);
  EXPECT_EQ(played(), once.data) << "the loop went on";
}

TEST_F(SoundSink, BeepsATone) {
  ASSERT_EQ(beep(440, 100), SoundResult::Played);
  std::string raw = played();
  ASSERT_EQ(raw.size(), 22050u * 100 / 1000 * 2);
  int crossings = 0;
  std::int16_t last = 0;
  for (size_t i = 0; i + 1 < raw.size(); i += 2) {
    auto v = static_cast<std::int16_t>(static_cast<unsigned char>(raw[i]) | static_cast<unsigned char>(raw[i + 1]) << 8);
    if (i > 0 && ((last < 0) != (v < 0))) ++crossings;
    last = v;
  }
  EXPECT_NEAR(crossings, 88, 2);  // 440 Hz for a tenth of a second crosses zero twice per cycle
  EXPECT_EQ(beep(20, 100), SoundResult::BadFormat);
  EXPECT_EQ(beep(440, 0), SoundResult::BadFormat);
}

TEST_F(SoundSink, NoDeviceIsNoError) {
  useDevice("type hw\n card 29");
  Wav w;
  w.data = "\x01\x02";
  EXPECT_EQ(playSound(wavFile(w.bytes())), SoundResult::NoDevice);
  EXPECT_EQ(beep(150, 16), SoundResult::NoDevice);
  EXPECT_FALSE(soundPlaying());
  EXPECT_EQ(playSound((dir.path() / "missing.wav").string()), SoundResult::NoFile) << "a bad file is still one";
}

}  // namespace
}  // namespace ov::os
