// Sound: WAV files played once or in a loop, and a beep, through ALSA's default device.
//
// Playing runs on a worker thread; a new sound stops the one that is playing, as the system's
// sound call does. A machine without a sound device is not an error: the call answers NoDevice
// and the caller carries on as though the sound had played. Any thread.
#pragma once

#include <string>

namespace ov::os {

enum class SoundResult {
  Played,     // playing has started
  NoDevice,   // no sound device (or none that takes the format): nothing to hear, nothing wrong
  NoFile,     // the file cannot be read
  BadFormat,  // not a WAV file we can play, or a beep out of range
};

// Plays a WAV file (PCM 8/16/24/32-bit, float, A-law, mu-law; any rate; up to 8 channels).
SoundResult playSound(const std::string& path, bool loop = false);

// A tone of `hz` (37 to 32767) for `ms` milliseconds.
SoundResult beep(int hz, int ms);

// Stops what is playing; nothing when nothing is.
void stopSound();

bool soundPlaying();

}  // namespace ov::os
