// What a capture leaves in its folder: the music as a 16-bit stereo WAV file and the frames as PNG
// files. Each file is complete and closed when its function returns.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace glowmarch {

inline constexpr const char* captureWavName = "music.wav";
inline constexpr std::size_t wavHeaderSize = 44;

// Makes the folder (and its parents) if needed and checks that files can be written in it. A folder
// that already holds frames is refused: an encoder would take stale frames of a longer capture for
// part of this one. Unless it also holds the file `unfinished` (see markUnfinished): its frames are
// then those of a capture that never completed, and are removed.
bool prepareCaptureFolder(const std::string& folder, const char* unfinished, std::string& error);

// Makes the empty file that marks a folder's frames as unfinished until the capture removes it.
bool markUnfinished(const std::filesystem::path& mark, std::string& error);

// The canonical 44-byte RIFF header of 44.1 kHz 16-bit stereo PCM holding `frames` sample frames.
// Empty when the data would not fit the format's 32-bit sizes.
std::vector<std::uint8_t> wavHeader(std::uint64_t frames);

// Writes the header, `frames` interleaved sample frames, then `silentFrames` of silence; on failure
// returns false and sets `error`.
bool writeWav(const std::string& path, const std::int16_t* interleaved, std::uint64_t frames,
              std::uint64_t silentFrames, std::string& error);

// Row pointers of a picture read back from GL (bottom row first) in the order a PNG stores them
// (top row first).
std::vector<const std::uint8_t*> topDownRows(const std::uint8_t* bottomUp, int width, int height,
                                             int bytesPerPixel);

// Writes an RGB PNG from RGBA pixels read back from GL (bottom row first; alpha dropped: the show
// leaves it at whatever its blending made, which a video has no use for).
bool writeFramePng(const std::string& path, const std::uint8_t* rgbaBottomUp, int width, int height,
                   std::string& error);

}  // namespace glowmarch
