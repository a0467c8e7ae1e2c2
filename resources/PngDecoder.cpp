#include "resources/PngDecoder.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>

namespace glowmarch {

namespace {

struct MemoryReader {
  const std::uint8_t* bytes;
  std::size_t size;
  std::size_t offset;
  bool ranOut;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (length > reader->size - reader->offset) {
    reader->ranOut = true;
    png_error(png, "unexpected end of data");
  }
  std::memcpy(out, reader->bytes + reader->offset, length);
  reader->offset += length;
}

// libpng would print to stderr; the caller reports one number instead.
[[noreturn]] void failQuietly(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignoreWarning(png_structp, png_const_charp) {}

struct Header {
  png_uint_32 width;
  png_uint_32 height;
  int bitDepth;
  int colorType;
  int channels;
};

// The three functions below run under libpng's longjmp error handling: nothing in their frames
// may need a destructor, and nothing set after setjmp is read after a jump.

bool readHeader(png_structp png, png_infop info, Header* header) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  png_get_IHDR(png, info, &header->width, &header->height, &header->bitDepth, &header->colorType, nullptr,
               nullptr, nullptr);
  header->channels = png_get_channels(png, info);
  return true;
}

bool requestRgba8(png_structp png, png_infop info, const Header* header) {
  if (setjmp(png_jmpbuf(png))) return false;
  const int colorType = header->colorType;
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && header->bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  const bool keyed = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (keyed) png_set_tRNS_to_alpha(png);
  // Strip, not scale: a 16-bit sample keeps exactly its high byte. The key above is still
  // compared at full depth, since expansion runs before stripping.
  if (header->bitDepth == 16) png_set_strip_16(png);
  if ((colorType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
  if ((colorType & PNG_COLOR_MASK_ALPHA) == 0 && !keyed) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return true;
}

bool readRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  // Reading to IEND makes a file cut after its image data count as truncated too.
  png_read_end(png, nullptr);
  return true;
}

// Deflate never expands more than 1032 to 1, so a header that claims more scanline bytes than
// the file could hold is refused before its pixels are allocated.
bool plausibleSize(const Header& header, std::size_t fileSize) {
  if (header.width == 0 || header.height == 0) return false;
  if (header.width > maxPngDimension || header.height > maxPngDimension) return false;
  const std::uint64_t rowBits = std::uint64_t{header.width} * header.channels * header.bitDepth;
  const std::uint64_t scanlineBytes = ((rowBits + 7) / 8 + 1) * header.height;
  constexpr std::uint64_t deflateLimit = 1032;
  return scanlineBytes <= std::uint64_t{fileSize} * deflateLimit;
}

class ReadStructs {
 public:
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~ReadStructs() {
    if (png != nullptr) png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
  }
};

}  // namespace

PngError decodePng(const std::uint8_t* bytes, std::size_t size, DecodedImage& image) {
  if (size == 0) return PngError::empty;
  constexpr std::size_t signatureSize = 8;
  if (png_sig_cmp(bytes, 0, std::min(size, signatureSize)) != 0) return PngError::notPng;
  if (size < signatureSize) return PngError::truncated;

  ReadStructs structs;
  structs.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failQuietly, ignoreWarning);
  if (structs.png == nullptr) return PngError::outOfMemory;
  structs.info = png_create_info_struct(structs.png);
  if (structs.info == nullptr) return PngError::outOfMemory;
  // Only IHDR, PLTE, tRNS, IDAT and IEND make the picture. libpng would take the memory a text or
  // other ancillary chunk claims before reading it, so a few damaged bytes could ask for
  // gigabytes; skipped chunks are read past in small pieces instead.
  png_set_keep_unknown_chunks(structs.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  MemoryReader reader{bytes, size, 0, false};
  png_set_read_fn(structs.png, &reader, readFromMemory);

  Header header{};
  if (!readHeader(structs.png, structs.info, &header)) {
    return reader.ranOut ? PngError::truncated : PngError::badHeader;
  }
  if (!plausibleSize(header, size)) return PngError::tooLarge;
  if (!requestRgba8(structs.png, structs.info, &header)) {
    return reader.ranOut ? PngError::truncated : PngError::badHeader;
  }
  const std::size_t rowBytes = std::size_t{header.width} * 4;
  if (png_get_rowbytes(structs.png, structs.info) != rowBytes) return PngError::badHeader;

  std::vector<std::uint8_t> pixels;
  std::vector<png_bytep> rows;
  try {
    pixels.resize(rowBytes * header.height);
    rows.resize(header.height);
  } catch (const std::bad_alloc&) {
    return PngError::outOfMemory;
  }
  for (std::size_t y = 0; y < header.height; ++y) rows[y] = pixels.data() + y * rowBytes;
  if (!readRows(structs.png, rows.data())) {
    return reader.ranOut ? PngError::truncated : PngError::badImageData;
  }

  image.width = header.width;
  image.height = header.height;
  image.pixels = std::move(pixels);
  return PngError::none;
}

}  // namespace glowmarch
