#include "effects/ObjReader.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "effects/PolygonCutter.h"
#include "resources/WholeFile.h"

namespace glowmarch {

namespace {

inline bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

inline const char* skipSpaces(const char* p, const char* end) {
  while (p < end && isSpace(*p)) ++p;
  return p;
}

// Reads a float the way "%f" does (white space, then what strtof accepts); nullptr when there
// is none. from_chars is exact and fast but knows neither '+' nor hexadecimal, and leaves the
// value alone when it is out of range: those rare cases go to strtof, on a terminated copy of the
// word (strtof stops at white space and at the zero byte, so nothing after them is needed).
const char* readFloat(const char* p, const char* end, float& value) {
  p = skipSpaces(p, end);
  if (p == end) return nullptr;
  const char* start = p;
  if (*p == '+') {
    ++p;
    if (p == end || *p == '+' || *p == '-') return nullptr;
  }
  const char* digits = (p < end && *p == '-') ? p + 1 : p;
  const bool hexadecimal = end - digits >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
  if (!hexadecimal) {
    const std::from_chars_result result = std::from_chars(p, end, value);
    if (result.ec == std::errc()) return result.ptr;
    if (result.ec == std::errc::invalid_argument) return nullptr;
  }
  const char* wordEnd = start;
  while (wordEnd < end && *wordEnd != '\0' && !isSpace(*wordEnd)) ++wordEnd;
  const std::string word(start, wordEnd);
  char* stop = nullptr;
  const float slow = std::strtof(word.c_str(), &stop);
  if (stop == word.c_str()) return nullptr;
  value = slow;
  return start + (stop - word.c_str());
}

// Reads an integer the way "%d" does; nullptr when there is none. Huge values saturate, so they
// stay out of range instead of wrapping onto a valid index.
const char* readIndex(const char* p, const char* end, std::int64_t& value) {
  p = skipSpaces(p, end);
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  if (p == end || *p < '0' || *p > '9') return nullptr;
  constexpr std::int64_t saturated = std::int64_t{1} << 40;
  std::int64_t number = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    if (number < saturated) number = number * 10 + (*p - '0');
  }
  value = negative ? -number : number;
  return p;
}

inline const char* expect(const char* p, const char* end, char c) { return p != nullptr && p < end && *p == c ? p + 1 : nullptr; }

struct Corner {
  std::int64_t position = -1;
  std::int64_t texture = -1;
  std::int64_t normal = -1;
};

enum class FaceForm { positions, positionsNormals, positionsTexturesNormals, positionsTextures };

// One corner of a face in the given form; nullptr when what follows is not such a corner.
const char* readCorner(const char* p, const char* end, FaceForm form, Corner& corner) {
  p = readIndex(p, end, corner.position);
  switch (form) {
    case FaceForm::positions:
      break;
    case FaceForm::positionsNormals:
      p = expect(expect(p, end, '/'), end, '/');
      if (p != nullptr) p = readIndex(p, end, corner.normal);
      break;
    case FaceForm::positionsTexturesNormals:
      p = expect(p, end, '/');
      if (p != nullptr) p = readIndex(p, end, corner.texture);
      p = expect(p, end, '/');
      if (p != nullptr) p = readIndex(p, end, corner.normal);
      break;
    case FaceForm::positionsTextures:
      p = expect(p, end, '/');
      if (p != nullptr) p = readIndex(p, end, corner.texture);
      break;
  }
  return p;
}

// The form is chosen by searching the line (up to a zero byte, as a C string search would) for
// "//", then for "/"; with a single slash the first corner tells p/t/n from p/t.
FaceForm faceForm(const char* p, const char* end) {
  bool slash = false;
  for (; p < end && *p != '\0'; ++p) {
    if (*p != '/') continue;
    if (p + 1 < end && p[1] == '/') return FaceForm::positionsNormals;
    slash = true;
  }
  return slash ? FaceForm::positionsTexturesNormals : FaceForm::positions;
}

bool secondSlashFollowsTexture(const char* p, const char* end) {
  std::int64_t ignored = 0;
  p = readIndex(p, end, ignored);
  p = expect(p, end, '/');
  if (p != nullptr) p = readIndex(p, end, ignored);
  return expect(p, end, '/') != nullptr;
}

// The 1-based place in a list of `count` entries an index points at, a negative one counting back
// from the last entry read so far; 0 when it points at none.
inline std::int64_t resolve(std::int64_t index, std::size_t count) {
  if (index < 0) index += static_cast<std::int64_t>(count) + 1;
  return index >= 1 && static_cast<std::uint64_t>(index) <= count ? index : 0;
}

// The map from (position, normal, texture) to vertex number. Each position keeps a short chain
// of the combinations met with it; a position met with very many combinations moves on to a
// hash table, so a hostile file cannot make the search quadratic.
class VertexIndexMap {
 public:
  // The number stored under the key; `next` is stored (and `inserted` set) when the key is new.
  std::uint32_t findOrInsert(std::int32_t position, std::int32_t normal, std::int32_t texture, std::uint32_t next,
                             bool& inserted) {
    if (static_cast<std::size_t>(position) >= heads.size()) heads.resize(static_cast<std::size_t>(position) + 1);
    Head& head = heads[static_cast<std::size_t>(position)];
    for (std::int32_t v = head.first; v >= 0; v = nodes[static_cast<std::size_t>(v)].next) {
      const Node& node = nodes[static_cast<std::size_t>(v)];
      if (node.normal == normal && node.texture == texture) {
        inserted = false;
        return static_cast<std::uint32_t>(v);
      }
    }
    if (head.length >= chainLimit) {
      auto [found, added] = crowded.try_emplace(Key{position, normal, texture}, next);
      inserted = added;
      if (added) nodes.push_back(Node{normal, texture, -1});
      return found->second;
    }
    inserted = true;
    nodes.push_back(Node{normal, texture, head.first});
    head.first = static_cast<std::int32_t>(next);
    ++head.length;
    return next;
  }

 private:
  static constexpr std::uint32_t chainLimit = 32;
  struct Head {
    std::int32_t first = -1;
    std::uint32_t length = 0;
  };
  struct Node {  // indexed by vertex number
    std::int32_t normal;
    std::int32_t texture;
    std::int32_t next;
  };
  struct Key {
    std::int32_t position, normal, texture;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& key) const {
      std::uint64_t h = static_cast<std::uint32_t>(key.position);
      h = h * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint32_t>(key.normal);
      h = h * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint32_t>(key.texture);
      return static_cast<std::size_t>(h ^ (h >> 29));
    }
  };
  std::vector<Head> heads;
  std::vector<Node> nodes;
  std::unordered_map<Key, std::uint32_t, KeyHash> crowded;
};

class Reader {
 public:
  ObjMesh mesh;

  void line(const char* p, const char* end) {
    if (end - p < 2) return;
    if (p[0] == 'v') {
      if (p[1] == ' ' || p[1] == '\t') {
        std::array<float, 3> position{};
        readFloats(p + 1, end, position.data(), 3);
        positions.push_back(position);
      } else if (p[1] == 'n') {
        std::array<float, 3> normal{};
        readFloats(p + 2, end, normal.data(), 3);
        normals.push_back(normal);
      } else if (p[1] == 't') {
        std::array<float, 2> texcoord{};
        readFloats(p + 2, end, texcoord.data(), 2);
        texcoords.push_back(texcoord);
      }
    } else if (p[0] == 'f' && (p[1] == ' ' || p[1] == '\t')) {
      face(p + 1, end);
    }
  }

 private:
  std::vector<std::array<float, 3>> positions;
  std::vector<std::array<float, 3>> normals;
  std::vector<std::array<float, 2>> texcoords;
  VertexIndexMap vertexIndexMap;
  Vertex corners[3] = {};  // carried from triangle to triangle, as the player always has
  std::uint32_t nextVertex = 0;
  struct Key {  // a corner's resolved indices, -1 where the face form has none
    std::int32_t position, normal, texture;
  };
  std::vector<Key> polygon;  // the corners of the face being read, kept for its storage
  std::vector<std::array<float, 3>> polygonPositions;
  PolygonCutter cutter;

  // Values after the first one that does not parse read as 0.
  static void readFloats(const char* p, const char* end, float* values, int count) {
    for (int i = 0; i < count && p != nullptr; ++i) p = readFloat(p, end, values[i]);
  }

  // The corners run to the end of the line or to the first text that is not a corner of the
  // face's form; a face with fewer than three of them, or with any index that points at no entry,
  // is skipped whole. A convex polygon is a fan from the first corner, in the order written; a
  // concave one is cut inside its outline.
  void face(const char* p, const char* end) {
    FaceForm form = faceForm(p, end);
    if (form == FaceForm::positionsTexturesNormals && !secondSlashFollowsTexture(p, end)) {
      form = FaceForm::positionsTextures;
    }
    // By the form, not by -1: a relative index of -1 as written is no "none".
    const bool withNormals = form == FaceForm::positionsNormals || form == FaceForm::positionsTexturesNormals;
    const bool withTextures = form == FaceForm::positionsTexturesNormals || form == FaceForm::positionsTextures;
    polygon.clear();
    for (;;) {
      Corner corner;
      const char* next = readCorner(p, end, form, corner);
      if (next == nullptr) break;
      p = next;
      // Resolved here, so the same entry written absolute or relative gives the same key.
      corner.position = resolve(corner.position, positions.size());
      if (corner.position == 0) return;
      if (withNormals && (corner.normal = resolve(corner.normal, normals.size())) == 0) return;
      if (withTextures && (corner.texture = resolve(corner.texture, texcoords.size())) == 0) return;
      polygon.push_back(Key{static_cast<std::int32_t>(corner.position), static_cast<std::int32_t>(corner.normal),
                            static_cast<std::int32_t>(corner.texture)});
    }
    if (polygon.size() > 3) {
      polygonPositions.clear();
      for (const Key& key : polygon) polygonPositions.push_back(positions[static_cast<std::size_t>(key.position - 1)]);
      const std::vector<std::uint32_t>& cut = cutter.cut(polygonPositions);
      for (std::size_t i = 0; i + 2 < cut.size(); i += 3) {
        triangle({&polygon[cut[i]], &polygon[cut[i + 1]], &polygon[cut[i + 2]]}, withNormals, withTextures);
      }
      if (!cut.empty()) return;
    }
    for (std::size_t i = 2; i < polygon.size(); ++i) {
      triangle({&polygon[0], &polygon[i - 1], &polygon[i]}, withNormals, withTextures);
    }
  }

  void triangle(const std::array<const Key*, 3>& read, bool withNormals, bool withTextures) {
    for (int k = 0; k < 3; ++k) {
      Vertex& vertex = corners[k];
      const auto& position = positions[static_cast<std::size_t>(read[k]->position - 1)];
      std::memcpy(vertex.position, position.data(), sizeof vertex.position);
      if (withNormals) {
        std::memcpy(vertex.normal, normals[static_cast<std::size_t>(read[k]->normal - 1)].data(), sizeof vertex.normal);
      }
      if (withTextures) {
        std::memcpy(vertex.texcoords, texcoords[static_cast<std::size_t>(read[k]->texture - 1)].data(),
                    sizeof vertex.texcoords);
      }
    }
    for (int k = 0; k < 3; ++k) {
      bool inserted = false;
      const std::uint32_t number =
          vertexIndexMap.findOrInsert(read[k]->position, read[k]->normal, read[k]->texture, nextVertex, inserted);
      if (inserted) {
        ++nextVertex;
        mesh.vertices.push_back(corners[k]);
      }
      mesh.indices.push_back(number);
    }
  }
};

}  // namespace

ObjMesh readObj(std::string_view text) {
  Reader reader;
  // A UTF-8 byte-order mark would hide the first line.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const char* lineEnd = newline != nullptr ? newline : end;
    const char* next = newline != nullptr ? newline + 1 : end;
    // A CR before the LF belongs to the line end, as text-mode reading has it.
    if (newline != nullptr && lineEnd > p && lineEnd[-1] == '\r') --lineEnd;
    reader.line(p, lineEnd);
    p = next;
  }
  return std::move(reader.mesh);
}

std::optional<ObjMesh> readObjFile(const char* path) {
  std::optional<FileBytes> bytes = readWholeFile(path);
  if (!bytes) return std::nullopt;
  return readObj(bytes->text());
}

}  // namespace glowmarch
