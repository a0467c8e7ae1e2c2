// The platform layer's tests, and the stand-in encoder they start: the same program run with
// "--encoder-stand-in", so the tests need no other program on either system.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

// --encoder-stand-in MODE [ARGUMENT...]
//   read CODE: reads its input to the end, then says on one line how many bytes and which
//              arguments it got, and ends with CODE
//   fail:      says why, then "Conversion failed!" as ffmpeg does, and ends with 1
//   quit:      ends at once without reading
//   hang:      sleeps without reading until it is killed
int standIn(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[2] : "";
  if (mode == "quit") return 0;
  if (mode == "hang") {
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  if (mode == "fail") {
    std::fputs("frame size mismatch\nConversion failed!\n", stderr);
    return 1;
  }
  std::size_t bytes = 0;
  char buffer[65536];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) bytes += got;
  std::string said = "read " + std::to_string(bytes) + " bytes;";
  for (int i = 4; i < argc; ++i) said += " [" + std::string(argv[i]) + "]";
  std::fprintf(stderr, "%s\n", said.c_str());
  return argc > 3 ? std::atoi(argv[3]) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--encoder-stand-in") return standIn(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
