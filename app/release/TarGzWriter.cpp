#include "app/release/TarGzWriter.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace glowmarch {

namespace {

constexpr std::size_t block = 512;
using Header = std::array<char, block>;

// A number in octal, zero-padded to fill the field but its last byte (NUL).
bool putOctal(char* field, std::size_t width, std::uint64_t value) {
  for (std::size_t i = width - 1; i-- > 0;) {
    field[i] = static_cast<char>('0' + (value & 7));
    value >>= 3;
  }
  field[width - 1] = '\0';
  return value == 0;
}

void putText(char* field, std::size_t width, const std::string& text) {
  std::memcpy(field, text.data(), std::min(width, text.size()));
}

// The name in ustar's two fields (prefix, then name after a '/'), when it fits there.
bool splitName(const std::string& name, std::string& prefix, std::string& rest) {
  if (name.size() <= 100) {
    prefix.clear();
    rest = name;
    return true;
  }
  for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1)) {
    if (slash <= 155 && name.size() - slash - 1 <= 100 && slash + 1 < name.size()) {
      prefix = name.substr(0, slash);
      rest = name.substr(slash + 1);
      return true;
    }
  }
  return false;
}

Header header(const std::string& prefix, const std::string& name, char type, unsigned mode, std::uint64_t size,
              std::time_t time, bool& fits) {
  Header h{};
  putText(&h[0], 100, name);
  putOctal(&h[100], 8, mode);
  putOctal(&h[108], 8, 0);
  putOctal(&h[116], 8, 0);
  fits = putOctal(&h[124], 12, size);
  putOctal(&h[136], 12, static_cast<std::uint64_t>(std::max<std::time_t>(time, 0)));
  h[156] = type;
  std::memcpy(&h[257], "ustar", 6);
  std::memcpy(&h[263], "00", 2);
  putText(&h[265], 32, "root");
  putText(&h[297], 32, "root");
  putText(&h[345], 155, prefix);
  // The checksum counts its own field as spaces.
  std::memset(&h[148], ' ', 8);
  unsigned sum = 0;
  for (char c : h) sum += static_cast<unsigned char>(c);
  putOctal(&h[148], 7, sum);
  h[155] = ' ';
  return h;
}

// A pax record "LENGTH path=NAME\n", whose length counts its own digits.
std::string paxPath(const std::string& name) {
  const std::string body = " path=" + name + "\n";
  std::size_t length = body.size() + 1;
  while (std::to_string(length).size() + body.size() != length) ++length;
  return std::to_string(length) + body;
}

// The name of a pax record's own entry, for readers that do not know pax and unpack it as a file.
std::string paxName(const std::string& name) {
  return ("PaxHeaders/" + name.substr(name.rfind('/') + 1)).substr(0, 100);
}

class GzipFile {
 public:
  GzipFile(const std::filesystem::path& path, std::string& error) : out(path, std::ios::binary), error(error) {
    if (!out) {
      error = "cannot create it";
      return;
    }
    ready = deflateInit2(&stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    if (!ready) error = "zlib cannot start";
  }
  ~GzipFile() {
    if (ready) deflateEnd(&stream);
  }
  GzipFile(const GzipFile&) = delete;
  GzipFile& operator=(const GzipFile&) = delete;

  // Packed data is only stored: deflating it again costs time and saves nothing.
  bool setLevel(bool compress) {
    const int wanted = compress ? Z_DEFAULT_COMPRESSION : 0;
    if (!ready) return false;
    if (wanted == level) return true;
    level = wanted;
    // What came in at the old level goes out first, as far as the buffer takes it each time.
    for (int round = 0; round < 1000; ++round) {
      stream.next_out = buffer.data();
      stream.avail_out = static_cast<uInt>(buffer.size());
      const int result = deflateParams(&stream, level, Z_DEFAULT_STRATEGY);
      if (!flushOut()) return false;
      if (result == Z_OK) return true;
      if (result != Z_BUF_ERROR) break;
    }
    return fail("zlib cannot change its level");
  }

  bool write(const char* bytes, std::size_t size) { return pump(bytes, size, Z_NO_FLUSH); }
  bool finish() {
    if (!pump(nullptr, 0, Z_FINISH)) return false;
    out.close();
    return !out.fail() || fail("cannot write it");
  }

 private:
  bool fail(const char* what) {
    if (error.empty()) error = what;
    return false;
  }
  bool flushOut() {
    const std::size_t produced = buffer.size() - stream.avail_out;
    if (produced > 0 && !out.write(reinterpret_cast<const char*>(buffer.data()), static_cast<std::streamsize>(produced))) {
      return fail("cannot write it");
    }
    return true;
  }
  bool pump(const char* bytes, std::size_t size, int flush) {
    if (!ready) return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
    stream.avail_in = static_cast<uInt>(size);
    int result = Z_OK;
    do {
      stream.next_out = buffer.data();
      stream.avail_out = static_cast<uInt>(buffer.size());
      result = deflate(&stream, flush);
      if (result == Z_STREAM_ERROR) return fail("zlib failed");
      if (!flushOut()) return false;
    } while (stream.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
    return true;
  }

  std::ofstream out;
  std::string& error;
  z_stream stream{};
  int level = Z_DEFAULT_COMPRESSION;
  bool ready = false;
  std::vector<Bytef> buffer = std::vector<Bytef>(256 * 1024);
};

}  // namespace

bool writeTarGz(const std::filesystem::path& archive, const std::vector<ArchiveEntry>& entries, std::time_t time,
                std::string& error) {
  error.clear();
  GzipFile gzip(archive, error);
  if (!error.empty()) return false;
  const Header zeros{};
  std::vector<char> data(1024 * 1024);
  for (const ArchiveEntry& entry : entries) {
    const bool folder = entry.file.empty();
    const std::string name = entry.name + (folder ? "/" : "");
    std::error_code sizeError;
    const std::uint64_t size = folder ? 0 : std::filesystem::file_size(entry.file, sizeError);
    if (sizeError) {
      error = "cannot read " + entry.name + ": " + sizeError.message();
      return false;
    }
    std::string prefix;
    std::string rest;
    bool fits = true;
    if (!splitName(name, prefix, rest)) {
      const std::string record = paxPath(name);
      const Header pax = header("", paxName(entry.name), 'x', 0644, record.size(), time, fits);
      std::string padded = record;
      padded.resize((record.size() + block - 1) / block * block, '\0');
      if (!gzip.setLevel(true) || !gzip.write(pax.data(), block) || !gzip.write(padded.data(), padded.size())) {
        return false;
      }
      prefix.clear();
      rest = name.substr(0, 100);
    }
    const Header h = header(prefix, rest, folder ? '5' : '0', folder || entry.executable ? 0755 : 0644, size, time, fits);
    if (!fits) {
      error = entry.name + " is too large for a tar archive";
      return false;
    }
    if (!gzip.setLevel(true) || !gzip.write(h.data(), block)) return false;
    if (folder) continue;
    std::ifstream in(entry.file, std::ios::binary);
    std::uint64_t left = size;
    bool first = true;
    while (in && left > 0) {
      in.read(data.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(data.size(), left)));
      const std::size_t got = static_cast<std::size_t>(in.gcount());
      if (got == 0) break;
      if (first) {
        const std::size_t sample = std::min(got, compressionSample);
        if (!gzip.setLevel(worthCompressing(reinterpret_cast<const unsigned char*>(data.data()), sample))) return false;
        first = false;
      }
      if (!gzip.write(data.data(), got)) return false;
      left -= got;
    }
    if (left != 0) {
      error = "cannot read " + entry.name;
      return false;
    }
    const std::size_t padding = (block - size % block) % block;
    if (!gzip.write(zeros.data(), padding)) return false;
  }
  // The end of an archive: two empty blocks.
  if (!gzip.setLevel(true) || !gzip.write(zeros.data(), block) || !gzip.write(zeros.data(), block)) return false;
  return gzip.finish();
}

}  // namespace glowmarch
