#include "app/platform/System.h"

#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

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

std::atomic<double> endedChildrenCpu{0.0};

// The copy of standard output. Windows' C library has no stream of the program's own making, so the
// output goes into a temporary file, read from a second handle of its own and handed to the copy
// and to where the output went before, whenever takeCopiedOutput asks and when the program ends.
struct OutputCopyFile {
  OutputCopy copy = nullptr;
  HANDLE reader = INVALID_HANDLE_VALUE;
  HANDLE formerOutput = INVALID_HANDLE_VALUE;
  bool taking = false;
};
OutputCopyFile outputCopy;
constexpr LONGLONG restartBytes = 16 << 20;

void takeAtExit() { takeCopiedOutput(); }

UINT formerConsoleCodePage = 0;
// Whether standard error is a console that redraws a line from the escape codes progress uses.
bool errorConsoleRedraws = false;
void restoreConsoleCodePage() { SetConsoleOutputCP(formerConsoleCodePage); }

}  // namespace

// Windows has no SIGPIPE: a write to a closed pipe already fails.
void ignoreBrokenPipes() {}

double processCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
  return seconds(kernel, user);
}

double childrenCpuSeconds() { return endedChildrenCpu.load(); }

void countChildCpuSeconds(double cpu) {
  double now = endedChildrenCpu.load();
  while (!endedChildrenCpu.compare_exchange_weak(now, now + cpu)) {
  }
}

double threadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0.0;
  return seconds(kernel, user);
}

bool canWriteIn(const std::filesystem::path& folder, std::string& reason) {
  // Only the read-only mark is told here; a folder closed by its access list shows at the first file.
  if (_waccess(folder.c_str(), 2) == 0) return true;
  reason = std::strerror(errno);
  return false;
}

bool moveOver(const std::filesystem::path& from, const std::filesystem::path& to, std::string& reason) {
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  reason = std::system_category().message(static_cast<int>(GetLastError()));
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) reason.pop_back();
  return false;
}

// A console that would print the progress's escape codes as they are (before Windows 10) gets lines.
bool standardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0 && errorConsoleRedraws; }

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

std::filesystem::path settingsFolder() {
  const wchar_t* data = _wgetenv(L"APPDATA");
  if (data == nullptr || data[0] == L'\0') return {};
  return std::filesystem::path(data) / L"glowmarch";
}

bool displayNamed() { return true; }

bool copyStandardOutput(OutputCopy copy) {
  if (outputCopy.copy != nullptr) return true;
  std::fflush(stdout);
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"glo", 0, name) == 0) return false;
  constexpr DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  // Gone when the program ends, however it ends.
  const HANDLE writer = CreateFileW(name, GENERIC_WRITE, sharing, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (writer == INVALID_HANDLE_VALUE) {
    DeleteFileW(name);
    return false;
  }
  const HANDLE reader = CreateFileW(name, GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
  const int descriptor = reader != INVALID_HANDLE_VALUE ? _open_osfhandle(reinterpret_cast<intptr_t>(writer), _O_WRONLY | _O_TEXT) : -1;
  if (descriptor < 0) {
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    CloseHandle(writer);
    return false;
  }
  // Where the output went so far, kept to go on writing there.
  HANDLE former = INVALID_HANDLE_VALUE;
  const int formerDescriptor = _dup(_fileno(stdout));
  if (formerDescriptor >= 0) {
    DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(_get_osfhandle(formerDescriptor)), GetCurrentProcess(),
                    &former, 0, FALSE, DUPLICATE_SAME_ACCESS);
    _close(formerDescriptor);
  }
  if (_dup2(descriptor, _fileno(stdout)) != 0) {
    _close(descriptor);
    CloseHandle(reader);
    if (former != INVALID_HANDLE_VALUE) CloseHandle(former);
    return false;
  }
  _close(descriptor);
  outputCopy.copy = copy;
  outputCopy.reader = reader;
  outputCopy.formerOutput = former;
  std::atexit(takeAtExit);
  return true;
}

void takeCopiedOutput() {
  if (outputCopy.copy == nullptr || outputCopy.taking) return;
  // What the copy prints itself is taken at the next call.
  outputCopy.taking = true;
  std::fflush(stdout);
  char bytes[65536];
  std::string lines;
  DWORD got = 0;
  while (ReadFile(outputCopy.reader, bytes, sizeof bytes, &got, nullptr) && got > 0) {
    if (outputCopy.formerOutput != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      // A closed console or pipe: the program goes on without its output.
      if (!WriteFile(outputCopy.formerOutput, bytes, got, &written, nullptr)) {
        CloseHandle(outputCopy.formerOutput);
        outputCopy.formerOutput = INVALID_HANDLE_VALUE;
      }
    }
    // The C library wrote the line breaks as CR LF.
    lines.clear();
    for (DWORD i = 0; i < got; ++i) {
      if (bytes[i] != '\r') lines += bytes[i];
    }
    outputCopy.copy(lines.data(), lines.size());
  }
  // All of it taken: a long session starts the file again rather than let it grow. What another
  // thread prints between the last read and here would be lost; the show prints from this one.
  LARGE_INTEGER at{};
  const HANDLE writer = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout)));
  if (SetFilePointerEx(outputCopy.reader, LARGE_INTEGER{}, &at, FILE_CURRENT) && at.QuadPart > restartBytes &&
      SetFilePointerEx(writer, LARGE_INTEGER{}, nullptr, FILE_BEGIN) && SetEndOfFile(writer)) {
    SetFilePointerEx(outputCopy.reader, LARGE_INTEGER{}, nullptr, FILE_BEGIN);
  }
  outputCopy.taking = false;
}

void connectStandardStreams() {
  const bool output = unconnected(STD_OUTPUT_HANDLE);
  const bool error = unconnected(STD_ERROR_HANDLE);
  if ((output || error) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    if (output) std::freopen("CONOUT$", "w", stdout);
    if (error) std::freopen("CONOUT$", "w", stderr);
  }
  // The programs print UTF-8 (file names, the show's texts): a console shows it as such while they
  // run, and as it was set afterwards.
  DWORD mode = 0;
  if (formerConsoleCodePage == 0 && GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
    formerConsoleCodePage = GetConsoleOutputCP();
    if (formerConsoleCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) std::atexit(restoreConsoleCodePage);
  }
  const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
  if (GetConsoleMode(errors, &mode)) {
    errorConsoleRedraws = (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
                          SetConsoleMode(errors, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
  // Windows' C library buffers whole blocks where a line was asked for: each printf goes out whole.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
}

}  // namespace glowmarch::system
