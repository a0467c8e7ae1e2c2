#include "app/check/ShowCheck.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <tuple>

#include "app/check/ResourceProbe.h"
#include "app/check/ScriptCheck.h"
#include "app/common/CommandLine.h"
#include "app/common/HeadlessContext.h"
#include "audio/BeatFile.h"
#include "audio/DecodedMusic.h"
#include "resources/Utf8Path.h"
#include "timeline/Player.h"
#include "timeline/Script.h"
#include "timeline/ShowBeats.h"

namespace glowmarch {

namespace {

namespace fs = std::filesystem;

void checkMusic(std::vector<Finding>& findings) {
  std::error_code error;
  if (!fs::is_regular_file(musicPath, error)) {
    std::string others;
    for (const auto& entry : fs::directory_iterator("data/music", error)) {
      if (entry.path().extension() == ".mp3" || entry.path().extension() == ".MP3") {
        others += (others.empty() ? "" : ", ") + std::string("data/music/") + nativeUtf8(entry.path().filename());
      }
    }
    // A music folder without any MP3 says the show has no music yet: it runs on the wall clock.
    if (others.empty() && fs::is_directory("data/music", error)) {
      findings.push_back({musicPath, 0,
                          "no music yet, so the show runs on the wall clock; the player plays this file, under "
                          "this very name, once it is there",
                          true});
      return;
    }
    findings.push_back({musicPath, 0,
                        "the music is missing: the player plays only this file name" +
                            (others.empty() ? std::string("; put the show's MP3 there under this name")
                                            : "; rename " + others + " to it")});
    return;
  }
  if (!audio::DecodedMusic::open(musicPath)) {
    findings.push_back({musicPath, 0, "not an MP3 the player can play: save the music as MP3 under this name"});
  }
}

// A beat file is optional; one that is there is read as the player reads it.
void checkBeatFile(std::vector<Finding>& findings) {
  const char* path = audio::beatFilePath;
  const ShowBeatFile read = readShowBeatFile();
  switch (read.state) {
    case ShowBeatFile::State::absent:
      return;
    case ShowBeatFile::State::unreadable:
      findings.push_back({path, 0, "not a file the player can read: musicbeat is not set"});
      return;
    case ShowBeatFile::State::tooLarge:
      findings.push_back({path, 0, "too large for a beat file: the player does not read it"});
      return;
    case ShowBeatFile::State::read:
      break;
  }
  for (const audio::SkippedBeatLine& skipped : read.file.skipped) {
    findings.push_back({path, skipped.line, skipped.reason + ": the player skips this line"});
  }
  if (read.file.beats.size() < 2) {
    findings.push_back({path, 0, "fewer than two beats: musicbeat is not set (one beat time in seconds per line)"});
  }
}

}  // namespace

std::vector<Finding> checkShow(std::vector<NamedFile>* named) {
  std::vector<Finding> findings;
  std::error_code error;
  std::ifstream in(scriptPath, std::ios::binary);
  if (fs::is_directory(scriptPath, error) || !in) {
    findings.push_back({scriptPath, 0,
                        "no script: the player reads data/vesperscript.txt in the folder it runs in; run the "
                        "check in the show's folder"});
  } else {
    const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ResourceProbe probe(findings);
    checkScript(script, probe, findings, named);
  }
  checkMusic(findings);
  checkBeatFile(findings);

  std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
    return std::tie(a.file, a.line) < std::tie(b.file, b.line);
  });
  // A shader that fails for several programs is told once.
  findings.erase(std::unique(findings.begin(), findings.end(),
                             [](const Finding& a, const Finding& b) {
                               return a.file == b.file && a.line == b.line && a.message == b.message;
                             }),
                 findings.end());
  return findings;
}

std::size_t countProblems(const std::vector<Finding>& findings) {
  return static_cast<std::size_t>(
      std::count_if(findings.begin(), findings.end(), [](const Finding& finding) { return !finding.note; }));
}

std::string formatFinding(const Finding& finding) {
  const std::string message = (finding.note ? "note: " : "") + finding.message;
  if (finding.line <= 0) return finding.file + ": " + message;
  return finding.file + ":" + std::to_string(finding.line) + ": " + message;
}

int runCheck(const std::vector<std::string>& arguments) {
  if (!enterShowFolderArgument("--check", arguments)) return 2;
  std::vector<Finding> findings;
  {
    HeadlessContext context;
    std::string error;
    if (!context.open(16, 16, error)) {
      std::fprintf(stderr, "glowmarch --check: shaders are not compiled, no OpenGL context: %s\n", error.c_str());
    }
    findings = checkShow();
  }
  for (const Finding& finding : findings) std::printf("%s\n", formatFinding(finding).c_str());
  std::fflush(stdout);
  const std::size_t problems = countProblems(findings);
  if (problems == 0) {
    std::fprintf(stderr, "glowmarch --check: no problems found\n");
  } else {
    std::fprintf(stderr, "glowmarch --check: %zu problem%s found\n", problems, problems == 1 ? "" : "s");
  }
  return problems == 0 ? 0 : 1;
}

}  // namespace glowmarch
