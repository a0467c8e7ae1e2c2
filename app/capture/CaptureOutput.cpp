#include "app/capture/CaptureOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/capture/CaptureFiles.h"
#include "app/capture/CapturePlan.h"
#include "app/capture/FrameQueue.h"
#include "app/platform/EncoderPipe.h"
#include "app/platform/Interruptions.h"
#include "app/platform/System.h"
#include "resources/Utf8Path.h"

namespace glowmarch {

namespace {

namespace fs = std::filesystem;

std::string systemError(const std::string& what, const fs::path& path) {
  return "cannot " + what + " " + nativeUtf8(path) + ": " + std::strerror(errno);
}

class PngFrames : public CaptureOutput {
 public:
  PngFrames(fs::path folder, int width, int height)
      : watching((interruptions::watch(), true)),
        queueOfFrames(frameWorkerCount(), frameWorkerCount() + 2,
                      [folder = std::move(folder), width, height](std::uint64_t index,
                                                                  const std::vector<std::uint8_t>& picture,
                                                                  std::string& error) {
                        // Frames are many and small: each is renamed when whole rather than tracked.
                        const fs::path name = folder / frameFileName(index);
                        const fs::path part = folder / (frameFileName(index) + ".part");
                        // An interruption removes it with the rest in flight.
                        const int slot = interruptions::claimSlot(nativeUtf8(part));
                        bool ok = writeFramePng(nativeUtf8(part), picture.data(), width, height, error);
                        std::string reason;
                        if (ok && !system::moveOver(part, name, reason)) {
                          error = "cannot rename " + nativeUtf8(part) + ": " + reason;
                          ok = false;
                        }
                        std::error_code ignored;
                        if (!ok) fs::remove(part, ignored);
                        interruptions::releaseSlot(slot);
                        return ok;
                      }) {}

  std::vector<std::uint8_t>* take() override { return queueOfFrames.take(); }
  void queue(std::vector<std::uint8_t>* picture, std::uint64_t index) override { queueOfFrames.queue(picture, index); }
  bool finish(std::string& error) override { return queueOfFrames.finish(error); }
  void abandon() override {
    std::string ignored;
    queueOfFrames.finish(ignored);
  }

 private:
  bool watching;
  FrameQueue queueOfFrames;
};

class VideoFile : public CaptureOutput {
 public:
  explicit VideoFile(const fs::path& target) : file(target) {}
  ~VideoFile() override { abandon(); }

  bool start(VideoJob job, const std::string& ffmpeg, std::string& error) {
    // The folder takes a file: tried now, before any frame is drawn.
    std::FILE* probe = std::fopen(nativeUtf8(file.temporary()).c_str(), "wb");
    if (probe == nullptr) {
      error = systemError("write", file.temporary());
      return false;
    }
    std::fclose(probe);
    job.output = nativeUtf8(file.temporary());
    if (!encoder.start(ffmpeg, ffmpegArguments(job), error)) return false;
    writer = std::make_unique<FrameQueue>(
        1, 3, [this](std::uint64_t, const std::vector<std::uint8_t>& picture, std::string& writeError) {
          return encoder.write(picture.data(), picture.size(), writeError);
        });
    return true;
  }

  std::vector<std::uint8_t>* take() override { return writer->take(); }
  void queue(std::vector<std::uint8_t>* picture, std::uint64_t index) override { writer->queue(picture, index); }

  bool finish(std::string& error) override {
    const bool written = writer->finish(error);
    if (!written) {
      abandon();
      return false;
    }
    writer.reset();
    return encoder.finish(error) && file.complete(error);
  }

  void abandon() override {
    if (writer) {
      // The encoder goes first, so a writer blocked on its pipe is let go.
      encoder.stop();
      std::string ignored;
      writer->finish(ignored);
      writer.reset();
    }
    encoder.abort();
  }

 private:
  TemporaryFile file;
  EncoderPipe encoder;
  std::unique_ptr<FrameQueue> writer;
};

}  // namespace

TemporaryFile::TemporaryFile(fs::path finalPath) : target(std::move(finalPath)) {
  made = target.parent_path() / pathFromUtf8("." + nativeUtf8(target.filename()) + ".part");
  interruptions::watch();
  slot = interruptions::claimSlot(nativeUtf8(made));
}

TemporaryFile::~TemporaryFile() {
  std::error_code ignored;
  if (!made.empty()) fs::remove(made, ignored);
  interruptions::releaseSlot(slot);
}

bool TemporaryFile::complete(std::string& error) {
  std::string reason;
  if (!system::moveOver(made, target, reason)) {
    error = "cannot rename " + nativeUtf8(made) + ": " + reason + " to " + nativeUtf8(target);
    return false;
  }
  interruptions::releaseSlot(slot);
  slot = -1;
  made.clear();
  return true;
}

std::unique_ptr<CaptureOutput> pngFrames(const fs::path& folder, int width, int height) {
  return std::make_unique<PngFrames>(folder, width, height);
}

std::unique_ptr<CaptureOutput> videoFile(VideoJob job, const std::string& ffmpeg, std::string& error) {
  auto video = std::make_unique<VideoFile>(pathFromUtf8(job.output));
  if (!video->start(std::move(job), ffmpeg, error)) return nullptr;
  return video;
}

}  // namespace glowmarch
