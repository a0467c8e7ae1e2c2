#include "audio/DecodedMusic.h"

#include <mpg123.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <new>
#include <system_error>

#include "audio/Resampler.h"

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

long state(mpg123_handle* handle, mpg123_state key) {
  long value = -1;
  if (mpg123_getstate(handle, key, &value, nullptr) != MPG123_OK) return -1;
  return value;
}

}  // namespace

// The decoder's handle, and which of its frames make the piece.
struct DecodedMusic::Source {
  Handle handle;
  long rate = sampleRate;
  std::uint64_t skip = 0;    // frames decoded before the music starts
  std::uint64_t frames = 0;  // frames of music, at the file's own rate
};

std::unique_ptr<DecodedMusic::Source> DecodedMusic::openSource(const char* path) {
  int error = MPG123_OK;
  Handle handle(mpg123_new(nullptr, &error));
  if (!handle) return nullptr;
  mpg123_handle* h = handle.get();
  // Gapless drops the encoder's delay and padding, so positions count only the music's own samples.
  // Frankenstein streams (a second piece glued on) would change format mid-way; they end the piece.
  mpg123_param(h, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_NO_FRANKENSTEIN, 0.0);
  // Every rate comes out as it is, mono doubled to stereo: libmpg123's own rate conversion repeats
  // samples (audible aliasing) and runs its clock fast. 44.1 kHz is played as decoded; other rates
  // come as floats, so the resampler rounds to 16 bits only once.
  mpg123_format_none(h);
  const long* rates = nullptr;
  std::size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (std::size_t i = 0; i < rateCount; ++i) {
    mpg123_format(h, rates[i], MPG123_STEREO, rates[i] == sampleRate ? MPG123_ENC_SIGNED_16 : MPG123_ENC_FLOAT_32);
  }
  if (mpg123_open(h, path) != MPG123_OK) return nullptr;
  // Before the scan: the length the encoder's header announces, when it has one.
  const off_t announced = mpg123_length(h);
  // The pre-scan walks every frame header, so the length is exact even without an Info tag.
  if (mpg123_scan(h) != MPG123_OK) return nullptr;
  long rate = 0;
  int channels = 0;
  int encoding = 0;
  if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK) return nullptr;
  if (rate <= 0 || channels != channelCount ||
      encoding != (rate == sampleRate ? MPG123_ENC_SIGNED_16 : MPG123_ENC_FLOAT_32)) {
    return nullptr;
  }
  const off_t length = mpg123_length(h);
  if (length <= 0) return nullptr;

  auto source = std::make_unique<Source>();
  source->rate = rate;
  source->frames = static_cast<std::uint64_t>(length);
  // A file cut short (an interrupted copy) holds fewer frames than its header announced. libmpg123
  // then gives up gapless trimming altogether and the piece would play late by the encoder's and
  // the decoder's delay; it still knows them, so the trimming is done here.
  const long delay = state(h, MPG123_ENC_DELAY);
  const long padding = state(h, MPG123_ENC_PADDING);
  const long decoderDelay = state(h, MPG123_DEC_DELAY);
  const off_t frameCount = mpg123_framelength(h);
  const int frameSamples = mpg123_spf(h);
  if (delay >= 0 && padding >= 0 && decoderDelay >= 0 && announced > 0 && frameCount > 0 && frameSamples > 0) {
    const auto scanned = static_cast<std::uint64_t>(frameCount) * static_cast<std::uint64_t>(frameSamples);
    const auto header = static_cast<std::uint64_t>(announced) + static_cast<std::uint64_t>(delay + padding);
    const auto skip = static_cast<std::uint64_t>(delay + decoderDelay);
    if (scanned < header && source->frames == scanned && scanned > skip) {
      source->skip = skip;
      // The music ends where the data ends, or where the header said if the cut fell in the padding.
      source->frames = std::min(scanned - skip, static_cast<std::uint64_t>(announced));
    }
  }
  source->handle = std::move(handle);
  return source;
}

std::shared_ptr<DecodedMusic> DecodedMusic::open(const char* path) {
  if (path == nullptr) return nullptr;
  // A folder cannot be decoded, and opening a named pipe would wait for a writer forever.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return nullptr;
  std::unique_ptr<Source> source = openSource(path);
  if (!source || source->frames > 2 * maxFrames) return nullptr;
  const std::uint64_t length =
      source->rate == sampleRate ? source->frames : convertedLength(source->frames, source->rate);
  if (length == 0 || length > maxFrames) return nullptr;

  std::shared_ptr<DecodedMusic> music(new DecodedMusic());
  music->capacity = length;
  // Left uninitialised: only decoded frames are ever read, and a long piece is not touched twice.
  music->pcm.reset(new (std::nothrow) std::int16_t[music->capacity * channelCount]);
  if (!music->pcm) return nullptr;
  music->frames.store(music->capacity, std::memory_order_release);
  music->decoder = std::thread([raw = music.get(), s = std::move(source)]() mutable { raw->decode(std::move(s)); });
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

namespace {

// Reads the piece's frames at the file's own rate, without those before the music, and hands
// them on chunk by chunk. True when every frame the scan promised came; false at damage, at a
// stop, or when `take` refuses.
template <typename Sample, typename Take>
bool readMusic(mpg123_handle* handle, std::uint64_t skip, std::uint64_t remaining, const std::atomic<bool>& stop,
               Take take) {
  const auto chunk = std::make_unique<Sample[]>(decodeChunkFrames * channelCount);
  constexpr std::size_t frameBytes = channelCount * sizeof(Sample);
  while (!stop.load(std::memory_order_relaxed)) {
    std::size_t done = 0;
    const int result = mpg123_read(handle, reinterpret_cast<unsigned char*>(chunk.get()),
                                   std::min(decodeChunkFrames, skip + remaining) * frameBytes, &done);
    const std::uint64_t got = done / frameBytes;
    const std::uint64_t dropped = std::min(skip, got);
    const std::uint64_t kept = std::min(got - dropped, remaining);
    skip -= dropped;
    remaining -= kept;
    if (kept > 0 && !take(chunk.get() + dropped * channelCount, kept)) return false;
    if (remaining == 0) return true;
    if (result != MPG123_OK && result != MPG123_NEW_FORMAT) return false;  // the end, or damage we cannot pass
  }
  return false;
}

// Decoded chunks on their way from the decoding thread to the converting one. A few in flight
// keep both threads busy; either side may close it, and the other then stops waiting.
class ChunkPipe {
 public:
  struct Chunk {
    std::vector<float> samples = std::vector<float>(decodeChunkFrames * channelCount);
    std::uint64_t frames = 0;
  };

  // The next chunk to fill, once one is free; nullptr when closed.
  Chunk* slot() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return used < chunks.size() || closed; });
    return closed ? nullptr : &chunks[(first + used) % chunks.size()];
  }
  void send() {
    {
      std::lock_guard lock(mutex);
      ++used;
    }
    changed.notify_all();
  }
  // The oldest filled chunk; nullptr once closed and empty.
  const Chunk* receive() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return used > 0 || closed; });
    return used > 0 ? &chunks[first] : nullptr;
  }
  void release() {
    {
      std::lock_guard lock(mutex);
      first = (first + 1) % chunks.size();
      --used;
    }
    changed.notify_all();
  }
  void close() {
    {
      std::lock_guard lock(mutex);
      closed = true;
    }
    changed.notify_all();
  }

 private:
  std::mutex mutex;
  std::condition_variable changed;
  std::array<Chunk, 4> chunks;
  std::size_t first = 0;
  std::size_t used = 0;
  bool closed = false;
};

}  // namespace

void DecodedMusic::decode(std::unique_ptr<Source> source) {
  std::uint64_t count = 0;
  if (source->rate == sampleRate) {
    readMusic<std::int16_t>(source->handle.get(), source->skip, source->frames, stopRequested,
                            [&](const std::int16_t* samples, std::uint64_t frames) {
                              std::copy_n(samples, frames * channelCount, pcm.get() + count * channelCount);
                              count += frames;
                              publish(count, false);
                              return true;
                            });
  } else {
    count = decodeConverting(*source);
  }
  // Damage the scan did not see shortens the piece to what could be decoded.
  frames.store(count, std::memory_order_release);
  publish(count, true);
}

std::uint64_t DecodedMusic::decodeConverting(Source& source) {
  Resampler resampler(source.rate);
  if (!resampler.ready()) return 0;
  // The resampler costs about as much as the decoder: on a thread of its own beside it, the
  // whole piece is ready in about the time decoding alone takes.
  ChunkPipe pipe;
  std::uint64_t count = 0;
  std::thread converter([&] {
    while (const ChunkPipe::Chunk* chunk = pipe.receive()) {
      if (stopRequested.load(std::memory_order_relaxed)) break;
      count += resampler.convert(chunk->samples.data(), chunk->frames, pcm.get() + count * channelCount,
                                 capacity - count);
      pipe.release();
      publish(count, false);
    }
    pipe.close();  // after a stop, the decoder must not wait for room
  });
  const bool whole = readMusic<float>(source.handle.get(), source.skip, source.frames, stopRequested,
                                      [&](const float* samples, std::uint64_t frames) {
                                        ChunkPipe::Chunk* chunk = pipe.slot();
                                        if (chunk == nullptr) return false;
                                        std::copy_n(samples, frames * channelCount, chunk->samples.begin());
                                        chunk->frames = frames;
                                        pipe.send();
                                        return true;
                                      });
  pipe.close();
  converter.join();
  if (stopRequested.load(std::memory_order_relaxed)) return count;
  count += resampler.finish(pcm.get() + count * channelCount, capacity - count);
  // The filter's last frame may fall either side of the rounded length; the length stays as promised.
  if (whole) {
    std::fill(pcm.get() + count * channelCount, pcm.get() + capacity * channelCount, std::int16_t{0});
    count = capacity;
  }
  return count;
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
