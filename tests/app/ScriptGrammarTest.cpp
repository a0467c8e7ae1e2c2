// One grammar for the player and the show check: every parameter word each class declares, and every
// command word with its declared arguments, is taken by the player and accepted by the check; every
// other word is named by the check. Time stamps of any size are read without overflow.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/check/ResourceProbe.h"
#include "app/check/ScriptCheck.h"
#include "tests/support/ScriptRunner.h"
#include "tests/support/TestShow.h"
#include "timeline/CommandWords.h"

namespace glowmarch {
namespace {

namespace fs = std::filesystem;

const fs::path source = GLOWMARCH_SOURCE_DIR;

std::vector<Finding> check(const std::string& script) {
  std::vector<Finding> findings;
  ResourceProbe probe(findings);
  checkScript(script, probe, findings);
  return findings;
}

std::string all(const std::vector<Finding>& findings) {
  std::string text;
  for (const Finding& finding : findings) text += std::to_string(finding.line) + ": " + finding.message + "\n";
  return text;
}

std::vector<std::string> valuesFor(const LocalWord& word) {
  switch (word.value) {
    case LocalValue::number:
      return {"1.5"};
    case LocalValue::integer:
      return {"3"};
    case LocalValue::text:
      return {"HELLO"};
    case LocalValue::effectName:
      return {"other"};
    case LocalValue::objPath:
      return {"data/meshes/tri.obj"};
    case LocalValue::choice:
      break;
  }
  std::vector<std::string> values;
  for (const NamedValue& choice : word.choices) values.emplace_back(choice.word);
  return values;
}

class ScriptGrammar : public testing::GlTest {
 protected:
  void SetUp() override {
    testing::GlTest::SetUp();
    if (IsSkipped()) return;
    fs::create_directories("data/shaders");
    fs::create_directories("data/textures");
    fs::copy(source / "tests" / "app" / "check" / "data" / "shaders" / "main.vert", "data/shaders/");
    fs::copy(source / "tests" / "app" / "check" / "data" / "shaders" / "main.frag", "data/shaders/");
    fs::copy(source / "showcase" / "data" / "textures" / "profont.png", "data/textures/");
    folder.write("data/meshes/tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  }

  testing::ScratchFolder folder;
};

// The player's own parsing reads the same table; these classes say so when a word is not theirs.
bool reportsUnknownWords(std::string_view type) { return type != "demoeffect" && type != "camera" && type != "image"; }

TEST_F(ScriptGrammar, TheCheckAcceptsEveryWordAClassTakesAndNamesEveryWordItDoesNot) {
  std::vector<std::string> candidates = {"nonesuch", "Text"};
  for (const EffectType& type : effectTypes()) {
    for (const LocalWord& word : type.localWords) candidates.emplace_back(word.word);
  }
  const std::string setUp =
      "-2 main SHADER main.vert main.frag\n"
      "-1 other new demoeffect\n"
      "-1 SCENE append other\n";
  for (const EffectType& type : effectTypes()) {
    for (const std::string& candidate : candidates) {
      const auto declared = std::find_if(type.localWords.begin(), type.localWords.end(),
                                         [&](const LocalWord& word) { return word.word == candidate; });
      const bool takes = declared != type.localWords.end();
      std::vector<std::string> values = takes ? valuesFor(*declared) : std::vector<std::string>{"1"};
      if (takes && declared->value == LocalValue::choice) values.push_back("nonesuch");
      for (const std::string& value : values) {
        const std::string parameter = candidate + ";" + value;
        SCOPED_TRACE(std::string(type.word) + " " + parameter);
        const bool accepted = takes && value != "nonesuch";
        const std::string script = setUp + "-1 it new " + std::string(type.word) +
                                   "\n-1 SCENE append it\n-1 it shader main\n0 it local " + parameter + "\n";
        const std::vector<Finding> findings = check(script);
        if (accepted) {
          EXPECT_EQ(all(findings), "");
        } else {
          ASSERT_EQ(findings.size(), 1u) << all(findings);
          EXPECT_EQ(findings[0].line, 7);
          const std::string named = "\"" + (takes ? value : candidate) + "\"";
          if (!type.localWords.empty()) {
            EXPECT_NE(findings[0].message.find(named), std::string::npos) << all(findings);
          }
        }

        testing::resetShow();
        testing::ScriptRunner runner;
        runner.run("-1 other new demoeffect");
        runner.run("-1 it new " + std::string(type.word));
        const std::string printed = runner.run("0 it local " + parameter);
        const bool failed = printed.find("failed local") != std::string::npos;
        EXPECT_EQ(failed, !takes && reportsUnknownWords(type.word)) << printed;
      }
    }
  }
}

TEST_F(ScriptGrammar, TheCheckAcceptsEveryCommandWithItsArgumentsAndNamesWhatIsMissing) {
  for (const CommandWord& command : commandWords()) {
    SCOPED_TRACE(std::string(command.word));
    std::string line = "0 it " + std::string(command.word);
    for (int i = 2; i < command.wordsNeeded; ++i) line += " 1";
    const std::string made = "-1 it new demoeffect\n-1 SCENE append it\n";
    for (const Finding& finding : check(made + line + "\n")) {
      EXPECT_EQ(finding.message.find("needs"), std::string::npos) << finding.message;
      EXPECT_EQ(finding.message.find("unknown command"), std::string::npos) << finding.message;
    }
    if (command.wordsNeeded <= 2) continue;
    const std::string shorter = line.substr(0, line.rfind(' '));
    const std::vector<Finding> findings = check(made + shorter + "\n");
    ASSERT_EQ(findings.size(), 1u) << all(findings);
    EXPECT_NE(findings[0].message.find("\"" + std::string(command.word) + "\" needs " + std::string(command.arguments)),
              std::string::npos)
        << findings[0].message;
  }
  const std::vector<Finding> unknown = check("-1 it new demoeffect\n-1 SCENE append it\n0 it setpoin 1,2,3\n");
  ASSERT_EQ(unknown.size(), 1u);
  EXPECT_NE(unknown[0].message.find("did you mean \"setpoint\"?"), std::string::npos) << unknown[0].message;
}

// Nothing here reaches a file or a shader: no context needed.
TEST(ScriptGrammarTimes, TimeStampsOfAnySizeAreReadAsThePlayerReadsThem) {
  const std::vector<Finding> findings =
      check("1e10 END\n-1e300 END\n2147483648 END\n-inf END\nnan x END\ninf x END\n-0 END\n");
  const std::string text = all(findings);
  for (const char* words : {"1: END needs a name", "write e.g. \"10000000000 show END\"", "\"-1e+300 show END\"",
                            "\"2147483648 show END\"", "4: END needs a name", "\"-inf show END\"",
                            "5: the time stamp is not a number", "6: the time stamp is not a number",
                            "\"0 show END\""}) {
    EXPECT_NE(text.find(words), std::string::npos) << words << " not in:\n" << text;
  }
}

}  // namespace
}  // namespace glowmarch
