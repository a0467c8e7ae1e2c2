#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "resources/ShaderLibrary.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

constexpr const char* vertexSource =
    "#version 330 compatibility\n"
    "in vec3 in_position;\n"
    "void main() { gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0); }\n";
constexpr const char* fragmentSource =
    "#version 330 compatibility\n"
    "out vec4 colour;\n"
    "void main() { colour = vec4(1.0); }\n";
constexpr const char* brokenSource =
    "#version 330 compatibility\n"
    "void main() { this is not glsl; }\n";

std::string capturedOutput() {
  std::fflush(stdout);
  return ::testing::internal::GetCapturedStdout();
}

std::vector<GLuint> attachedStages(GLuint program) {
  GLuint stages[8] = {};
  GLsizei count = 0;
  glGetAttachedShaders(program, 8, &count, stages);
  return std::vector<GLuint>(stages, stages + count);
}

GLint programValue(GLuint program, GLenum what) {
  GLint value = 0;
  glGetProgramiv(program, what, &value);
  return value;
}

GLint stageValue(GLuint stage, GLenum what) {
  GLint value = 0;
  glGetShaderiv(stage, what, &value);
  return value;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class ShaderLibrary : public testing::GlTest {
 protected:
  testing::ScratchFolder folder;
};

TEST_F(ShaderLibrary, ProgramsNamingTheSameSourceShareOneStageReadOnce) {
  folder.write("data/shaders/plain.vert", vertexSource);
  folder.write("data/shaders/plain.frag", fragmentSource);
  ::testing::internal::CaptureStdout();
  createShaderProgram("first", "plain.vert", "plain.frag", "");
  // Once compiled, the stage is taken from the registry: a changed file is not read again.
  folder.write("data/shaders/plain.vert", brokenSource);
  createShaderProgram("second", "plain.frag", "plain.vert", "");
  EXPECT_EQ(capturedOutput(), "");

  const GLuint first = findShaderProgram("first");
  const GLuint second = findShaderProgram("second");
  ASSERT_NE(first, 0u);
  ASSERT_NE(second, 0u);
  EXPECT_NE(first, second);
  EXPECT_EQ(programValue(second, GL_LINK_STATUS), GL_TRUE);
  const std::vector<GLuint> a = attachedStages(first);
  const std::vector<GLuint> b = attachedStages(second);
  ASSERT_EQ(a.size(), 2u);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(findShaderSource("plain.vert"), a[0]);
  EXPECT_EQ(findShaderSource("plain.frag"), a[1]);
  EXPECT_EQ(std::vector<GLuint>({a[0], a[1]}), std::vector<GLuint>({b[1], b[0]}));
}

TEST_F(ShaderLibrary, TwoStagesLinkAndZeroStagesAreStillRegistered) {
  folder.write("data/shaders/plain.vert", vertexSource);
  folder.write("data/shaders/plain.frag", fragmentSource);
  ::testing::internal::CaptureStdout();
  createShaderProgram("main", "plain.vert", "plain.frag", "");
  createShaderProgram("empty", "", "", "");
  const std::string output = capturedOutput();
  // A source named twice is attached once (the fixture checks that no GL error was raised).
  createShaderProgram("twice", "plain.vert", "plain.frag", "plain.vert");
  EXPECT_EQ(attachedStages(findShaderProgram("twice")).size(), 2u);

  const GLuint main = findShaderProgram("main");
  EXPECT_EQ(attachedStages(main).size(), 2u);
  EXPECT_EQ(programValue(main, GL_LINK_STATUS), GL_TRUE);
  EXPECT_GE(glGetAttribLocation(main, "in_position"), 0);

  const GLuint empty = findShaderProgram("empty");
  ASSERT_NE(empty, 0u);
  EXPECT_TRUE(attachedStages(empty).empty());
  // Whether a program without stages links is the driver's call; a failure must be reported.
  if (programValue(empty, GL_LINK_STATUS) == GL_FALSE) {
    EXPECT_EQ(output.rfind("Error linking shader.\n", 0), 0u) << output;
  } else {
    EXPECT_EQ(output, "");
  }
}

TEST_F(ShaderLibrary, StageTypeComesFromTheFirstExtensionFoundAnywhereInTheName) {
  folder.write("data/shaders/both.frag.vert", vertexSource);
  folder.write("data/shaders/both.vert.frag", vertexSource);
  folder.write("data/shaders/lit.fragment", fragmentSource);
  ::testing::internal::CaptureStdout();
  const GLuint fragThenVert = findShaderSource("both.frag.vert");
  const GLuint vertThenFrag = findShaderSource("both.vert.frag");
  const GLuint fragmentInTheMiddle = findShaderSource("lit.fragment");
  EXPECT_EQ(capturedOutput(), "");
  EXPECT_EQ(stageValue(fragThenVert, GL_SHADER_TYPE), GL_VERTEX_SHADER);
  EXPECT_EQ(stageValue(vertThenFrag, GL_SHADER_TYPE), GL_VERTEX_SHADER);
  EXPECT_EQ(stageValue(fragThenVert, GL_COMPILE_STATUS), GL_TRUE);
  EXPECT_EQ(stageValue(fragmentInTheMiddle, GL_SHADER_TYPE), GL_FRAGMENT_SHADER);
}

TEST_F(ShaderLibrary, UnknownExtensionIsNotAttachedAndMissingFileIsAnEmptyStageThatFailsTheLink) {
  folder.write("data/shaders/plain.vert", vertexSource);
  folder.write("data/shaders/notes.txt", fragmentSource);

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(loadShaderSource("notes.txt"), 0u);
  EXPECT_EQ(capturedOutput(), "");

  ::testing::internal::CaptureStdout();
  createShaderProgram("odd", "plain.vert", "notes.txt", "");
  EXPECT_EQ(capturedOutput(), "Tried to find a nonexistant shader source: notes.txt\n");
  EXPECT_EQ(attachedStages(findShaderProgram("odd")).size(), 1u);

  ::testing::internal::CaptureStdout();
  const GLuint missing = loadShaderSource("gone.frag");
  EXPECT_EQ(capturedOutput(), "");
  ASSERT_NE(missing, 0u);
  EXPECT_EQ(stageValue(missing, GL_SHADER_TYPE), GL_FRAGMENT_SHADER);
  EXPECT_EQ(stageValue(missing, GL_COMPILE_STATUS), GL_FALSE);
  EXPECT_EQ(findShaderSource("gone.frag"), missing);

  ::testing::internal::CaptureStdout();
  createShaderProgram("broken", "plain.vert", "gone.frag", "");
  const std::string output = capturedOutput();
  EXPECT_EQ(output.rfind("Error linking shader.\n", 0), 0u) << output;
  EXPECT_EQ(output.back(), '\n');
  const GLuint broken = findShaderProgram("broken");
  ASSERT_NE(broken, 0u);
  EXPECT_EQ(programValue(broken, GL_LINK_STATUS), GL_FALSE);
  EXPECT_EQ(attachedStages(broken).size(), 2u);
}

TEST_F(ShaderLibrary, FailedCompilePrintsItsLogEveryTimeAndRegistersNothing) {
  folder.write("data/shaders/plain.vert", vertexSource);
  folder.write("data/shaders/broken.frag", brokenSource);
  ::testing::internal::CaptureStdout();
  createShaderProgram("first", "plain.vert", "broken.frag", "");
  createShaderProgram("second", "broken.frag", "", "plain.vert");
  const std::string output = capturedOutput();

  EXPECT_EQ(output.rfind("Error compiling shader\n", 0), 0u) << output;
  EXPECT_EQ(occurrences(output, "Error compiling shader\n"), 2u) << output;
  EXPECT_EQ(occurrences(output, "Tried to find a nonexistant shader source: broken.frag\n"), 2u) << output;
  // The driver's log sits between the two messages.
  const std::size_t log = std::string("Error compiling shader\n").size();
  EXPECT_GT(output.find("Tried to find"), log) << output;
  EXPECT_EQ(attachedStages(findShaderProgram("first")).size(), 1u);
  EXPECT_EQ(attachedStages(findShaderProgram("second")).size(), 1u);

  // Fixed on disk, the same name now compiles: the failure was not remembered.
  folder.write("data/shaders/broken.frag", fragmentSource);
  ::testing::internal::CaptureStdout();
  EXPECT_NE(findShaderSource("broken.frag"), 0u);
  EXPECT_EQ(capturedOutput(), "");
}

TEST_F(ShaderLibrary, SameProgramNameTwiceReplacesAndUnknownNamesAreReported) {
  folder.write("data/shaders/plain.vert", vertexSource);
  folder.write("data/shaders/plain.frag", fragmentSource);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(findShaderProgram("main"), 0u);
  EXPECT_EQ(capturedOutput(), "Tried to find a nonexistant shader program: main\n");

  createShaderProgram("main", "plain.vert", "plain.frag", "");
  const GLuint first = findShaderProgram("main");
  createShaderProgram("main", "plain.vert", "plain.frag", "");
  const GLuint second = findShaderProgram("main");
  EXPECT_NE(first, 0u);
  EXPECT_NE(second, first);
  EXPECT_EQ(glIsProgram(first), GL_TRUE);  // replaced, not deleted

  // Names are exact and case-sensitive.
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(findShaderProgram("Main"), 0u);
  EXPECT_EQ(capturedOutput(), "Tried to find a nonexistant shader program: Main\n");

  clearShaderLibrary();
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(findShaderProgram("main"), 0u);
  EXPECT_EQ(capturedOutput(), "Tried to find a nonexistant shader program: main\n");
}

}  // namespace
}  // namespace glowmarch
