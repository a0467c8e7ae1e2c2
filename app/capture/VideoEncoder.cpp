#include "app/capture/VideoEncoder.h"

#include <filesystem>

#include "resources/Utf8Path.h"

namespace glowmarch {

namespace {

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

}  // namespace

std::optional<VideoFormat> videoFormatFor(const std::string& path) {
  const std::string extension = lowered(nativeUtf8(pathFromUtf8(path).extension()));
  if (extension == ".mp4") return VideoFormat{"mp4", "libx264", "aac", 18, 51};
  if (extension == ".mkv") return VideoFormat{"matroska", "libx264", "flac", 18, 51};
  // VP9's scale runs to 63; 31 is its usual choice for full HD.
  if (extension == ".webm") return VideoFormat{"webm", "libvpx-vp9", "libopus", 31, 63};
  return std::nullopt;
}

std::vector<std::string> soundArguments(const VideoFormat& format) {
  std::vector<std::string> a = {"-c:a", format.audioCodec};
  if (format.audioCodec == "aac") a.insert(a.end(), {"-b:a", "192k"});
  if (format.audioCodec == "libopus") a.insert(a.end(), {"-b:a", "160k"});
  return a;
}

std::string ffmpegPath(const std::string& path) { return "file:" + path; }

std::vector<std::string> ffmpegArguments(const VideoJob& job) {
  std::vector<std::string> a = {"-hide_banner", "-nostdin", "-nostats", "-loglevel", "error", "-y",
                                "-f", "rawvideo", "-pix_fmt", "rgba",
                                "-video_size", std::to_string(job.width) + "x" + std::to_string(job.height),
                                "-framerate", std::to_string(job.fps), "-i", "pipe:0"};
  if (!job.sound.empty()) a.insert(a.end(), {"-i", ffmpegPath(job.sound)});
  a.insert(a.end(), {"-map", "0:v"});
  if (!job.sound.empty()) a.insert(a.end(), {"-map", "1:a"});
  // GL reads the bottom row first; players want yuv420p.
  a.insert(a.end(), {"-vf", "vflip", "-pix_fmt", "yuv420p", "-c:v", job.format.videoCodec, "-crf",
                     std::to_string(job.crf)});
  if (job.format.videoCodec == "libvpx-vp9") {
    // Constant quality needs a bitrate of 0; rows in parallel use more than one core.
    a.insert(a.end(), {"-b:v", "0", "-row-mt", "1"});
    if (!job.preset.empty()) {
      // VP9's speed runs from 0 (slowest) to 5 at its "good" quality; x264's names map onto it.
      static const char* const speeds[] = {"5", "5", "4", "3", "2", "1", "0", "0", "0"};
      std::size_t index = 0;
      while (index + 1 < std::size(speeds) && encoderPresetNames[index] != job.preset) ++index;
      a.insert(a.end(), {"-deadline", "good", "-cpu-used", speeds[index]});
    }
  } else if (!job.preset.empty()) {
    a.insert(a.end(), {"-preset", job.preset});
  }
  if (!job.sound.empty()) {
    const std::vector<std::string> sound = soundArguments(job.format);
    a.insert(a.end(), sound.begin(), sound.end());
    // The sound covers the span asked for; the script's END may stop the pictures before it.
    a.push_back("-shortest");
  }
  // The index at the front, so a player can start before the whole file has arrived.
  if (job.format.muxer == "mp4") a.insert(a.end(), {"-movflags", "+faststart"});
  a.insert(a.end(), {"-f", job.format.muxer, ffmpegPath(job.output)});
  return a;
}

}  // namespace glowmarch
