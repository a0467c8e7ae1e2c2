// A program started with a pipe to its standard input, as the capture runs its video encoder
// (POSIX: fork and exec, in EncoderPipePosix.cpp; Windows: CreateProcessW, in EncoderPipeWindows.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace glowmarch {

// The full path of the executable `name` the capture runs (Linux: found in PATH; Windows: NAME.exe
// beside the running program, else in PATH); empty when there is none.
std::string findProgram(const std::string& name);

// One line saying that `name` was not found and what to do about it.
std::string programMissing(const std::string& name);

// The line that says why an encoder failed, from the end of what it wrote to standard error:
// the last line, or the one before ffmpeg's closing "Conversion failed!", which says only that it did.
std::string lastMessageLine(std::string text);

// One encoder process with a pipe to its standard input and its messages kept in an unnamed file.
// It dies with this program (on Linux, with the thread that started it, so start it from the thread
// that lives longest). Only this object kills and reaps it, so its process id never names another
// process.
class EncoderPipe {
 public:
  EncoderPipe();
  // An encoder still running is killed and waited for.
  ~EncoderPipe();
  EncoderPipe(const EncoderPipe&) = delete;
  EncoderPipe& operator=(const EncoderPipe&) = delete;

  bool start(const std::string& program, const std::vector<std::string>& arguments, std::string& error);
  // All of `size` bytes, or false with the reason: for an encoder that went away, the way it ended.
  bool write(const std::uint8_t* data, std::size_t size, std::string& error);
  // Ends the input, waits for the encoder, and returns true when it finished its work.
  bool finish(std::string& error);
  // Kills it and waits: nothing it was making is complete.
  void abort();
  // Kills it without waiting, from any thread: a write blocked on its pipe then fails.
  void stop();

 private:
  struct Handles;  // the process, its pipe and its messages as the system names them
  bool wait(std::string& error);
  std::string lastMessage() const;

  std::string name;
  std::mutex reaping;  // held while the process is named or given up
  std::unique_ptr<Handles> handles;
};

}  // namespace glowmarch
