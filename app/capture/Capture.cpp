#include "app/capture/Capture.h"

#include <GL/glew.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "app/capture/CaptureFiles.h"
#include "app/capture/CaptureOutput.h"
#include "app/capture/CapturePart.h"
#include "app/capture/CapturePlan.h"
#include "app/common/HeadlessContext.h"
#include "app/platform/EncoderPipe.h"
#include "app/platform/System.h"
#include "audio/AudioDevice.h"
#include "effects/FrameValues.h"
#include "effects/ShowState.h"
#include "timeline/FrameClock.h"
#include "timeline/Platform.h"
#include "timeline/Player.h"

namespace glowmarch {

namespace {

namespace fs = std::filesystem;

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

// What the script's "END" does while frames are being written: the frames drawn so far are written
// and put in place, then the process ends as the player's would.
std::function<bool(std::string&)> finishOnEnd;

void endCapture(int status) {
  std::string error;
  if (finishOnEnd && !finishOnEnd(error)) {
    fail(error);
    std::fflush(stdout);
    std::_Exit(1);
  }
  std::exit(status);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Redrawn in place on a terminal, a few times a second; elsewhere (a log, the farm) a line per tenth
// of the work and at least one every few seconds.
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
    if (framesRun > 0 && tenth == shownTenth && !last && wall - shownAt < logSeconds) return;
    shownTenth = tenth;
    shownAt = wall;
    std::fprintf(stderr, "%s\n", progressText(plan, framesRun, musicSeconds, phaseWall).c_str());
  }

  double elapsed() const { return secondsSince(start); }

 private:
  static constexpr double logSeconds = 5.0;
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

// The folder a file goes into, made if missing, and open to writing.
bool prepareFolderOf(const fs::path& file, std::string& error) {
  const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  std::error_code failure;
  if (!fs::is_directory(folder, failure)) fs::create_directories(folder, failure);
  if (!fs::is_directory(folder, failure)) {
    error = "cannot make the folder " + folder.string() + ": " + (failure ? failure.message() : "it is not a folder");
    return false;
  }
  if (access(folder.c_str(), W_OK) != 0) {
    error = "cannot write in " + folder.string() + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

// Everything the capture makes, where it goes and under what name while it is made.
struct Outputs {
  std::unique_ptr<TemporaryFile> sound;  // the WAV: music.wav, a part's sound, or the video's input
  bool keepSound = true;                 // a video's own sound is only its encoder's input
  bool soundPlaced = false;
  std::unique_ptr<CaptureOutput> pictures;
  std::string shownName;                 // the place named in the closing line
};

}  // namespace

int runCapture(const std::vector<std::string>& arguments) {
  const ParsedCaptureOptions parsed = parseCaptureOptions(arguments);
  if (!parsed.ok()) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", captureProgram, parsed.error.c_str(), captureProgram);
    return 2;
  }
  if (parsed.options.help) {
    std::fputs(captureUsage().c_str(), stdout);
    return 0;
  }
  return runCapture(parsed.options, nullptr);
}

int runCapture(const CaptureOptions& options, CaptureTimes* times) {
  std::string error;
  const bool video = !options.video.empty();
  const bool writes = !options.drawOnly;
  if (writes && !video && !prepareCaptureFolder(options.out, error)) return fail(error);
  if (writes && video && !prepareFolderOf(options.video, error)) return fail(error);
  const std::string ffmpeg = writes && video ? findProgram("ffmpeg") : "";
  if (writes && video && ffmpeg.empty()) {
    return fail("ffmpeg is not installed (scripts/setup installs it); without --video the capture writes PNG frames");
  }
  const fs::path folder(options.out);

  // Everything that could differ between two runs starts as at the start of the process.
  // After the music ends the show runs on the millisecond clock, and its frame delta moves objects,
  // so it must follow the frames and not the machine's speed.
  FrameClock clock;
  clearShowState();

  HeadlessContext target;
  if (!target.open(options.width, options.height, error)) return fail("cannot draw offscreen: " + error);
  // Whatever way this ends, the show's objects go while their context still stands, as in the player.
  struct ShowCleanup {
    ~ShowCleanup() {
      clearShowState();
      setProcessEnd(nullptr);
      finishOnEnd = nullptr;
    }
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
  const std::optional<CapturePlan> whole = planCapture(options.fps, options.from, options.to, musicFrames);
  if (!whole) return fail(std::string("no music (") + musicPath + ") to end the capture; give --to");
  if (whole->count() == 0) {
    char end[64];
    std::snprintf(end, sizeof end, "%.3f", frameSeconds(whole->end, whole->fps));
    return fail(std::string("nothing to capture: the music ends at ") + end + " s, before --from");
  }
  if (whole->count() > maxCaptureFrames) {
    return fail("more than " + std::to_string(maxCaptureFrames) + " frames; capture the show in pieces with --from and --to");
  }
  // A part is a capture of its own frames, numbered as in the whole.
  const FrameSpan span = partOfFrames(whole->first, whole->end, options.part, options.parts);
  CapturePlan plan = *whole;
  plan.first = span.first;
  plan.end = span.end;
  const std::string partName =
      options.parts > 1 ? " (part " + std::to_string(options.part) + "/" + std::to_string(options.parts) + ")" : "";

  // Before any frame: the script's "END" may end the process in any frame after this.
  Outputs out;
  if (writes) {
    fs::path soundPath = folder / captureWavName;
    if (video) {
      soundPath = fs::path(options.video).replace_extension(".wav");
      out.keepSound = options.parts > 1;
    }
    out.sound = std::make_unique<TemporaryFile>(soundPath);
    if (!writeMusic(out.sound->temporary().string(), stream, plan, error)) return fail(error);
    if (!video) {
      if (!out.sound->complete(error)) return fail(error);
      out.soundPlaced = true;
    }
    out.shownName = " in " + soundPath.string();
    if (video && plan.count() > 0) {
      const std::optional<VideoFormat> format = videoFormatFor(options.video);
      VideoJob job;
      job.format = *format;
      job.output = options.video;
      job.width = options.width;
      job.height = options.height;
      job.fps = options.fps;
      job.crf = options.crf.value_or(format->defaultCrf);
      // A part's pictures are a segment to be joined; its sound is joined apart and encoded once.
      if (options.parts == 1) job.sound = out.sound->temporary().string();
      out.pictures = videoFile(job, ffmpeg, error);
      if (!out.pictures) return fail(error);
      out.shownName = " in " + options.video + (out.keepSound ? " and " + soundPath.string() : "");
    } else if (!video) {
      out.pictures = pngFrames(folder, target.width(), target.height());
      out.shownName = std::string(" and ") + captureWavName + " in " + options.out;
    }
  }
  // Everything queued is written and each file put under its own name.
  const auto finishOutputs = [&out](std::string& finishError) {
    if (out.pictures && !out.pictures->finish(finishError)) return false;
    if (!out.sound || out.soundPlaced) return true;
    if (!out.keepSound) {
      out.sound.reset();
      return true;
    }
    out.soundPlaced = true;
    return out.sound->complete(finishError);
  };

  progress.terminal = system::standardErrorIsTerminal();
  progress.planned = plan.count();
  progress.written = 0;
  progress.capturing = writes;
  static const bool endReported = std::atexit(reportEnd) == 0;
  (void)endReported;
  finishOnEnd = [&out, &finishOutputs](std::string& endError) {
    // The END came before the first frame: a video of no pictures would be no video.
    if (progress.written == 0 && out.pictures) {
      out.pictures->abandon();
      out.pictures.reset();
    }
    return finishOutputs(endError);
  };
  if (writes) setProcessEnd(endCapture);

  ProgressBar bar(plan, progress.terminal);
  bar.show(0, frameSeconds(0, plan.fps));
  // The frames before the first are run without drawing, but for the last of them, drawn into one
  // pixel: it leaves GL as the frames drawn before it would.
  const std::uint64_t start = plan.first > 0 ? plan.first - 1 : 0;
  seekFrames(*player, clock, 0, start, plan.fps);
  const auto framesStart = std::chrono::steady_clock::now();
  for (std::uint64_t frame = start; frame < plan.end; ++frame) {
    const bool written = frame >= plan.first;
    clock.set(*player, frame, plan.fps);
    if (frame == start || frame == plan.first) target.drawOnePixel(!written);
    const bool goesOn = player->runFrame();
    if (written && out.pictures) {
      std::vector<std::uint8_t>* picture = out.pictures->take();
      // A writer failed: its reason comes from finishing.
      if (picture == nullptr) break;
      target.read(*picture);
      out.pictures->queue(picture, frame - whole->first);
      progress.written = frame - plan.first + 1;
    } else if (written && !writes) {
      glFinish();
      progress.written = frame - plan.first + 1;
    }
    bar.show(frame + 1, musicTime);
    // The player's frames always go on; a show that ends is ended here too.
    if (!goesOn) break;
  }
  setProcessEnd(nullptr);
  if (!finishOutputs(error)) return fail(error);
  if (times != nullptr) {
    times->frames = progress.written;
    times->seconds = secondsSince(framesStart);
  }
  progress.capturing = false;
  if (!writes) return 0;
  if (progress.terminal) std::fputs("\n", stderr);
  std::fprintf(stderr, "%s: %llu frames at %d fps (%.3f s to %.3f s of music)%s%s, %.1f s\n",
               captureProgram, static_cast<unsigned long long>(progress.written), plan.fps,
               frameSeconds(plan.first, plan.fps), frameSeconds(plan.end, plan.fps), partName.c_str(),
               out.shownName.c_str(), bar.elapsed());
  return 0;
}

}  // namespace glowmarch
