#include "platform/os/sound.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

namespace ov::os {
namespace {

struct Clip {
  snd_pcm_format_t format = SND_PCM_FORMAT_UNKNOWN;
  unsigned channels = 0;
  unsigned rate = 0;
  unsigned frameBytes = 0;
  std::vector<char> data;
};

std::uint32_t le32(const char* p) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(p[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(p[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(p[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(p[3])) << 24;
}

unsigned le16(const char* p) {
  return static_cast<unsigned>(static_cast<unsigned char>(p[0])) |
         static_cast<unsigned>(static_cast<unsigned char>(p[1])) << 8;
}

snd_pcm_format_t formatOf(unsigned tag, unsigned bits) {
  switch (tag) {
    case 1:  // PCM
      switch (bits) {
        case 8: return SND_PCM_FORMAT_U8;
        case 16: return SND_PCM_FORMAT_S16_LE;
        case 24: return SND_PCM_FORMAT_S24_3LE;
        case 32: return SND_PCM_FORMAT_S32_LE;
      }
      break;
    case 3:  // IEEE float
      if (bits == 32) return SND_PCM_FORMAT_FLOAT_LE;
      if (bits == 64) return SND_PCM_FORMAT_FLOAT64_LE;
      break;
    case 6:
      if (bits == 8) return SND_PCM_FORMAT_A_LAW;
      break;
    case 7:
      if (bits == 8) return SND_PCM_FORMAT_MU_LAW;
      break;
  }
  return SND_PCM_FORMAT_UNKNOWN;
}

// RIFF/WAVE: the "fmt " chunk, then the samples of the "data" chunk; other chunks are passed
// over. A data chunk that claims more than the file holds plays what is there.
SoundResult parseWav(const std::vector<char>& file, Clip& clip) {
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(file.data() + 8, "WAVE", 4) != 0)
    return SoundResult::BadFormat;
  bool haveFormat = false, haveData = false;
  size_t pos = 12;
  while (pos + 8 <= file.size() && !haveData) {
    const char* chunk = file.data() + pos;
    std::uint32_t size = le32(chunk + 4);
    size_t body = pos + 8;
    size_t available = file.size() - body;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (size < 16 || available < 16) return SoundResult::BadFormat;
      const char* f = file.data() + body;
      unsigned tag = le16(f);
      clip.channels = le16(f + 2);
      clip.rate = le32(f + 4);
      unsigned blockAlign = le16(f + 12);
      unsigned bits = le16(f + 14);
      if (tag == 0xFFFE && size >= 40 && available >= 40) tag = le16(f + 24);  // extensible: the sub-format
      clip.format = formatOf(tag, bits);
      if (clip.format == SND_PCM_FORMAT_UNKNOWN || clip.channels < 1 || clip.channels > 8 || clip.rate < 1000 ||
          clip.rate > 384000 || blockAlign != clip.channels * bits / 8)
        return SoundResult::BadFormat;
      clip.frameBytes = blockAlign;
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) return SoundResult::BadFormat;
      size_t take = std::min<size_t>(size, available);
      take -= take % clip.frameBytes;
      clip.data.assign(file.begin() + static_cast<long>(body), file.begin() + static_cast<long>(body + take));
      haveData = true;
    }
    pos = body + size + (size & 1);  // chunks are padded to even sizes
  }
  return haveData ? SoundResult::Played : SoundResult::BadFormat;
}

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

class Player {
 public:
  ~Player() { stop(); }

  SoundResult start(Clip clip, bool loop) {
    std::lock_guard<std::mutex> lock(m_mutex);
    stopLocked();
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(quietAlsa); });
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) return SoundResult::NoDevice;
    if (snd_pcm_set_params(pcm, clip.format, SND_PCM_ACCESS_RW_INTERLEAVED, clip.channels, clip.rate, 1, 200000) < 0) {
      snd_pcm_close(pcm);
      return SoundResult::NoDevice;
    }
    m_stop = false;
    m_playing = true;
    m_thread = std::thread([this, pcm, clip = std::move(clip), loop] { play(pcm, clip, loop); });
    return SoundResult::Played;
  }

  void stop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    stopLocked();
  }

  bool playing() const { return m_playing; }

 private:
  void stopLocked() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
  }

  void play(snd_pcm_t* pcm, const Clip& clip, bool loop) {
    const snd_pcm_uframes_t total = clip.data.size() / clip.frameBytes;
    const snd_pcm_uframes_t chunk = std::max<snd_pcm_uframes_t>(clip.rate / 50, 64);  // 20 ms
    do {
      snd_pcm_uframes_t done = 0;
      while (done < total && !m_stop) {
        snd_pcm_uframes_t n = std::min(chunk, total - done);
        snd_pcm_sframes_t written = snd_pcm_writei(pcm, clip.data.data() + done * clip.frameBytes, n);
        if (written < 0) written = snd_pcm_recover(pcm, static_cast<int>(written), 1);
        if (written < 0) {
          m_stop = true;  // the device went away: give up quietly
          break;
        }
        done += static_cast<snd_pcm_uframes_t>(written);
      }
    } while (loop && !m_stop && total > 0);
    if (m_stop)
      snd_pcm_drop(pcm);
    else
      snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
    m_playing = false;
  }

  std::mutex m_mutex;
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_playing{false};
};

Player& player() {
  static Player p;
  return p;
}

}  // namespace

SoundResult playSound(const std::string& path, bool loop) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return SoundResult::NoFile;
  std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return SoundResult::NoFile;
  Clip clip;
  if (SoundResult r = parseWav(file, clip); r != SoundResult::Played) return r;
  return player().start(std::move(clip), loop);
}

SoundResult beep(int hz, int ms) {
  if (hz < 37 || hz > 32767 || ms <= 0) return SoundResult::BadFormat;
  Clip clip;
  clip.format = SND_PCM_FORMAT_S16_LE;
  clip.channels = 1;
  clip.rate = 22050;
  clip.frameBytes = 2;
  size_t frames = static_cast<size_t>(clip.rate) * static_cast<size_t>(ms) / 1000;
  clip.data.resize(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    auto v = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * hz * static_cast<double>(i) / clip.rate));
    clip.data[2 * i] = static_cast<char>(v & 0xFF);
    clip.data[2 * i + 1] = static_cast<char>((v >> 8) & 0xFF);
  }
  return player().start(std::move(clip), false);
}

void stopSound() { player().stop(); }

bool soundPlaying() { return player().playing(); }

}  // namespace ov::os
