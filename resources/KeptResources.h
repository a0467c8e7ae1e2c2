// The edit mode's reuse of what a show made from its files: programs, stages, textures and meshes
// whose files did not change are handed to the next show built in the same GL context instead of
// being made again. Off by default: the player makes everything anew, as it always has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>

namespace glowmarch {

// While on, a show that is torn down with releaseShowState hands its resources on to the next one.
void keepResourcesAcrossShows(bool keep);
bool keepingResources();

// The identity of a file's content: two files with the same hash are taken to be the same.
std::uint64_t contentHash(const void* bytes, std::size_t size);

// What shows made from their files, handed from one show to the next: a show takes what the one before
// made under the same key (a key names the file and its content), and when it goes in its turn, what
// it did not take is deleted and what it holds is handed on.
template <typename Key, typename Value>
class Handover {
 public:
  // This show's value for `key`: its own, or the one the show before made, which becomes this show's;
  // null when neither made one.
  Value* take(const Key& key) {
    if (const auto mine = current.find(key); mine != current.end()) return &mine->second;
    const auto kept = previous.find(key);
    if (kept == previous.end()) return nullptr;
    const auto taken = current.insert_or_assign(key, std::move(kept->second)).first;
    previous.erase(kept);
    return &taken->second;
  }
  // A value this show made.
  void add(Key key, Value value) { current.insert_or_assign(std::move(key), std::move(value)); }
  // The show goes: `remove` deletes each value the show before made that this one did not take.
  template <typename Remove>
  void handOver(Remove remove) {
    for (auto& entry : previous) remove(entry.second);
    previous = std::move(current);
    current.clear();
  }
  // Forgets everything (the context goes, and its objects with it).
  void clear() {
    current.clear();
    previous.clear();
  }

 private:
  std::map<Key, Value> current;
  std::map<Key, Value> previous;
};

}  // namespace glowmarch
