#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "effects/EffectRegistry.h"
#include "tests/support/ScriptRunner.h"
#include "tests/support/TestShow.h"
#include "timeline/Player.h"

namespace glowmarch {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

// Runs script lines through the interpreter the way the timeline does, keeping their text alive.
class Interpreter : public ::testing::Test {
 protected:
  void SetUp() override { testing::resetShow(); }
  void TearDown() override { testing::resetShow(); }

  std::string run(const std::string& text) { return script.run(text); }

  Demoeffect& effect(const char* name) {
    Demoeffect* found = effects.find(name);
    EXPECT_NE(found, nullptr) << name;
    static Demoeffect none;
    return found != nullptr ? *found : none;
  }

  testing::ScriptRunner script;
  Player& player = script.player;
};

const std::string missingEffect = "You need to create this effect with new or clone first! ";

TEST_F(Interpreter, NewThenSetpointPlacesTheEffect) {
  EXPECT_EQ(run("1 cam new demoeffect"), "");
  EXPECT_EQ(run("2 cam setpoint 0 1.5 -4"), "");
  const float* p = effect("cam").transform.point;
  EXPECT_EQ(p[0], 0.0f);
  EXPECT_EQ(p[1], 1.5f);
  EXPECT_EQ(p[2], -4.0f);
}

TEST_F(Interpreter, CommasAndSpacesSeparateWordsAlike) {
  run("1,a,new,demoeffect");
  run("2,a,setpoint,1,2,3");
  EXPECT_EQ(effect("a").transform.point[2], 3.0f);
  run("3 a setdirection,0.1,0.2,0.3");
  EXPECT_FLOAT_EQ(effect("a").transform.direction[1], 0.2f);
}

TEST_F(Interpreter, ShiftedWordsFromIndentationOrDoubleSpacesDoNothingButTheExistenceMessage) {
  run("1 a new demoeffect");
  // Two spaces: the command word is empty and matches nothing, silently.
  EXPECT_EQ(run("2 a  setpoint 1 2 3"), "");
  EXPECT_EQ(effect("a").transform.point[0], 0.0f);
  // One space in front: the time stamp becomes the name.
  EXPECT_EQ(run(" 3 a setpoint 1 2 3"), missingEffect + "3 a\n");
  // Two spaces in front: the leading words are empty.
  EXPECT_EQ(run("  4 a setpoint 1 2 3"), missingEffect + " 4\n");
}

TEST_F(Interpreter, EnforcedWordCountsAndUnknownCommandsPrintNothing) {
  run("1 a new demoeffect");
  EXPECT_EQ(run("2 a setpoint 1 2"), "");
  EXPECT_EQ(run("2 a movepoint 1 2 3"), "");
  EXPECT_EQ(run("2 a setpiont 1 2 3"), "");
  EXPECT_EQ(run("2"), "");
  EXPECT_EQ(run("2 a"), "");
  EXPECT_EQ(run(""), "");
  EXPECT_EQ(effect("a").transform.motionFlags, 0u);
  EXPECT_EQ(effect("a").transform.point[0], 0.0f);
}

TEST_F(Interpreter, MissingWordsReadAsEmptyTextNeverPastTheLine) {
  run("1 a new demoeffect");
  effect("a").transform.direction[0] = 0.9f;
  EXPECT_EQ(run("2 a setdirection 0.25"), "");
  EXPECT_EQ(effect("a").transform.direction[0], 0.25f);
  EXPECT_EQ(effect("a").transform.direction[1], 0.0f);
  EXPECT_EQ(run("2 a scale"), "");
  EXPECT_EQ(effect("a").scale, 0.0);
  EXPECT_EQ(run("2 b new"), "");  // no type word: registered without an object
  EXPECT_TRUE(effects.contains("b"));
}

TEST_F(Interpreter, TweensTakeTheirTimesFromTheLineNotFromTheFrame) {
  run("-1 cam new demoeffect");
  effect("cam").transform.point[0] = 5.0f;
  run("10 cam movepoint 0 2 -10 2");
  const Transform& t = effect("cam").transform;
  EXPECT_EQ(t.moveStart, 10.0);
  EXPECT_EQ(t.moveEnd, 12.0);
  EXPECT_EQ(t.moveFrom[0], 5.0f);
  EXPECT_EQ(t.moveTo[2], -10.0f);
  EXPECT_EQ(t.point[0], 5.0f);  // the tween moves it when drawn, not here
  EXPECT_EQ(t.motionFlags, Transform::moving);
  run("10.5 cam rotatepoint 0.25 0.5 0 4");
  EXPECT_EQ(t.rotateStart, 10.5);
  EXPECT_EQ(t.rotateEnd, 14.5);
  EXPECT_EQ(t.rotateFrom[0], 0.5f);
  EXPECT_EQ(t.motionFlags, Transform::moving | Transform::rotating);
}

TEST_F(Interpreter, ScalarCommandsAndStateOnlyAddsBits) {
  run("1 a new demoeffect");
  run("1 a scale 2");
  run("1 a scalex 3");
  run("1 a scaley 4.5x");
  run("1 a scalez nonsense");
  run("1 a timer 7.25");
  run("1 a deltapoint 1 0 0");
  run("1 a deltadirection 0 0 0.5");
  Demoeffect& a = effect("a");
  EXPECT_EQ(a.scale, 2.0);
  EXPECT_EQ(a.scaleX, 3.0);
  EXPECT_EQ(a.scaleY, 4.5);
  EXPECT_EQ(a.scaleZ, 0.0);
  EXPECT_EQ(a.timer, 7.25);
  EXPECT_EQ(a.transform.deltaPoint[0], 1.0f);
  EXPECT_EQ(a.transform.deltaDirection[2], 0.5f);
  run("1 a state 1");
  run("1 a state 4");
  run("1 a state 0");
  EXPECT_EQ(a.state, 5);
}

TEST_F(Interpreter, NewReplacesTheNameButTheEarlierObjectStaysInTheScene) {
  run("1 a new demoeffect");
  Demoeffect* first = effects.find("a");
  run("1 SCENE append a");
  run("1 SCENE append a");
  run("2 a new demoeffect");
  EXPECT_NE(effects.find("a"), first);
  EXPECT_EQ(player.scene, (std::vector<Demoeffect*>{first, first}));
}

TEST_F(Interpreter, CloneIsIndependentButSharesChildren) {
  run("1 src new demoeffect");
  run("1 kid new demoeffect");
  run("1 src append kid");
  run("2 copy clone src");
  Demoeffect& copy = effect("copy");
  Demoeffect& src = effect("src");
  EXPECT_NE(&copy, &src);
  EXPECT_EQ(copy.children, src.children);
  run("3 copy setpoint 1 1 1");
  EXPECT_EQ(src.transform.point[0], 0.0f);
  // Cloning a name onto itself replaces it by a copy.
  run("4 src clone src");
  EXPECT_NE(effects.find("src"), &src);
}

TEST_F(Interpreter, RemoveTakesTheFirstOccurrence) {
  run("1 p new demoeffect");
  run("1 a new demoeffect");
  run("1 b new demoeffect");
  run("1 p append a");
  run("1 p append b");
  run("1 p append a");
  run("2 p remove a");
  EXPECT_EQ(effect("p").children, (std::vector<Demoeffect*>{effects.find("b"), effects.find("a")}));
}

TEST_F(Interpreter, ExistenceTestSkipsTheDefiningCommands) {
  EXPECT_EQ(run("1 ghost setpoint 1 2 3"), missingEffect + "ghost setpoint\n");
  // "SHADER" builds GL objects: it needs a context, and what it prints is the shader library's.
  if (testing::sharedContext().ok()) {
    EXPECT_EQ(run("1 ghost SHADER a.vert b.frag").find(missingEffect), std::string::npos);
  }
  EXPECT_EQ(run("1 ghost texture x.png").rfind(missingEffect, 0), 0u);
  EXPECT_FALSE(effects.contains("ghost"));
}

TEST_F(Interpreter, NamesWithoutAnObjectAreReportedAndNothingIsAttachedOrChanged) {
  run("1 a new demoeffect");
  run("1 nothing new wizard");  // unknown type: the name holds no object
  EXPECT_EQ(run("2 SCENE append missing"), "No effect named missing: \"SCENE append missing\" ignored\n");
  EXPECT_EQ(run("2 SCENE append nothing"), "No effect named nothing: \"SCENE append nothing\" ignored\n");
  EXPECT_TRUE(player.scene.empty());
  EXPECT_EQ(run("2 a append nothing"), "No effect named nothing: \"a append nothing\" ignored\n");
  EXPECT_EQ(run("2 a remove missing"), "No effect named missing: \"a remove missing\" ignored\n");
  EXPECT_TRUE(effect("a").children.empty());
  EXPECT_EQ(run("2 nothing setpoint 1 2 3"), "No effect named nothing: \"nothing setpoint\" ignored\n");
  EXPECT_EQ(run("2 b clone missing"), "No effect named missing: \"b clone missing\" ignored\n");
  EXPECT_FALSE(effects.contains("b"));
  EXPECT_EQ(run("2 SCENE setpoint 1 2 3"), "No effect named SCENE: \"SCENE setpoint\" ignored\n");
}

TEST_F(Interpreter, AppendThatWouldMakeACycleIsRefused) {
  run("1 a new demoeffect");
  run("1 b new demoeffect");
  run("1 a append b");
  EXPECT_EQ(run("2 b append a"), "Can't append a to b: a already contains b\n");
  EXPECT_EQ(run("2 a append a"), "Can't append a to a: a already contains a\n");
  EXPECT_TRUE(effect("b").children.empty());
  EXPECT_EQ(effect("a").children.size(), 1u);
}

TEST_F(Interpreter, MoreThanTwentyWordsNeverOverrunTheWordTable) {
  run("1 a new demoeffect");
  std::string line = "2 a setpoint 1 2 3";
  for (int i = 0; i < 200; ++i) line += " 9";
  EXPECT_EQ(run(line), "");
  EXPECT_EQ(effect("a").transform.point[2], 3.0f);
  std::string commas = "3";
  for (int i = 0; i < 500; ++i) commas += ",";
  EXPECT_EQ(run(commas), missingEffect + " \n");  // empty name and command word
}

TEST_F(Interpreter, LocalHandsTheWordWritableWithTheLineTime) {
  struct Recorder : Demoeffect {
    float time = -1.0f;
    std::string text;
    void local(float t, char* word) override {
      time = t;
      text = word;
      word[0] = '!';  // classes may write into it
    }
  };
  auto recorder = std::make_unique<Recorder>();
  Recorder* raw = recorder.get();
  effects.store("r", std::move(recorder));
  run("2.5 r local text;hello");
  EXPECT_EQ(raw->time, 2.5f);
  EXPECT_EQ(raw->text, "text;hello");
  run("3 r local");
  EXPECT_EQ(raw->text, "");
}

TEST(InterpreterEnd, EndMarksTheShowEndedAndOnlyTheExactWordDoes) {
  Player player{Player::NotStarted{}};
  for (const char* other : {"5 x end", "5,x,END,now"}) {
    std::vector<char> text(other, other + std::strlen(other) + 1);
    ScriptLine line{5.0, text.data(), false};
    executeLine(player, line);
    EXPECT_EQ(player.ended, other[4] == 'E') << other;
  }
  char text[] = "5 x END";
  ScriptLine line{5.0, text, false};
  executeLine(player, line);
  EXPECT_TRUE(player.ended);
  EXPECT_TRUE(line.executed);
}

}  // namespace
}  // namespace glowmarch
