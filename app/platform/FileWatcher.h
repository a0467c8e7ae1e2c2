// Tells when the show's files change on disk: every file below a folder, new subfolders included
// (inotify on Linux, ReadDirectoryChangesW on Windows). Editors save in several writes, or write a
// temporary file and rename it over the old one, so changes are handed out only once the writes have
// settled.
#pragma once

#include <chrono>
#include <memory>
#include <set>
#include <string>

namespace glowmarch {

using WatchClock = std::chrono::steady_clock;

inline constexpr std::chrono::milliseconds settleTime{100};

// Names editors and tools give their temporary and backup files (".x.swp", "x~", "4913", "#x#"...):
// their writes are not the show's files changing.
bool isEditorTemporary(const std::string& fileName);

// Collects changed paths and hands them out once nothing has changed for `settle`.
class ChangeBatch {
 public:
  void add(const std::string& path, WatchClock::time_point when);
  bool pending() const { return !paths.empty(); }
  // When the first change of the batch arrived.
  WatchClock::time_point firstChange() const { return first; }
  // The batch, emptied, when it has settled at `now`; otherwise nothing.
  std::set<std::string> takeSettled(WatchClock::time_point now, std::chrono::milliseconds settle = settleTime);

 private:
  std::set<std::string> paths;
  WatchClock::time_point first;
  WatchClock::time_point last;
};

class FileWatcher {
 public:
  // Watches `folder` and every folder below it; a folder that does not exist is watched from when
  // it appears in the working folder. Says nothing on failure: the edit mode then reloads by hand.
  explicit FileWatcher(const std::string& folder);
  ~FileWatcher();
  FileWatcher(const FileWatcher&) = delete;
  FileWatcher& operator=(const FileWatcher&) = delete;

  bool watching() const;
  // Takes what the system has queued without waiting; call once per frame.
  void poll(WatchClock::time_point now);
  ChangeBatch& changes() { return batch; }

 private:
  struct Watches;  // the system's watches on the folders, in FileWatcherLinux.cpp or FileWatcherWindows.cpp
  std::unique_ptr<Watches> watches;
  std::string root;
  ChangeBatch batch;
};

}  // namespace glowmarch
