// Where the pictures of a capture go, off the drawing thread: numbered PNG files or a video encoder.
// Files are made under temporary names and take their own names only when complete, so nothing
// half-written ever looks finished, whether the capture fails, is interrupted or killed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/capture/VideoEncoder.h"

namespace glowmarch {

// A file being made at `temporary()`, renamed to its own name by `complete`; removed when the
// object goes without that, and by an interruption (SIGINT, SIGTERM, SIGHUP) of the program.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::filesystem::path finalPath);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Beside the final file, hidden, so an encoder's pattern or a file browser takes no notice of it.
  const std::filesystem::path& temporary() const { return made; }
  const std::filesystem::path& path() const { return target; }
  bool complete(std::string& error);

 private:
  std::filesystem::path target;
  std::filesystem::path made;
  int slot = -1;
};

class CaptureOutput {
 public:
  virtual ~CaptureOutput() = default;
  // A buffer to read the next picture into (RGBA, bottom row first); nullptr once writing has
  // failed, so drawing stops.
  virtual std::vector<std::uint8_t>* take() = 0;
  // Hands the buffer back to be written as frame `index` (numbered as in the whole capture).
  virtual void queue(std::vector<std::uint8_t>* picture, std::uint64_t index) = 0;
  // Writes everything queued and puts each file under its own name; false with the first failure.
  virtual bool finish(std::string& error) = 0;
  // No more is written; whatever is not complete goes.
  virtual void abandon() = 0;
};

// frame%06d.png files in `folder`, encoded by a worker per core.
std::unique_ptr<CaptureOutput> pngFrames(const std::filesystem::path& folder, int width, int height);

// `job.output` (under a temporary name while it is made) written by the program `ffmpeg`. Says why
// in `error` and gives nothing when it cannot be started or the folder takes no file.
std::unique_ptr<CaptureOutput> videoFile(VideoJob job, const std::string& ffmpeg, std::string& error);

}  // namespace glowmarch
