#include "app/capture/CapturePlan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/DecodedMusic.h"

namespace glowmarch {

namespace {

// Far below a frame at any rate, far above the error of a decimal time times the rate.
constexpr double frameTolerance = 1e-6;

constexpr int barWidth = 24;

}  // namespace

std::uint64_t firstFrameAt(double seconds, int fps) {
  if (!(seconds > 0.0) || fps <= 0) return 0;
  const double frames = std::ceil(seconds * fps - frameTolerance);
  return frames > 0.0 ? static_cast<std::uint64_t>(frames) : 0;
}

std::uint64_t firstFrameAfterMusic(std::uint64_t musicFrames, int fps) {
  // n / fps < musicFrames / 44100, in whole numbers: the last frame that still hears a sample is kept.
  const std::uint64_t rate = static_cast<std::uint64_t>(audio::sampleRate);
  return (musicFrames * static_cast<std::uint64_t>(fps) + rate - 1) / rate;
}

std::optional<CapturePlan> planCapture(int fps, double from, std::optional<double> to,
                                       std::optional<std::uint64_t> musicFrames) {
  if (!to && !musicFrames) return std::nullopt;
  CapturePlan plan;
  plan.fps = fps;
  plan.first = firstFrameAt(from, fps);
  plan.end = to ? firstFrameAt(*to, fps) : firstFrameAfterMusic(*musicFrames, fps);
  plan.askedEnd = plan.end;
  return plan;
}

void stopAtScriptEnd(CapturePlan& plan, std::optional<std::uint64_t> endFrame) {
  if (!endFrame || *endFrame >= plan.askedEnd) return;
  plan.scriptEnd = endFrame;
  plan.end = *endFrame;
}

std::uint64_t frameSample(std::uint64_t frame, int fps) {
  return frame * static_cast<std::uint64_t>(audio::sampleRate) / static_cast<std::uint64_t>(fps);
}

std::string frameFileName(std::uint64_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame%06llu.png", static_cast<unsigned long long>(index));
  return name;
}

std::string clockText(double seconds) {
  if (!(seconds > 0.0)) seconds = 0.0;
  const auto total = static_cast<unsigned long long>(std::min(seconds, 1e9) + 0.5);
  char text[48];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%llu:%02llu", total / 60, total % 60);
  }
  return text;
}

std::string progressText(const CapturePlan& plan, std::uint64_t framesRun, double musicSeconds,
                         double phaseWallSeconds) {
  const std::uint64_t total = std::max<std::uint64_t>(plan.end, 1);
  framesRun = std::min(framesRun, plan.end);
  const int filled = static_cast<int>(framesRun * barWidth / total);
  std::string text = "[" + std::string(filled, '#') + std::string(barWidth - filled, '-') + "]";

  const bool skipping = framesRun < plan.first;
  const std::uint64_t phaseDone = skipping ? framesRun : framesRun - plan.first;
  const std::uint64_t phaseLeft = skipping ? plan.first - framesRun : plan.end - framesRun;
  char part[160];
  if (skipping) {
    std::snprintf(part, sizeof part, " skipping to %.3f s, frame %llu/%llu", frameSeconds(plan.first, plan.fps),
                  static_cast<unsigned long long>(framesRun), static_cast<unsigned long long>(plan.first));
  } else {
    std::snprintf(part, sizeof part, " %llu/%llu frames", static_cast<unsigned long long>(phaseDone),
                  static_cast<unsigned long long>(plan.count()));
  }
  text += part;
  std::snprintf(part, sizeof part, ", music %.3f s", musicSeconds);
  text += part;
  if (phaseDone == 0 && phaseLeft > 0) {
    text += skipping ? ", time to get there unknown" : ", time left unknown";
  } else {
    const std::string estimate = clockText(phaseDone > 0 ? phaseWallSeconds / phaseDone * phaseLeft : 0.0);
    text += skipping ? ", about " + estimate + " to get there" : ", about " + estimate + " left";
  }
  return text;
}

}  // namespace glowmarch
