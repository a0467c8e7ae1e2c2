#include "effects/Sphere.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "effects/EffectRegistry.h"
#include "effects/FrameValues.h"
#include "effects/SphereMesh.h"
#include "tests/effects/MeshShaders.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

std::string capturedOutput() {
  std::fflush(stdout);
  return ::testing::internal::GetCapturedStdout();
}

void expectVertex(const Vertex& v, float x, float y, float z, float s, float t) {
  EXPECT_NEAR(v.position[0], x, 5e-7);
  EXPECT_NEAR(v.position[1], y, 5e-7);
  EXPECT_NEAR(v.position[2], z, 5e-7);
  EXPECT_NEAR(v.texcoords[0], s, 5e-7);
  EXPECT_NEAR(v.texcoords[1], t, 5e-7);
  EXPECT_EQ(std::memcmp(v.normal, v.position, sizeof v.normal), 0);
}

TEST(SphereMesh, TwentyRingsOfFortyVerticesJoinedByOneStrip) {
  const SphereMesh mesh = generateSphereMesh(20, 40);
  ASSERT_EQ(mesh.vertices.size(), 800u);
  ASSERT_EQ(mesh.indices.size(), 1520u);
  expectVertex(mesh.vertices[0], 0, 1, 0, 0, 1);
  expectVertex(mesh.vertices[40], 0, 0.986361f, 0.164595f, 0, 0.947368f);
  expectVertex(mesh.vertices[370], 0.995776f, 0.082579f, -0.040128f, 0.256410f, 0.526316f);
  expectVertex(mesh.vertices[799], 0, -1, 0, 1, 0);
  // The seam: the last position of a ring repeats the first, with s = 1.
  EXPECT_NEAR(mesh.vertices[79].position[2], mesh.vertices[40].position[2], 1e-6);
  EXPECT_EQ(mesh.vertices[79].texcoords[0], 1.0f);
  for (const Vertex& v : mesh.vertices) {
    EXPECT_NEAR(std::sqrt(v.position[0] * v.position[0] + v.position[1] * v.position[1] + v.position[2] * v.position[2]),
                1.0, 1e-6);
  }
  EXPECT_EQ(std::vector<std::uint16_t>(mesh.indices.begin(), mesh.indices.begin() + 6),
            (std::vector<std::uint16_t>{0, 40, 1, 41, 2, 42}));
  EXPECT_EQ(mesh.indices[1518], 759);
  EXPECT_EQ(mesh.indices[1519], 799);
}

std::vector<Vertex> uploaded(const Sphere& sphere) {
  std::vector<Vertex> vertices(800);
  glBindBuffer(GL_ARRAY_BUFFER, sphere.vbo);
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, sizeof(Vertex) * vertices.size(), vertices.data());
  return vertices;
}

float radius(const Vertex& v) {
  return std::sqrt(v.position[0] * v.position[0] + v.position[1] * v.position[1] + v.position[2] * v.position[2]);
}

class SphereObject : public testing::GlTest {
 protected:
  void TearDown() override {
    if (IsSkipped()) return testing::GlTest::TearDown();
    glBindVertexArray(0);
    GlTest::TearDown();
  }
  testing::ScratchFolder folder;
};

TEST_F(SphereObject, TakesTheMainProgramAndUploadsItsMesh) {
  const GLuint main = testing::makeMeshProgram(folder, "main");
  Sphere sphere;
  EXPECT_EQ(sphere.shader, main);
  EXPECT_EQ(currentProgram, main);
  EXPECT_EQ(sphere.texture, 0u);
  EXPECT_EQ(sphere.rings, 20);
  EXPECT_EQ(sphere.segments, 40);
  EXPECT_EQ(sphere.vertexDataSize, 25600u);
  const std::vector<Vertex> vertices = uploaded(sphere);
  EXPECT_EQ(std::memcmp(vertices.data(), sphere.vertexData, 25600), 0);
  EXPECT_EQ(sphere.indexData[1519], 799);
  // All three attributes are described on the sphere's vertex array.
  glBindVertexArray(sphere.vao);
  for (const char* name : {"in_position", "in_normal", "in_texcoords"}) {
    const GLint location = glGetAttribLocation(main, name);
    ASSERT_GE(location, 0) << name;
    GLint enabled = 0;
    glGetVertexAttribiv(static_cast<GLuint>(location), GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
    EXPECT_EQ(enabled, GL_TRUE) << name;
  }
}

TEST_F(SphereObject, ScaleParameterIsCumulativeAndSharedWithClones) {
  testing::makeMeshProgram(folder, "main");
  Sphere sphere;
  char two[] = "scale;2";
  sphere.local(0.0f, two);
  EXPECT_NEAR(radius(uploaded(sphere)[370]), 2.0f, 1e-6);
  char again[] = "scale;2";
  sphere.local(0.0f, again);
  EXPECT_NEAR(radius(uploaded(sphere)[370]), 4.0f, 1e-6);

  // A clone shares the rescaled mesh; rescaling the clone rescales the source.
  std::unique_ptr<Demoeffect> copy = sphere.clone();
  ASSERT_NE(dynamic_cast<Sphere*>(copy.get()), nullptr);
  EXPECT_EQ(copy->vertexData, sphere.vertexData);
  EXPECT_EQ(copy->indexData, sphere.indexData);
  EXPECT_EQ(copy->vbo, sphere.vbo);
  char quarter[] = "scale;0.25";
  copy->local(0.0f, quarter);
  const std::vector<Vertex> unit = uploaded(sphere);
  for (int i : {0, 40, 370, 799}) EXPECT_NEAR(radius(unit[i]), 1.0f, 1e-6) << i;
  // Normals and texture coordinates do not scale.
  EXPECT_EQ(std::memcmp(unit[370].texcoords, generateSphereMesh(20, 40).vertices[370].texcoords, 8), 0);
  EXPECT_NEAR(unit[370].normal[1], 0.082579f, 5e-7);

  char half[] = "scale;0.5";
  sphere.local(0.0f, half);
  char doubled[] = "scale;2";
  sphere.local(0.0f, doubled);
  EXPECT_NEAR(radius(uploaded(sphere)[100]), 1.0f, 1e-6);

  // Owned by the registry, source and clone release the shared mesh once.
  effects.store("source", std::make_unique<Sphere>(sphere));
  effects.store("copy", std::move(copy));
  effects.clear();
  EXPECT_NEAR(radius(reinterpret_cast<const Vertex*>(sphere.vertexData)[5]), 1.0f, 1e-6);
}

TEST_F(SphereObject, OtherParametersAreReportedAndAWordWithoutValueDoesNothing) {
  testing::makeMeshProgram(folder, "main");
  Sphere sphere;
  ::testing::internal::CaptureStdout();
  char size[] = "size;3";
  sphere.local(1.0f, size);
  char bare[] = "scale";
  sphere.local(1.0f, bare);
  char empty[] = "";
  sphere.local(1.0f, empty);
  EXPECT_EQ(capturedOutput(), "failed local: size 3");
  EXPECT_NEAR(radius(uploaded(sphere)[370]), 1.0f, 1e-6);

  char junk[] = "scale;big";  // not a number: reads as 0 and collapses the mesh
  sphere.local(1.0f, junk);
  EXPECT_EQ(radius(uploaded(sphere)[370]), 0.0f);
}

TEST_F(SphereObject, HiddenAndStillUntilTheMusicReachesItsTimer) {
  testing::makeMeshProgram(folder, "main");
  Sphere sphere;
  sphere.state = 1;
  sphere.timer = 5.0;
  sphere.transform.point[2] = -4.0f;
  sphere.transform.deltaPoint[2] = 0.5f;
  Demoeffect child;
  child.transform.deltaPoint[1] = 1.0f;
  sphere.addChild(&child);
  frameDelta = 1.0;

  musicTime = 4.99;
  glLoadIdentity();
  sphere.draw();
  EXPECT_EQ(sphere.transform.point[2], -4.0f);
  EXPECT_EQ(child.transform.point[1], 0.0f);
  EXPECT_EQ(gl().pixel(32, 32)[0], 0);

  musicTime = 5.0;
  glLoadIdentity();
  sphere.draw();
  EXPECT_EQ(sphere.transform.point[2], -3.5f);
  EXPECT_EQ(child.transform.point[1], 1.0f);
  // A unit sphere at distance 3.5 under a 45-degree view on 64 pixels: about 23 pixels in radius.
  EXPECT_EQ(gl().pixel(32, 32)[0], 255);
  EXPECT_EQ(gl().pixel(32, 32 + 20)[0], 255);
  EXPECT_EQ(gl().pixel(32 - 20, 32)[0], 255);
  EXPECT_EQ(gl().pixel(32, 32 + 26)[0], 0);
  EXPECT_EQ(gl().pixel(32 - 26, 32)[0], 0);
}

}  // namespace
}  // namespace glowmarch
