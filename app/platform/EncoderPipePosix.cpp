#include "app/platform/EncoderPipe.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace glowmarch {

namespace {

// Frames are large: a bigger pipe means fewer switches between the two processes. Best effort.
constexpr int pipeBytes = 1 << 20;

constexpr std::size_t messageTail = 4096;

}  // namespace

struct EncoderPipe::Handles {
  pid_t child = -1;
  int input = -1;
  int messages = -1;
};

std::string findProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : std::string();
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = end > start ? folders.substr(start, end - start) : ".";
    const std::string candidate = folder + "/" + name;
    struct stat status {};
    if (stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) && access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    start = end + 1;
  }
  return {};
}

std::string programMissing(const std::string& name) {
  return name + " is not installed (scripts/setup installs it)";
}

EncoderPipe::EncoderPipe() : handles(std::make_unique<Handles>()) {}

EncoderPipe::~EncoderPipe() { abort(); }

bool EncoderPipe::start(const std::string& program, const std::vector<std::string>& arguments, std::string& error) {
  abort();
  // An encoder that goes away shows up as a failed write, not as the end of this program.
  std::signal(SIGPIPE, SIG_IGN);
  name = std::filesystem::path(program).filename().string();
  // The encoder's messages go to a file whose name goes at once: nothing is left behind, whatever
  // happens. Made and unlinked rather than O_TMPFILE, which not every file system offers.
  const char* temporary = std::getenv("TMPDIR");
  std::string pattern = std::string(temporary != nullptr && temporary[0] != '\0' ? temporary : "/tmp") +
                        "/glowmarch-encoder-XXXXXX";
  handles->messages = mkostemp(pattern.data(), O_CLOEXEC);
  if (handles->messages < 0) {
    error = "cannot make a file for " + name + "'s messages as " + pattern + ": " + std::strerror(errno);
    return false;
  }
  unlink(pattern.c_str());
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe: ") + std::strerror(errno);
    abort();
    return false;
  }
  fcntl(ends[1], F_SETPIPE_SZ, pipeBytes);

  // Everything the child needs is made before the fork: between fork and exec a threaded process
  // may only make calls that take no lock.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const pid_t parent = getpid();

  const pid_t pid = fork();
  if (pid == 0) {
    // Dies with this program, however it ends, instead of encoding on alone.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    signal(SIGPIPE, SIG_DFL);
    if (dup2(ends[0], 0) < 0 || dup2(devNull >= 0 ? devNull : handles->messages, 1) < 0 || dup2(handles->messages, 2) < 0) _exit(127);
    execve(program.c_str(), argv.data(), environ);
    static const char failed[] = "cannot run the program\n";
    (void)!::write(2, failed, sizeof failed - 1);
    _exit(127);
  }
  const int forkError = errno;
  close(ends[0]);
  if (devNull >= 0) close(devNull);
  if (pid < 0) {
    close(ends[1]);
    error = "cannot start " + name + ": " + std::strerror(forkError);
    abort();
    return false;
  }
  handles->child = pid;
  handles->input = ends[1];
  return true;
}

bool EncoderPipe::write(const std::uint8_t* data, std::size_t size, std::string& error) {
  if (handles->input < 0) {
    error = name + " is not running";
    return false;
  }
  while (size > 0) {
    const ssize_t sent = ::write(handles->input, data, size);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) {
      // The encoder has gone: how it ended says more than the broken pipe.
      const int writeError = errno;
      close(handles->input);
      handles->input = -1;
      if (wait(error)) error = name + " stopped reading its input (" + std::strerror(writeError) + ")";
      return false;
    }
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool EncoderPipe::finish(std::string& error) {
  if (handles->input >= 0) {
    close(handles->input);
    handles->input = -1;
  }
  if (handles->child < 0) {
    error = name + " is not running";
    return false;
  }
  return wait(error);
}

void EncoderPipe::abort() {
  if (handles->input >= 0) {
    close(handles->input);
    handles->input = -1;
  }
  stop();
  if (handles->child > 0) {
    std::string ignored;
    wait(ignored);
  }
  if (handles->messages >= 0) {
    close(handles->messages);
    handles->messages = -1;
  }
}

void EncoderPipe::stop() {
  std::lock_guard<std::mutex> hold(reaping);
  // Not yet reaped: the id is still the encoder's, if only as a zombie.
  if (handles->child > 0) kill(handles->child, SIGKILL);
}

bool EncoderPipe::wait(std::string& error) {
  // Waited for without reaping, so that stop() from another thread meanwhile still names it.
  siginfo_t ended{};
  int waited;
  do {
    waited = waitid(P_PID, static_cast<id_t>(handles->child), &ended, WEXITED | WNOWAIT);
  } while (waited < 0 && errno == EINTR);
  int status = 0;
  {
    std::lock_guard<std::mutex> hold(reaping);
    if (waited == 0) waited = waitpid(handles->child, &status, 0) == handles->child ? 0 : -1;
    handles->child = -1;
  }
  if (waited < 0) {
    error = "lost track of " + name + ": " + std::strerror(errno);
    return false;
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  const std::string said = lastMessage();
  if (WIFSIGNALED(status)) {
    error = name + " was killed by signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
  } else {
    error = name + " failed with exit status " + std::to_string(WEXITSTATUS(status));
  }
  if (!said.empty()) error += ": " + said;
  return false;
}

// The encoder's last words, which say what went wrong.
std::string EncoderPipe::lastMessage() const {
  if (handles->messages < 0) return {};
  const off_t length = lseek(handles->messages, 0, SEEK_END);
  if (length <= 0) return {};
  const off_t from = length > static_cast<off_t>(messageTail) ? length - static_cast<off_t>(messageTail) : 0;
  std::string text(static_cast<std::size_t>(length - from), '\0');
  const ssize_t got = pread(handles->messages, text.data(), text.size(), from);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return lastMessageLine(std::move(text));
}

}  // namespace glowmarch
