#include "app/platform/System.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace glowmarch::system {

namespace {

double seconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

OutputCopy copyOfOutput = nullptr;

ssize_t writeThrough(void*, const char* bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t wrote = ::write(STDOUT_FILENO, bytes + done, size - done);
    if (wrote <= 0) break;  // a closed pipe: the program goes on without its output
    done += static_cast<std::size_t>(wrote);
  }
  copyOfOutput(bytes, size);
  return static_cast<ssize_t>(size);
}

}  // namespace

void ignoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

double processCpuSeconds() { return seconds(CLOCK_PROCESS_CPUTIME_ID); }

double childrenCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The kernel counts them (getrusage).
void countChildCpuSeconds(double) {}

double threadCpuSeconds() { return seconds(CLOCK_THREAD_CPUTIME_ID); }

std::filesystem::path executableFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

std::filesystem::path settingsFolder() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
    return std::filesystem::path(config) / "glowmarch";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    return std::filesystem::path(home) / ".config" / "glowmarch";
  }
  return {};
}

bool displayNamed() {
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("SDL_VIDEODRIVER");
}

bool canWriteIn(const std::filesystem::path& folder, std::string& reason) {
  if (access(folder.c_str(), W_OK) == 0) return true;
  reason = std::strerror(errno);
  return false;
}

bool moveOver(const std::filesystem::path& from, const std::filesystem::path& to, std::string& reason) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  reason = std::strerror(errno);
  return false;
}

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void connectStandardStreams() { std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ); }

bool copyStandardOutput(OutputCopy copy) {
  std::fflush(stdout);
  copyOfOutput = copy;
  cookie_io_functions_t functions{nullptr, writeThrough, nullptr, nullptr};
  FILE* routed = fopencookie(nullptr, "w", functions);
  if (routed == nullptr) return false;
  std::setvbuf(routed, nullptr, _IOLBF, BUFSIZ);
  stdout = routed;
  return true;
}

// Each write is handed over as it happens.
void takeCopiedOutput() {}

}  // namespace glowmarch::system
