// Musical time in the edit mode, in plain values: the bar and beat at a time, the timeline's labels,
// where a dragged tick lands, where the script's END stops the timeline, and the keys that move lines.
#include <gtest/gtest.h>

#include <vector>

#include "app/edit/BarsAndBeats.h"
#include "app/edit/PlayState.h"
#include "app/edit/TimelineLines.h"
#include "app/edit/TimelineScale.h"
#include "app/edit/Transport.h"

namespace glowmarch {
namespace {

TEST(BarsAndBeats, CountFromTheFirstBeatOnOnPastTheLastAndNotBeforeTheFirst) {
  const std::vector<double> beats = {1.0, 1.5, 2.0, 2.5, 3.0, 3.5};
  const auto text = [&](double seconds, int perBar = 4) {
    const auto at = barBeatAt(beats, perBar, seconds);
    return at ? barBeatText(*at) : std::string("none");
  };
  EXPECT_EQ(text(0.9), "none");
  EXPECT_EQ(text(1.0), "1.1");
  EXPECT_EQ(text(1.49), "1.1");
  EXPECT_EQ(text(2.6), "1.4");
  EXPECT_EQ(text(3.0), "2.1");
  // The grid frame nearest a beat, a few milliseconds before it, is on it.
  EXPECT_EQ(text(3.0 - 0.005), "2.1");
  EXPECT_EQ(text(5.0), "3.1") << "counted on at the last interval";
  EXPECT_EQ(text(3.0, 3), "2.2");
  EXPECT_FALSE(barBeatAt({1.0}, 4, 2.0).has_value());

  // Each beat labelled when there is room, else bars, doubling.
  EXPECT_EQ(beatLabelStep(40.0, 4, 36.0), 1);
  EXPECT_EQ(beatLabelStep(20.0, 4, 36.0), 4);
  EXPECT_EQ(beatLabelStep(5.0, 4, 36.0), 8);
  EXPECT_EQ(beatLabelStep(1.0, 3, 36.0), 48);
}

TEST(BarsAndBeats, ADraggedTickLandsOnTheFrameNearestTheNearestBeatOrWithShiftOnTheNearestFrame) {
  const std::vector<double> beats = {0.4991, 0.9991, 1.4991};
  EXPECT_EQ(tickTarget(0.8, beats, false), 60u);
  EXPECT_EQ(tickTarget(0.7, beats, false), 30u);
  EXPECT_EQ(tickTarget(9.0, beats, false), 90u);
  EXPECT_EQ(tickTarget(0.8, beats, true), 48u);
  EXPECT_EQ(tickTarget(0.8, {}, false), 48u);
  EXPECT_EQ(tickTarget(0.0, {}, true), 1u) << "frame 0 belongs to the start-up lines";
}

TEST(BarsAndBeats, TheScriptsEndIsItsEarliestEndLineAndPageDownStopsThere) {
  std::vector<TimelineLine> lines = {{-1.0, 1, "-1 cam new camera"}, {30.75, 2, "30.75 show END"},
                                     {12.0, 3, "12 cam END"},        {5.0, 4, " 5 show END"},
                                     {6.0, 5, "6 show ENDING"}};
  EXPECT_EQ(scriptEnd(lines), 12.0) << "an indented line's words are shifted: not an END";
  lines.erase(lines.begin() + 2);
  EXPECT_EQ(scriptEnd(lines), 30.75);
  EXPECT_FALSE(scriptEnd({{1.0, 1, "1 cam setpoint 0,0,0"}}).has_value());

  PlayState state;
  state.pausedOnGrid(100);
  const std::vector<double> beats = {1.0, 2.0, 3.0};
  EXPECT_EQ(state.answer(EditKey::nextBeat, 0.0, 120, beats).frame, 120u);
  state.pausedOnGrid(120);
  EXPECT_EQ(state.answer(EditKey::nextBeat, 0.0, 120, beats).kind, EditAction::Kind::none) << "not past the END";
  EXPECT_EQ(state.answer(EditKey::previousBeat, 0.0, 120, beats).frame, 60u);

  EXPECT_EQ(editKeyFor('Z', false, true), EditKey::undo);
  EXPECT_EQ(editKeyFor('Z', true, true), EditKey::redo);
  EXPECT_EQ(editKeyFor('Y', false, true), EditKey::redo);
  EXPECT_EQ(editKeyFor(0x25, false, true), EditKey::lineEarlier);
  EXPECT_EQ(editKeyFor(0x27, true, true), EditKey::lineLater);
  EXPECT_EQ(editKeyFor(0x25, false, false), EditKey::back);
  EXPECT_EQ(editKeyFor('B', false), EditKey::writeBeats);
}

}  // namespace
}  // namespace glowmarch
