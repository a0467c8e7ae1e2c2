// The Player's start, its end and its per-frame pass: clocks, music, due lines, drawing.
#include "timeline/Player.h"

#include <GL/glew.h>

#include <cstdio>

#include "audio/BeatFile.h"
#include "effects/EffectRegistry.h"
#include "effects/FrameValues.h"
#include "timeline/Platform.h"

namespace glowmarch {

static_assert(audio::spectrumBins == spectrumBins, "the spectrum fills musicData exactly");

namespace {

void tell(const char* text) {
  if (platform().showMessage != nullptr) platform().showMessage(text, "BASS");
}

}  // namespace

Player::Player() : Player(AudioOpener(audio::AudioDevice::openDefault)) {}

Player::Player(const AudioOpener& openAudio) : Player(openAudio, nullptr) {}

Player::Player(const AudioOpener& openAudio, std::shared_ptr<const audio::DecodedMusic> music, AtEnd endAction)
    : atEnd(endAction) {
  // The script's start-up lines run before the music starts.
  init();
  if (over()) return;
  readBeats();
  if (openAudio) audioDevice = openAudio();
  if (!audioDevice) {
    tell("BASS error");
  } else if (stream = music ? audioDevice->createStream(std::move(music)) : audioDevice->createStream(musicPath);
             !stream) {
    tell("BASS error, file not found?");
  } else if (!stream->play()) {
    tell("BASS error, can not play stream?");
  }
  // After any message box was closed, so the show's clock starts when the show does.
  startTime = platform().milliseconds();
  frameCount = 0;
  // A new show's clock starts afresh: its first frameDelta is not taken against the last show's clock.
  elapsedTime = 0.0;
}

Player::~Player() {
  // The stream goes before the output it plays on.
  stream.reset();
  audioDevice.reset();
}

bool Player::runFrame() {
  if (over()) return false;
  sampleClocks();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  if (!stepTimeline()) return false;
  for (Demoeffect* effect : scene) {
    glLoadIdentity();
    effect->draw();
  }
  return finishFrame();
}

void Player::redrawFrame() {
  if (over()) return;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  drawingAgain = true;
  for (Demoeffect* effect : scene) {
    glLoadIdentity();
    effect->draw();
  }
  drawingAgain = false;
  if (currentProgram != 0) {
    glUseProgram(0);
    currentProgram = 0;
  }
}

bool Player::advanceFrame() {
  if (over()) return false;
  sampleClocks();
  if (!stepTimeline()) return false;
  for (Demoeffect* effect : scene) effect->advanceTree();
  return finishFrame();
}

void Player::sampleClocks() {
  const double now = secondsBetween(startTime, platform().milliseconds());
  frameDelta = now - elapsedTime;
  elapsedTime = now;

  audio::Activity activity = audio::Activity::stopped;
  if (stream) {
    musicTime = stream->positionSeconds();
    activity = stream->activity();
  }
  if (activity == audio::Activity::stopped || activity == audio::Activity::paused) {
    // No music: the timeline runs on the wall clock, and the last spectrum stays.
    musicTime = elapsedTime;
  } else {
    stream->spectrum(musicData);
    weightSpectrum(musicData);
  }
  hasMusicBeat = !beats.empty();
  if (hasMusicBeat) musicBeat = audio::beatPosition(beats, musicTime);
}

bool Player::stepTimeline() {
  formatFrameRate(fpsText, frameCount, elapsedTime);
  if (Demoeffect* fps = effects.find("fps")) fps->local(static_cast<float>(musicTime), fpsText);

  Demoeffect* skydome = effects.find("skydome");
  const Demoeffect* cam = effects.find("cam");
  if (skydome != nullptr && cam != nullptr) {
    for (int i = 0; i < 3; ++i) skydome->transform.point[i] = cam->transform.point[i];
  }

  // File order, not time order: lines due in the same frame run as the script lists them.
  for (ScriptLine& line : scriptLines) {
    if (!isDue(line, musicTime)) continue;
    std::printf("Doing: %s\n", line.text);
    executeLine(*this, line);
    // Nothing of the show runs after its end, as when the process ended there.
    if (over()) return false;
  }
  return true;
}

bool Player::finishFrame() {
  // A sphere made by a line leaves its program current even in a frame that draws nothing.
  if (currentProgram != 0) {
    glUseProgram(0);
    currentProgram = 0;
  }

  ++frameCount;
  if (stream) stream->update();
  return true;
}

}  // namespace glowmarch
