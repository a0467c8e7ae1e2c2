#include "app/platform/Interruptions.h"

#include <unistd.h>

#include <csignal>
#include <mutex>

namespace glowmarch::interruptions {

namespace {

void removeFile(const char* path) { unlink(path); }

extern "C" void removeTemporaries(int signal) {
  forEachClaimed(removeFile);
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

}  // namespace glowmarch::interruptions
