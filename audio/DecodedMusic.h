// An MP3 decoded to 44.1 kHz 16-bit stereo PCM. The length is exact from a pre-scan at open;
// decoding then goes on on a thread of its own, so even a long piece can start playing at once.
// Music at another rate is decoded at its own rate and resampled on that thread, on an exact clock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace glowmarch::audio {

inline constexpr int sampleRate = 44100;
inline constexpr int channelCount = 2;
inline constexpr int bytesPerFrame = 4;  // one 16-bit sample per channel

class DecodedMusic {
 public:
  // Opens, pre-scans and starts decoding an MPEG audio file. nullptr when the file is missing,
  // unreadable, holds no MPEG audio, or is longer than any show (two hours).
  static std::shared_ptr<DecodedMusic> open(const char* path);
  // PCM already in memory (interleaved stereo frames): complete at once.
  static std::shared_ptr<DecodedMusic> fromSamples(std::vector<std::int16_t> interleaved);

  ~DecodedMusic();
  DecodedMusic(const DecodedMusic&) = delete;
  DecodedMusic& operator=(const DecodedMusic&) = delete;

  // Frames in the piece. Gapless (encoder delay and padding removed) and exact from the pre-scan;
  // only a file damaged past the scan's notice can shrink it when decoding reaches the damage.
  std::uint64_t length() const { return frames.load(std::memory_order_acquire); }
  // Frames that can be read now; only grows.
  std::uint64_t decodedFrames() const { return decoded.load(std::memory_order_acquire); }
  bool complete() const { return finished.load(std::memory_order_acquire); }
  // Blocks until at least `count` frames are decoded or decoding has ended; returns decodedFrames().
  std::uint64_t waitForFrames(std::uint64_t count) const;
  // Interleaved left/right samples; the first decodedFrames() frames may be read.
  const std::int16_t* samples() const { return pcm.get(); }

 private:
  struct Source;
  DecodedMusic() = default;
  static std::unique_ptr<Source> openSource(const char* path);
  void decode(std::unique_ptr<Source> source);
  std::uint64_t decodeConverting(Source& source);
  void publish(std::uint64_t count, bool done);

  std::unique_ptr<std::int16_t[]> pcm;
  std::uint64_t capacity = 0;  // frames pcm can hold
  std::atomic<std::uint64_t> frames{0};
  std::atomic<std::uint64_t> decoded{0};
  std::atomic<bool> finished{false};
  std::atomic<bool> stopRequested{false};
  mutable std::mutex progressMutex;
  mutable std::condition_variable progress;
  std::thread decoder;
};

}  // namespace glowmarch::audio
