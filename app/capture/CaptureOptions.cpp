#include "app/capture/CaptureOptions.h"

#include "app/capture/VideoEncoder.h"
#include "app/common/CommandLine.h"

namespace glowmarch {

namespace {

std::string readFps(const std::string& text, int& fps) {
  long value = 0;
  if (!readWholeNumber(text, value) || value < 1 || value > maxCaptureFps) {
    return "--fps takes a whole number of frames per second from 1 to " + std::to_string(maxCaptureFps) +
           ", not \"" + text + "\"";
  }
  fps = static_cast<int>(value);
  return {};
}

std::string readTime(const std::string& name, const std::string& text, double& seconds) {
  if (!readDecimal(text, seconds) || seconds < 0.0) {
    return name + " takes a time in seconds of music, 0 or more, not \"" + text + "\"";
  }
  if (seconds > 1e6) return name + " " + text + " lies beyond any show";
  return {};
}

std::string readPart(const std::string& text, int& part, int& parts) {
  const std::string bad = "--part takes K/N, the K-th of N equal parts, 1 <= K <= N <= " +
                          std::to_string(maxCaptureParts) + ", such as 2/4, not \"" + text + "\"";
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return bad;
  long k = 0;
  long n = 0;
  if (!readWholeNumber(text.substr(0, slash), k) || !readWholeNumber(text.substr(slash + 1), n)) return bad;
  if (n < 1 || n > maxCaptureParts || k < 1 || k > n) return bad;
  part = static_cast<int>(k);
  parts = static_cast<int>(n);
  return {};
}

std::string readCrf(const std::string& text, std::optional<int>& crf) {
  long value = 0;
  if (!readWholeNumber(text, value) || value < 0 || value > 63) {
    return "--crf takes a whole number, 0 (best) to 51 for H.264 or 63 for VP9, not \"" + text + "\"";
  }
  crf = static_cast<int>(value);
  return {};
}

// What only a whole command line shows.
std::string checkTogether(const CaptureOptions& options, bool outGiven) {
  if (options.to && *options.to <= options.from) return "--to must come after --from";
  if (!options.work.empty() && options.parts == 1) return "--work holds the files of a part; give --part K/N";
  if (options.video.empty()) {
    if (options.crf) return "--crf sets a video's quality; give --video FILE";
    return options.preset.empty() ? "" : "--preset sets a video encoder's speed; give --video FILE";
  }
  if (outGiven) return "--out is the folder for PNG frames; --video writes one file";
  const std::optional<VideoFormat> format = videoFormatFor(options.video);
  if (!format) return "--video FILE ends in .mp4, .mkv or .webm, not \"" + options.video + "\"";
  if (options.crf && *options.crf > format->largestCrf) {
    return "--crf for " + format->videoCodec + " goes from 0 to " + std::to_string(format->largestCrf) + ", not " +
           std::to_string(*options.crf);
  }
  // yuv420p keeps one colour sample per 2 x 2 pixels.
  if (options.width % 2 != 0 || options.height % 2 != 0) {
    return "a video in yuv420p needs an even width and height, not " + std::to_string(options.width) + "x" +
           std::to_string(options.height);
  }
  return {};
}

std::string readPreset(const std::string& text, std::string& preset) {
  std::string names;
  for (const char* known : encoderPresetNames) {
    if (text == known) {
      preset = text;
      return {};
    }
    names += (names.empty() ? "" : ", ") + std::string(known);
  }
  return "--preset takes one of " + names + ", not \"" + text + "\"";
}

std::string readName(const char* option, const char* what, const std::string& text, std::string& target) {
  if (text.empty()) return std::string(option) + " needs " + what;
  target = text;
  return {};
}

}  // namespace

ParsedCaptureOptions parseCaptureOptions(const std::vector<std::string>& arguments) {
  ParsedCaptureOptions parsed;
  CaptureOptions& o = parsed.options;
  bool outGiven = false;
  const std::vector<CommandOption> table = {
      {"--help", "-h", false, [&o](const std::string&) { return o.help = true, std::string(); }},
      {"--plan", nullptr, false, [&o](const std::string&) { return o.plan = true, std::string(); }},
      {"--out", nullptr, true,
       [&](const std::string& v) { return outGiven = true, readName("--out", "a folder", v, o.out); }},
      {"--video", nullptr, true, [&o](const std::string& v) { return readName("--video", "a file name", v, o.video); }},
      {"--work", nullptr, true, [&o](const std::string& v) { return readName("--work", "a folder", v, o.work); }},
      {"--crf", nullptr, true, [&o](const std::string& v) { return readCrf(v, o.crf); }},
      {"--preset", nullptr, true, [&o](const std::string& v) { return readPreset(v, o.preset); }},
      {"--part", nullptr, true, [&o](const std::string& v) { return readPart(v, o.part, o.parts); }},
      {"--fps", nullptr, true, [&o](const std::string& v) { return readFps(v, o.fps); }},
      {"--from", nullptr, true, [&o](const std::string& v) { return readTime("--from", v, o.from); }},
      {"--to", nullptr, true,
       [&o](const std::string& v) {
         double to = 0.0;
         std::string error = readTime("--to", v, to);
         o.to = to;
         return error;
       }},
      {"--size", nullptr, true,
       [&o](const std::string& v) { return readSize(v, maxCaptureDimension, "1920x1080", o.width, o.height); }},
  };
  parsed.error = readCommandLine(arguments, table);
  if (parsed.ok()) parsed.error = checkTogether(o, outGiven);
  return parsed;
}

std::string captureUsage() {
  return std::string("Usage: ") + captureProgram +
         " [options]\n"
         "Renders the show in the working folder (data/vesperscript.txt and the rest) offscreen at a fixed\n"
         "frame rate and writes numbered PNG frames and the music as a WAV file, or a video with sound.\n"
         "\n"
         "  --out DIR     folder for frame000000.png, frame000001.png, ... and music.wav (default: capture)\n"
         "  --video FILE  a video instead, made by ffmpeg: .mp4 (H.264, AAC), .mkv (H.264, FLAC) or\n"
         "                .webm (VP9, Opus), all yuv420p, so the size must be even\n"
         "  --crf N       the video's quality, lower is better (default: 18 for H.264, 31 for VP9)\n"
         "  --preset P    the encoder's speed: ultrafast, superfast, veryfast, faster, fast, medium, slow,\n"
         "                slower or veryslow (default: the encoder's own, medium for H.264)\n"
         "  --part K/N    only the K-th of N equal ranges of the frames, numbered as in the whole capture;\n"
         "                with --video, a segment of pictures and FILE's name with .wav for its sound\n"
         "  --fps N       frames per second of music, 1 to 1000 (default: 60)\n"
         "  --from S      first frame at S seconds of music; the script still runs from 0 (default: 0)\n"
         "  --to S        stop before S seconds (default: at \"END\" or the end of the music)\n"
         "  --size WxH    picture size in pixels (default: 1920x1080)\n"
         "  --work DIR    with --part, the part's files go into DIR: part-K/ for frames and music.wav, or\n"
         "                segment-K with FILE's extension and segment-K.wav\n"
         "  --plan        print what the command line would write, as JSON, and capture nothing\n"
         "  --help        this text\n"
         "\n"
         "The show's own output (its listing, \"Doing: \" lines, messages) goes to standard output as when\n"
         "it plays; the progress goes to standard error. Frame files are numbered from 0 whatever --from is.\n";
}

}  // namespace glowmarch
