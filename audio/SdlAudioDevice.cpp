// The SDL2 output backend. Implements AudioDevice::openDefault and its streams:
// - the default device at 44100 Hz, 16-bit stereo, fed from SDL's audio thread by a callback;
// - the audible position: frames handed to the device minus what the driver still holds,
//   interpolated with the wall clock between callbacks and never running backwards but by a seek;
// - pausing at the frame heard and seeking to any frame, the driver's buffer given back;
// - closing every open device at process exit, before anything the callback reads goes away.
#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>

#include "audio/AudioDevice.h"

namespace glowmarch::audio {

namespace {

using Clock = std::chrono::steady_clock;

// About 23 ms per callback: small enough for a tight clock, large enough not to underrun.
constexpr Uint16 bufferFrames = 1024;

class SdlStream;

// Shared by the device and its streams, so either may go first.
struct Output {
  SDL_AudioDeviceID id = 0;  // 0 once closed
  std::uint64_t queuedFrames = 0;
  std::mutex mutex;               // guards `current` and the playing stream's callback fields
  SdlStream* current = nullptr;   // the stream the callback feeds
  Output* nextOpen = nullptr;

  void close();
};

// Never destroyed, so the exit hook can use it whatever static teardown has done; made on first use,
// as not every standard library can make a std::mutex at compile time.
std::mutex& openOutputsMutex() {
  static std::mutex* const mutex = new std::mutex;
  return *mutex;
}
// Trivially destroyed, for the same reason.
constinit Output* openOutputs = nullptr;
constinit bool exitHookInstalled = false;

void closeAllAtExit() {
  // The show may end by std::exit while music plays and the Player is never destroyed: stop the
  // callback first, so it cannot run while the rest of the process is torn down.
  for (;;) {
    Output* open = nullptr;
    {
      std::lock_guard lock(openOutputsMutex());
      open = openOutputs;
    }
    if (open == nullptr) return;
    open->close();
  }
}

void Output::close() {
  SDL_AudioDeviceID closing = 0;
  {
    std::lock_guard lock(openOutputsMutex());
    for (Output** link = &openOutputs; *link != nullptr; link = &(*link)->nextOpen) {
      if (*link == this) {
        *link = nextOpen;
        break;
      }
    }
    closing = id;
    id = 0;
  }
  if (closing == 0) return;
  SDL_CloseAudioDevice(closing);  // returns once the callback has finished for good
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

class SdlStream final : public MusicStream {
 public:
  SdlStream(std::shared_ptr<Output> output, std::shared_ptr<const DecodedMusic> music)
      : MusicStream(std::move(music)), output(std::move(output)) {}

  ~SdlStream() override {
    std::lock_guard lock(output->mutex);
    if (output->current == this) output->current = nullptr;
  }

  bool play() override {
    std::lock_guard lock(output->mutex);
    if (output->id == 0) return false;
    // One stream at a time: a new one takes the device over.
    output->current = this;
    started = true;
    paused = false;
    return true;
  }

  bool pause() override {
    const std::uint64_t heard = audibleFrame();
    std::lock_guard lock(output->mutex);
    if (!started || output->id == 0 || output->current != this) return false;
    paused = true;
    // What the driver holds but has not played yet is played again on resuming.
    restartAt(heard);
    return true;
  }

  void seek(std::uint64_t frame) override {
    std::lock_guard lock(output->mutex);
    restartAt(frame);
  }

  std::uint64_t position() override { return audibleFrame() * bytesPerFrame; }

  Activity activity() override {
    const std::uint64_t heard = audibleFrame();
    std::lock_guard lock(output->mutex);
    if (!started || output->id == 0 || output->current != this) return Activity::stopped;
    if (paused) return Activity::paused;
    if (music().complete() && heard >= music().length()) return Activity::stopped;
    if (starved) return Activity::stalled;
    return Activity::playing;
  }

  // On SDL's audio thread, under output->mutex.
  void fill(std::int16_t* samples, std::uint64_t frames, Clock::time_point now) {
    const DecodedMusic& pcm = music();
    const bool decodingDone = pcm.complete();  // read first: then the count below is final
    const std::uint64_t available = pcm.decodedFrames();
    const std::uint64_t before = handed;
    if (paused) {
      std::memset(samples, 0, frames * bytesPerFrame);
      return;
    }
    // A seek may have gone past what is decoded yet.
    const std::uint64_t given = available > before ? std::min(frames, available - before) : 0;
    if (given > 0) std::memcpy(samples, pcm.samples() + before * channelCount, given * bytesPerFrame);
    std::memset(samples + given * channelCount, 0, (frames - given) * bytesPerFrame);
    handed += given;
    // Out of decoded music before its end: the position waits for the decoder.
    starved = given < frames && !decodingDone;
    // What was handed before this call is what has been heard now, less what the driver holds.
    anchorFrame = before - std::min(before, output->queuedFrames);
    anchorTime = now;
    anchored = true;
  }

 private:
  // Under output->mutex: the next frame handed to the device is `frame`, and the position reads it
  // until the device has asked for more.
  void restartAt(std::uint64_t frame) {
    handed = frame;
    anchored = false;
    starved = false;
    lastReported = frame;
  }

  std::uint64_t audibleFrame() {
    std::uint64_t anchor = 0;
    std::uint64_t limit = 0;
    Clock::time_point at;
    {
      std::lock_guard lock(output->mutex);
      if (!anchored) return lastReported;
      anchor = anchorFrame;
      limit = handed;
      at = anchorTime;
    }
    // Between callbacks the device plays on at its rate; it cannot have played more than it got.
    const double since = std::chrono::duration<double>(Clock::now() - at).count();
    const auto advanced = static_cast<std::uint64_t>(std::max(0.0, since) * sampleRate);
    const std::uint64_t estimate = std::min(anchor + advanced, limit);
    // A late callback would otherwise pull the clock back by its lateness.
    lastReported = std::max(lastReported, estimate);
    return lastReported;
  }

  std::shared_ptr<Output> output;
  bool started = false;
  // Written by the callback, under output->mutex.
  std::uint64_t handed = 0;
  std::uint64_t anchorFrame = 0;
  Clock::time_point anchorTime;
  bool anchored = false;
  bool starved = false;
  bool paused = false;
  // Main thread only (written under output->mutex by restartAt, which also runs there).
  std::uint64_t lastReported = 0;
};

void fillCallback(void* user, Uint8* bytes, int length) {
  Output& output = *static_cast<Output*>(user);
  const Clock::time_point now = Clock::now();
  auto* samples = reinterpret_cast<std::int16_t*>(bytes);
  const auto frames = static_cast<std::uint64_t>(length) / bytesPerFrame;
  std::lock_guard lock(output.mutex);
  if (output.current == nullptr) {
    std::memset(bytes, 0, static_cast<std::size_t>(length));
    return;
  }
  output.current->fill(samples, frames, now);
}

class SdlAudioDevice final : public AudioDevice {
 public:
  explicit SdlAudioDevice(std::shared_ptr<Output> output) : output(std::move(output)) {}
  ~SdlAudioDevice() override { output->close(); }

  using AudioDevice::createStream;
  std::unique_ptr<MusicStream> createStream(std::shared_ptr<const DecodedMusic> music) override {
    if (!music) return nullptr;
    return std::make_unique<SdlStream>(output, std::move(music));
  }

 private:
  std::shared_ptr<Output> output;
};

}  // namespace

std::unique_ptr<AudioDevice> AudioDevice::openDefault() {
  if (!exitHookInstalled) {
    // Installed before the first device opens, so it runs before any static that exists now is destroyed.
    exitHookInstalled = std::atexit(closeAllAtExit) == 0;
  }
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;

  auto output = std::make_shared<Output>();
  SDL_AudioSpec wanted{};
  wanted.freq = sampleRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = channelCount;
  wanted.samples = bufferFrames;
  wanted.callback = fillCallback;
  wanted.userdata = output.get();
  SDL_AudioSpec obtained{};
  // No changes allowed: SDL converts to whatever the hardware takes, so positions stay in 44.1 kHz frames.
  output->id = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (output->id == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  // Drivers that play through a real device still hold about one buffer when they ask for the
  // next; the dummy and disk drivers consume a buffer only as they ask for the next one.
  const char* driver = SDL_GetCurrentAudioDriver();
  const std::string_view name = driver != nullptr ? driver : "";
  output->queuedFrames = (name == "dummy" || name == "disk") ? 0 : obtained.samples;
  {
    std::lock_guard lock(openOutputsMutex());
    output->nextOpen = openOutputs;
    openOutputs = output.get();
  }
  SDL_PauseAudioDevice(output->id, 0);
  return std::make_unique<SdlAudioDevice>(std::move(output));
}

}  // namespace glowmarch::audio
