#include "app/platform/Interruptions.h"

#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>

namespace glowmarch::interruptions {

namespace {

// What an interruption removes, kept where a signal handler may read it: fixed arrays, filled before
// they are marked in use. Enough for a frame in flight on each writer, the sound and the video.
constexpr int temporarySlots = 64;
constexpr std::size_t pathBytes = 4096;
char temporaryPaths[temporarySlots][pathBytes];
std::atomic<bool> slotInUse[temporarySlots];
std::mutex slotLock;

extern "C" void removeTemporaries(int signal) {
  for (int i = 0; i < temporarySlots; ++i) {
    if (slotInUse[i].load()) unlink(temporaryPaths[i]);
  }
  std::signal(signal, SIG_DFL);
  raise(signal);
}

}  // namespace

void watch() {
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

int claimSlot(const std::string& text) {
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

}  // namespace glowmarch::interruptions
