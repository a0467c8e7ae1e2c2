#include "app/release/Release.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <utility>

#include "app/check/ShowCheck.h"
#include "app/common/HeadlessContext.h"
#include "app/release/Archive.h"
#include "app/release/ReleaseOptions.h"
#include "app/release/ReleaseReadme.h"
#include "app/release/Runtime.h"
#include "app/release/ShowFiles.h"
#include "app/release/TarGzWriter.h"
#include "app/release/ZipWriter.h"
#include "resources/Utf8Path.h"
#include "timeline/Script.h"

namespace glowmarch {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

const char* const interruptedMessage = "interrupted: nothing written, an earlier release left as it was";

void say(const std::string& line) { std::fprintf(stderr, "glowmarch --release: %s\n", line.c_str()); }

std::string sizeText(std::uintmax_t bytes) {
  char text[32];
  if (bytes >= 1000000) {
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.0f kB", static_cast<double>(bytes) / 1e3);
  }
  return text;
}

std::string secondsSince(Clock::time_point start) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(Clock::now() - start).count());
  return text;
}

class Release {
 public:
  explicit Release(const ReleaseOptions& options) : options(options) {}
  ~Release();
  Release(const Release&) = delete;
  Release& operator=(const Release&) = delete;

  bool run();

 private:
  struct Made {
    const RuntimeSystem* system;
    Runtime runtime;
    std::string folder;   // "NAME-linux-x86_64"
    std::string archive;  // "NAME-linux-x86_64.tar.gz"
  };

  static bool fail(const std::string& message) {
    say(message);
    return false;
  }
  bool stopped() const { return interrupted != 0; }
  bool readShow();
  bool loadRuntimes();
  bool checkShowFolder();
  bool prepareOutput();
  bool copyFile(const fs::path& from, const fs::path& to, const std::string& what);
  bool copyFolder(const fs::path& from, const fs::path& to);
  bool makeFolder(const Made& made);
  bool makeArchive(const Made& made);
  bool place();

  const ReleaseOptions& options;
  fs::path show;
  std::string name;
  std::vector<Made> releases;
  ShowFiles files;
  fs::path out;
  fs::path stage;
  std::vector<fs::path> madeFolders;  // output folders this release made, outermost first
  std::vector<std::string> placed;
  bool done = false;
  std::uintmax_t copiedFiles = 0;
  std::uintmax_t copiedBytes = 0;
};

// A release cut short takes back what it placed and puts the earlier one back.
Release::~Release() {
  std::error_code ignored;
  if (!done) {
    for (auto item = placed.rbegin(); item != placed.rend(); ++item) {
      const fs::path target = out / pathFromUtf8(*item);
      const fs::path earlier = stage / "old" / pathFromUtf8(*item);
      fs::remove_all(target, ignored);
      if (fs::exists(fs::symlink_status(earlier, ignored))) fs::rename(earlier, target, ignored);
    }
  }
  if (!stage.empty()) fs::remove_all(stage, ignored);
  if (!done) {
    for (auto folder = madeFolders.rbegin(); folder != madeFolders.rend(); ++folder) fs::remove(*folder, ignored);
  }
}

bool Release::readShow() {
  std::error_code error;
  const std::string given = utf8(options.show);
  if (!fs::is_directory(options.show, error)) return fail(given + " is not a folder");
  show = fs::canonical(options.show, error);
  if (error) return fail("cannot read the folder " + given + ": " + error.message());
  name = utf8(show.filename());
  if (name.empty()) return fail(given + " has no name a release could take: name the show's own folder");
  if (!fs::is_regular_file(show / scriptPath, error)) {
    return fail(given + " holds no " + scriptPath + ": not a show folder");
  }
  return true;
}

bool Release::loadRuntimes() {
  const fs::path folder = runtimesFolder();
  for (const RuntimeSystem* system : {&linuxRuntime, &windowsRuntime}) {
    if (system == &linuxRuntime ? !options.forLinux : !options.forWindows) continue;
    Made made{system, {}, name + "-" + system->name, name + "-" + system->name + system->archiveType};
    const std::string problem = loadRuntime(*system, folder / system->name, made.runtime);
    if (!problem.empty()) return fail(problem);
    releases.push_back(std::move(made));
  }
  return true;
}

// The check, in the show's folder as the player would read it; it also says which files the script
// names, from the same reading.
bool Release::checkShowFolder() {
  const Clock::time_point start = Clock::now();
  std::error_code error;
  const fs::path before = fs::current_path(error);
  fs::current_path(show, error);
  if (error) return fail("cannot enter " + utf8(show) + ": " + error.message());
  std::vector<Finding> findings;
  std::vector<NamedFile> named;
  {
    HeadlessContext context;
    std::string why;
    if (!context.open(16, 16, why)) say("the shaders are not compiled, no OpenGL context: " + why);
    findings = checkShow(&named);
  }
  fs::current_path(before, error);
  files = sortShowFiles(named);
  if (!files.problems.empty()) {
    for (const std::string& problem : files.problems) std::fprintf(stderr, "%s\n", problem.c_str());
    return fail(name + " names files a release cannot carry");
  }
  for (const Finding& finding : findings) std::fprintf(stderr, "%s\n", formatFinding(finding).c_str());
  // A note (a show without music yet) is no mistake.
  if (countProblems(findings) == 0) {
    say("checked " + name + ": no problems found (" + secondsSince(start) + ")");
    return true;
  }
  if (!options.force) return fail("the check found mistakes in " + name + " (--force releases it anyway)");
  say("releasing " + name + " with the mistakes above (--force)");
  return true;
}

bool Release::prepareOutput() {
  std::error_code error;
  out = fs::absolute(options.out, error);
  const std::string given = utf8(options.out);
  if (error) return fail("cannot make the folder " + given + ": " + error.message());
  // Folders made here go again if the release fails.
  for (fs::path folder = out; !folder.empty() && !fs::exists(fs::symlink_status(folder, error));
       folder = folder.parent_path()) {
    madeFolders.insert(madeFolders.begin(), folder);
    if (folder == folder.parent_path()) break;
  }
  fs::create_directories(out, error);
  if (error || !fs::is_directory(out, error)) {
    return fail("cannot make the folder " + given + (error ? ": " + error.message() : ": it is a file"));
  }
  out = fs::canonical(out, error);
  const fs::path data = show / "data";
  const fs::path inside = out.lexically_relative(data);
  if (!inside.empty() && *inside.begin() != "..") {
    return fail("the output folder " + given + " lies inside the show's data/ folder, which the release copies");
  }
  // A name no one else uses, in the output folder so that placing the results is a rename. Varied by
  // the clock: std::random_device would tie the shipped program to glibc 2.36 (arc4random).
  std::minstd_rand random(static_cast<std::uint_fast32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = out / (".release-" + std::to_string(random() % 1000000000u));
    if (fs::create_directory(candidate, error)) {
      stage = candidate;
      return true;
    }
    if (error) break;
  }
  return fail("cannot write in " + utf8(out) + (error ? ": " + error.message() : ""));
}

bool Release::copyFile(const fs::path& from, const fs::path& to, const std::string& what) {
  if (stopped()) return fail(interruptedMessage);
  std::error_code error;
  fs::create_directories(to.parent_path(), error);
  if (!error) fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  if (error) return fail("cannot copy " + what + " into " + utf8(out) + ": " + error.message());
  ++copiedFiles;
  copiedBytes += fs::file_size(to, error);
  return true;
}

// Links are followed: the release holds what they point to.
bool Release::copyFolder(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::create_directories(to, error);
  const auto options = fs::directory_options::follow_directory_symlink;
  for (fs::recursive_directory_iterator it(from, options, error), end; !error && it != end; it.increment(error)) {
    const fs::path relative = it->path().lexically_relative(from);
    const std::string what = utf8(show.filename() / from.lexically_relative(show) / relative);
    if (it->is_directory(error)) {
      fs::create_directories(to / relative, error);
    } else if (it->is_regular_file(error)) {
      if (!copyFile(it->path(), to / relative, what)) return false;
    } else {
      return fail("cannot copy " + what + ": it is neither a file nor a folder (a link to nothing?)");
    }
    if (error) break;
  }
  if (error) return fail("cannot copy " + utf8(from) + " into " + utf8(out) + ": " + error.message());
  return true;
}

bool Release::makeFolder(const Made& made) {
  const Clock::time_point start = Clock::now();
  copiedFiles = 0;
  copiedBytes = 0;
  const fs::path folder = stage / pathFromUtf8(made.folder);
  for (const std::string& file : made.runtime.files) {
    if (!copyFile(made.runtime.folder / pathFromUtf8(file), folder / pathFromUtf8(file), file)) return false;
  }
  if (!copyFolder(show / "data", folder / "data")) return false;
  for (const std::string& file : files.outsideData) {
    if (!copyFile(show / pathFromUtf8(file), folder / pathFromUtf8(file), name + "/" + file)) return false;
  }
  {
    std::ofstream readme(folder / "README.txt", std::ios::binary);
    readme << releaseReadme(*made.system, name);
    readme.close();
    if (!readme) return fail("cannot write README.txt into " + utf8(out));
    ++copiedFiles;
  }
  // The player takes the show's name, and its extension on Windows.
  const fs::path player = folder / pathFromUtf8(name + utf8(pathFromUtf8(made.runtime.player).extension()));
  std::error_code error;
  if (fs::exists(fs::symlink_status(player, error))) {
    return fail("the player would be named " + utf8(player.filename()) + ", a name the release already holds for " +
                "something else: rename the show's folder");
  }
  if (!copyFile(made.runtime.folder / pathFromUtf8(made.runtime.player), player, "the player")) return false;
  fs::permissions(player, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec, error);
  if (error) return fail("cannot make " + utf8(player.filename()) + " a program: " + error.message());
  say(made.folder + "/: " + std::to_string(copiedFiles) + " files, " + sizeText(copiedBytes) + " (" +
      secondsSince(start) + ")");
  return true;
}

bool Release::makeArchive(const Made& made) {
  if (stopped()) return fail(interruptedMessage);
  const Clock::time_point start = Clock::now();
  std::error_code listError;
  std::vector<ArchiveEntry> entries = folderEntries(stage / pathFromUtf8(made.folder), made.folder, listError);
  if (listError) return fail("cannot read back " + made.folder + ": " + listError.message());
  const std::string player = made.folder + "/" + name + utf8(pathFromUtf8(made.runtime.player).extension());
  for (ArchiveEntry& entry : entries) entry.executable = entry.name == player;
  const fs::path archive = stage / pathFromUtf8(made.archive);
  std::string error;
  const bool written = made.system == &windowsRuntime ? writeZip(archive, entries, std::time(nullptr), error)
                                                      : writeTarGz(archive, entries, std::time(nullptr), error);
  if (!written) return fail("cannot write " + made.archive + " into " + utf8(out) + ": " + error);
  std::error_code sizeError;
  say(made.archive + ": " + sizeText(fs::file_size(archive, sizeError)) + " (" + secondsSince(start) + ")");
  return true;
}

// Everything is complete: only now does an earlier release give way.
bool Release::place() {
  if (stopped()) return fail(interruptedMessage);
  std::error_code error;
  const fs::path old = stage / "old";
  fs::create_directory(old, error);
  if (error) return fail("cannot write in " + utf8(out) + ": " + error.message());
  std::vector<std::string> made;
  for (const Made& release : releases) {
    made.push_back(release.folder);
    made.push_back(release.archive);
  }
  for (const std::string& item : made) {
    const fs::path target = out / pathFromUtf8(item);
    if (fs::exists(fs::symlink_status(target, error))) {
      fs::rename(target, old / pathFromUtf8(item), error);
      if (error) return fail("cannot replace " + utf8(target) + ": " + error.message());
    }
    placed.push_back(item);
    fs::rename(stage / pathFromUtf8(item), target, error);
    if (error) return fail("cannot write " + utf8(target) + ": " + error.message());
  }
  done = true;
  for (const std::string& item : made) std::printf("%s\n", utf8(out / pathFromUtf8(item)).c_str());
  return true;
}

bool Release::run() {
  if (!readShow() || !loadRuntimes() || !checkShowFolder() || !prepareOutput()) return false;
  for (const Made& made : releases) {
    if (!makeFolder(made) || !makeArchive(made)) return false;
  }
  return place();
}

}  // namespace

int runRelease(const std::vector<std::string>& arguments) {
  ReleaseOptions options;
  const std::string problem = readReleaseOptions(arguments, options);
  if (!problem.empty()) {
    std::fprintf(stderr, "glowmarch --release: %s\n%s", problem.c_str(), releaseUsage);
    return 1;
  }
  if (options.help) {
    std::printf("%s", releaseUsage);
    return 0;
  }
  // Interrupted, it takes back what it wrote rather than leave half a release.
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);
  Release release(options);
  return release.run() ? 0 : 1;
}

}  // namespace glowmarch
