#include "app/platform/Interruptions.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace glowmarch::interruptions {

namespace {

// What an interruption removes, kept where a handler may read it at any moment: fixed arrays, filled
// before they are marked in use. Enough for a frame in flight on each writer, the sound and the video.
constexpr int temporarySlots = 64;
constexpr std::size_t pathBytes = 4096;
char temporaryPaths[temporarySlots][pathBytes];
std::atomic<bool> slotInUse[temporarySlots];
std::mutex slotLock;
std::atomic<bool> held{false};
std::atomic<void (*)()> writersEnd{nullptr};

}  // namespace

int claimSlot(const std::string& text) {
  // The program is being ended: this thread waits for it.
  while (held.load()) std::this_thread::sleep_for(std::chrono::seconds(1));
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

void forEachClaimed(void (*remove)(const char* path)) {
  for (int i = 0; i < temporarySlots; ++i) {
    if (slotInUse[i].load()) remove(temporaryPaths[i]);
  }
}

void holdClaims() { held.store(true); }

void endWritersWith(void (*end)()) { writersEnd.store(end); }

void endWriters() {
  if (void (*end)() = writersEnd.load()) end();
}

}  // namespace glowmarch::interruptions
