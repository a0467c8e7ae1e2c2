#include "app/Capture.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/CaptureFiles.h"
#include "app/CaptureOptions.h"
#include "app/CapturePlan.h"
#include "app/CaptureTarget.h"
#include "app/Shell.h"
#include "audio/AudioDevice.h"
#include "effects/FrameValues.h"
#include "effects/ParticleLayout.h"
#include "effects/ShowState.h"
#include "timeline/FrameClock.h"
#include "timeline/Player.h"

namespace glowmarch {

namespace {

// Plain values only: the script's "END" ends the process inside a frame, and the handler that reports
// it runs while static objects are being destroyed.
struct Progress {
  bool capturing = false;
  bool terminal = false;
  std::uint64_t written = 0;
  std::uint64_t planned = 0;
};
Progress progress;

void reportEnd() {
  if (!progress.capturing) return;
  if (progress.terminal) std::fputs("\n", stderr);
  std::fprintf(stderr, "%s: the script's END ended the show; %llu of %llu frames written\n", captureProgram,
               static_cast<unsigned long long>(progress.written), static_cast<unsigned long long>(progress.planned));
}

int fail(const std::string& message) {
  if (progress.terminal && progress.capturing) std::fputs("\n", stderr);
  progress.capturing = false;
  std::fprintf(stderr, "%s: %s\n", captureProgram, message.c_str());
  return 1;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Redrawn in place on a terminal, a few times a second; elsewhere (a log) a line per tenth of the work.
class ProgressBar {
 public:
  ProgressBar(const CapturePlan& plan, bool terminal) : plan(plan), terminal(terminal) {}

  void show(std::uint64_t framesRun, double musicSeconds) {
    const double wall = secondsSince(start);
    if (framesRun == plan.first && plan.first > 0) writingSince = wall;
    const double phaseWall = framesRun >= plan.first ? wall - writingSince : wall;
    const bool last = framesRun >= plan.end;
    if (terminal) {
      if (!last && framesRun > 0 && wall - shownAt < 0.1) return;
      shownAt = wall;
      std::fprintf(stderr, "\r%s\033[K", progressText(plan, framesRun, musicSeconds, phaseWall).c_str());
      return;
    }
    const std::uint64_t tenth = framesRun * 10 / std::max<std::uint64_t>(plan.end, 1);
    if (framesRun > 0 && tenth == shownTenth && !last) return;
    shownTenth = tenth;
    std::fprintf(stderr, "%s\n", progressText(plan, framesRun, musicSeconds, phaseWall).c_str());
  }

  double elapsed() const { return secondsSince(start); }

 private:
  CapturePlan plan;
  bool terminal;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  double writingSince = 0.0;
  double shownAt = 0.0;
  std::uint64_t shownTenth = 0;
};

// The music of the frames written, and silence where they run past it, so sound and pictures last
// equally long.
bool writeMusic(const std::string& path, const audio::MusicStream* stream, const CapturePlan& plan,
                std::string& error) {
  const std::uint64_t begin = frameSample(plan.first, plan.fps);
  const std::uint64_t end = frameSample(plan.end, plan.fps);
  std::uint64_t heard = 0;
  const std::int16_t* samples = nullptr;
  if (stream != nullptr) {
    const std::uint64_t length = stream->music().length();
    heard = begin < length ? std::min(end, length) - begin : 0;
    samples = stream->music().samples() + begin * audio::channelCount;
  }
  return writeWav(path, samples, heard, end - begin - heard, error);
}

}  // namespace

int runCapture(const std::vector<std::string>& arguments) {
  const ParsedCaptureOptions parsed = parseCaptureOptions(arguments);
  if (!parsed.ok()) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", captureProgram, parsed.error.c_str(), captureProgram);
    return 2;
  }
  const CaptureOptions& options = parsed.options;
  if (options.help) {
    std::fputs(captureUsage().c_str(), stdout);
    return 0;
  }
  std::string error;
  if (!prepareCaptureFolder(options.out, error)) return fail(error);
  const std::filesystem::path folder(options.out);

  // Everything that could differ between two runs starts as at the start of the process.
  // After the music ends the show runs on the millisecond clock, and its frame delta moves objects,
  // so it must follow the frames and not the machine's speed.
  FrameClock clock;
  clearShowState();

  CaptureTarget target;
  if (!target.open(options.width, options.height, error)) return fail("cannot draw offscreen: " + error);
  // Whatever way this ends, the show's objects go while their context still stands, as in the player.
  struct ShowCleanup {
    ~ShowCleanup() { clearShowState(); }
  } cleanup;

  // The music is positioned frame by frame, never heard: no sound device is opened.
  auto player = std::make_unique<Player>(AudioOpener([] { return std::make_unique<audio::ManualDevice>(); }));
  auto* stream = dynamic_cast<audio::ManualStream*>(player->stream.get());
  std::optional<std::uint64_t> musicFrames;
  if (stream != nullptr) {
    // Whole before the first frame: the file is written, and the spectra never wait.
    stream->music().waitForFrames(stream->music().length());
    musicFrames = stream->music().length();
  }
  const std::optional<CapturePlan> plan = planCapture(options.fps, options.from, options.to, musicFrames);
  if (!plan) return fail(std::string("no music (") + musicPath + ") to end the capture; give --to");
  if (plan->count() == 0) {
    char end[64];
    std::snprintf(end, sizeof end, "%.3f", frameSeconds(plan->end, plan->fps));
    return fail(std::string("nothing to capture: the music ends at ") + end + " s, before --from");
  }
  if (plan->count() > maxCaptureFrames) {
    return fail("more than " + std::to_string(maxCaptureFrames) + " frames; capture the show in parts");
  }

  // Before any frame: the script's "END" may end the process in any frame after this.
  if (!writeMusic((folder / captureWavName).string(), stream, *plan, error)) return fail(error);

  progress.terminal = isatty(STDERR_FILENO) != 0;
  progress.planned = plan->count();
  progress.written = 0;
  progress.capturing = true;
  static const bool endReported = std::atexit(reportEnd) == 0;
  (void)endReported;

  ProgressBar bar(*plan, progress.terminal);
  std::vector<std::uint8_t> pixels;
  bar.show(0, frameSeconds(0, plan->fps));
  // The frames before the first are run without drawing, but for the last of them, drawn into one
  // pixel: it leaves GL as the frames drawn before it would.
  const std::uint64_t start = plan->first > 0 ? plan->first - 1 : 0;
  seekFrames(*player, clock, 0, start, plan->fps);
  for (std::uint64_t frame = start; frame < plan->end; ++frame) {
    const bool written = frame >= plan->first;
    clock.set(*player, frame, plan->fps);
    if (frame == start || frame == plan->first) target.drawOnePixel(!written);
    const bool goesOn = player->runFrame();
    if (written) {
      target.read(pixels);
      const std::string name = (folder / frameFileName(frame - plan->first)).string();
      if (!writeFramePng(name, pixels.data(), target.width(), target.height(), error)) return fail(error);
      progress.written = frame - plan->first + 1;
    }
    bar.show(frame + 1, musicTime);
    // The player's frames always go on; a show that ends is ended here too.
    if (!goesOn) break;
  }
  progress.capturing = false;
  if (progress.terminal) std::fputs("\n", stderr);
  std::fprintf(stderr, "%s: %llu frames at %d fps (%.3f s to %.3f s of music) and %s in %s, %.1f s\n",
               captureProgram, static_cast<unsigned long long>(progress.written), plan->fps,
               frameSeconds(plan->first, plan->fps), frameSeconds(plan->end, plan->fps), captureWavName,
               options.out.c_str(), bar.elapsed());
  return 0;
}

}  // namespace glowmarch
