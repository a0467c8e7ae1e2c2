#include "app/platform/Interruptions.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <mutex>

namespace glowmarch::interruptions {

namespace {

std::atomic<int> left{0};

void removeFile(const char* path) {
  wchar_t name[4096];
  if (MultiByteToWideChar(CP_UTF8, 0, path, -1, name, 4096) <= 0) return;
  if (DeleteFileW(name)) return;
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) ++left;
}

// Runs on a thread of its own while the program goes on, so the program ends here, right after its
// files are gone. Handing the event on is not enough: SDL's SIGINT handler sits in the C runtime's
// handler after this one and swallows Ctrl+C, and the capture would run on without its files.
BOOL WINAPI removeTemporaries(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  holdClaims();
  endWriters();
  // A file still open cannot be removed, and a writer that claimed a file may make it a moment
  // later: tried again until none has been there for a few rounds, for a few seconds at most.
  const ULONGLONG until = GetTickCount64() + 3000;
  int quiet = 0;
  while (quiet < 3 && GetTickCount64() < until) {
    left = 0;
    forEachClaimed(removeFile);
    quiet = left == 0 ? quiet + 1 : 0;
    Sleep(20);
  }
  TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
  return TRUE;
}

}  // namespace

void watch() {
  static std::once_flag installed;
  // A program started with Ctrl+C ignored (start /b, or its parent's choice) is not called for it.
  std::call_once(installed, [] { SetConsoleCtrlHandler(removeTemporaries, TRUE); });
}

}  // namespace glowmarch::interruptions
