// A video file made by Debian's ffmpeg program: raw pictures go down a pipe into it, the sound comes
// from a WAV file, and the container and codecs follow the file's extension.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace glowmarch {

struct VideoFormat {
  std::string muxer;       // ffmpeg's name for the container
  std::string videoCodec;  // ffmpeg's encoder names
  std::string audioCodec;
  int defaultCrf = 18;
  int largestCrf = 51;
};

// .mp4: H.264 and AAC; .mkv: H.264 and FLAC; .webm: VP9 and Opus; all yuv420p. None for anything else.
std::optional<VideoFormat> videoFormatFor(const std::string& path);

// The encoder speeds, fastest first: x264's own names (its default is "medium").
inline constexpr const char* encoderPresetNames[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                                     "medium",    "slow",      "slower",   "veryslow"};

struct VideoJob {
  VideoFormat format;
  std::string output;  // the file ffmpeg writes, in the format above whatever its name
  int width = 0;
  int height = 0;
  int fps = 60;
  int crf = 18;
  std::string preset;  // the encoder's speed by x264's names; empty: the encoder's default
  std::string sound;  // a WAV file to mux in, cut to the pictures' length; empty for pictures only
};

// How ffmpeg encodes the sound for the format: "-c:a", the encoder, and its bit rate where it takes one.
std::vector<std::string> soundArguments(const VideoFormat& format);

// A path as ffmpeg takes it: always a file, so a name with ':' is never read as a protocol.
std::string ffmpegPath(const std::string& path);

// ffmpeg's command line (without the program) for pictures of `job.width` x `job.height` RGBA bytes,
// bottom row first as GL reads them, on its standard input.
std::vector<std::string> ffmpegArguments(const VideoJob& job);

}  // namespace glowmarch
