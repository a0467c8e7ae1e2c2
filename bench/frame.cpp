// One frame of a 10,000-particle scene (100 x 100 small cubes under a camera, 64 x 64 pixels) drawn by
// the player's runFrame, against two reference loops over the same objects: (a) every GL call of the
// draw as first described, three uniform look-ups by name and a 256-float upload per object; (b) the
// least GL work that leaves the same GL state and picture: uniform locations kept per program, a
// uniform, texture, colour or vertex array set only when it differs from what GL already holds.
// The goal is the player within 1.15 x of (b). The three are checked to draw the same picture and
// leave the same state before anything is timed.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "effects/EffectRegistry.h"
#include "effects/FrameValues.h"
#include "effects/Model.h"
#include "effects/ParticleLayout.h"
#include "effects/Particles.h"
#include "tests/support/GlContext.h"
#include "timeline/FrameLoop.h"
#include "timeline/Platform.h"
#include "timeline/Player.h"

namespace {

using namespace glowmarch;

constexpr int side = 100;
constexpr int particleCount = side * side;
constexpr int viewportSize = 64;
constexpr std::uint32_t frameMilliseconds = 16;

// The show's clock, moved on by the benchmark only, so every variant can draw the very same frame.
std::uint32_t clockMilliseconds = 1000;
std::uint32_t benchClock() { return clockMilliseconds; }
void noMessage(const char*, const char*) {}

constexpr const char* vertexShader = R"(#version 330 compatibility
in vec3 in_position;
in vec3 in_normal;
in vec2 in_texcoords;
uniform int state;
uniform float musictime;
uniform float musicdata[256];
out vec4 tint;
void main() {
  float level = musicdata[int(in_texcoords.x * 255.0)];
  float pulse = 0.5 + 0.5 * sin(musictime * 3.0);
  float marked = (state & 1) != 0 ? 0.3 : 0.0;
  tint = gl_Color * vec4(0.3 + 0.7 * abs(in_normal), 1.0) + vec4(level, 0.2 * pulse, marked, 0.0);
  gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0);
}
)";

constexpr const char* fragmentShader = R"(#version 330 compatibility
in vec4 tint;
out vec4 colour;
void main() { colour = tint; }
)";

// A unit cube: 8 corners, 6 normals, 4 texture corners; 24 distinct vertices, 12 triangles.
constexpr const char* cubeObj = R"(v -0.5 -0.5 -0.5
v 0.5 -0.5 -0.5
v 0.5 0.5 -0.5
v -0.5 0.5 -0.5
v -0.5 -0.5 0.5
v 0.5 -0.5 0.5
v 0.5 0.5 0.5
v -0.5 0.5 0.5
vt 0 0
vt 1 0
vt 1 1
vt 0 1
vn 0 0 -1
vn 0 0 1
vn -1 0 0
vn 1 0 0
vn 0 -1 0
vn 0 1 0
f 1/1/1 3/3/1 2/2/1
f 1/1/1 4/4/1 3/3/1
f 5/1/2 6/2/2 7/3/2
f 5/1/2 7/3/2 8/4/2
f 1/1/3 5/2/3 8/3/3
f 1/1/3 8/3/3 4/4/3
f 2/1/4 3/4/4 7/3/4
f 2/1/4 7/3/4 6/2/4
f 1/1/5 2/2/5 6/3/5
f 1/1/5 6/3/5 5/4/5
f 4/1/6 8/2/6 7/3/6
f 4/1/6 7/3/6 3/4/6
)";

// The scene as a show would write it: a rippling town of cubes seen from above and in front.
constexpr const char* script = R"(-10 particle SHADER particle.vert particle.frag
-9 cube new model
-9 cube shader particle
-9 cube local loadobj;data/meshes/cube.obj
-9 cube state 1
-9 cube scale 0.6
-8 field new particles
-8 field local x;100
-8 field local y;100
-8 field local padx;1
-8 field local pady;1
-8 field local anim;sine
-8 field local init;cube
-7 cam new camera
-7 cam setpoint 0 75 75
-7 cam setdirection 0.5 0.75 0
-7 cam append field
-7 SCENE append cam
)";

void writeFile(const std::filesystem::path& path, const char* text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// Runs `work` with standard output sent to /dev/null: the script listing is not what is measured.
template <typename Work>
void quietly(Work work) {
  std::fflush(stdout);
  const int saved = dup(1);
  const int devNull = open("/dev/null", O_WRONLY);
  dup2(devNull, 1);
  work();
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  close(devNull);
}

// A new spectrum for every frame, as music would give: the programs' "musicdata" changes each frame.
void nextFrame() {
  clockMilliseconds += frameMilliseconds;
  for (int k = 0; k < spectrumBins; ++k) {
    musicData[k] = static_cast<float>(0.5 + 0.5 * std::sin(0.1 * k + 0.001 * clockMilliseconds));
  }
}

// The frame values runFrame would publish for the current clock (the player's start time is 0).
void publishFrameValues() {
  const double now = secondsBetween(0, clockMilliseconds);
  frameDelta = frameMilliseconds / 1000.0;
  musicTime = now;
}

struct Scene {
  testing::GlContext gl{viewportSize, viewportSize};
  std::unique_ptr<Player> player;
  Particles* field = nullptr;
  std::vector<Model*> particles;
  // The camera's view and lights without its children, for the reference loops.
  std::unique_ptr<Demoeffect> view;
  std::string failure;

  Scene() {
    if (!gl.ok()) {
      failure = "no GL context: " + gl.failure();
      return;
    }
    const auto folder = std::filesystem::temp_directory_path() / "glowmarch-bench-frame";
    writeFile(folder / "data/shaders/particle.vert", vertexShader);
    writeFile(folder / "data/shaders/particle.frag", fragmentShader);
    writeFile(folder / "data/meshes/cube.obj", cubeObj);
    writeFile(folder / "data/vesperscript.txt", script);
    std::filesystem::current_path(folder);
    setPlatform(Platform{noMessage, benchClock});

    player = std::make_unique<Player>(Player::NotStarted{});
    quietly([&] { player->init(); });
    field = dynamic_cast<Particles*>(effects.find("field"));
    const Demoeffect* cam = effects.find("cam");
    if (field == nullptr || cam == nullptr || player->scene.size() != 1) {
      failure = "the script did not build the scene";
      return;
    }
    for (Demoeffect* child : field->children) {
      if (auto* model = dynamic_cast<Model*>(child); model != nullptr && model->loaded) particles.push_back(model);
    }
    if (particles.size() != particleCount || particles.front()->shader == 0) {
      failure = "the field does not hold 10,000 loaded cubes with a program";
      return;
    }
    view = cam->clone();
    view->children.clear();
  }
};

Scene& scene() {
  static Scene s;
  return s;
}

// (a) The draw exactly as first described: every object asks its program for each uniform by name
// and uploads all three, and sets texture and colour, whatever GL already holds.
struct LiteralDraw {
  void object(Demoeffect& e) {
    if (e.shader != currentProgram) {
      glUseProgram(e.shader);
      currentProgram = e.shader;
    }
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, e.texture);
    if (e.shader != 0) {  // program 0 has no uniforms to ask for
      glUniform1i(glGetUniformLocation(e.shader, "state"), e.state);
      glUniform1f(glGetUniformLocation(e.shader, "musictime"), static_cast<float>(musicTime - e.timer));
      glUniform1fv(glGetUniformLocation(e.shader, "musicdata"), spectrumBins, musicData);
    }
    e.transform.update();
    e.transform.apply();
    glScalef(static_cast<float>(e.scale * e.scaleX), static_cast<float>(e.scale * e.scaleY),
             static_cast<float>(e.scale * e.scaleZ));
    glColor4ubv(e.color);
  }
  void mesh(const Model& m) {
    glBindVertexArray(m.vao);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(m.indexList().size()), GL_UNSIGNED_INT, m.indexList().data());
  }
  void startFrame() {}
};

// (b) The least GL work for the same state and picture. Uniform values belong to the program and
// last across frames; texture, colour and vertex array are known only from this frame's own calls.
struct LeastWork {
  struct Held {
    bool located = false;
    GLint locations[3] = {-1, -1, -1};
    bool known = false;
    GLint state = 0;
    float time = 0.0f;
    float data[spectrumBins] = {};
  };
  std::map<GLuint, Held> programs;
  bool textureKnown = false;
  GLuint texture = 0;
  bool colourKnown = false;
  std::uint8_t colour[4] = {};
  bool vaoKnown = false;
  GLuint vao = 0;

  void startFrame() { textureKnown = colourKnown = vaoKnown = false; }

  void object(Demoeffect& e) {
    if (e.shader != currentProgram) {
      glUseProgram(e.shader);
      currentProgram = e.shader;
    }
    if (!textureKnown || texture != e.texture) {
      if (!textureKnown) glActiveTexture(GL_TEXTURE0);
      glBindTexture(GL_TEXTURE_2D, e.texture);
      textureKnown = true;
      texture = e.texture;
    }
    if (e.shader != 0) uniforms(e);
    e.transform.update();
    e.transform.apply();
    glScalef(static_cast<float>(e.scale * e.scaleX), static_cast<float>(e.scale * e.scaleY),
             static_cast<float>(e.scale * e.scaleZ));
    if (!colourKnown || std::memcmp(colour, e.color, sizeof colour) != 0) {
      glColor4ubv(e.color);
      colourKnown = true;
      std::memcpy(colour, e.color, sizeof colour);
    }
  }
  void uniforms(const Demoeffect& e) {
    Held& held = programs[e.shader];
    if (!held.located) {
      held.locations[0] = glGetUniformLocation(e.shader, "state");
      held.locations[1] = glGetUniformLocation(e.shader, "musictime");
      held.locations[2] = glGetUniformLocation(e.shader, "musicdata");
      held.located = true;
    }
    const float time = static_cast<float>(musicTime - e.timer);
    if (!held.known || held.state != e.state) {
      held.state = e.state;
      glUniform1i(held.locations[0], held.state);
    }
    if (!held.known || held.time != time) {
      held.time = time;
      glUniform1f(held.locations[1], held.time);
    }
    if (!held.known || std::memcmp(held.data, musicData, sizeof held.data) != 0) {
      std::memcpy(held.data, musicData, sizeof held.data);
      glUniform1fv(held.locations[2], spectrumBins, held.data);
    }
    held.known = true;
  }
  void mesh(const Model& m) {
    if (!vaoKnown || vao != m.vao) {
      glBindVertexArray(m.vao);
      vaoKnown = true;
      vao = m.vao;
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(m.indexList().size()), GL_UNSIGNED_INT, m.indexList().data());
  }
};

// The frame the player draws, with the scene walk written out for this one scene.
template <typename Draw>
void referenceFrame(Scene& s, Draw& draw) {
  publishFrameValues();
  draw.startFrame();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  s.view->draw();
  glPushMatrix();
  layoutParticles(*s.field);
  draw.object(*s.field);
  for (Model* particle : s.particles) {
    glPushMatrix();
    draw.object(*particle);
    draw.mesh(*particle);
    glPopMatrix();
  }
  glPopMatrix();
  if (currentProgram != 0) {
    glUseProgram(0);
    currentProgram = 0;
  }
}

LiteralDraw literalDraw;
LeastWork leastWork;

enum Variant { player, literal, least };
constexpr const char* variantNames[] = {"player", "literal", "least"};

void drawFrame(Scene& s, Variant variant) {
  switch (variant) {
    case player: s.player->runFrame(); break;
    case literal: referenceFrame(s, literalDraw); break;
    case least: referenceFrame(s, leastWork); break;
  }
}

// What a variant leaves behind: the picture and the state a later draw could observe.
struct Outcome {
  std::vector<std::uint8_t> pixels;
  std::vector<GLint> integers;
  std::vector<GLfloat> floats;
};

Outcome outcome(const Scene& s) {
  Outcome o;
  glFinish();
  o.pixels = s.gl.readAll();
  const GLuint program = s.particles.front()->shader;
  GLint value = 0;
  for (GLenum name : {GL_CURRENT_PROGRAM, GL_TEXTURE_BINDING_2D, GL_ACTIVE_TEXTURE, GL_VERTEX_ARRAY_BINDING,
                      GL_MODELVIEW_STACK_DEPTH}) {
    glGetIntegerv(name, &value);
    o.integers.push_back(value);
  }
  glGetUniformiv(program, glGetUniformLocation(program, "state"), &value);
  o.integers.push_back(value);
  GLfloat numbers[16];
  glGetFloatv(GL_CURRENT_COLOR, numbers);
  o.floats.insert(o.floats.end(), numbers, numbers + 4);
  glGetFloatv(GL_MODELVIEW_MATRIX, numbers);
  o.floats.insert(o.floats.end(), numbers, numbers + 16);
  glGetUniformfv(program, glGetUniformLocation(program, "musictime"), numbers);
  o.floats.push_back(numbers[0]);
  for (int k = 0; k < spectrumBins; ++k) {
    const std::string element = "musicdata[" + std::to_string(k) + "]";
    glGetUniformfv(program, glGetUniformLocation(program, element.c_str()), numbers);
    o.floats.push_back(numbers[0]);
  }
  return o;
}

// Each variant draws the same frame after the others; all must agree, and the picture must show cubes.
std::string checkVariantsAgree(Scene& s) {
  nextFrame();
  std::vector<Outcome> outcomes;
  for (Variant v : {player, literal, least, player}) {
    drawFrame(s, v);
    outcomes.push_back(outcome(s));
  }
  const std::size_t lit = static_cast<std::size_t>(
      std::count_if(outcomes[0].pixels.begin(), outcomes[0].pixels.end(), [](std::uint8_t b) { return b != 0; }));
  if (lit < outcomes[0].pixels.size() / 4) return "the frame shows almost nothing";
  for (std::size_t i = 1; i < outcomes.size(); ++i) {
    const char* name = variantNames[i == 3 ? 0 : i];
    if (outcomes[i].pixels != outcomes[0].pixels) return std::string(name) + " draws another picture";
    if (outcomes[i].integers != outcomes[0].integers) return std::string(name) + " leaves other GL state";
    if (std::memcmp(outcomes[i].floats.data(), outcomes[0].floats.data(), outcomes[0].floats.size() * sizeof(GLfloat)) != 0)
      return std::string(name) + " leaves other colour, matrix or uniform values";
  }
  if (GLenum error = testing::GlContext::takeError(); error != GL_NO_ERROR) return "GL error " + std::to_string(error);
  return {};
}

bool ready(benchmark::State& state) {
  Scene& s = scene();
  if (!s.failure.empty()) {
    state.SkipWithError(s.failure.c_str());
    return false;
  }
  static const std::string disagreement = checkVariantsAgree(s);
  if (!disagreement.empty()) {
    state.SkipWithError(disagreement.c_str());
    return false;
  }
  return true;
}

void timeOne(benchmark::State& state, Variant variant) {
  if (!ready(state)) return;
  Scene& s = scene();
  for (auto _ : state) {
    nextFrame();
    drawFrame(s, variant);
    glFinish();
  }
  state.SetItemsProcessed(state.iterations() * particleCount);
}

// Each alone, for a profiler: --benchmark_filter=PlayerRunFrame.
void PlayerRunFrame(benchmark::State& state) { timeOne(state, player); }
void LiteralDrawFrame(benchmark::State& state) { timeOne(state, literal); }
void LeastWorkFrame(benchmark::State& state) { timeOne(state, least); }

double median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// The figure of record: the three draw each frame in turn, in rotating order, so that whatever else
// the machine does falls on all of them alike; the medians of the frame times are compared.
void FrameInTurn(benchmark::State& state) {
  if (!ready(state)) return;
  Scene& s = scene();
  std::array<std::vector<double>, 3> milliseconds;
  int turn = 0;
  for (auto _ : state) {
    nextFrame();
    for (int i = 0; i < 3; ++i) {
      const auto variant = static_cast<Variant>((turn + i) % 3);
      const auto start = std::chrono::steady_clock::now();
      drawFrame(s, variant);
      glFinish();
      milliseconds[variant].push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    ++turn;
  }
  const double playerMs = median(milliseconds[player]);
  const double literalMs = median(milliseconds[literal]);
  const double leastMs = median(milliseconds[least]);
  state.counters["player_ms"] = playerMs;
  state.counters["literal_ms"] = literalMs;
  state.counters["least_ms"] = leastMs;
  state.counters["player_vs_least"] = playerMs / leastMs;
  state.counters["player_vs_literal"] = playerMs / literalMs;
  state.SetItemsProcessed(state.iterations() * 3 * particleCount);
}

BENCHMARK(PlayerRunFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(LiteralDrawFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(LeastWorkFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(FrameInTurn)->Unit(benchmark::kMillisecond)->MinTime(5.0);

}  // namespace

BENCHMARK_MAIN();
