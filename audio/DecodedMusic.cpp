#include "audio/DecodedMusic.h"

#include <mpg123.h>

#include <algorithm>
#include <filesystem>
#include <new>
#include <system_error>

namespace glowmarch::audio {

namespace {

// A demo piece lasts minutes; a count beyond this comes from a file that is not one.
constexpr std::uint64_t maxFrames = std::uint64_t{2} * 60 * 60 * sampleRate;
// Small enough that playback may begin after the first few milliseconds of decoding.
constexpr std::uint64_t decodeChunkFrames = 4096;

struct HandleDeleter {
  void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

Handle openHandle(const char* path) {
  int error = MPG123_OK;
  Handle handle(mpg123_new(nullptr, &error));
  if (!handle) return nullptr;
  // Gapless drops the encoder's delay and padding, so positions count only the music's own samples.
  // Frankenstein streams (a second piece glued on) would change format mid-way; they end the piece.
  mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_NO_FRANKENSTEIN, 0.0);
  // One output format only: mono is doubled to stereo, other rates are resampled to 44100 Hz.
  mpg123_format_none(handle.get());
  if (mpg123_format(handle.get(), sampleRate, MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK) return nullptr;
  if (mpg123_open(handle.get(), path) != MPG123_OK) return nullptr;
  // The pre-scan walks every frame header, so the length is exact even without an Info tag.
  if (mpg123_scan(handle.get()) != MPG123_OK) return nullptr;
  long rate = 0;
  int channels = 0;
  int encoding = 0;
  if (mpg123_getformat(handle.get(), &rate, &channels, &encoding) != MPG123_OK) return nullptr;
  if (rate != sampleRate || channels != channelCount || encoding != MPG123_ENC_SIGNED_16) return nullptr;
  return handle;
}

}  // namespace

std::shared_ptr<DecodedMusic> DecodedMusic::open(const char* path) {
  if (path == nullptr) return nullptr;
  // A folder cannot be decoded, and opening a named pipe would wait for a writer forever.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return nullptr;
  Handle handle = openHandle(path);
  if (!handle) return nullptr;
  const off_t length = mpg123_length(handle.get());
  if (length <= 0 || static_cast<std::uint64_t>(length) > maxFrames) return nullptr;

  std::shared_ptr<DecodedMusic> music(new DecodedMusic());
  music->capacity = static_cast<std::uint64_t>(length);
  // Left uninitialised: only decoded frames are ever read, and a long piece is not touched twice.
  music->pcm.reset(new (std::nothrow) std::int16_t[music->capacity * channelCount]);
  if (!music->pcm) return nullptr;
  music->frames.store(music->capacity, std::memory_order_release);
  music->decoder = std::thread([raw = music.get(), h = handle.release()] { raw->decode(h); });
  return music;
}

std::shared_ptr<DecodedMusic> DecodedMusic::fromSamples(std::vector<std::int16_t> interleaved) {
  std::shared_ptr<DecodedMusic> music(new DecodedMusic());
  music->capacity = interleaved.size() / channelCount;
  music->pcm = std::make_unique<std::int16_t[]>(music->capacity * channelCount);
  std::copy_n(interleaved.begin(), music->capacity * channelCount, music->pcm.get());
  music->frames.store(music->capacity, std::memory_order_release);
  music->publish(music->capacity, true);
  return music;
}

DecodedMusic::~DecodedMusic() {
  stopRequested.store(true, std::memory_order_relaxed);
  if (decoder.joinable()) decoder.join();
}

void DecodedMusic::decode(void* raw) {
  Handle handle(static_cast<mpg123_handle*>(raw));
  std::uint64_t count = 0;
  while (count < capacity && !stopRequested.load(std::memory_order_relaxed)) {
    const std::uint64_t request = std::min(decodeChunkFrames, capacity - count);
    std::size_t done = 0;
    const int result = mpg123_read(handle.get(), reinterpret_cast<unsigned char*>(pcm.get() + count * channelCount),
                                   request * bytesPerFrame, &done);
    count += done / bytesPerFrame;
    publish(count, false);
    if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;  // the end, or damage we cannot pass
  }
  // Damage the scan did not see shortens the piece to what could be decoded.
  frames.store(count, std::memory_order_release);
  publish(count, true);
}

void DecodedMusic::publish(std::uint64_t count, bool done) {
  {
    // Under the lock, so a waiter cannot miss the change between its test and its wait.
    std::lock_guard lock(progressMutex);
    decoded.store(count, std::memory_order_release);
    if (done) finished.store(true, std::memory_order_release);
  }
  progress.notify_all();
}

std::uint64_t DecodedMusic::waitForFrames(std::uint64_t count) const {
  std::unique_lock lock(progressMutex);
  progress.wait(lock, [&] { return decodedFrames() >= count || complete(); });
  return decodedFrames();
}

}  // namespace glowmarch::audio
