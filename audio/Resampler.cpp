#include "audio/Resampler.h"

#include <soxr.h>

#include "audio/DecodedMusic.h"

namespace glowmarch::audio {

Resampler::Resampler(long inputRate) {
  // No dither: its noise is seeded from the clock, and two decodes of a piece must be the same.
  soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_INT16_I);
  io.flags |= SOXR_NO_DITHER;
  // High quality and linear phase, so a click keeps its place; one thread, the decoder's own.
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ | SOXR_LINEAR_PHASE, 0);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  soxr_error_t error = nullptr;
  converter = soxr_create(static_cast<double>(inputRate), sampleRate, channelCount, &error, &io, &quality, &runtime);
  if (error != nullptr && converter != nullptr) {
    soxr_delete(converter);
    converter = nullptr;
  }
}

Resampler::~Resampler() { soxr_delete(converter); }

std::size_t Resampler::convert(const float* input, std::size_t frames, std::int16_t* output, std::size_t room) {
  std::size_t written = 0;
  while (frames > 0) {
    std::size_t taken = 0;
    std::size_t done = 0;
    if (soxr_process(converter, input, frames, &taken, output + written * channelCount, room - written, &done) !=
        nullptr) {
      break;
    }
    written += done;
    if (taken == 0 && done == 0) break;  // no room left: the piece is longer than it said
    input += taken * channelCount;
    frames -= taken;
  }
  return written;
}

std::size_t Resampler::finish(std::int16_t* output, std::size_t room) {
  std::size_t written = 0;
  while (written < room) {
    std::size_t done = 0;
    if (soxr_process(converter, nullptr, 0, nullptr, output + written * channelCount, room - written, &done) !=
        nullptr) {
      break;
    }
    if (done == 0) break;
    written += done;
  }
  return written;
}

std::uint64_t convertedLength(std::uint64_t frames, long rate) {
  const auto input = static_cast<std::uint64_t>(rate);
  return (2 * frames * sampleRate + input) / (2 * input);
}

}  // namespace glowmarch::audio
