#include "app/platform/Interruptions.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <mutex>

namespace glowmarch::interruptions {

namespace {

void removeFile(const char* path) {
  wchar_t name[4096];
  if (MultiByteToWideChar(CP_UTF8, 0, path, -1, name, 4096) > 0) DeleteFileW(name);
}

// Runs on a thread of its own while the program goes on; the files are removed first, then the
// next handler (the system's) ends the program as the event asks.
BOOL WINAPI removeTemporaries(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      forEachClaimed(removeFile);
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

void watch() {
  static std::once_flag installed;
  // A program started with Ctrl+C ignored (start /b, or its parent's choice) is not called for it.
  std::call_once(installed, [] { SetConsoleCtrlHandler(removeTemporaries, TRUE); });
}

}  // namespace glowmarch::interruptions
