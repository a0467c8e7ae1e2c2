// Converts stereo float music at an MPEG sample rate to 44.1 kHz 16-bit, piece by piece, with libsoxr.
// Output frame k stands at exactly k / 44100 s of the input: the filter's delay is taken out.
#pragma once

#include <cstddef>
#include <cstdint>

struct soxr;

namespace glowmarch::audio {

class Resampler {
 public:
  explicit Resampler(long inputRate);
  ~Resampler();
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  // False when libsoxr could not be set up.
  bool ready() const { return converter != nullptr; }
  // Takes all `frames` interleaved stereo frames and writes what is ready, at most `room` frames;
  // returns the frames written. Room for the whole converted piece never runs short.
  std::size_t convert(const float* input, std::size_t frames, std::int16_t* output, std::size_t room);
  // After the last input: writes the frames the filter still holds.
  std::size_t finish(std::int16_t* output, std::size_t room);

 private:
  soxr* converter = nullptr;
};

// Frames at 44.1 kHz that `frames` frames at `rate` become: rounded to the nearest.
std::uint64_t convertedLength(std::uint64_t frames, long rate);

}  // namespace glowmarch::audio
