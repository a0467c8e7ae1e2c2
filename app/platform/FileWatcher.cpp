#include "app/platform/FileWatcher.h"

#include <cstring>
#include <utility>

namespace glowmarch {

namespace {

bool endsWith(const std::string& text, const char* tail) {
  const std::size_t length = std::strlen(tail);
  return text.size() >= length && text.compare(text.size() - length, length, tail) == 0;
}

}  // namespace

bool isEditorTemporary(const std::string& name) {
  if (name.empty() || name.front() == '.' || name.front() == '#' || name.back() == '~') return true;
  if (name == "4913") return true;  // vim's probe whether the folder is writable
  for (const char* tail : {".swp", ".swx", ".swo", ".tmp", ".bak", ".part"}) {
    if (endsWith(name, tail)) return true;
  }
  return false;
}

void ChangeBatch::add(const std::string& path, WatchClock::time_point when) {
  if (paths.empty()) first = when;
  paths.insert(path);
  last = when;
}

std::set<std::string> ChangeBatch::takeSettled(WatchClock::time_point now, std::chrono::milliseconds settle) {
  if (paths.empty() || now - last < settle) return {};
  return std::exchange(paths, {});
}

}  // namespace glowmarch
