// Script lines moved in time from the edit mode (a tick dragged on the timeline, a line sent to the next
// beat): which bytes of the script change (the moved lines' time stamps, nothing else: every other
// byte, line ends and comments included, stays as it was), and the moves undone and redone, each one
// write of the file. No GL: the session reloads the show as for any save.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glowmarch {

// Where a kept line's time stamp stands in the script's bytes, as the player reads it.
struct StampPlace {
  int fileLine = 0;  // counted from 1, as an editor counts them
  double time = 0.0;
  std::size_t begin = 0;  // the stamp's bytes: [begin, end)
  std::size_t end = 0;
};

// The stamps of every line the player keeps, in file order.
std::vector<StampPlace> stampPlaces(std::string_view script);

// `script` with the stamps at `moved` (from stampPlaces of the same script) written as `stamp`.
std::string withStamps(std::string_view script, const std::vector<StampPlace>& moved, std::string_view stamp);

class Retimer {
 public:
  // Writes go through `write` (the file replaced whole, ReplaceFile.h): false with a reason.
  using Writer = bool (*)(const std::string& path, std::string_view bytes, std::string& error);
  explicit Retimer(std::string path, Writer write = nullptr);

  // The script as the show was just built from it. Moves that left it otherwise (an editor saved it
  // since) can no longer be undone: they are forgotten.
  void read();

  struct Result {
    bool written = false;
    std::string message;  // what was done, or why nothing was
  };
  // Every line stamped `from` (not a start-up line) to `stamp`.
  Result moveTime(double from, const std::string& stamp);
  // The line at `fileLine` to `stamp`.
  Result moveLine(int fileLine, const std::string& stamp);
  Result undo();
  Result redo();
  bool canUndo() const { return !done.empty(); }
  bool canRedo() const { return !undone.empty(); }

 private:
  struct Step {
    std::string before;
    std::string after;
    std::string what;  // "lines 12, 14 to 8.199"
  };
  Result move(const std::vector<StampPlace>& moved, const std::string& stamp);
  // The file as it stands on disk, when it is `expected`; otherwise the refusal.
  std::optional<std::string> unchanged(const std::string& expected, const char* refused, Result& result) const;
  bool put(const std::string& bytes, Result& result, const char* refused);

  std::string path;
  Writer write;
  std::optional<std::string> known;  // the file as read last, or as written last
  std::vector<Step> done;
  std::vector<Step> undone;
};

}  // namespace glowmarch
