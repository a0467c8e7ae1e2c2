// The few things the programs ask of the operating system that differ between Linux and Windows,
// implemented once per system (SystemPosix.cpp, SystemWindows.cpp).
#pragma once

#include <cstddef>
#include <filesystem>

namespace glowmarch::system {

// A write to a connection or pipe whose reader has gone fails instead of ending the program.
void ignoreBrokenPipes();
// CPU seconds of the whole process, its GL driver's threads included.
double processCpuSeconds();
// CPU seconds of the child processes that ended and were waited for.
double childrenCpuSeconds();
// CPU seconds of the calling thread alone.
double threadCpuSeconds();
// Standard error is a terminal a person watches (progress may redraw its line).
bool standardErrorIsTerminal();
// The folder that holds the running program's executable; empty when it cannot be told.
std::filesystem::path executableFolder();
// From now on everything printed to C's standard output also goes to `copy`, line by line as the
// player's own output goes; false where it cannot be arranged.
using OutputCopy = void (*)(const char* bytes, std::size_t size);
bool copyStandardOutput(OutputCopy copy);
// Standard output and error reach the console the program was started from, a windowed program's
// too, and each line written to standard output goes out at once, not when a buffer fills.
void connectStandardStreams();

}  // namespace glowmarch::system
