// Where music streams are heard: the default output device (SDL2, 44100 Hz stereo), or a
// device-free stand-in whose streams are positioned by their caller (tests, offline rendering).
#pragma once

#include <memory>

#include "audio/DecodedMusic.h"
#include "audio/MusicStream.h"

namespace glowmarch::audio {

class AudioDevice {
 public:
  virtual ~AudioDevice();
  AudioDevice(const AudioDevice&) = delete;
  AudioDevice& operator=(const AudioDevice&) = delete;

  // The default output device at 44100 Hz, 16-bit stereo; nullptr when there is none.
  // Closing it at process exit is taken care of, even if it is never destroyed.
  static std::unique_ptr<AudioDevice> openDefault();

  // Opens an MP3 (pre-scanned, decoded in the background) to be played here; nullptr when the
  // file is missing or is not MPEG audio.
  std::unique_ptr<MusicStream> createStream(const char* path);
  // A stream of music already opened; several streams may share one piece.
  virtual std::unique_ptr<MusicStream> createStream(std::shared_ptr<const DecodedMusic> music) = 0;

 protected:
  AudioDevice() = default;
};

// Plays nothing: its streams are ManualStreams.
class ManualDevice final : public AudioDevice {
 public:
  ManualDevice() = default;
  using AudioDevice::createStream;
  std::unique_ptr<MusicStream> createStream(std::shared_ptr<const DecodedMusic> music) override;
};

}  // namespace glowmarch::audio
