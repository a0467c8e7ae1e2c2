#include "app/capture/CaptureOutput.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

#include "app/capture/CaptureFiles.h"
#include "app/capture/CapturePlan.h"
#include "app/capture/FrameQueue.h"

namespace glowmarch {

namespace {

namespace fs = std::filesystem;

// What an interruption removes and kills, kept where a signal handler may read it: fixed arrays,
// filled before they are marked in use.
constexpr int temporarySlots = 8;
constexpr std::size_t pathBytes = 4096;
char temporaryPaths[temporarySlots][pathBytes];
std::atomic<bool> slotInUse[temporarySlots];
std::atomic<pid_t> runningEncoder{-1};
std::mutex slotLock;

extern "C" void removeTemporaries(int signal) {
  const pid_t encoder = runningEncoder.load();
  if (encoder > 0) kill(encoder, SIGKILL);
  for (int i = 0; i < temporarySlots; ++i) {
    if (slotInUse[i].load()) unlink(temporaryPaths[i]);
  }
  std::signal(signal, SIG_DFL);
  raise(signal);
}

void watchInterruptions() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction action {};
      action.sa_handler = removeTemporaries;
      sigemptyset(&action.sa_mask);
      // Someone who asked to ignore the signal (nohup) keeps it ignored.
      struct sigaction former {};
      sigaction(signal, nullptr, &former);
      if (former.sa_handler != SIG_IGN) sigaction(signal, &action, nullptr);
    }
  });
}

int claimSlot(const fs::path& path) {
  const std::string text = path.string();
  if (text.size() >= pathBytes) return -1;
  std::lock_guard<std::mutex> hold(slotLock);
  for (int i = 0; i < temporarySlots; ++i) {
    if (!slotInUse[i].load()) {
      std::memcpy(temporaryPaths[i], text.c_str(), text.size() + 1);
      slotInUse[i].store(true);
      return i;
    }
  }
  return -1;
}

void releaseSlot(int slot) {
  if (slot >= 0) slotInUse[slot].store(false);
}

std::string systemError(const std::string& what, const fs::path& path) {
  return "cannot " + what + " " + path.string() + ": " + std::strerror(errno);
}

class PngFrames : public CaptureOutput {
 public:
  PngFrames(fs::path folder, int width, int height)
      : queueOfFrames(frameWorkerCount(), frameWorkerCount() + 2,
                      [folder = std::move(folder), width, height](std::uint64_t index,
                                                                  const std::vector<std::uint8_t>& picture,
                                                                  std::string& error) {
                        // Frames are many and small: each is renamed when whole rather than tracked.
                        const fs::path name = folder / frameFileName(index);
                        const fs::path part = folder / (frameFileName(index) + ".part");
                        if (!writeFramePng(part.string(), picture.data(), width, height, error)) {
                          unlink(part.c_str());
                          return false;
                        }
                        if (std::rename(part.c_str(), name.c_str()) != 0) {
                          error = systemError("rename", part);
                          unlink(part.c_str());
                          return false;
                        }
                        return true;
                      }) {}

  std::vector<std::uint8_t>* take() override { return queueOfFrames.take(); }
  void queue(std::vector<std::uint8_t>* picture, std::uint64_t index) override { queueOfFrames.queue(picture, index); }
  bool finish(std::string& error) override { return queueOfFrames.finish(error); }
  void abandon() override {
    std::string ignored;
    queueOfFrames.finish(ignored);
  }

 private:
  FrameQueue queueOfFrames;
};

class VideoFile : public CaptureOutput {
 public:
  explicit VideoFile(const fs::path& target) : file(target) {}
  ~VideoFile() override { abandon(); }

  bool start(VideoJob job, const std::string& ffmpeg, std::string& error) {
    // The folder takes a file: tried now, before any frame is drawn.
    const int probe = open(file.temporary().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (probe < 0) {
      error = systemError("write", file.temporary());
      return false;
    }
    close(probe);
    job.output = file.temporary().string();
    if (!encoder.start(ffmpeg, ffmpegArguments(job), error)) return false;
    started = encoder.process();
    runningEncoder.store(started);
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
    const bool encoded = encoder.finish(error);
    runningEncoder.store(-1);
    started = -1;
    return encoded && file.complete(error);
  }

  void abandon() override {
    if (writer) {
      // The encoder goes first, so a writer blocked on its pipe is let go; the writer then finds it
      // gone and waits for it.
      if (started > 0) kill(started, SIGKILL);
      std::string ignored;
      writer->finish(ignored);
      writer.reset();
    }
    encoder.abort();
    runningEncoder.store(-1);
    started = -1;
  }

 private:
  TemporaryFile file;
  EncoderPipe encoder;
  pid_t started = -1;
  std::unique_ptr<FrameQueue> writer;
};

}  // namespace

TemporaryFile::TemporaryFile(fs::path finalPath) : target(std::move(finalPath)) {
  made = target.parent_path() / ("." + target.filename().string() + ".part");
  watchInterruptions();
  slot = claimSlot(made);
}

TemporaryFile::~TemporaryFile() {
  std::error_code ignored;
  if (!made.empty()) fs::remove(made, ignored);
  releaseSlot(slot);
}

bool TemporaryFile::complete(std::string& error) {
  if (std::rename(made.c_str(), target.c_str()) != 0) {
    error = systemError("rename", made) + " to " + target.string();
    return false;
  }
  releaseSlot(slot);
  slot = -1;
  made.clear();
  return true;
}

std::unique_ptr<CaptureOutput> pngFrames(const fs::path& folder, int width, int height) {
  return std::make_unique<PngFrames>(folder, width, height);
}

std::unique_ptr<CaptureOutput> videoFile(VideoJob job, const std::string& ffmpeg, std::string& error) {
  auto video = std::make_unique<VideoFile>(fs::path(job.output));
  if (!video->start(std::move(job), ffmpeg, error)) return nullptr;
  return video;
}

}  // namespace glowmarch
