// The SDL2 output backend. Implements AudioDevice::openDefault and its streams:
// - the default device at 44100 Hz, 16-bit stereo, fed from SDL's audio thread by a callback;
// - the audible position: frames handed to the device minus what the driver still holds,
//   interpolated with the wall clock between callbacks and never running backwards but by a seek;
// - pausing and seeking without a click: the music fades out over at most 5 ms, from where it is
//   handed out, and in again from where it stops or from the frame sought; nothing is heard twice
//   and nothing skipped but what a seek skips, and a fade never moves the position; before the
//   output closes, the fade out can be waited for;
// - closing every open device at process exit, before anything the callback reads goes away.
#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "audio/AudioDevice.h"

namespace glowmarch::audio {

namespace {

using Clock = std::chrono::steady_clock;

// About 23 ms per callback: small enough for a tight clock, large enough not to underrun.
constexpr Uint16 bufferFrames = 1024;
// A seam's fade, each way: 220 frames, just under 5 ms.
constexpr int fadeFrames = 220;

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
    quietFills = 0;
    if (paused) {
      // On from the frame after the last one handed out, which the position reads until the
      // device asks for more.
      paused = false;
      anchored = false;
    }
    return true;
  }

  bool pause() override {
    std::lock_guard lock(output->mutex);
    if (!started || output->id == 0 || output->current != this) return false;
    if (paused) return true;
    paused = true;
    quietFills = 0;
    // What the device holds plays out and the music fades out from where it is handed out, so
    // nothing is heard twice on resuming: the position is the frame after the fade.
    lastReported = std::max(lastReported, stopFrame());
    anchored = false;
    return true;
  }

  void fadeOutAndWait() override {
    if (!pause()) return;
    const Clock::time_point giveUp = Clock::now() + std::chrono::milliseconds(250);
    while (Clock::now() < giveUp) {
      {
        std::lock_guard lock(output->mutex);
        // The buffer that holds the end of the fade has been played once the device asked for two
        // more (a device that keeps a buffer of its own holds one of them).
        if (quietFills >= 2 || output->id == 0 || output->current != this) return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  void seek(std::uint64_t frame) override {
    std::lock_guard lock(output->mutex);
    quietFills = 0;
    lastReported = frame;
    anchored = false;
    starved = false;
    if (!started || gain == 0) {
      // Nothing sounds: the frame is the next handed out, faded in.
      handed = frame;
      target.reset();
      gain = 0;
      return;
    }
    // The music fades out from where it is, then goes on from the frame sought.
    target = frame;
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
    if (paused && gain == 0 && !target) ++quietFills;
    std::uint64_t given = 0;
    std::uint64_t out = 0;
    bool jumped = false;
    for (; out < frames; ++out) {
      if (handed >= available) {
        // Past what is decoded (the music's end) nothing sounds, so nothing is left to fade: a seek
        // that waits for the fade out takes its frame now, and what comes next fades in.
        gain = 0;
        if (!target) break;
      }
      if ((paused || target) && gain == 0) {
        // Faded out: a seek takes its frame now; a pause gives silence.
        if (!target) break;
        handed = *target;
        target.reset();
        jumped = true;
        if (paused) break;
      }
      const bool sounding = !paused && !target;
      // The frame sought may lie past what is decoded yet.
      if (handed >= available) break;
      gain = sounding ? std::min(gain + 1, fadeFrames) : gain - 1;
      const std::int16_t* frame = pcm.samples() + handed * channelCount;
      for (int channel = 0; channel < channelCount; ++channel) {
        samples[out * channelCount + channel] =
            gain == fadeFrames ? frame[channel]
                               : static_cast<std::int16_t>(static_cast<std::int32_t>(frame[channel]) * gain / fadeFrames);
      }
      ++handed;
      ++given;
    }
    std::memset(samples + out * channelCount, 0, (frames - out) * bytesPerFrame);
    // Out of decoded music before its end: the position waits for the decoder.
    starved = given < frames && !paused && !decodingDone;
    // What was handed before this call is what has been heard now, less what the driver holds; across
    // a seek's jump that is not known until the next call, and the position stays at the frame sought.
    if (jumped) return;
    anchorFrame = before - std::min(before, output->queuedFrames);
    anchorTime = now;
    anchored = true;
  }

 private:
  // Under output->mutex: the frame after the last that a fade out from here hands out.
  std::uint64_t stopFrame() const {
    // A seek pending stops at its frame, before anything of it is heard.
    if (target) return *target;
    return std::min(handed + static_cast<std::uint64_t>(gain), std::max(music().decodedFrames(), handed));
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
  std::optional<std::uint64_t> target;  // a frame sought, taken once the music has faded out
  int gain = fadeFrames;                // of fadeFrames; a fresh stream starts at full level
  int quietFills = 0;                   // calls that found the music paused and faded out
  // Main thread only: the position, pause and seek read and write it (pause and seek under output->mutex).
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
  // Drivers that play through a device of their own still hold about one buffer when they ask for
  // the next. The dummy and disk drivers consume a buffer only as they ask for the next one, and a
  // PulseAudio server asks once it has played out what it held: measured through a null sink's
  // monitor, counting a buffer there put the picture 22 ms behind the sound, none 6 ms ahead.
  const char* driver = SDL_GetCurrentAudioDriver();
  const std::string_view name = driver != nullptr ? driver : "";
  output->queuedFrames = (name == "dummy" || name == "disk" || name == "pulseaudio") ? 0 : obtained.samples;
  {
    std::lock_guard lock(openOutputsMutex());
    output->nextOpen = openOutputs;
    openOutputs = output.get();
  }
  SDL_PauseAudioDevice(output->id, 0);
  return std::make_unique<SdlAudioDevice>(std::move(output));
}

}  // namespace glowmarch::audio
