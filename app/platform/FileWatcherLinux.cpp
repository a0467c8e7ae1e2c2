// The watcher's Linux edge: inotify, one watch per folder.
#include "app/platform/FileWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

namespace glowmarch {

namespace {

constexpr std::uint32_t fileEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                     IN_DELETE | IN_DELETE_SELF;
// A show's data folder holds a handful of folders; a bound keeps a huge tree from taking every watch.
constexpr std::size_t maxFolders = 256;

}  // namespace

struct FileWatcher::Watches {
  int descriptor = -1;
  int rootParentWatch = -1;  // the working folder, until the root exists
  std::map<int, std::string> folders;  // watch descriptor -> folder path

  // Watches the folder and those below it. A folder that appears while the show is edited may have
  // been filled before its watch stood: its files go into `found`.
  void watchTree(const std::string& folder, std::vector<std::string>* found = nullptr) {
    if (folders.size() >= maxFolders) return;
    const int watch = inotify_add_watch(descriptor, folder.c_str(), fileEvents | IN_ONLYDIR);
    if (watch < 0) return;
    folders[watch] = folder;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
      std::error_code kind;
      if (entry->is_directory(kind) && !entry->is_symlink(kind)) {
        watchTree(entry->path().string(), found);
      } else if (found != nullptr && !isEditorTemporary(entry->path().filename().string())) {
        found->push_back(entry->path().string());
      }
    }
  }
};

FileWatcher::FileWatcher(const std::string& folder) : watches(std::make_unique<Watches>()), root(folder) {
  watches->descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watches->descriptor < 0) return;
  std::error_code error;
  if (std::filesystem::is_directory(root, error)) {
    watches->watchTree(root);
  } else {
    watches->rootParentWatch = inotify_add_watch(watches->descriptor, ".", IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
  }
}

FileWatcher::~FileWatcher() {
  if (watches->descriptor >= 0) close(watches->descriptor);
}

bool FileWatcher::watching() const { return watches->descriptor >= 0; }

void FileWatcher::poll(WatchClock::time_point now) {
  if (watches->descriptor < 0) return;
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t got = read(watches->descriptor, buffer, sizeof buffer);
    if (got <= 0) return;  // EAGAIN: nothing more queued
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      const char* nameStart = buffer + at + sizeof(inotify_event);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
      if (at > got) break;
      const std::string name = event.len > 0 ? std::string(nameStart, strnlen(nameStart, event.len)) : "";
      if (event.wd == watches->rootParentWatch) {
        if (name == root) {
          inotify_rm_watch(watches->descriptor, watches->rootParentWatch);
          watches->rootParentWatch = -1;
          watches->watchTree(root);
          batch.add(root, now);
        }
        continue;
      }
      const auto folder = watches->folders.find(event.wd);
      if (folder == watches->folders.end()) continue;
      if ((event.mask & IN_IGNORED) != 0) {
        watches->folders.erase(folder);
        continue;
      }
      if (name.empty() || isEditorTemporary(name)) continue;
      const std::string path = folder->second + "/" + name;
      if ((event.mask & IN_ISDIR) != 0) {
        if ((event.mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
          std::vector<std::string> found;
          watches->watchTree(path, &found);
          for (const std::string& file : found) batch.add(file, now);
        }
        continue;
      }
      batch.add(path, now);
    }
  }
}

}  // namespace glowmarch
