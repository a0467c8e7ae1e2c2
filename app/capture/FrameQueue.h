// Frames on their way to disk or to an encoder, written by worker threads so that drawing goes on
// while zlib or a pipe is busy. A fixed set of picture buffers bounds the memory whatever the length:
// drawing waits only when every buffer is still waiting to be written.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace glowmarch {

class FrameQueue {
 public:
  // Writes the frame numbered `index`; on failure returns false and says why in `error`. Runs on a
  // worker thread, several at once when there are several workers.
  using Write = std::function<bool(std::uint64_t index, const std::vector<std::uint8_t>& picture, std::string& error)>;

  // One worker writes frames in the order they are queued; more write them in any order.
  FrameQueue(int workers, int buffers, Write write);
  // Waits for the frames queued so far (see finish).
  ~FrameQueue();
  FrameQueue(const FrameQueue&) = delete;
  FrameQueue& operator=(const FrameQueue&) = delete;

  // A buffer to draw the next frame into, waiting while all of them are queued; nullptr once a
  // write has failed, so the caller stops drawing.
  std::vector<std::uint8_t>* take();
  // Queues the buffer `take` gave, to be written as frame `index`.
  void queue(std::vector<std::uint8_t>* picture, std::uint64_t index);
  // Writes what is queued, stops the workers and returns false with the first failure's reason.
  // After a failure the frames still queued are dropped.
  bool finish(std::string& error);

  // Frames written so far.
  std::uint64_t written() const;

 private:
  struct Job {
    std::vector<std::uint8_t>* picture;
    std::uint64_t index;
  };
  void work();

  Write write;
  std::vector<std::vector<std::uint8_t>> storage;
  mutable std::mutex lock;
  std::condition_variable jobsReady;
  std::condition_variable bufferFree;
  std::deque<Job> jobs;
  std::vector<std::vector<std::uint8_t>*> free;
  std::string failure;
  bool failed = false;
  bool closing = false;
  std::uint64_t done = 0;
  std::vector<std::thread> threads;
};

// Writer threads worth running beside the drawing thread on this machine.
int frameWorkerCount();

}  // namespace glowmarch
