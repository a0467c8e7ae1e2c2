#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioDevice.h"

namespace glowmarch::audio {
namespace {

const std::string fixtures = GLOWMARCH_SOURCE_DIR "/tests/audio/fixtures/";

// Waits (a busy machine may take long) until the stream plays and has been heard past `bytes`.
bool heardPast(MusicStream& stream, std::uint64_t bytes) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < giveUp) {
    if (stream.activity() == Activity::playing && stream.position() > bytes) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

std::shared_ptr<const DecodedMusic> silenceOf(int frames) {
  return DecodedMusic::fromSamples(std::vector<std::int16_t>(static_cast<std::size_t>(frames) * 2, 0));
}

TEST(ManualStream, StandsWhereItIsPutAndStopsAtTheEnd) {
  ManualDevice device;
  EXPECT_EQ(device.createStream("missing.mp3"), nullptr);
  auto stream = device.createStream((fixtures + "tone440.mp3").c_str());
  ASSERT_NE(stream, nullptr);
  auto& manual = dynamic_cast<ManualStream&>(*stream);

  EXPECT_EQ(stream->activity(), Activity::stopped);  // not played yet
  EXPECT_TRUE(stream->play());
  EXPECT_EQ(stream->activity(), Activity::playing);
  EXPECT_EQ(stream->position(), 0u);

  manual.setFrame(22050);
  EXPECT_EQ(stream->position(), 22050u * bytesPerFrame);
  EXPECT_EQ(MusicStream::bytesToSeconds(stream->position()), 0.5);
  EXPECT_EQ(stream->positionSeconds(), 0.5);

  // Frame times of an offline render stay exact even where they fall between samples.
  manual.setSeconds(7.0 / 24.0);
  EXPECT_EQ(stream->positionSeconds(), 7.0 / 24.0);
  EXPECT_EQ(stream->position(), 12862u * bytesPerFrame);  // floor(44100 * 7 / 24)

  manual.setFrame(44099);
  EXPECT_EQ(stream->activity(), Activity::playing);
  manual.setFrame(44100);
  EXPECT_EQ(stream->activity(), Activity::stopped);
  manual.setFrame(UINT64_MAX);
  EXPECT_EQ(stream->position(), 44100u * bytesPerFrame);
  EXPECT_EQ(stream->activity(), Activity::stopped);
  manual.setSeconds(1e300);
  EXPECT_EQ(stream->position(), 44100u * bytesPerFrame);
  EXPECT_EQ(stream->positionSeconds(), 1.0);
  manual.setSeconds(-3.0);
  EXPECT_EQ(stream->positionSeconds(), 0.0);
}

// SDL's dummy driver: no sound card needed, samples consumed at about real-time pace.
class SdlDevice : public ::testing::Test {
 protected:
  void SetUp() override { SDL_setenv("SDL_AUDIODRIVER", "dummy", 1); }
};

TEST_F(SdlDevice, WithoutAnOutputOpeningFailsCleanly) {
  SDL_setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_EQ(AudioDevice::openDefault(), nullptr);
}

TEST_F(SdlDevice, PositionRisesSmoothlyNeverBackwardsAndStopsAtTheEnd) {
  auto device = AudioDevice::openDefault();
  ASSERT_NE(device, nullptr) << SDL_GetError();
  const int length = sampleRate / 2;
  auto stream = device->createStream(silenceOf(length));
  EXPECT_EQ(stream->activity(), Activity::stopped);
  EXPECT_EQ(stream->position(), 0u);
  ASSERT_TRUE(stream->play());

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  std::uint64_t previous = 0;
  Clock::time_point previousTime = start;
  int samples = 0;
  int distinct = 0;
  while (stream->activity() != Activity::stopped && Clock::now() - start < std::chrono::seconds(10)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const Clock::time_point now = Clock::now();
    const std::uint64_t position = stream->position() / bytesPerFrame;
    ASSERT_GE(position, previous) << "the position ran backwards";
    // Between two readings it moves by the time that passed, plus at most one buffer of catching up.
    const double seconds = std::chrono::duration<double>(now - previousTime).count();
    EXPECT_LE(static_cast<double>(position - previous), seconds * sampleRate * 1.1 + 1100.0);
    if (position != previous) ++distinct;
    previous = position;
    previousTime = now;
    ++samples;
  }
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_EQ(stream->activity(), Activity::stopped);
  EXPECT_EQ(stream->position(), static_cast<std::uint64_t>(length) * bytesPerFrame);
  EXPECT_GT(took, 0.4);  // half a second of music is heard in about half a second
  EXPECT_LT(took, 5.0);
  // Interpolated: many more distinct positions than the ~22 callbacks in half a second.
  EXPECT_GT(distinct, 40) << samples << " readings";
}

bool heardToTheEnd(MusicStream& stream) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < giveUp) {
    if (stream.activity() == Activity::stopped) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

// The edit mode's Home after the music's end, or a seek in its last milliseconds, whose fade out runs
// past the end.
TEST_F(SdlDevice, ASeekAfterTheEndPlaysOnFromTheFrameSought) {
  auto device = AudioDevice::openDefault();
  ASSERT_NE(device, nullptr) << SDL_GetError();
  const int length = sampleRate / 2;
  auto stream = device->createStream(silenceOf(length));
  ASSERT_TRUE(stream->play());
  ASSERT_TRUE(heardToTheEnd(*stream));
  EXPECT_EQ(stream->position(), static_cast<std::uint64_t>(length) * bytesPerFrame);

  const std::uint64_t sought = sampleRate / 10;
  stream->seek(sought);
  EXPECT_EQ(stream->position(), sought * bytesPerFrame) << "a seek is read at once";
  EXPECT_TRUE(heardPast(*stream, (sought + 4410) * bytesPerFrame)) << "the music did not come back";
  ASSERT_TRUE(heardToTheEnd(*stream));
  EXPECT_EQ(stream->position(), static_cast<std::uint64_t>(length) * bytesPerFrame);

  // 50 frames before the end: the fade in that follows cannot finish before it.
  stream->seek(length - 50);
  ASSERT_TRUE(heardToTheEnd(*stream));
  stream->seek(0);
  EXPECT_EQ(stream->position(), 0u);
  EXPECT_TRUE(heardPast(*stream, 4410 * bytesPerFrame)) << "Home after a seek near the end";
}

TEST_F(SdlDevice, DeviceAndStreamMayBeFreedInEitherOrder) {
  auto device = AudioDevice::openDefault();
  ASSERT_NE(device, nullptr) << SDL_GetError();
  auto first = device->createStream(silenceOf(sampleRate * 10));
  auto second = device->createStream(silenceOf(sampleRate * 10));
  ASSERT_TRUE(first->play());
  EXPECT_TRUE(heardPast(*first, 0));
  // One stream at a time: the second takes the device over.
  ASSERT_TRUE(second->play());
  EXPECT_EQ(first->activity(), Activity::stopped);
  first.reset();
  EXPECT_TRUE(heardPast(*second, 0));

  device.reset();
  const std::uint64_t last = second->position();
  EXPECT_EQ(second->activity(), Activity::stopped);
  EXPECT_FALSE(second->play());
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_LE(second->position() - last, static_cast<std::uint64_t>(2048 * bytesPerFrame));
  second.reset();
}

void failIfAnyDevicePlays() {
  for (SDL_AudioDeviceID id = 1; id < 16; ++id) {
    if (SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_PLAYING) std::_Exit(5);
  }
}

void exitWhilePlaying() {
  // Registered before the device opens, so it runs after the audio layer's own exit hook.
  std::atexit(failIfAnyDevicePlays);
  auto device = AudioDevice::openDefault();
  if (!device) std::exit(2);
  auto stream = device->createStream((fixtures + "tone440.mp3").c_str());
  if (!stream || !stream->play()) std::exit(3);
  if (!heardPast(*stream, 0)) std::exit(4);
  // A process that exits with the device playing and nothing freed (still reachable, as a Player
  // is from a program that never destroys it).
  static AudioDevice* keptDevice = device.release();
  static MusicStream* keptStream = stream.release();
  (void)keptDevice;
  (void)keptStream;
  std::exit(0);
}

TEST_F(SdlDevice, ProcessExitWhilePlayingClosesTheDeviceFirst) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(exitWhilePlaying(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace glowmarch::audio
