// The music's spectrum as the frame loop reads it: 256 magnitudes of a 512-frame FFT.
#pragma once

#include <cstdint>
#include <memory>

namespace glowmarch::audio {

class DecodedMusic;

inline constexpr int fftFrames = 512;
inline constexpr int spectrumBins = fftFrames / 2;

class SpectrumAnalyser {
 public:
  SpectrumAnalyser();
  ~SpectrumAnalyser();
  SpectrumAnalyser(const SpectrumAnalyser&) = delete;
  SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

  // Magnitudes of bins 0 to 255 of the mono mix of the 512 frames that end at frame `end` (frames
  // before the start, and any not decoded yet, count as silence). Full-scale sine: peak about 1.0.
  void analyse(const DecodedMusic& music, std::uint64_t end, float* bins);
  // The same for 512 interleaved stereo frames.
  void analyseFrames(const std::int16_t* frames, float* bins);

 private:
  struct Tables;
  std::unique_ptr<Tables> tables;
};

}  // namespace glowmarch::audio
