// The files a show's script makes the player open, as the check lists them for a release: from the
// same reading as its findings, so only lines that run count and only names the player opens.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/check/ShowCheck.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

std::vector<std::string> listed(const std::vector<NamedFile>& named) {
  std::vector<std::string> list;
  for (const NamedFile& file : named) {
    list.push_back(std::to_string(file.line) + " " + file.path + (file.found ? "" : " (missing)"));
  }
  return list;
}

using CheckNamedFiles = testing::GlTest;

TEST_F(CheckNamedFiles, ListsEachOpenedFileOnceAtItsFirstLineButNotStagelessNamesOrLinesAfterEnd) {
  testing::ScratchFolder show;
  const char* vertex = "#version 330 compatibility\nin vec3 in_position;\nvoid main() { gl_Position = vec4(in_position, 1.0); }\n";
  const char* fragment = "#version 330 compatibility\nout vec4 color;\nvoid main() { color = vec4(1.0); }\n";
  show.write("data/shaders/main.vert", vertex);
  show.write("data/shaders/main.frag", fragment);
  show.write("data/textures/swatch.png", "not a png, but there");
  show.write("data/textures/profont.png", "not a png either");
  show.write("meshes/cube.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  show.write("meshes/late.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  show.write("data/vesperscript.txt",
             "-10 main SHADER main.vert main.frag\n"           // 1
             "-10 odd SHADER main.vert plain.glsl\n"           // 2: no stage, never opened
             "-10 lost SHADER main.vert gone.frag\n"           // 3
             "-9 cam new camera\n"                             // 4
             "-9 SCENE append cam\n"                           // 5
             "-8 box new model\n"                              // 6
             "-8 box shader main\n"                            // 7
             "-8 box local loadobj;meshes/cube.obj\n"          // 8
             "-8 box local loadobj;meshes/cube.obj\n"          // 9: once
             "-8 box local loadobj;meshes/gone.obj\n"          // 10
             "-8 ghost local loadobj;meshes/ghost.obj\n"       // 11: no such object, never run
             "-8 cam append box\n"                             // 12
             "-8 pic new image\n"                              // 13
             "-8 pic texture swatch.png\n"                     // 14
             "-8 pic texture nothing.png\n"                    // 15
             "-8 cam append pic\n"                             // 16
             "-7 label new text\n"                             // 17: the font
             "-7 cam append label\n"                           // 18
             "5 show END\n"                                    // 19
             "6 box local loadobj;meshes/late.obj\n");         // 20: after END
  std::vector<NamedFile> named;
  checkShow(&named);
  EXPECT_EQ(listed(named), (std::vector<std::string>{
                               "1 data/shaders/main.vert",
                               "1 data/shaders/main.frag",
                               "3 data/shaders/gone.frag (missing)",
                               "8 meshes/cube.obj",
                               "10 meshes/gone.obj (missing)",
                               "14 data/textures/swatch.png",
                               "15 nothing.png (missing)",
                               "17 data/textures/profont.png",
                           }));
}

}  // namespace
}  // namespace glowmarch
