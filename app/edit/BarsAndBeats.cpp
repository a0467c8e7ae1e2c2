#include "app/edit/BarsAndBeats.h"

#include <algorithm>
#include <cmath>

#include "app/edit/Transport.h"
#include "audio/BeatFile.h"

namespace glowmarch {

BarBeat barBeatOf(long index, int beatsPerBar) {
  return BarBeat{index / beatsPerBar + 1, static_cast<int>(index % beatsPerBar) + 1};
}

std::optional<BarBeat> barBeatAt(const std::vector<double>& beats, int beatsPerBar, double seconds) {
  if (beats.size() < 2 || beatsPerBar < 1 || !std::isfinite(seconds)) return std::nullopt;
  const double position = audio::beatPosition(beats, seconds + 0.5 / editFps);
  if (position < 0.0) return std::nullopt;
  return barBeatOf(static_cast<long>(std::floor(position)), beatsPerBar);
}

std::string barBeatText(const BarBeat& at) { return std::to_string(at.bar) + "." + std::to_string(at.beat); }

int beatLabelStep(double pixelsPerBeat, int beatsPerBar, double minimumPixels) {
  if (!(pixelsPerBeat > 0.0)) return beatsPerBar;
  if (pixelsPerBeat >= minimumPixels) return 1;
  int step = std::max(beatsPerBar, 1);
  while (pixelsPerBeat * step < minimumPixels && step < (1 << 24)) step *= 2;
  return step;
}

}  // namespace glowmarch
