#include "image_test_support.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <gif_lib.h>
#include <zlib.h>

#include <exiv2/exiv2.hpp>

#include "base/log.h"
#include "image/picture_limits.h"
#include "image/picture_registry.h"

namespace viv::test {

uint32_t PatternColour(int32_t x, int32_t y) {
  return 0xFF000000u | static_cast<uint32_t>((x * 37 + 11) & 0xFF) << 16 |
         static_cast<uint32_t>((y * 53 + 7) & 0xFF) << 8 |
         static_cast<uint32_t>((x * y + 3) & 0xFF);
}

TRef<TBitmap> PatternBitmap(int32_t width, int32_t height, TPixelFormat format) {
  auto bitmap = MakeRef<TBitmap>(width, height, format);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) bitmap->SetPixel(x, y, PatternColour(x, y));
  return bitmap;
}

std::string MakeJpeg(const TBitmap& picture, const TJpegOptions& options) {
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(picture.Width());
  info.image_height = static_cast<JDIMENSION>(picture.Height());
  info.input_components = options.Grey ? 1 : 3;
  info.in_color_space = options.Grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, options.Quality, TRUE);
  if (options.Progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  if (!options.Icc.empty())
    jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(options.Icc.data()),
                           static_cast<unsigned>(options.Icc.size()));
  TRef<TBitmap> rows = ConvertBitmap(picture, TPixelFormat::Rgb24);
  if (options.Grey) {
    auto grey = MakeRef<TBitmap>(picture.Width(), picture.Height(), TPixelFormat::Gray8);
    for (int32_t y = 0; y < picture.Height(); ++y)
      for (int32_t x = 0; x < picture.Width(); ++x) {
        const uint8_t* p = rows->Row(y) + x * 3;
        grey->Row(y)[x] = static_cast<uint8_t>((p[2] * 77 + p[1] * 150 + p[0] * 29 + 128) >> 8);
      }
    rows = grey;
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = rows->Row(static_cast<int32_t>(info.next_scanline));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string out(reinterpret_cast<char*>(buffer), size);
  free(buffer);
  return out;
}

namespace {

int WriteToString(GifFileType* gif, const GifByteType* data, int count) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), count);
  return count;
}

}  // namespace

std::string MakeGif(int32_t width, int32_t height, const std::vector<TGifFrame>& frames,
                    int loops) {
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, &WriteToString, &error);
  EGifSetGifVersion(gif, true);
  GifColorType colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  ColorMapObject* map = GifMakeMapObject(4, colours);
  EGifPutScreenDesc(gif, width, height, 2, 0, map);
  if (loops >= 0) {
    EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
    EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
    unsigned char sub[3] = {1, static_cast<unsigned char>(loops & 0xFF),
                            static_cast<unsigned char>(loops >> 8)};
    EGifPutExtensionBlock(gif, 3, sub);
    EGifPutExtensionTrailer(gif);
  }
  for (const TGifFrame& frame : frames) {
    GraphicsControlBlock control{frame.Disposal, false, frame.Delay, frame.Transparent};
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension);
    EGifPutImageDesc(gif, frame.Left, frame.Top, frame.Width, frame.Height, false, nullptr);
    std::vector<GifPixelType> line(frame.Width);
    for (int32_t y = 0; y < frame.Height; ++y) {
      for (int32_t x = 0; x < frame.Width; ++x) line[x] = frame.Indices[y * frame.Width + x];
      EGifPutLine(gif, line.data(), frame.Width);
    }
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

std::string AddMetadata(const std::string& jpeg) {
  auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(jpeg.data()),
                                         static_cast<long>(jpeg.size()));
  image->readMetadata();
  Exiv2::ExifData exif;
  exif["Exif.Image.ImageDescription"] = "A lighthouse";
  exif["Exif.Photo.UserComment"] = "charset=Ascii Taken at dawn";
  exif["Exif.Photo.DateTimeOriginal"] = "2021:06:05 04:32:10";
  Exiv2::IptcData iptc;
  iptc["Iptc.Application2.City"] = "Brest";
  iptc["Iptc.Application2.Headline"] = "Morning light";
  iptc["Iptc.Application2.TransmissionReference"] = "REF-7";
  image->setExifData(exif);
  image->setIptcData(iptc);
  image->writeMetadata();
  Exiv2::BasicIo& io = image->io();
  io.seek(0, Exiv2::BasicIo::beg);
  Exiv2::DataBuf data = io.read(static_cast<long>(io.size()));
  return std::string(reinterpret_cast<const char*>(data.pData_), data.size_);
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

std::string Qvgf(const std::vector<std::pair<std::string, std::string>>& fields,
                 const std::string& payload) {
  std::string out = "QVGF";
  auto put16 = [&](size_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
  };
  put16(fields.size());
  for (const auto& [k, v] : fields) {
    put16(k.size());
    out += k;
    put16(v.size());
    out += v;
  }
  return out + payload;
}

std::string PngChunk(std::string_view type, std::string_view data, int64_t length) {
  auto n = static_cast<uint32_t>(length < 0 ? static_cast<int64_t>(data.size()) : length);
  std::string out = Bytes({static_cast<int>(n >> 24), static_cast<int>(n >> 16 & 0xFF),
                           static_cast<int>(n >> 8 & 0xFF), static_cast<int>(n & 0xFF)});
  std::string body = std::string(type) + std::string(data);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  out += body;
  out += Bytes({static_cast<int>(crc >> 24 & 0xFF), static_cast<int>(crc >> 16 & 0xFF),
                static_cast<int>(crc >> 8 & 0xFF), static_cast<int>(crc & 0xFF)});
  return out;
}

TRef<TMemoryStream> MemoryStream(std::string bytes) {
  return MakeRef<TMemoryStream>(std::move(bytes));
}

TImage Open(const std::string& bytes, const std::string& name, int orientation) {
  auto stream = MemoryStream(bytes);
  return OpenImage(*stream, name, orientation);
}

TPictureBudgetScope::TPictureBudgetScope(int64_t bytes)
    : fBase(PictureBytesInUse()), fPrevious(PictureBudget()) {
  SetPictureBudget(fBase + bytes);
}

TPictureBudgetScope::~TPictureBudgetScope() { SetPictureBudget(fPrevious); }

int64_t TPictureBudgetScope::Used() const { return PictureBytesInUse() - fBase; }

}  // namespace viv::test
