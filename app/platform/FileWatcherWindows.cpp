// The watcher's Windows edge: one ReadDirectoryChangesW per folder, as inotify on Linux (Wine hands
// a watch of a whole tree only the changes of folders made after it started), asked again each time
// it has answered and read without waiting.
#include "app/platform/FileWatcher.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "resources/Utf8Path.h"

namespace glowmarch {

namespace {

constexpr DWORD fileChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                              FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_CREATION;
constexpr DWORD bufferBytes = 16 * 1024;
// A show's data folder holds a handful of folders; a bound keeps a huge tree from taking every handle.
constexpr std::size_t maxFolders = 256;

std::string fromWide(const wchar_t* text, int length) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

bool isFolder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(pathFromUtf8(path), error);
}

// One folder's watch. Its buffer is the system's while a request is pending.
struct FolderWatch {
  std::string path;
  DWORD changes = fileChanges;
  HANDLE folder = INVALID_HANDLE_VALUE;
  HANDLE answered = nullptr;
  OVERLAPPED request{};
  bool pending = false;
  std::vector<DWORD> buffer = std::vector<DWORD>(bufferBytes / sizeof(DWORD));  // aligned as the call needs

  FolderWatch(std::string folderPath, DWORD what) : path(std::move(folderPath)), changes(what) {
    folder = CreateFileW(pathFromUtf8(path).c_str(), FILE_LIST_DIRECTORY,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (folder != INVALID_HANDLE_VALUE) answered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (answered == nullptr || !ask()) close();
  }
  ~FolderWatch() { close(); }
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  bool open() const { return folder != INVALID_HANDLE_VALUE; }

  bool ask() {
    request = OVERLAPPED{};
    request.hEvent = answered;
    pending = ReadDirectoryChangesW(folder, buffer.data(), bufferBytes, FALSE, changes, nullptr, &request,
                                    nullptr) != 0;
    return pending;
  }

  // The names of the entries changed since the last call, and whether the watch still stands; an
  // overflow gives the folder's own path.
  bool take(std::vector<std::pair<std::string, DWORD>>& names) {
    while (open()) {
      if (!pending && !ask()) return false;
      DWORD got = 0;
      if (!GetOverlappedResult(folder, &request, &got, FALSE)) {
        if (GetLastError() == ERROR_IO_INCOMPLETE) return true;
        return false;  // the folder went away
      }
      pending = false;
      if (got == 0) {
        names.emplace_back(std::string(), FILE_ACTION_MODIFIED);  // more than the buffer held
        continue;
      }
      const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
      for (DWORD at = 0; at + sizeof(FILE_NOTIFY_INFORMATION) <= got;) {
        const auto* entry = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(bytes + at);
        names.emplace_back(fromWide(entry->FileName, static_cast<int>(entry->FileNameLength / sizeof(wchar_t))),
                           entry->Action);
        if (entry->NextEntryOffset == 0) break;
        at += entry->NextEntryOffset;
      }
    }
    return false;
  }

  void close() {
    if (folder != INVALID_HANDLE_VALUE) {
      if (pending) {
        // The buffer stays the system's until it has let go of the request.
        CancelIoEx(folder, &request);
        DWORD ignored = 0;
        GetOverlappedResult(folder, &request, &ignored, TRUE);
      }
      CloseHandle(folder);
      folder = INVALID_HANDLE_VALUE;
    }
    pending = false;
    if (answered != nullptr) CloseHandle(answered);
    answered = nullptr;
  }
};

}  // namespace

struct FileWatcher::Watches {
  std::vector<std::unique_ptr<FolderWatch>> folders;
  std::unique_ptr<FolderWatch> rootParent;  // the working folder, until the root exists
  bool started = false;

  // Watches the folder and those below it. A folder that appears while the show is edited may have
  // been filled before its watch stood: its files go into `found`.
  void watchTree(const std::string& folder, std::vector<std::string>* found = nullptr) {
    if (folders.size() >= maxFolders) return;
    auto watch = std::make_unique<FolderWatch>(folder, fileChanges);
    if (!watch->open()) return;
    folders.push_back(std::move(watch));
    std::error_code error;
    for (std::filesystem::directory_iterator entry(pathFromUtf8(folder), error), end; !error && entry != end;
         entry.increment(error)) {
      const std::string name = nativeUtf8(entry->path().filename());
      std::error_code kind;
      if (entry->is_directory(kind) && !entry->is_symlink(kind)) {
        watchTree(folder + "/" + name, found);
      } else if (found != nullptr && !isEditorTemporary(name)) {
        found->push_back(folder + "/" + name);
      }
    }
  }
};

FileWatcher::FileWatcher(const std::string& folder) : watches(std::make_unique<Watches>()), root(folder) {
  if (isFolder(root)) {
    watches->watchTree(root);
    watches->started = !watches->folders.empty();
  } else {
    watches->rootParent = std::make_unique<FolderWatch>(".", FILE_NOTIFY_CHANGE_DIR_NAME);
    watches->started = watches->rootParent->open();
  }
}

FileWatcher::~FileWatcher() = default;

bool FileWatcher::watching() const { return watches->started; }

void FileWatcher::poll(WatchClock::time_point now) {
  std::vector<std::pair<std::string, DWORD>> names;
  if (watches->rootParent) {
    if (!watches->rootParent->take(names)) watches->rootParent.reset();
    for (const auto& [name, action] : names) {
      if ((action == FILE_ACTION_ADDED || action == FILE_ACTION_RENAMED_NEW_NAME) && name == root && isFolder(root)) {
        watches->rootParent.reset();
        watches->watchTree(root);
        batch.add(root, now);
        break;
      }
    }
  }
  // By index: a new folder's watch joins the list while it is read.
  for (std::size_t i = 0; i < watches->folders.size();) {
    FolderWatch& watch = *watches->folders[i];
    names.clear();
    const bool standing = watch.take(names);
    for (const auto& [name, action] : names) {
      if (name.empty()) {
        batch.add(watch.path, now);
        continue;
      }
      if (isEditorTemporary(name)) continue;
      const std::string path = watch.path + "/" + name;
      if (isFolder(path)) {
        if (action == FILE_ACTION_ADDED || action == FILE_ACTION_RENAMED_NEW_NAME) {
          std::vector<std::string> found;
          watches->watchTree(path, &found);
          for (const std::string& file : found) batch.add(file, now);
        }
        continue;
      }
      batch.add(path, now);
    }
    if (standing) {
      ++i;
    } else {
      watches->folders.erase(watches->folders.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

}  // namespace glowmarch
