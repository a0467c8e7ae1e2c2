// The few things the programs ask of the operating system that differ between Linux and Windows,
// implemented once per system (SystemPosix.cpp, SystemWindows.cpp).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace glowmarch::system {

// A write to a connection or pipe whose reader has gone fails instead of ending the program.
void ignoreBrokenPipes();
// CPU seconds of the whole process, its GL driver's threads included.
double processCpuSeconds();
// CPU seconds of the child processes that ended and were waited for.
double childrenCpuSeconds();
// Where the system does not count them itself (Windows), the code that waited for a child adds its
// CPU seconds here; elsewhere nothing happens.
void countChildCpuSeconds(double seconds);
// CPU seconds of the calling thread alone.
double threadCpuSeconds();
// Whether the program may make files in `folder`; false with the reason.
bool canWriteIn(const std::filesystem::path& folder, std::string& reason);
// Renames `from` to `to`, a file of that name replaced in the same step; false with the reason.
bool moveOver(const std::filesystem::path& from, const std::filesystem::path& to, std::string& reason);
// Standard error is a terminal a person watches (progress may redraw its line).
bool standardErrorIsTerminal();
// The folder that holds the running program's executable; empty when it cannot be told.
std::filesystem::path executableFolder();
// The folder of a person's settings for Glowmarch (Linux: $XDG_CONFIG_HOME/glowmarch or
// ~/.config/glowmarch; Windows: glowmarch in the roaming application data); empty when there is none.
std::filesystem::path settingsFolder();
// A window system is there to be reached (Linux: a display is named, or SDL is told which video
// driver to use; Windows: always).
bool displayNamed();
// From now on everything printed to C's standard output also goes to `copy`, line by line as the
// player's own output goes; false where it cannot be arranged. Where the system cannot hand each
// write over as it happens (Windows), takeCopiedOutput hands over what was printed since its last
// call; call it before reading what the copy collected.
using OutputCopy = void (*)(const char* bytes, std::size_t size);
bool copyStandardOutput(OutputCopy copy);
void takeCopiedOutput();
// Standard output and error reach the console the program was started from, a windowed program's
// too, and each line written to standard output goes out at once, not when a buffer fills.
void connectStandardStreams();

}  // namespace glowmarch::system
