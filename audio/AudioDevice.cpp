#include "audio/AudioDevice.h"

namespace glowmarch::audio {

AudioDevice::~AudioDevice() = default;

std::unique_ptr<MusicStream> AudioDevice::createStream(const char* path) {
  std::shared_ptr<DecodedMusic> music = DecodedMusic::open(path);
  if (!music) return nullptr;
  return createStream(std::shared_ptr<const DecodedMusic>(std::move(music)));
}

std::unique_ptr<MusicStream> ManualDevice::createStream(std::shared_ptr<const DecodedMusic> music) {
  if (!music) return nullptr;
  return std::make_unique<ManualStream>(std::move(music));
}

}  // namespace glowmarch::audio
