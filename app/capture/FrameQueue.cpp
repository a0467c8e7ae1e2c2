#include "app/capture/FrameQueue.h"

#include <algorithm>

namespace glowmarch {

FrameQueue::FrameQueue(int workers, int buffers, Write writeFrame) : write(std::move(writeFrame)) {
  workers = std::max(workers, 1);
  // One more buffer than writers: drawing fills it while each writer holds one.
  storage.resize(static_cast<std::size_t>(std::max(buffers, workers + 1)));
  for (auto& buffer : storage) free.push_back(&buffer);
  threads.reserve(static_cast<std::size_t>(workers));
  for (int i = 0; i < workers; ++i) threads.emplace_back([this] { work(); });
}

FrameQueue::~FrameQueue() {
  std::string ignored;
  finish(ignored);
}

std::vector<std::uint8_t>* FrameQueue::take() {
  std::unique_lock<std::mutex> hold(lock);
  bufferFree.wait(hold, [this] { return failed || !free.empty(); });
  if (failed) return nullptr;
  std::vector<std::uint8_t>* buffer = free.back();
  free.pop_back();
  return buffer;
}

void FrameQueue::queue(std::vector<std::uint8_t>* picture, std::uint64_t index) {
  {
    std::lock_guard<std::mutex> hold(lock);
    jobs.push_back({picture, index});
  }
  jobsReady.notify_one();
}

bool FrameQueue::finish(std::string& error) {
  {
    std::lock_guard<std::mutex> hold(lock);
    closing = true;
  }
  jobsReady.notify_all();
  for (auto& thread : threads) {
    if (thread.joinable()) thread.join();
  }
  std::lock_guard<std::mutex> hold(lock);
  if (failed) error = failure;
  return !failed;
}

std::uint64_t FrameQueue::written() const {
  std::lock_guard<std::mutex> hold(lock);
  return done;
}

void FrameQueue::work() {
  std::unique_lock<std::mutex> hold(lock);
  for (;;) {
    jobsReady.wait(hold, [this] { return failed || closing || !jobs.empty(); });
    if (failed || jobs.empty()) return;
    const Job job = jobs.front();
    jobs.pop_front();
    hold.unlock();
    std::string error;
    const bool ok = write(job.index, *job.picture, error);
    hold.lock();
    free.push_back(job.picture);
    if (ok) {
      ++done;
    } else if (!failed) {
      failed = true;
      failure = error;
      jobs.clear();
      jobsReady.notify_all();
    }
    bufferFree.notify_one();
    if (failed) bufferFree.notify_all();
  }
}

int frameWorkerCount() {
  // One writer per core: writers sleep while drawing is the slower, and zlib alone is slower than
  // drawing at large sizes.
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(cores, 1u, 8u));
}

}  // namespace glowmarch
