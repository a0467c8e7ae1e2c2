#include "app/edit/NewShow.h"

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "resources/Utf8Path.h"

namespace glowmarch {

// The showcase's font, built into the program (app/edit/NewShowFiles.cmake).
extern const unsigned char newShowFont[];
extern const std::size_t newShowFontSize;

namespace {

namespace fs = std::filesystem;

constexpr std::string_view script = R"(# A first show. Each line: a time in seconds, an object's name, a command and its arguments,
# separated by spaces or commas. Lines with a negative time run at start-up, before the music.
# Run `glowmarch --edit` in this folder and save this file: the show reloads where it stands.
#
# Music: copy an MP3 to data/music/QX07Synthpop_FINAL.mp3 (that exact name). Without it the show
# runs on the wall clock, as now.

# The program every mesh is drawn with; a new sphere takes "main" when it is made.
-10 main SHADER main.vert main.frag

# The camera: its eye at (0, 1, 9), looking along -Z. Only what hangs below it is seen in 3D.
-9 cam new camera
-9 cam setpoint 0,1,9
-9 cam setdirection 0.5,0.5,0
-9 SCENE append cam

# A sphere (shown once the music time passes its timer) and the cube from data/cube.obj.
-8 ball new sphere
-8 ball setpoint -2,0.5,0
-8 cam append ball
-8 box new model
-8 box shader main
-8 box local loadobj;data/cube.obj
-8 box setpoint 2,0.5,0
-8 box deltadirection 0.1,0.05,0
-8 cam append box

# A starfield: 300 small copies of a cube in a cloud 40 units wide and deep (padx), 20 high (pady).
-7 star new model
-7 star shader main
-7 star local loadobj;data/cube.obj
-7 star scale 0.05
-7 stars new particles
-7 stars local x;20
-7 stars local y;15
-7 stars local padx;40
-7 stars local pady;20
-7 stars local type;starfield
-7 stars local init;star
-7 cam append stars

# A caption in front of everything, on the top-level list outside the camera. A text cannot hold
# a space or a comma (they separate the words); the README says how to show a gap.
-6 hud new demoeffect
-6 SCENE append hud
-6 title new text
-6 title local text;HELLO
-6 title setpoint -1.25,1.5,-8
-6 hud append title

# Things happen at their time: the caption grows longer, the camera moves, and the show ends.
2 title local append;!
3 cam movepoint 0,3,12,4
8 box movepoint 2,2,-3,3
12 x END
)";

constexpr std::string_view vertexStage = R"(#version 330 compatibility
// The mesh's vertices in (fixed locations keep one vertex array valid for any program), placed by
// the fixed-function matrices the script's setpoint, setdirection and scale build.
layout(location = 0) in vec3 in_position;
layout(location = 1) in vec3 in_normal;
layout(location = 2) in vec2 in_texcoords;

out vec3 viewNormal;
out vec3 viewPosition;
out vec2 texcoords;

void main()
{
    vec4 position = vec4(in_position, 1.0);
    viewPosition = (gl_ModelViewMatrix * position).xyz;
    viewNormal = gl_NormalMatrix * in_normal;
    texcoords = in_texcoords;
    gl_Position = gl_ModelViewProjectionMatrix * position;
}
)";

constexpr std::string_view fragmentStage = R"(#version 330 compatibility
// Lit by the camera's light, coloured by the music: musicdata holds the spectrum (256 bins, low to
// high), musictime the seconds since the object's timer, state the bits the script sets.
in vec3 viewNormal;
in vec3 viewPosition;
in vec2 texcoords;

uniform float musicdata[256];
uniform float musictime;
uniform int state;

out vec4 colour;

void main()
{
    vec3 normal = normalize(viewNormal);
    vec3 light = normalize(gl_LightSource[0].position.xyz - viewPosition);
    float lit = 0.25 + 0.75 * max(dot(normal, light), 0.0);
    float bass = musicdata[2] + musicdata[3];
    vec3 base = mix(vec3(0.2, 0.55, 1.0), vec3(1.0, 0.45, 0.2), 0.5 + 0.5 * sin(musictime));
    colour = vec4(base * lit + vec3(bass * 0.3), 1.0);
}
)";

// A cube of side 1 around its centre, each face with its own normal.
constexpr std::string_view cube = R"(# A cube: positions (v), one normal per face (vn), faces as position//normal.
v -0.5 -0.5 -0.5
v 0.5 -0.5 -0.5
v 0.5 0.5 -0.5
v -0.5 0.5 -0.5
v -0.5 -0.5 0.5
v 0.5 -0.5 0.5
v 0.5 0.5 0.5
v -0.5 0.5 0.5
vn 0 0 -1
vn 0 0 1
vn -1 0 0
vn 1 0 0
vn 0 -1 0
vn 0 1 0
f 1//1 4//1 3//1 2//1
f 5//2 6//2 7//2 8//2
f 1//3 5//3 8//3 4//3
f 2//4 3//4 7//4 6//4
f 1//5 2//5 6//5 5//5
f 4//6 8//6 7//6 3//6
)";

bool writeFile(const fs::path& path, const void* bytes, std::size_t size, std::string& error) {
  std::ofstream out(path, std::ios::binary);
  out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  out.close();
  if (!out) error = "could not write " + nativeUtf8(path);
  return static_cast<bool>(out);
}

bool writeText(const fs::path& path, std::string_view text, std::string& error) {
  return writeFile(path, text.data(), text.size(), error);
}

}  // namespace

std::string writeNewShow(const std::string& folder) {
  if (folder.empty()) return "no folder given";
  const fs::path root = pathFromUtf8(folder);
  const fs::path data = root / "data";
  std::error_code code;
  if (fs::exists(data / "vesperscript.txt", code)) {
    return nativeUtf8(data / "vesperscript.txt") + " exists already: a new show goes into a folder of its own";
  }
  for (const fs::path& dir : {data / "shaders", data / "textures", data / "music"}) {
    fs::create_directories(dir, code);
    if (code) return "could not make " + nativeUtf8(dir) + ": " + code.message();
  }
  std::string error;
  const bool written = writeText(data / "vesperscript.txt", script, error) &&
                       writeText(data / "shaders" / "main.vert", vertexStage, error) &&
                       writeText(data / "shaders" / "main.frag", fragmentStage, error) &&
                       writeText(data / "cube.obj", cube, error) &&
                       writeFile(data / "textures" / "profont.png", newShowFont, newShowFontSize, error) &&
                       writeText(data / "music" / "PUT-THE-MP3-HERE.txt",
                                 "Copy your MP3 here as QX07Synthpop_FINAL.mp3 (that exact name). Until then the "
                                 "show runs on the wall clock.\n",
                                 error);
  return written ? std::string() : error;
}

int runNewShow(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1 || arguments[0].empty() || arguments[0][0] == '-') {
    std::fprintf(stderr, "usage: glowmarch --new FOLDER\n");
    return 2;
  }
  const std::string error = writeNewShow(arguments[0]);
  if (!error.empty()) {
    std::fprintf(stderr, "glowmarch --new: %s\n", error.c_str());
    return 1;
  }
  std::printf("A new show in %s. Try it:\n  cd %s\n  glowmarch --edit\n", arguments[0].c_str(), arguments[0].c_str());
  return 0;
}

}  // namespace glowmarch
