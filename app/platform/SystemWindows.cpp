#include "app/platform/System.h"

#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace glowmarch::system {

namespace {

double seconds(FILETIME kernel, FILETIME user) {
  const auto ticks = [](FILETIME time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;  // 100 ns ticks
}

// A stream with no handle behind it: a windowed program's, unless its starter redirected it.
bool unconnected(DWORD stream) {
  const HANDLE handle = GetStdHandle(stream);
  return handle == nullptr || handle == INVALID_HANDLE_VALUE;
}

}  // namespace

// Windows has no SIGPIPE: a write to a closed pipe already fails.
void ignoreBrokenPipes() {}

double processCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
  return seconds(kernel, user);
}

// Only the capture starts child processes, and it is a Linux program.
double childrenCpuSeconds() { return 0.0; }

double threadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0.0;
  return seconds(kernel, user);
}

bool standardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::filesystem::path executableFolder() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      return std::filesystem::path(name).parent_path();
    }
    name.resize(name.size() * 2);  // a long path: ask again with room for it
  }
}

bool copyStandardOutput(OutputCopy) { return false; }

void connectStandardStreams() {
  const bool output = unconnected(STD_OUTPUT_HANDLE);
  const bool error = unconnected(STD_ERROR_HANDLE);
  if ((output || error) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    if (output) std::freopen("CONOUT$", "w", stdout);
    if (error) std::freopen("CONOUT$", "w", stderr);
  }
  // Windows' C library buffers whole blocks where a line was asked for: each printf goes out whole.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
}

}  // namespace glowmarch::system
