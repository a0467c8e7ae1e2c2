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
#include "resources/Utf8Path.h"
#include "resources/WholeFile.h"
#include "timeline/FrameClock.h"
#include "timeline/Platform.h"
#include "timeline/Player.h"
#include "timeline/Script.h"

namespace glowmarch {

namespace {

namespace fs = std::filesystem;

bool progressOnTerminal = false;

int fail(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", captureProgram, message.c_str());
  return 1;
}

std::string secondsText(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
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
    error = "cannot make the folder " + nativeUtf8(folder) + ": " + (failure ? failure.message() : "it is not a folder");
    return false;
  }
  std::string reason;
  if (!system::canWriteIn(folder, reason)) {
    error = "cannot write in " + nativeUtf8(folder) + ": " + reason;
    return false;
  }
  return true;
}

// Where one capture, or one part of it, puts its files.
struct Places {
  fs::path frames;  // the folder of the frames and music.wav; empty for a video
  fs::path video;   // empty for frames
  fs::path sound;   // music.wav, a part's sound, or the video's sound on its way into the encoder
  bool keepSound = true;
};

Places placesOf(const CaptureOptions& options, int part) {
  Places places;
  const bool video = !options.video.empty();
  const std::string number = std::to_string(part);
  if (!options.work.empty() && options.parts > 1) {
    const fs::path work = pathFromUtf8(options.work);
    if (video) {
      places.video = work / ("segment-" + number + nativeUtf8(pathFromUtf8(options.video).extension()));
      places.sound = work / ("segment-" + number + ".wav");
    } else {
      places.frames = work / ("part-" + number);
      places.sound = places.frames / captureWavName;
    }
    return places;
  }
  if (video) {
    places.video = pathFromUtf8(options.video);
    places.sound = pathFromUtf8(options.video).replace_extension(".wav");
    // A part's pictures are a segment to be joined; its sound is joined apart and encoded once.
    places.keepSound = options.parts > 1;
  } else {
    places.frames = pathFromUtf8(options.out);
    places.sound = places.frames / captureWavName;
  }
  return places;
}

// A JSON string: the bytes of a name as they are, with quotes, backslashes and control bytes escaped.
std::string jsonText(const std::string& text) {
  std::string json = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

std::string jsonPath(const fs::path& path) { return jsonText(nativeUtf8(fs::absolute(path).lexically_normal())); }

std::string jsonList(const std::vector<std::string>& words) {
  std::string json = "[";
  for (const std::string& word : words) json += (json.size() > 1 ? ", " : "") + jsonText(word);
  return json + "]";
}

// What the command line would write, for a program that runs the parts (scripts/capture-farm).
std::string planJson(const CaptureOptions& options, const CapturePlan& whole) {
  const bool video = !options.video.empty();
  std::string json = "{\"fps\": " + std::to_string(whole.fps) + ", \"first\": " + std::to_string(whole.first) +
                     ", \"end\": " + std::to_string(whole.end) + ", \"width\": " + std::to_string(options.width) +
                     ", \"height\": " + std::to_string(options.height) + ",\n";
  if (video) {
    const VideoFormat format = *videoFormatFor(options.video);
    json += " \"video\": " + jsonPath(pathFromUtf8(options.video)) + ", \"container\": " + jsonText(format.muxer) +
            ", \"video codec\": " + jsonText(format.videoCodec) + ", \"sound\": " + jsonList(soundArguments(format)) +
            ",\n";
  } else {
    json += " \"frames\": " + jsonPath(pathFromUtf8(options.out)) +
            ", \"music\": " + jsonPath(pathFromUtf8(options.out) / captureWavName) + ",\n";
  }
  json += " \"parts\": [";
  for (int part = 1; part <= options.parts; ++part) {
    const FrameSpan span = partOfFrames(whole.first, whole.end, part, options.parts);
    const Places places = placesOf(options, part);
    json += std::string(part > 1 ? ",\n  " : "\n  ") + "{\"part\": " + std::to_string(part) +
            ", \"first\": " + std::to_string(span.first) + ", \"end\": " + std::to_string(span.end) + ", " +
            (video ? "\"video\": " + jsonPath(places.video) : "\"frames\": " + jsonPath(places.frames)) +
            ", \"sound\": " + jsonPath(places.sound) + "}";
  }
  return json + "]}\n";
}

// Marks a folder of frames as being written until the capture into it is complete: a folder holding
// frames and this mark is an unfinished capture, which a new one may replace.
constexpr const char* unfinishedMark = ".glowmarch-capture-unfinished";

// Everything the capture makes, under temporary names until each is complete.
struct Outputs {
  Places places;
  std::unique_ptr<TemporaryFile> sound;
  std::unique_ptr<CaptureOutput> pictures;
  bool marked = false;
  std::string shownName;  // the place named in the closing line

  ~Outputs() {
    // Whatever is not complete goes before the files it would write into do.
    if (pictures) pictures->abandon();
  }

  // Writes everything queued and puts each file under its own name, the sound last: a part whose
  // sound is in place is whole.
  bool finish(std::string& error) {
    if (pictures && !pictures->finish(error)) return false;
    pictures.reset();
    if (marked) {
      std::error_code ignored;
      fs::remove(places.frames / unfinishedMark, ignored);
      marked = false;
    }
    if (!sound) return true;
    if (!places.keepSound) {
      sound.reset();
      return true;
    }
    return sound->complete(error);
  }
};

std::optional<std::uint64_t> musicLength(const audio::MusicStream* stream) {
  if (stream == nullptr) return std::nullopt;
  return stream->music().length();
}

// The frame the script's "END" ends the show in, read from the script file without playing the show
// or printing anything.
std::optional<std::uint64_t> scriptEndOf(const CapturePlan& plan, std::optional<std::uint64_t> musicFrames) {
  std::optional<FileBytes> text = readWholeFile(scriptPath);
  if (!text) return std::nullopt;
  // Cut into lines in place, with the spare byte after the text.
  return scriptEndFrame(splitScript(text->data.get(), text->size), plan.fps, musicFrames, plan.askedEnd);
}

std::string endsTooSoon(std::uint64_t endFrame, std::uint64_t first, int fps) {
  return "the show ends at " + secondsText(frameSeconds(endFrame, fps)) + " s, before the capture's first frame at " +
         secondsText(frameSeconds(first, fps)) + " s; nothing written";
}

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
  const bool writes = !options.drawOnly && !options.plan;
  if (options.plan) {
    // The music's length comes from its pre-scan; nothing is drawn.
    const std::shared_ptr<audio::DecodedMusic> music = audio::DecodedMusic::open(musicPath);
    const std::optional<std::uint64_t> frames = music ? std::optional(music->length()) : std::nullopt;
    std::optional<CapturePlan> whole = planCapture(options.fps, options.from, options.to, frames);
    if (!whole) return fail(std::string("no music (") + musicPath + ") to end the capture; give --to");
    stopAtScriptEnd(*whole, scriptEndOf(*whole, frames));
    if (whole->scriptEnd && *whole->scriptEnd <= whole->first) {
      return fail(endsTooSoon(*whole->scriptEnd, whole->first, whole->fps));
    }
    std::fputs(planJson(options, *whole).c_str(), stdout);
    return 0;
  }
  // Without its encoder a video capture writes nothing, not even a folder.
  const std::string ffmpeg = writes && video ? findProgram("ffmpeg") : "";
  if (writes && video && ffmpeg.empty()) {
    return fail(programMissing("ffmpeg") + "; without --video the capture writes PNG frames");
  }
  Outputs out;
  out.places = placesOf(options, options.part);
  if (writes && !video && !prepareCaptureFolder(nativeUtf8(out.places.frames), unfinishedMark, error)) return fail(error);
  if (writes && video && !prepareFolderOf(out.places.video, error)) return fail(error);

  // Everything that could differ between two runs starts as at the start of the process.
  // After the music ends the show runs on the millisecond clock, and its frame delta moves objects,
  // so it must follow the frames and not the machine's speed.
  FrameClock clock;
  clearShowState();

  HeadlessContext target;
  if (!target.open(options.width, options.height, error)) return fail("cannot draw offscreen: " + error);
  // Whatever way this ends, the show's objects go while their context still stands, as in the player.
  struct ShowCleanup {
    ~ShowCleanup() { clearShowState(); }
  } cleanup;

  // The music is positioned frame by frame, never heard: no sound device is opened.
  auto player = std::make_unique<Player>(AudioOpener([] { return std::make_unique<audio::ManualDevice>(); }));
  auto* stream = dynamic_cast<audio::ManualStream*>(player->stream.get());
  // Whole before the first frame: the file is written, and the spectra never wait.
  if (stream != nullptr) stream->music().waitForFrames(stream->music().length());
  std::optional<CapturePlan> whole = planCapture(options.fps, options.from, options.to, musicLength(stream));
  if (!whole) return fail(std::string("no music (") + musicPath + ") to end the capture; give --to");
  // Known before the first frame, so that the frames, the sound, the parts and the progress all stop
  // there; the frame it ends the show in still runs, so the lines due there print as the show plays.
  stopAtScriptEnd(*whole, player->over() ? std::optional<std::uint64_t>(0)
                                         : scriptEndFrame(player->scriptLines, whole->fps, musicLength(stream),
                                                          whole->askedEnd));
  if (whole->scriptEnd && *whole->scriptEnd <= whole->first) {
    if (!player->over()) seekFrames(*player, clock, 0, *whole->scriptEnd + 1, whole->fps);
    return fail(endsTooSoon(*whole->scriptEnd, whole->first, whole->fps));
  }
  if (whole->count() == 0) {
    return fail("nothing to capture: the music ends at " + secondsText(frameSeconds(whole->end, whole->fps)) +
                " s, before --from");
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

  // The frame in which the script's "END" ended the show, if it did.
  std::optional<std::uint64_t> endedIn;
  const auto endsBeforeTheFirstFrame = [&] {
    std::error_code ignored;
    if (out.marked) fs::remove(out.places.frames / unfinishedMark, ignored);
    out.marked = false;
    return fail(endsTooSoon(*endedIn, whole->first, plan.fps));
  };

  if (writes) {
    out.sound = std::make_unique<TemporaryFile>(out.places.sound);
    if (!writeMusic(nativeUtf8(out.sound->temporary()), stream, plan, error)) return fail(error);
    if (video && plan.count() > 0) {
      const VideoFormat format = *videoFormatFor(options.video);
      VideoJob job;
      job.format = format;
      job.output = nativeUtf8(out.places.video);
      job.width = options.width;
      job.height = options.height;
      job.fps = options.fps;
      job.crf = options.crf.value_or(format.defaultCrf);
      job.preset = options.preset;
      if (!out.places.keepSound) job.sound = nativeUtf8(out.sound->temporary());
      out.pictures = videoFile(job, ffmpeg, error);
      if (!out.pictures) return fail(error);
      out.shownName = " in " + nativeUtf8(out.places.video);
      if (out.places.keepSound) out.shownName += " and " + nativeUtf8(out.places.sound);
    } else if (video) {
      out.shownName = " in " + nativeUtf8(out.places.sound);
    } else {
      out.marked = markUnfinished(out.places.frames / unfinishedMark, error);
      if (!out.marked) return fail(error);
      out.pictures = pngFrames(out.places.frames, target.width(), target.height());
      out.shownName = std::string(" and ") + captureWavName + " in " + nativeUtf8(out.places.frames);
    }
  }

  progressOnTerminal = system::standardErrorIsTerminal();
  ProgressBar bar(plan, progressOnTerminal);
  bar.show(0, frameSeconds(0, plan.fps));
  endedIn = seekToFrame(*player, clock, plan.first, plan.fps);
  if (plan.first > 0) bar.show(plan.first, frameSeconds(plan.first, plan.fps));
  std::uint64_t written = 0;
  const auto framesStart = std::chrono::steady_clock::now();
  const double cpuStart = system::processCpuSeconds() + system::childrenCpuSeconds();
  const bool reachesEnd = whole->scriptEnd && plan.end == *whole->scriptEnd;
  for (std::uint64_t frame = plan.first; (frame < plan.end || (reachesEnd && frame == plan.end)) && !endedIn; ++frame) {
    clock.set(*player, frame, plan.fps);
    if (!player->runFrame()) {
      // The script's "END": this frame is not drawn, and the show is over.
      endedIn = frame;
      break;
    }
    if (frame >= plan.end) break;
    if (out.pictures) {
      std::vector<std::uint8_t>* picture = out.pictures->take();
      // A writer failed: its reason comes from finishing.
      if (picture == nullptr) break;
      target.read(*picture);
      out.pictures->queue(picture, frame - whole->first);
      ++written;
    } else if (!writes) {
      if (options.keep != nullptr) {
        options.keep->emplace_back();
        target.read(options.keep->back());
      }
      glFinish();
      ++written;
    }
    bar.show(frame + 1, musicTime);
  }
  if (progressOnTerminal) std::fputs("\n", stderr);
  if (endedIn && *endedIn <= whole->first) return endsBeforeTheFirstFrame();
  if (endedIn && written == 0 && out.pictures) {
    // A part whose frames all lie past the END: its sound still covers its span, as in the whole
    // capture, but a video of no pictures would be no video.
    out.pictures->abandon();
    out.pictures.reset();
  }
  if (writes && !out.finish(error)) return fail(error);
  if (times != nullptr) {
    times->frames = written;
    times->seconds = secondsSince(framesStart);
    times->cpuSeconds = system::processCpuSeconds() + system::childrenCpuSeconds() - cpuStart;
  }
  if (!writes) return 0;
  if (endedIn) {
    std::fprintf(stderr, "%s: the script's END ended the show at %s s; %llu of %llu frames written\n", captureProgram,
                 secondsText(frameSeconds(*endedIn, plan.fps)).c_str(), static_cast<unsigned long long>(written),
                 static_cast<unsigned long long>(plan.askedEnd > plan.first ? plan.askedEnd - plan.first : 0));
  }
  std::fprintf(stderr, "%s: %llu frames at %d fps (%.3f s to %.3f s of music)%s%s, %.1f s\n",
               captureProgram, static_cast<unsigned long long>(written), plan.fps,
               frameSeconds(plan.first, plan.fps), frameSeconds(plan.end, plan.fps), partName.c_str(),
               out.shownName.c_str(), bar.elapsed());
  return 0;
}

}  // namespace glowmarch
