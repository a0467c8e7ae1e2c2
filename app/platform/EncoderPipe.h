// A program started with a pipe to its standard input, as the capture runs its video encoder
// (POSIX: fork and exec, in EncoderPipePosix.cpp).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace glowmarch {

// The full path of an executable `name` found in PATH; empty when there is none.
std::string findProgram(const std::string& name);

// One encoder process with a pipe to its standard input and its messages kept in an unnamed file.
// It dies with the thread that started it, so start it from the thread that lives longest. Only this
// object kills and reaps it, so its process id never names another process.
class EncoderPipe {
 public:
  EncoderPipe() = default;
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
  bool wait(std::string& error);
  std::string lastMessage() const;

  std::string name;
  std::mutex reaping;  // held while the process id is used or given up
  pid_t child = -1;
  int input = -1;
  int messages = -1;
};

}  // namespace glowmarch
