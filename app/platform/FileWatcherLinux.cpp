// The watcher's Linux edge: inotify, one watch per folder.
#include "app/platform/FileWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace glowmarch {

namespace {

constexpr std::uint32_t fileEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                     IN_DELETE | IN_DELETE_SELF;
// A show's data folder holds a handful of folders; a bound keeps a huge tree from taking every watch.
constexpr std::size_t maxFolders = 256;

}  // namespace

FileWatcher::FileWatcher(const std::string& folder) : root(folder) {
  descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (descriptor < 0) return;
  std::error_code error;
  if (std::filesystem::is_directory(root, error)) {
    watchTree(root);
  } else {
    rootParentWatch = inotify_add_watch(descriptor, ".", IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
  }
}

FileWatcher::~FileWatcher() {
  if (descriptor >= 0) close(descriptor);
}

void FileWatcher::watchTree(const std::string& folder) {
  if (folders.size() >= maxFolders) return;
  const int watch = inotify_add_watch(descriptor, folder.c_str(), fileEvents | IN_ONLYDIR);
  if (watch < 0) return;
  folders[watch] = folder;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    std::error_code kind;
    if (entry->is_directory(kind) && !entry->is_symlink(kind)) watchTree(entry->path().string());
  }
}

void FileWatcher::poll(WatchClock::time_point now) {
  if (descriptor < 0) return;
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t got = read(descriptor, buffer, sizeof buffer);
    if (got <= 0) return;  // EAGAIN: nothing more queued
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      const char* nameStart = buffer + at + sizeof(inotify_event);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
      if (at > got) break;
      const std::string name = event.len > 0 ? std::string(nameStart, strnlen(nameStart, event.len)) : "";
      if (event.wd == rootParentWatch) {
        if (name == root) {
          inotify_rm_watch(descriptor, rootParentWatch);
          rootParentWatch = -1;
          watchTree(root);
          batch.add(root, now);
        }
        continue;
      }
      const auto folder = folders.find(event.wd);
      if (folder == folders.end()) continue;
      if ((event.mask & IN_IGNORED) != 0) {
        folders.erase(folder);
        continue;
      }
      if (name.empty() || isEditorTemporary(name)) continue;
      const std::string path = folder->second + "/" + name;
      if ((event.mask & IN_ISDIR) != 0) {
        if ((event.mask & (IN_CREATE | IN_MOVED_TO)) != 0) watchTree(path);
        continue;
      }
      batch.add(path, now);
    }
  }
}

}  // namespace glowmarch
