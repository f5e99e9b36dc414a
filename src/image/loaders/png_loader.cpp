#include "image/loaders/png_loader.h"

#include <png.h>

#include <cctype>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/byte_reader.h"
#include "base/log.h"
#include "container/load_callback.h"
#include "image/picture_registry.h"

namespace viv {
namespace {

// Ancillary chunks beyond this are not kept in memory.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t{8} << 20;

void ReadBytes(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<TByteReader*>(png_get_io_ptr(png));
  if (reader->Remaining() < count) png_error(png, "Read Error");
  reader->Read(out, count);
}

// libpng reports errors by jumping back to the function that set up the
// reader; those functions hold only C structures and plain values.
void ErrorFunction(png_structp png, png_const_charp message) {
  auto* text = static_cast<char*>(png_get_error_ptr(png));
  std::snprintf(text, 200, "%s", message);
  png_longjmp(png, 1);
}
void WarningFunction(png_structp, png_const_charp) {}

struct THeader {
  int32_t Width = 0;
  int32_t Height = 0;
  bool Alpha = false;
};

constexpr size_t kSignatureSize = 8;
constexpr size_t kCrcSize = 4;
constexpr std::string_view kImageData = "IDAT";
constexpr std::string_view kImageEnd = "IEND";

// libpng reads other chunks whole, allocating the length they claim before it
// finds the file too short for them (png_set_chunk_malloc_max does not stop
// it). The whole file is in memory, so such a chunk is found first. Image
// data is read piece by piece: a cut IDAT only ends the picture early, which
// decoding reports.
bool ChunksFitTheFile(const std::string& bytes, std::string_view name) {
  TByteReader reader(bytes);
  reader.Skip(kSignatureSize);
  uint32_t length = 0;
  char type[4];
  while (reader.ReadBigEndian32(length) && reader.Read(type, sizeof type) == sizeof type) {
    std::string kind(type, sizeof type);
    if (length > reader.Remaining()) {
      if (kind == kImageData) return true;
      for (char& c : kind)
        if (!std::isalpha(static_cast<unsigned char>(c))) c = '?';
      LogLine("PNG \"" + std::string(name) + "\" not read: chunk " + kind + " claims " +
              std::to_string(length) + " bytes where " + std::to_string(reader.Remaining()) +
              " remain");
      return false;
    }
    reader.Skip(length);
    if (kind == kImageEnd || !reader.Skip(kCrcSize)) break;
  }
  return true;
}

// Rows the decoder writes into, allocated outside the jump's reach.
struct TRows {
  TRef<TBitmap> Out;
  std::vector<png_bytep> Pointers;
  // False, with why in message, when the pixels cannot be had (the picture
  // budget, or memory).
  bool Allocate(int32_t width, int32_t height, bool alpha, char* message) noexcept {
    try {
      Out = MakeRef<TBitmap>(width, height, alpha ? TPixelFormat::Argb32 : TPixelFormat::Rgb24,
                             TBitmapInit::Uninitialized);
      Pointers.resize(height);
      for (int32_t y = 0; y < height; ++y) Pointers[y] = Out->Row(y);
      return true;
    } catch (const std::exception& e) {
      std::snprintf(message, 200, "%s", e.what());
      return false;
    }
  }
};

// Header only when rows is null; otherwise the whole picture into rows.
bool ReadPng(const std::string& bytes, THeader& header, TRows* rows, char* message) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, message, &ErrorFunction, &WarningFunction);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  TByteReader reader(bytes);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &reader, &ReadBytes);
  png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  png_read_info(png, info);
  header.Width = static_cast<int32_t>(png_get_image_width(png, info));
  header.Height = static_cast<int32_t>(png_get_image_height(png, info));
  int colourType = png_get_color_type(png, info);
  header.Alpha = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
  if (rows) {
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (!rows->Allocate(header.Width, header.Height, header.Alpha, message)) {
      png_destroy_read_struct(&png, &info, nullptr);
      return false;
    }
    png_read_image(png, rows->Pointers.data());
    png_read_end(png, nullptr);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

void AppendBytes(png_structp png, png_bytep data, png_size_t count) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), count);
}
void NoFlush(png_structp) {}

bool WritePng(const TBitmap& bitmap, std::string& out, char* message) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, message, &ErrorFunction, &WarningFunction);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  bool alpha = bitmap.Format() == TPixelFormat::Argb32;
  png_set_write_fn(png, &out, &AppendBytes, &NoFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.Width()),
               static_cast<png_uint_32>(bitmap.Height()), 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  for (int32_t y = 0; y < bitmap.Height(); ++y)
    png_write_row(png, const_cast<png_bytep>(bitmap.Row(y)));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

TPngBitmapStore::TPngBitmapStore(std::string name, std::string bytes, int32_t width, int32_t height,
                                 bool alpha)
    : TSysBitmapStore(std::move(name), width, height,
                      alpha ? TPixelFormat::Argb32 : TPixelFormat::Rgb24),
      fBytes(std::move(bytes)) {}

TRef<TBitmap> TPngBitmapStore::DecodeLevel(int level) {
  if (level != 0) return nullptr;
  THeader header;
  TRows rows;
  char message[200] = "corrupt PNG";
  LoadCallback(nullptr);
  if (!ReadPng(fBytes, header, &rows, message)) throw EPngError(message);
  fBytes = std::string();
  return rows.Out;
}

TRef<TSysBitmapStore> LoadPngPicture(TStream& stream, std::string_view name) {
  uint8_t signature[8] = {};
  if (stream.Read(signature, 8) != 8 || png_sig_cmp(signature, 0, 8) != 0) return nullptr;
  stream.Seek(-8, TSeekOrigin::Current);
  std::string bytes = ReadPictureFile(stream, name);
  if (bytes.empty() || !ChunksFitTheFile(bytes, name)) return nullptr;
  THeader header;
  char message[200] = "";
  if (!ReadPng(bytes, header, nullptr, message)) {
    if (message[0]) LogLine("PNG \"" + std::string(name) + "\" not read: " + message);
    return nullptr;
  }
  if (!PictureSizeAllowed(header.Width, header.Height, name)) return nullptr;
  return MakeRef<TPngBitmapStore>(std::string(name), std::move(bytes), header.Width, header.Height,
                                  header.Alpha);
}

std::string EncodePng(const TBitmap& source) {
  TRef<TBitmap> rgb;
  const TBitmap* bitmap = &source;
  if (source.Format() == TPixelFormat::Gray8) {
    rgb = ConvertBitmap(source, TPixelFormat::Rgb24);
    bitmap = rgb.Get();
  }
  std::string out;
  char message[200] = "PNG not written";
  if (!WritePng(*bitmap, out, message)) throw EPngError(message);
  return out;
}

}  // namespace viv
