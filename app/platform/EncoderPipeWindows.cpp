// The encoder's Windows edge: CreateProcessW with a pipe for its standard input and a temporary
// file for its messages; the program's job object ends it with this program.
#include "app/platform/EncoderPipe.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/platform/Interruptions.h"
#include "app/platform/System.h"
#include "resources/Utf8Path.h"

namespace glowmarch {

namespace {

// Frames are large: a bigger pipe means fewer switches between the two processes.
constexpr DWORD pipeBytes = 1 << 20;

constexpr DWORD messageTail = 4096;

std::wstring wide(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
  return result;
}

std::string systemMessage(DWORD code) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = text != nullptr ? nativeUtf8(std::filesystem::path(text)) : "error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

// One argument as the C library of the program started splits its command line again
// (CommandLineToArgvW's rules): quoted when it holds a space, a tab or a quote, or is empty, with
// the backslashes before a quote doubled.
void appendArgument(std::wstring& line, const std::wstring& argument) {
  if (!line.empty()) line += L' ';
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

bool isFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

std::filesystem::path withExe(std::filesystem::path path) {
  if (path.extension().empty()) path += L".exe";
  return path;
}

void closeHandle(HANDLE& handle) {
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  handle = nullptr;
}

// Every encoder is put in it, so that the system ends them when this program ends, however it ends,
// instead of letting them encode on alone. Best effort: on older Windows a program in a job of its
// own cannot put its child in another, and then only this program's own calls end the encoder.
HANDLE programJob() {
  static const HANDLE job = [] {
    const HANDLE made = CreateJobObjectW(nullptr, nullptr);
    if (made != nullptr) {
      JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
      limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
      SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    return made;
  }();
  return job;
}

// For an interruption: the encoders go first, so that their unfinished output can be removed.
void endEncoders() {
  const HANDLE job = programJob();
  if (job == nullptr || !TerminateJobObject(job, 1)) return;
  for (int tries = 0; tries < 100; ++tries) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION count{};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &count, sizeof count, nullptr) ||
        count.ActiveProcesses == 0) {
      return;
    }
    Sleep(20);
  }
}

}  // namespace

struct EncoderPipe::Handles {
  HANDLE process = nullptr;
  HANDLE input = nullptr;
  HANDLE messages = nullptr;
  bool stopped = false;
};

std::string findProgram(const std::string& name) {
  const std::filesystem::path program = withExe(pathFromUtf8(name));
  if (name.find_first_of("/\\:") != std::string::npos) return isFile(program) ? nativeUtf8(program) : std::string();
  const std::filesystem::path beside = system::executableFolder() / program;
  if (!system::executableFolder().empty() && isFile(beside)) return nativeUtf8(beside);
  const wchar_t* path = _wgetenv(L"PATH");
  const std::wstring folders = path != nullptr ? path : L"";
  std::size_t start = 0;
  while (start < folders.size()) {
    std::size_t end = folders.find(L';', start);
    if (end == std::wstring::npos) end = folders.size();
    std::wstring folder = folders.substr(start, end - start);
    start = end + 1;
    // PATH may quote a folder with a semicolon in its name.
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') folder = folder.substr(1, folder.size() - 2);
    if (folder.empty()) continue;
    const std::filesystem::path candidate = std::filesystem::path(folder) / program;
    if (isFile(candidate)) return nativeUtf8(candidate);
  }
  return {};
}

std::string programMissing(const std::string& name) {
  const std::filesystem::path folder = system::executableFolder();
  return name + ".exe is neither beside this program nor on PATH: get " + name +
         " for Windows (builds are linked from https://ffmpeg.org/download.html) and copy its bin\\" + name +
         ".exe into " + (folder.empty() ? std::string("this program's folder") : nativeUtf8(folder));
}

EncoderPipe::EncoderPipe() : handles(std::make_unique<Handles>()) {}

EncoderPipe::~EncoderPipe() { abort(); }

bool EncoderPipe::start(const std::string& program, const std::vector<std::string>& arguments, std::string& error) {
  abort();
  name = nativeUtf8(pathFromUtf8(program).filename());
  handles->stopped = false;
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};

  // The encoder's messages go to a file that goes when the last handle on it closes: nothing is left
  // behind, whatever happens.
  wchar_t folder[MAX_PATH + 1];
  wchar_t file[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"glo", 0, file) == 0) {
    error = "cannot make a file for " + name + "'s messages: " + systemMessage(GetLastError());
    return false;
  }
  handles->messages = CreateFileW(file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handles->messages == INVALID_HANDLE_VALUE) {
    handles->messages = nullptr;
    error = "cannot make a file for " + name + "'s messages: " + systemMessage(GetLastError());
    DeleteFileW(file);
    return false;
  }
  HANDLE reading = nullptr;
  HANDLE writing = nullptr;
  if (!CreatePipe(&reading, &writing, &inherited, pipeBytes)) {
    error = "cannot make a pipe: " + systemMessage(GetLastError());
    abort();
    return false;
  }
  // Only the encoder's end is handed down.
  SetHandleInformation(writing, HANDLE_FLAG_INHERIT, 0);
  HANDLE nothing = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = reading;
  startup.hStdOutput = nothing != INVALID_HANDLE_VALUE ? nothing : handles->messages;
  startup.hStdError = handles->messages;
  std::wstring line;
  appendArgument(line, wide(program));
  for (const std::string& argument : arguments) appendArgument(line, wide(argument));
  PROCESS_INFORMATION started{};
  // Started held, so that it is in the job before it runs.
  const BOOL made = CreateProcessW(wide(program).c_str(), line.data(), nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup, &started);
  const DWORD createError = GetLastError();
  CloseHandle(reading);
  if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
  if (!made) {
    CloseHandle(writing);
    error = "cannot start " + name + ": " + systemMessage(createError);
    abort();
    return false;
  }
  if (const HANDLE job = programJob()) {
    AssignProcessToJobObject(job, started.hProcess);
    interruptions::endWritersWith(endEncoders);
  }
  ResumeThread(started.hThread);
  CloseHandle(started.hThread);
  std::lock_guard<std::mutex> hold(reaping);
  handles->process = started.hProcess;
  handles->input = writing;
  return true;
}

bool EncoderPipe::write(const std::uint8_t* data, std::size_t size, std::string& error) {
  if (handles->input == nullptr) {
    error = name + " is not running";
    return false;
  }
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD sent = 0;
    if (!WriteFile(handles->input, data, piece, &sent, nullptr) || sent == 0) {
      // The encoder has gone: how it ended says more than the broken pipe.
      const DWORD writeError = GetLastError();
      closeHandle(handles->input);
      if (wait(error)) error = name + " stopped reading its input (" + systemMessage(writeError) + ")";
      return false;
    }
    data += sent;
    size -= sent;
  }
  return true;
}

bool EncoderPipe::finish(std::string& error) {
  closeHandle(handles->input);
  if (handles->process == nullptr) {
    error = name + " is not running";
    return false;
  }
  return wait(error);
}

void EncoderPipe::abort() {
  closeHandle(handles->input);
  stop();
  if (handles->process != nullptr) {
    std::string ignored;
    wait(ignored);
  }
  closeHandle(handles->messages);
}

void EncoderPipe::stop() {
  std::lock_guard<std::mutex> hold(reaping);
  if (handles->process != nullptr) {
    handles->stopped = true;
    TerminateProcess(handles->process, 1);
  }
}

bool EncoderPipe::wait(std::string& error) {
  // Waited for outside the lock, so that stop() from another thread meanwhile still names it.
  WaitForSingleObject(handles->process, INFINITE);
  DWORD code = 1;
  bool stopped = false;
  {
    std::lock_guard<std::mutex> hold(reaping);
    GetExitCodeProcess(handles->process, &code);
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(handles->process, &created, &exited, &kernel, &user)) {
      const auto ticks = [](FILETIME time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
      };
      system::countChildCpuSeconds(static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7);
    }
    closeHandle(handles->process);
    stopped = handles->stopped;
  }
  if (code == 0) return true;
  const std::string said = lastMessage();
  if (stopped) {
    error = name + " was stopped";
  } else if (code >= 0xC0000000u) {
    char status[16];
    std::snprintf(status, sizeof status, "0x%08lX", static_cast<unsigned long>(code));
    error = name + " crashed with status " + status;
  } else {
    error = name + " failed with exit status " + std::to_string(code);
  }
  if (!said.empty()) error += ": " + said;
  return false;
}

// The encoder's last words, which say what went wrong.
std::string EncoderPipe::lastMessage() const {
  if (handles->messages == nullptr) return {};
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(handles->messages, &length) || length.QuadPart <= 0) return {};
  LARGE_INTEGER from{};
  from.QuadPart = length.QuadPart > messageTail ? length.QuadPart - messageTail : 0;
  if (!SetFilePointerEx(handles->messages, from, nullptr, FILE_BEGIN)) return {};
  std::string text(static_cast<std::size_t>(length.QuadPart - from.QuadPart), '\0');
  DWORD got = 0;
  if (!ReadFile(handles->messages, text.data(), static_cast<DWORD>(text.size()), &got, nullptr)) return {};
  text.resize(got);
  return lastMessageLine(std::move(text));
}

}  // namespace glowmarch
