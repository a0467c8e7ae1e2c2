#include "app/check/NearestWord.h"

#include <algorithm>
#include <cctype>

namespace glowmarch {

namespace {

constexpr std::size_t farEnough = 3;

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Edits between the words, letters compared without case; a swap of neighbours is one edit.
std::size_t editDistance(std::string_view a, std::string_view b) {
  if (a.size() > b.size() + farEnough || b.size() > a.size() + farEnough) return farEnough;
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t change = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
      if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) && lower(a[i - 2]) == lower(b[j - 1])) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

std::string_view nearestWord(std::string_view word, const std::vector<std::string_view>& known) {
  std::string_view best;
  std::size_t bestDistance = farEnough;
  for (std::string_view candidate : known) {
    if (candidate == word) continue;
    // Two edits turn any two-letter word into any other: short words must be nearer.
    const std::size_t allowed = std::min<std::size_t>(2, std::max<std::size_t>(word.size(), candidate.size()) / 3);
    const std::size_t distance = editDistance(word, candidate);
    if (distance <= allowed && distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace glowmarch
