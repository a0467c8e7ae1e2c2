#include "app/release/ZipWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>
#include <vector>

namespace glowmarch {

namespace {

constexpr std::uint16_t utf8Names = 0x0800;  // general purpose flag bit 11
constexpr std::uint16_t stored = 0;
constexpr std::uint16_t deflated = 8;
constexpr std::uint16_t version = 20;  // 2.0: folders and deflate
constexpr std::uint16_t madeOnUnix = 3 << 8;
constexpr std::uint64_t limit = std::numeric_limits<std::uint32_t>::max();

struct Written {
  std::string name;
  std::uint16_t method = stored;
  std::uint32_t crc = 0;
  std::uint32_t packedSize = 0;
  std::uint32_t size = 0;
  std::uint32_t offset = 0;
  std::uint32_t attributes = 0;
};

void put16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xff);
  out += static_cast<char>((value >> 8) & 0xff);
}

void put32(std::string& out, std::uint32_t value) {
  put16(out, value & 0xffff);
  put16(out, value >> 16);
}

struct DosTime {
  std::uint16_t time = 0;
  std::uint16_t date = (1 << 5) | 1;  // 1980-01-01, the earliest zip can say
};

DosTime dosTime(std::time_t when) {
  DosTime dos;
  const std::tm* local = std::localtime(&when);
  if (local == nullptr || local->tm_year < 80) return dos;
  dos.time = static_cast<std::uint16_t>((local->tm_hour << 11) | (local->tm_min << 5) | (local->tm_sec / 2));
  dos.date = static_cast<std::uint16_t>(((local->tm_year - 80) << 9) | ((local->tm_mon + 1) << 5) | local->tm_mday);
  return dos;
}

std::string localHeader(const Written& entry, DosTime dos) {
  std::string h;
  put32(h, 0x04034b50);
  put16(h, version);
  put16(h, utf8Names);
  put16(h, entry.method);
  put16(h, dos.time);
  put16(h, dos.date);
  put32(h, entry.crc);
  put32(h, entry.packedSize);
  put32(h, entry.size);
  put16(h, static_cast<std::uint32_t>(entry.name.size()));
  put16(h, 0);
  return h + entry.name;
}

std::string centralHeader(const Written& entry, DosTime dos) {
  std::string h;
  put32(h, 0x02014b50);
  put16(h, madeOnUnix | version);
  put16(h, version);
  put16(h, utf8Names);
  put16(h, entry.method);
  put16(h, dos.time);
  put16(h, dos.date);
  put32(h, entry.crc);
  put32(h, entry.packedSize);
  put32(h, entry.size);
  put16(h, static_cast<std::uint32_t>(entry.name.size()));
  put16(h, 0);  // extra field
  put16(h, 0);  // comment
  put16(h, 0);  // disk
  put16(h, 0);  // internal attributes
  put32(h, entry.attributes);
  put32(h, entry.offset);
  return h + entry.name;
}

// Reads the file in pieces, deflated (raw, as zip wants) or stored, into `out`; fills in the sizes
// and the checksum of `entry`.
bool writeData(std::ofstream& out, const std::filesystem::path& file, Written& entry, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "cannot read " + entry.name;
    return false;
  }
  std::vector<char> data(1024 * 1024);
  std::vector<Bytef> packed(256 * 1024);
  z_stream stream{};
  bool started = false;
  std::uint64_t size = 0;
  std::uint64_t packedSize = 0;
  uLong crc = crc32(0, nullptr, 0);
  bool ok = true;
  for (bool first = true;; first = false) {
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    const std::size_t got = static_cast<std::size_t>(in.gcount());
    if (in.bad()) {
      error = "cannot read " + entry.name;
      ok = false;
      break;
    }
    const bool last = got < data.size();
    if (first) {
      const auto* sample = reinterpret_cast<const unsigned char*>(data.data());
      entry.method = worthCompressing(sample, std::min(got, compressionSample)) ? deflated : stored;
      if (entry.method == deflated) {
        started = deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
        if (!started) {
          error = "zlib cannot start";
          ok = false;
          break;
        }
      }
    }
    crc = crc32(crc, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(got));
    size += got;
    if (entry.method == stored) {
      out.write(data.data(), static_cast<std::streamsize>(got));
      packedSize += got;
    } else {
      stream.next_in = reinterpret_cast<Bytef*>(data.data());
      stream.avail_in = static_cast<uInt>(got);
      int result = Z_OK;
      do {
        stream.next_out = packed.data();
        stream.avail_out = static_cast<uInt>(packed.size());
        result = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
        const std::size_t produced = packed.size() - stream.avail_out;
        out.write(reinterpret_cast<const char*>(packed.data()), static_cast<std::streamsize>(produced));
        packedSize += produced;
      } while (result != Z_STREAM_ERROR && (stream.avail_out == 0 || (last && result != Z_STREAM_END)));
    }
    if (!out) {
      error = "cannot write it";
      ok = false;
      break;
    }
    if (last) break;
  }
  if (started) deflateEnd(&stream);
  if (!ok) return false;
  if (size > limit || packedSize > limit) {
    error = entry.name + " is too large for a zip archive";
    return false;
  }
  entry.crc = static_cast<std::uint32_t>(crc);
  entry.size = static_cast<std::uint32_t>(size);
  entry.packedSize = static_cast<std::uint32_t>(packedSize);
  return true;
}

}  // namespace

bool writeZip(const std::filesystem::path& archive, const std::vector<ArchiveEntry>& entries, std::time_t time,
              std::string& error) {
  error.clear();
  if (entries.size() > 0xffff) {
    error = "more files than a zip archive holds";
    return false;
  }
  std::ofstream out(archive, std::ios::binary);
  if (!out) {
    error = "cannot create it";
    return false;
  }
  const DosTime dos = dosTime(time);
  std::vector<Written> written;
  for (const ArchiveEntry& entry : entries) {
    const bool folder = entry.file.empty();
    Written item;
    item.name = entry.name + (folder ? "/" : "");
    const std::uint32_t mode = folder ? 0040755 : entry.executable ? 0100755 : 0100644;
    item.attributes = (mode << 16) | (folder ? 0x10 : 0);  // 0x10: the folder flag Windows reads
    const std::streamoff offset = out.tellp();
    if (offset < 0 || static_cast<std::uint64_t>(offset) > limit) {
      error = "too large for a zip archive";
      return false;
    }
    item.offset = static_cast<std::uint32_t>(offset);
    // Sizes and checksum are known only once the data is written: the header is written again then.
    out << localHeader(item, dos);
    if (!folder) {
      if (!writeData(out, entry.file, item, error)) return false;
      const std::streamoff end = out.tellp();
      out.seekp(offset);
      out << localHeader(item, dos);
      out.seekp(end);
    }
    if (!out) {
      error = "cannot write it";
      return false;
    }
    written.push_back(item);
  }
  const std::streamoff directory = out.tellp();
  std::string central;
  for (const Written& item : written) central += centralHeader(item, dos);
  if (directory < 0 || static_cast<std::uint64_t>(directory) + central.size() > limit) {
    error = "too large for a zip archive";
    return false;
  }
  std::string end;
  put32(end, 0x06054b50);
  put16(end, 0);
  put16(end, 0);
  put16(end, static_cast<std::uint32_t>(written.size()));
  put16(end, static_cast<std::uint32_t>(written.size()));
  put32(end, static_cast<std::uint32_t>(central.size()));
  put32(end, static_cast<std::uint32_t>(directory));
  put16(end, 0);
  out << central << end;
  out.close();
  if (out.fail()) {
    error = "cannot write it";
    return false;
  }
  return true;
}

}  // namespace glowmarch
