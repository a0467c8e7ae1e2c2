#include "effects/Model.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "effects/FrameValues.h"
#include "effects/ObjReader.h"
#include "tests/effects/MeshShaders.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

constexpr const char* cubeObj =
    "v -0.5 -0.5 -0.5\nv 0.5 -0.5 -0.5\nv 0.5 0.5 -0.5\nv -0.5 0.5 -0.5\n"
    "v -0.5 -0.5 0.5\nv 0.5 -0.5 0.5\nv 0.5 0.5 0.5\nv -0.5 0.5 0.5\n"
    "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\n"
    "f 1//1 4//1 3//1\nf 1//1 3//1 2//1\nf 5//2 6//2 7//2\nf 5//2 7//2 8//2\n"
    "f 1//3 2//3 6//3\nf 1//3 6//3 5//3\nf 4//4 8//4 7//4\nf 4//4 7//4 3//4\n"
    "f 1//5 5//5 8//5\nf 1//5 8//5 4//5\nf 2//6 3//6 7//6\nf 2//6 7//6 6//6\n";

constexpr const char* triangleObj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";

std::string capturedOutput() {
  std::fflush(stdout);
  return ::testing::internal::GetCapturedStdout();
}

std::vector<Vertex> uploaded(GLuint vbo, std::size_t count) {
  std::vector<Vertex> vertices(count);
  GLint size = 0;
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  EXPECT_EQ(static_cast<std::size_t>(size), count * sizeof(Vertex));
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count * sizeof(Vertex)), vertices.data());
  return vertices;
}

// Counts its draws, to see whether a parent drew its children.
class Counter : public Demoeffect {
 public:
  int draws = 0;
  void draw() override { ++draws; }
};

class ModelObject : public testing::GlTest {
 protected:
  void TearDown() override {
    if (IsSkipped()) return testing::GlTest::TearDown();
    glBindVertexArray(0);
    GlTest::TearDown();
  }
  testing::ScratchFolder folder;
};

TEST_F(ModelObject, LoadobjUploadsTheDeduplicatedMeshAndKeepsTheIndices) {
  folder.write("data/cube.obj", cubeObj);
  Model model;
  model.shader = testing::makeMeshProgram(folder, "mesh");
  char word[] = "loadobj;data/cube.obj";
  model.local(12.5f, word);

  ASSERT_TRUE(model.loaded);
  EXPECT_TRUE(model.vertices.empty());
  ASSERT_EQ(model.indexList().size(), 36u);
  const ObjMesh expected = readObj(cubeObj);
  EXPECT_EQ(model.indexList(), expected.indices);
  const std::vector<Vertex> vertices = uploaded(model.vbo, 24);
  EXPECT_EQ(std::memcmp(vertices.data(), expected.vertices.data(), 24 * sizeof(Vertex)), 0);

  glBindVertexArray(model.vao);
  for (const char* name : {"in_position", "in_normal", "in_texcoords"}) {
    const GLint location = glGetAttribLocation(model.shader, name);
    ASSERT_GE(location, 0) << name;
    GLint enabled = 0, stride = 0;
    glGetVertexAttribiv(static_cast<GLuint>(location), GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
    glGetVertexAttribiv(static_cast<GLuint>(location), GL_VERTEX_ATTRIB_ARRAY_STRIDE, &stride);
    EXPECT_EQ(enabled, GL_TRUE) << name;
    EXPECT_EQ(stride, 32) << name;
  }
}

TEST_F(ModelObject, UnloadedModelDrawsNothingNotEvenItsChildren) {
  folder.write("data/flat.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\n# no faces\n");
  folder.write("data/broken.obj", "v 0 0 0\nf 1 2 3\nf 0 0 0\n");
  Model model;
  Counter child;
  model.addChild(&child);
  model.transform.deltaPoint[0] = 1.0f;
  frameDelta = 1.0;

  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(model.loadObj("data/missing.obj"));
  EXPECT_EQ(capturedOutput(), "");

  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(model.loadObj("data/flat.obj"));
  EXPECT_FALSE(model.loadObj("data/broken.obj"));
  EXPECT_FALSE(model.loadObj("data"));  // a folder opens but cannot be read: as if missing
  EXPECT_EQ(capturedOutput(), "Couldn't load data/flat.objCouldn't load data/broken.obj");

  EXPECT_FALSE(model.loaded);
  model.draw();
  EXPECT_EQ(child.draws, 0);
  EXPECT_EQ(model.transform.point[0], 0.0f);

  // Loaded, even without a program (its attributes then stay undescribed), it draws them.
  folder.write("data/triangle.obj", triangleObj);
  EXPECT_TRUE(model.loadObj("data/triangle.obj"));
  glLoadIdentity();
  model.draw();
  EXPECT_EQ(child.draws, 1);
  EXPECT_EQ(model.transform.point[0], 1.0f);
}

TEST_F(ModelObject, SecondLoadReplacesTheMeshWhileEarlierClonesKeepTheirs) {
  folder.write("data/cube.obj", cubeObj);
  folder.write("data/triangle.obj", triangleObj);
  Model model;
  model.shader = testing::makeMeshProgram(folder, "mesh");
  ASSERT_TRUE(model.loadObj("data/cube.obj"));
  const std::unique_ptr<Demoeffect> copy = model.clone();
  const Model& clone = dynamic_cast<const Model&>(*copy);
  EXPECT_EQ(&clone.indexList(), &model.indexList());  // copies share one list until a new load

  ASSERT_TRUE(model.loadObj("data/triangle.obj"));
  EXPECT_EQ(model.indexList(), (std::vector<std::uint32_t>{0, 1, 2}));
  EXPECT_EQ(uploaded(model.vbo, 3)[2].position[1], 1.0f);

  EXPECT_TRUE(clone.loaded);
  EXPECT_EQ(clone.indexList().size(), 36u);
  EXPECT_NE(clone.vbo, model.vbo);
  EXPECT_NE(clone.vao, model.vao);
  EXPECT_EQ(uploaded(clone.vbo, 24)[23].normal[0], 1.0f);

  // A failed load keeps the current mesh.
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(model.loadObj("data/none.obj"));
  EXPECT_EQ(capturedOutput(), "");
  EXPECT_TRUE(model.loaded);
  EXPECT_EQ(model.indexList().size(), 3u);
}

TEST_F(ModelObject, OtherParametersAreReportedAndAWordWithoutValueDoesNothing) {
  folder.write("loadobj", triangleObj);
  Model model;
  ::testing::internal::CaptureStdout();
  char other[] = "load;data/cube.obj";
  model.local(0.0f, other);
  char bare[] = "loadobj";
  model.local(0.0f, bare);
  char empty[] = "";
  model.local(0.0f, empty);
  EXPECT_EQ(capturedOutput(), "failed local: load data/cube.obj");
  EXPECT_FALSE(model.loaded);
}

}  // namespace
}  // namespace glowmarch
