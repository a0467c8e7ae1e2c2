#include "audio/MusicStream.h"

#include <algorithm>
#include <cmath>

namespace glowmarch::audio {

MusicStream::MusicStream(std::shared_ptr<const DecodedMusic> music) : pcm(std::move(music)) {}

MusicStream::~MusicStream() = default;

void MusicStream::spectrum(float* bins) {
  const std::uint64_t end = position() / bytesPerFrame;
  pcm->waitForFrames(end);
  analyser.analyse(*pcm, end, bins);
}

ManualStream::ManualStream(std::shared_ptr<const DecodedMusic> music) : MusicStream(std::move(music)) {}

bool ManualStream::play() {
  playing = true;
  return true;
}

std::uint64_t ManualStream::clampedFrame() {
  // Waiting for the frame after it tells whether the position lies inside the piece.
  music().waitForFrames(frame < UINT64_MAX ? frame + 1 : frame);
  return std::min(frame, music().length());
}

std::uint64_t ManualStream::position() { return clampedFrame() * bytesPerFrame; }

Activity ManualStream::activity() {
  if (!playing) return Activity::stopped;
  return clampedFrame() < music().length() ? Activity::playing : Activity::stopped;
}

double ManualStream::positionSeconds() {
  const std::uint64_t clamped = clampedFrame();
  if (exactSeconds && clamped == frame) return seconds;
  return bytesToSeconds(clamped * bytesPerFrame);
}

void ManualStream::setFrame(std::uint64_t target) {
  frame = target;
  exactSeconds = false;
}

void ManualStream::setSeconds(double target) {
  if (!(target > 0.0)) target = 0.0;  // negative and NaN times mean the start
  seconds = target;
  const double frames = std::floor(target * sampleRate);
  // Far beyond any piece: the end, without an out-of-range conversion.
  frame = frames < 1e15 ? static_cast<std::uint64_t>(frames) : std::uint64_t{1} << 50;
  exactSeconds = true;
}

}  // namespace glowmarch::audio
