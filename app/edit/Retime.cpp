#include "app/edit/Retime.h"

#include <cctype>
#include <cstdlib>
#include <memory>
#include <utility>

#include "app/edit/ReplaceFile.h"
#include "resources/WholeFile.h"
#include "timeline/Script.h"

namespace glowmarch {

namespace {

// "line 12", "lines 12, 14 and 3 more".
std::string lineList(const std::vector<StampPlace>& places) {
  std::string text = places.size() == 1 ? "line " : "lines ";
  for (std::size_t i = 0; i < places.size() && i < 4; ++i) text += (i > 0 ? ", " : "") + std::to_string(places[i].fileLine);
  if (places.size() > 4) text += " and " + std::to_string(places.size() - 4) + " more";
  return text;
}

}  // namespace

std::vector<StampPlace> stampPlaces(std::string_view script) {
  std::vector<StampPlace> places;
  if (script.empty()) return places;
  // Cut as the player cuts its copy of the file, so the lines kept are the player's.
  auto buffer = std::make_unique<char[]>(script.size() + 4);
  std::copy(script.begin(), script.end(), buffer.get());
  std::size_t at = 0;
  int number = 1;
  for (const ScriptLine& line : splitScript(buffer.get(), script.size())) {
    const auto offset = static_cast<std::size_t>(line.text - buffer.get());
    for (; at < offset; ++at) {
      if (script[at] == '\n' || (script[at] == '\r' && (at + 1 >= script.size() || script[at + 1] != '\n'))) ++number;
    }
    char* end = nullptr;
    std::strtod(line.text, &end);
    std::size_t begin = offset;
    while (std::isspace(static_cast<unsigned char>(script[begin])) != 0) ++begin;
    places.push_back({number, line.time, begin, static_cast<std::size_t>(end - buffer.get())});
  }
  return places;
}

std::string withStamps(std::string_view script, const std::vector<StampPlace>& moved, std::string_view stamp) {
  std::string result;
  std::size_t from = 0;
  for (const StampPlace& place : moved) {
    result.append(script.substr(from, place.begin - from));
    result.append(stamp);
    from = place.end;
  }
  result.append(script.substr(from));
  return result;
}

Retimer::Retimer(std::string path, Writer write) : path(std::move(path)), write(write != nullptr ? write : replaceFile) {}

void Retimer::read() {
  const std::optional<FileBytes> file = readWholeFile(path.c_str());
  if (!file) {
    known.reset();
    done.clear();
    undone.clear();
    return;
  }
  std::string bytes(file->text());
  if (known && bytes != *known) {
    done.clear();
    undone.clear();
  }
  known = std::move(bytes);
}

std::optional<std::string> Retimer::unchanged(const std::string& expected, const char* refused, Result& result) const {
  const std::optional<FileBytes> file = readWholeFile(path.c_str());
  if (!file) {
    result.message = path + " cannot be read: " + refused;
    return std::nullopt;
  }
  if (file->text() != expected) {
    result.message = path + " changed on disk since it was read: " + refused;
    return std::nullopt;
  }
  return std::string(file->text());
}

bool Retimer::put(const std::string& bytes, Result& result, const char* refused) {
  std::string error;
  if (!write(path, bytes, error)) {
    result.message = path + " cannot be written (" + error + "): " + refused;
    return false;
  }
  known = bytes;
  result.written = true;
  return true;
}

Retimer::Result Retimer::move(const std::vector<StampPlace>& moved, const std::string& stamp) {
  Result result;
  if (moved.empty()) {
    result.message = "no line there to move";
    return result;
  }
  const std::string before = *known;
  std::string after = withStamps(before, moved, stamp);
  if (after == before) {
    result.message = lineList(moved) + " already at " + stamp;
    return result;
  }
  if (!unchanged(before, "nothing moved", result)) return result;
  Step step{before, std::move(after), lineList(moved) + " to " + stamp};
  if (!put(step.after, result, "nothing moved")) return result;
  result.message = step.what;
  done.push_back(std::move(step));
  undone.clear();
  return result;
}

Retimer::Result Retimer::moveTime(double from, const std::string& stamp) {
  if (!known) return {false, path + " cannot be read: nothing moved"};
  std::vector<StampPlace> moved;
  if (from >= 0.0) {
    for (const StampPlace& place : stampPlaces(*known)) {
      if (place.time == from) moved.push_back(place);
    }
  }
  return move(moved, stamp);
}

Retimer::Result Retimer::moveLine(int fileLine, const std::string& stamp) {
  if (!known) return {false, path + " cannot be read: nothing moved"};
  std::vector<StampPlace> moved;
  for (const StampPlace& place : stampPlaces(*known)) {
    if (place.fileLine == fileLine) moved.push_back(place);
  }
  return move(moved, stamp);
}

Retimer::Result Retimer::undo() {
  Result result;
  if (done.empty()) {
    result.message = "nothing to undo";
    return result;
  }
  if (!unchanged(done.back().after, "the move cannot be undone", result)) {
    done.clear();
    undone.clear();
    return result;
  }
  if (!put(done.back().before, result, "nothing undone")) return result;
  result.message = "undone: " + done.back().what;
  undone.push_back(std::move(done.back()));
  done.pop_back();
  return result;
}

Retimer::Result Retimer::redo() {
  Result result;
  if (undone.empty()) {
    result.message = "nothing to redo";
    return result;
  }
  if (!unchanged(undone.back().before, "the move cannot be redone", result)) {
    done.clear();
    undone.clear();
    return result;
  }
  if (!put(undone.back().after, result, "nothing redone")) return result;
  result.message = "redone: " + undone.back().what;
  done.push_back(std::move(undone.back()));
  undone.pop_back();
  return result;
}

}  // namespace glowmarch
