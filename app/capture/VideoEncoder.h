// A video file made by Debian's ffmpeg program: raw pictures go down a pipe into it, the sound comes
// from a WAV file, and the container and codecs follow the file's extension.
#pragma once

#include <sys/types.h>

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

struct VideoJob {
  VideoFormat format;
  std::string output;  // the file ffmpeg writes, in the format above whatever its name
  int width = 0;
  int height = 0;
  int fps = 60;
  int crf = 18;
  std::string sound;  // a WAV file to mux in, cut to the pictures' length; empty for pictures only
};

// ffmpeg's command line (without the program) for pictures of `job.width` x `job.height` RGBA bytes,
// bottom row first as GL reads them, on its standard input.
std::vector<std::string> ffmpegArguments(const VideoJob& job);

// The full path of an executable `name` found in PATH; empty when there is none.
std::string findProgram(const std::string& name);

// One encoder process with a pipe to its standard input and its messages kept in an unnamed file.
// It dies with the thread that started it, so start it from the thread that lives longest.
class EncoderPipe {
 public:
  EncoderPipe() = default;
  // An encoder still running is killed and waited for.
  ~EncoderPipe();
  EncoderPipe(const EncoderPipe&) = delete;
  EncoderPipe& operator=(const EncoderPipe&) = delete;

  bool start(const std::string& program, const std::vector<std::string>& arguments, std::string& error);
  // All of `size` bytes, or false with the reason: for an encoder that went away, the way it ended.
  bool write(const std::uint8_t* data, std::size_t size, std::string& error);
  // Ends the input, waits for the encoder, and returns true when it finished its work.
  bool finish(std::string& error);
  // Kills it and waits: nothing it was making is complete.
  void abort();

  pid_t process() const { return child; }

 private:
  bool wait(std::string& error);
  std::string lastMessage() const;

  std::string name;
  pid_t child = -1;
  int input = -1;
  int messages = -1;
};

}  // namespace glowmarch
