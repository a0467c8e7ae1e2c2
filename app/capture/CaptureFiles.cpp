#include "app/capture/CaptureFiles.h"

#include <png.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "app/capture/CapturePlan.h"
#include "audio/DecodedMusic.h"
#include "resources/Utf8Path.h"

namespace glowmarch {

namespace {

void putLittle(std::vector<std::uint8_t>& bytes, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putTag(std::vector<std::uint8_t>& bytes, const char* tag) { bytes.insert(bytes.end(), tag, tag + 4); }

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string systemError(const std::string& path) { return "cannot write " + path + ": " + std::strerror(errno); }

// Closing is where a full disk shows up for buffered writes.
bool closeFile(File& file, const std::string& path, std::string& error) {
  const bool ok = std::ferror(file.get()) == 0 && std::fflush(file.get()) == 0;
  if (!ok) error = systemError(path);
  if (std::fclose(file.release()) != 0 && ok) {
    error = systemError(path);
    return false;
  }
  return ok;
}

// Fast compression: frames are temporary files on their way to an encoder. On a 1920 x 1080 showcase
// frame level 1 with the Up filter takes a fifth of the time of libpng's default (level 6, adaptive
// filters) for a quarter more bytes.
constexpr int pngCompressionLevel = 1;

struct PngWrite {
  std::string message;
};

[[noreturn]] void pngFailure(png_structp png, png_const_charp text) {
  static_cast<PngWrite*>(png_get_error_ptr(png))->message = text;
  png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// Kept apart from the caller's objects with destructors: longjmp must not cross them.
bool encodePng(std::FILE* file, const std::vector<const std::uint8_t*>& rows, int width, int height, PngWrite& state) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, pngFailure, pngWarning);
  if (png == nullptr) {
    state.message = "out of memory";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    state.message = "out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, pngCompressionLevel);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  // The rows hold RGBA; the fourth byte is dropped on the way out.
  png_set_filler(png, 0, PNG_FILLER_AFTER);
  png_write_rows(png, const_cast<png_bytepp>(rows.data()), static_cast<png_uint_32>(height));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool isFrameFileName(const std::string& name) {
  if (name.size() != frameFileName(0).size() || name.rfind("frame", 0) != 0) return false;
  if (name.compare(name.size() - 4, 4, ".png") != 0) return false;
  return std::all_of(name.begin() + 5, name.end() - 4, [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool prepareCaptureFolder(const std::string& folder, const char* unfinished, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code failure;
  const fs::path path = pathFromUtf8(folder);
  if (!fs::is_directory(path, failure)) {
    fs::create_directories(path, failure);
    if (failure || !fs::is_directory(path)) {
      error = "cannot make the folder " + folder + ": " + (failure ? failure.message() : "it is not a folder");
      return false;
    }
  }
  const bool stale = fs::exists(path / unfinished, failure);
  std::vector<fs::path> frames;
  for (fs::directory_iterator entry(path, failure), last; !failure && entry != last; entry.increment(failure)) {
    const std::string name = nativeUtf8(entry->path().filename());
    if (isFrameFileName(name) || (stale && name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0)) {
      frames.push_back(entry->path());
    }
  }
  if (failure) {
    error = "cannot read the folder " + folder + ": " + failure.message();
    return false;
  }
  if (!frames.empty() && !stale) {
    error = folder + " already holds frames (" + nativeUtf8(frames.front().filename()) +
            "); remove them or choose another --out";
    return false;
  }
  for (const fs::path& frame : frames) {
    if (!fs::remove(frame, failure) && failure) {
      error = "cannot remove " + nativeUtf8(frame) + " of an unfinished capture: " + failure.message();
      return false;
    }
  }
  // Writing is tried where it will happen: permissions, a read-only mount or a full disk all show here.
  // A file made only for the try goes again, so a capture refused later leaves nothing behind.
  const fs::path probePath = path / captureWavName;
  const std::string probe = nativeUtf8(probePath);
  const bool existed = fs::exists(probePath, failure);
  File file(std::fopen(probe.c_str(), "ab"));
  if (!file) {
    error = systemError(probe);
    return false;
  }
  const bool ok = closeFile(file, probe, error);
  if (!existed) fs::remove(probePath, failure);
  return ok;
}

bool markUnfinished(const std::filesystem::path& mark, std::string& error) {
  const std::string path = nativeUtf8(mark);
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    error = systemError(path);
    return false;
  }
  return closeFile(file, path, error);
}

std::vector<std::uint8_t> wavHeader(std::uint64_t frames) {
  // The RIFF size counts everything after its own field in 32 bits.
  if (frames > (0xFFFFFFFFull - (wavHeaderSize - 8)) / audio::bytesPerFrame) return {};
  const std::uint64_t dataBytes = frames * audio::bytesPerFrame;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(wavHeaderSize);
  putTag(bytes, "RIFF");
  putLittle(bytes, static_cast<std::uint32_t>(dataBytes + wavHeaderSize - 8), 4);
  putTag(bytes, "WAVE");
  putTag(bytes, "fmt ");
  putLittle(bytes, 16, 4);  // size of the PCM format block
  putLittle(bytes, 1, 2);   // PCM
  putLittle(bytes, audio::channelCount, 2);
  putLittle(bytes, audio::sampleRate, 4);
  putLittle(bytes, audio::sampleRate * audio::bytesPerFrame, 4);  // bytes per second
  putLittle(bytes, audio::bytesPerFrame, 2);                      // block align
  putLittle(bytes, 16, 2);                                        // bits per sample
  putTag(bytes, "data");
  putLittle(bytes, static_cast<std::uint32_t>(dataBytes), 4);
  return bytes;
}

bool writeWav(const std::string& path, const std::int16_t* interleaved, std::uint64_t frames,
              std::uint64_t silentFrames, std::string& error) {
  const std::vector<std::uint8_t> header = wavHeader(frames + silentFrames);
  if (header.empty()) {
    error = "cannot write " + path + ": the music is too long for a WAV file";
    return false;
  }
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    error = systemError(path);
    return false;
  }
  std::fwrite(header.data(), 1, header.size(), file.get());
  const std::uint64_t samples = frames * audio::channelCount;
  if constexpr (std::endian::native == std::endian::little) {
    if (samples > 0) std::fwrite(interleaved, sizeof(std::int16_t), samples, file.get());
  } else {
    for (std::uint64_t i = 0; i < samples; ++i) {
      const auto value = static_cast<std::uint16_t>(interleaved[i]);
      const std::uint8_t little[2] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
      std::fwrite(little, 1, 2, file.get());
    }
  }
  const std::vector<std::uint8_t> silence(std::size_t{64} * 1024, 0);
  for (std::uint64_t left = silentFrames * audio::bytesPerFrame; left > 0;) {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, silence.size()));
    std::fwrite(silence.data(), 1, piece, file.get());
    left -= piece;
  }
  return closeFile(file, path, error);
}

std::vector<const std::uint8_t*> topDownRows(const std::uint8_t* bottomUp, int width, int height,
                                             int bytesPerPixel) {
  std::vector<const std::uint8_t*> rows(height > 0 ? static_cast<std::size_t>(height) : 0);
  const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(bytesPerPixel);
  for (std::size_t row = 0; row < rows.size(); ++row) rows[row] = bottomUp + (rows.size() - 1 - row) * stride;
  return rows;
}

bool writeFramePng(const std::string& path, const std::uint8_t* rgbaBottomUp, int width, int height,
                   std::string& error) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    error = systemError(path);
    return false;
  }
  PngWrite state;
  if (!encodePng(file.get(), topDownRows(rgbaBottomUp, width, height, 4), width, height, state)) {
    error = "cannot write " + path + ": " + (std::ferror(file.get()) ? std::strerror(errno) : state.message);
    return false;
  }
  return closeFile(file, path, error);
}

}  // namespace glowmarch
