// A piece of music being played: where it is, whether it plays, and what it sounds like now.
// Device streams are driven by an output device; a ManualStream stands where its caller puts it.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/DecodedMusic.h"
#include "audio/Spectrum.h"

namespace glowmarch::audio {

enum class Activity : int { stopped = 0, playing = 1, stalled = 2, paused = 3 };

class MusicStream {
 public:
  virtual ~MusicStream();
  MusicStream(const MusicStream&) = delete;
  MusicStream& operator=(const MusicStream&) = delete;

  // Starts playing from the current position (where a pause held it); false when it cannot.
  virtual bool play() = 0;
  // Holds the music at the frame heard now, so that play() goes on from that very frame. False for
  // a stream that cannot pause.
  virtual bool pause() { return false; }
  // Pauses and returns once the fade out has been heard (waiting at most a quarter of a second), so
  // that closing the output or dropping the stream next cuts nothing but silence. At once for a
  // stream that sounds nothing.
  virtual void fadeOutAndWait() { pause(); }
  // Moves to a frame of the piece: what is heard next starts there, and the position reads it.
  // A stream that cannot move stays where it is.
  virtual void seek(std::uint64_t /*frame*/) {}
  // Bytes of the decoded 44.1 kHz 16-bit stereo stream that have been heard; runs backwards only
  // after a seek.
  virtual std::uint64_t position() = 0;
  // Stopped before play and once the end has been heard, playing, stalled while decoding lags
  // behind, or paused.
  virtual Activity activity() = 0;
  // The position in seconds: by default the byte position converted.
  virtual double positionSeconds() { return bytesToSeconds(position()); }
  // Once per frame; the backends here need nothing.
  virtual void update() {}

  static double bytesToSeconds(std::uint64_t bytes) {
    return static_cast<double>(bytes / bytesPerFrame) / sampleRate;
  }
  // 256 FFT magnitudes of the 512 frames ending at the current position (see SpectrumAnalyser).
  void spectrum(float* bins);
  const DecodedMusic& music() const { return *pcm; }
  std::shared_ptr<const DecodedMusic> sharedMusic() const { return pcm; }

 protected:
  explicit MusicStream(std::shared_ptr<const DecodedMusic> music);

 private:
  std::shared_ptr<const DecodedMusic> pcm;
  SpectrumAnalyser analyser;
};

// A stream without a device, for tests and the offline renderer: it plays nothing, and its
// position is what the caller last set. Reads wait for the decoder, so results never depend on
// how far decoding has come.
class ManualStream final : public MusicStream {
 public:
  explicit ManualStream(std::shared_ptr<const DecodedMusic> music);

  bool play() override;
  void seek(std::uint64_t frame) override { setFrame(frame); }
  std::uint64_t position() override;
  Activity activity() override;
  // The exact time last set with setSeconds, or the frame position converted.
  double positionSeconds() override;

  // Moves to a frame, clamped to the end of the piece.
  void setFrame(std::uint64_t frame);
  // Moves to a time; positionSeconds() then reports it exactly (so frame times of n / fps stay
  // exact), and the byte position is the frame the time falls in.
  void setSeconds(double seconds);

 private:
  std::uint64_t clampedFrame();
  bool playing = false;
  std::uint64_t frame = 0;
  double seconds = 0.0;
  bool exactSeconds = false;
};

}  // namespace glowmarch::audio
