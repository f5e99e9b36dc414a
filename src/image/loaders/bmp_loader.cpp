#include "image/loaders/bmp_loader.h"

#include <bit>
#include <cstring>
#include <vector>

#include "base/byte_reader.h"
#include "base/log.h"
#include "image/bitmap_store.h"
#include "image/picture_registry.h"

namespace viv {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kMaxHeaderSize = 124;  // BITMAPV5HEADER

enum TCompression : uint32_t {
  kRgb = 0,
  kRle8 = 1,
  kRle4 = 2,
  kBitFields = 3,
  kAlphaBitFields = 6,
};

// One colour channel given by a bit mask, scaled to 8 bits.
struct TChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  uint64_t Max = 0;

  explicit TChannel(uint32_t mask = 0) : Mask(mask) {
    if (!mask) return;
    Shift = std::countr_zero(mask);
    Max = (uint64_t{1} << std::popcount(mask)) - 1;
  }
  uint8_t Of(uint32_t pixel) const {
    if (!Mask) return 0;
    uint64_t v = (pixel & Mask) >> Shift;
    if (v > Max) v = Max;  // masks with gaps
    return static_cast<uint8_t>((v * 255 + Max / 2) / Max);
  }
};

class TBmpReader {
 public:
  TBmpReader(std::string_view bytes, std::string_view name)
      : fData(reinterpret_cast<const uint8_t*>(bytes.data())), fSize(bytes.size()), fName(name) {}

  TRef<TBitmap> Decode();

 private:
  bool Fail(const std::string& why) {
    LogLine("BMP \"" + std::string(fName) + "\" not read: " + why);
    return false;
  }
  bool ReadHeader();
  void ReadPalette(size_t position, size_t entrySize, size_t count);
  bool PixelsComplete();
  bool FourthByteUsed() const;
  bool DecodeRows(TBitmap& out);
  bool DecodeRle(TBitmap& out);
  void PutIndex(TBitmap& out, int32_t x, int32_t row, uint32_t index);
  int32_t OutRow(int32_t row) const { return fTopDown ? row : fHeight - 1 - row; }
  size_t Stride() const { return (static_cast<size_t>(fWidth) * fBits + 31) / 32 * 4; }

  const uint8_t* fData;
  size_t fSize;
  std::string_view fName;
  int32_t fWidth = 0;
  int32_t fHeight = 0;
  bool fTopDown = false;
  int fBits = 0;
  uint32_t fCompression = kRgb;
  size_t fPixelOffset = 0;
  TChannel fRed, fGreen, fBlue, fAlpha;
  std::vector<uint32_t> fPalette;  // 0x00RRGGBB
};

bool TBmpReader::ReadHeader() {
  if (fSize < kFileHeaderSize + 4 || fData[0] != 'B' || fData[1] != 'M') return false;
  uint32_t offBits = LittleEndian32(fData + 10);
  uint32_t headerSize = LittleEndian32(fData + kFileHeaderSize);
  const uint8_t* h = fData + kFileHeaderSize;
  if (headerSize < kCoreHeaderSize || headerSize > kMaxHeaderSize ||
      kFileHeaderSize + headerSize > fSize)
    return Fail("unknown header");
  size_t paletteEntry = 4;
  int64_t height;
  if (headerSize == kCoreHeaderSize) {
    fWidth = LittleEndian16(h + 4);
    height = static_cast<int16_t>(LittleEndian16(h + 6));
    fBits = LittleEndian16(h + 10);
    paletteEntry = 3;
  } else {
    if (headerSize < kInfoHeaderSize) return Fail("unknown header");
    fWidth = static_cast<int32_t>(LittleEndian32(h + 4));
    height = static_cast<int32_t>(LittleEndian32(h + 8));
    fBits = LittleEndian16(h + 14);
    fCompression = LittleEndian32(h + 16);
  }
  fTopDown = height < 0;
  if (height < 0) height = -height;
  if (!PictureSizeAllowed(fWidth, height, fName)) return false;
  fHeight = static_cast<int32_t>(height);

  size_t afterHeader = kFileHeaderSize + headerSize;
  bool masks = fCompression == kBitFields || fCompression == kAlphaBitFields;
  if (masks) {
    if (fBits != 16 && fBits != 32) return Fail("bit fields need 16 or 32 bits");
    // Masks are part of the V2 and later headers; after a plain info header
    // they follow it.
    size_t maskCount = fCompression == kAlphaBitFields ? 4 : 3;
    size_t maskAt = headerSize >= 52 ? kFileHeaderSize + kInfoHeaderSize : afterHeader;
    if (maskAt + 4 * maskCount > fSize) return Fail("truncated masks");
    fRed = TChannel(LittleEndian32(fData + maskAt));
    fGreen = TChannel(LittleEndian32(fData + maskAt + 4));
    fBlue = TChannel(LittleEndian32(fData + maskAt + 8));
    if (maskCount == 4 || headerSize >= 56) fAlpha = TChannel(LittleEndian32(fData + maskAt + 12));
    if (headerSize < 52) afterHeader = maskAt + 4 * maskCount;
  } else if (fCompression == kRgb && fBits == 16) {
    fRed = TChannel(0x7C00);
    fGreen = TChannel(0x03E0);
    fBlue = TChannel(0x001F);
  } else if (fCompression == kRle8 ? fBits != 8
             : fCompression == kRle4
                 ? fBits != 4
                 : fCompression != kRgb ||
                       (fBits != 1 && fBits != 4 && fBits != 8 && fBits != 24 && fBits != 32)) {
    return Fail("compression " + std::to_string(fCompression) + " with " + std::to_string(fBits) +
                " bits");
  }

  if (fBits <= 8) {
    size_t count = size_t{1} << fBits;
    if (headerSize >= kInfoHeaderSize) {
      uint32_t used = LittleEndian32(h + 32);
      if (used > 0 && used < count) count = used;
    }
    ReadPalette(afterHeader, paletteEntry, count);
  }
  // A pixel offset inside the headers is not believed: the pixels follow the
  // palette then.
  size_t paletteEnd = afterHeader + fPalette.size() * paletteEntry;
  fPixelOffset = offBits >= paletteEnd && offBits < fSize ? offBits : paletteEnd;
  if (fPixelOffset >= fSize) return Fail("no pixels");
  return true;
}

void TBmpReader::ReadPalette(size_t position, size_t entrySize, size_t count) {
  // Entries the file does not hold stay black; indices beyond the palette read
  // black too.
  fPalette.assign(count, 0);
  for (size_t i = 0; i < count && position + (i + 1) * entrySize <= fSize; ++i) {
    const uint8_t* p = fData + position + i * entrySize;
    fPalette[i] = uint32_t{p[2]} << 16 | p[1] << 8 | p[0];
  }
}

void TBmpReader::PutIndex(TBitmap& out, int32_t x, int32_t row, uint32_t index) {
  uint32_t colour = index < fPalette.size() ? fPalette[index] : 0;
  uint8_t* p = out.Row(OutRow(row)) + static_cast<size_t>(x) * 3;
  p[0] = static_cast<uint8_t>(colour);
  p[1] = static_cast<uint8_t>(colour >> 8);
  p[2] = static_cast<uint8_t>(colour >> 16);
}

bool TBmpReader::PixelsComplete() {
  size_t rowBytes = (static_cast<size_t>(fWidth) * fBits + 7) / 8;
  // The last row may lack its padding; anything shorter is not all there.
  size_t needed = (static_cast<size_t>(fHeight) - 1) * Stride() + rowBytes;
  return fSize - fPixelOffset >= needed || Fail("truncated pixels");
}

// 32 bits without masks: blue, green, red and a fourth byte that holds alpha
// only in files that use it.
bool TBmpReader::FourthByteUsed() const {
  for (int32_t row = 0; row < fHeight; ++row) {
    const uint8_t* in = fData + fPixelOffset + static_cast<size_t>(row) * Stride();
    for (int32_t x = 0; x < fWidth; ++x)
      if (in[static_cast<size_t>(x) * 4 + 3] != 0) return true;
  }
  return false;
}

bool TBmpReader::DecodeRows(TBitmap& out) {
  size_t stride = Stride();
  for (int32_t row = 0; row < fHeight; ++row) {
    const uint8_t* in = fData + fPixelOffset + static_cast<size_t>(row) * stride;
    uint8_t* o = out.Row(OutRow(row));
    int bpp = BytesPerPixel(out.Format());
    for (int32_t x = 0; x < fWidth; ++x, o += bpp) {
      if (fBits <= 8) {
        size_t bit = static_cast<size_t>(x) * fBits;
        uint32_t index = (in[bit / 8] >> (8 - fBits - bit % 8)) & ((1u << fBits) - 1);
        PutIndex(out, x, row, index);
        continue;
      }
      if (fBits == 24) {
        std::memcpy(o, in + static_cast<size_t>(x) * 3, 3);
        continue;
      }
      uint32_t pixel = fBits == 16 ? LittleEndian16(in + static_cast<size_t>(x) * 2)
                                   : LittleEndian32(in + static_cast<size_t>(x) * 4);
      if (fRed.Mask | fGreen.Mask | fBlue.Mask) {
        o[0] = fBlue.Of(pixel);
        o[1] = fGreen.Of(pixel);
        o[2] = fRed.Of(pixel);
        if (bpp == 4) o[3] = fAlpha.Mask ? fAlpha.Of(pixel) : 0xFF;
      } else {
        std::memcpy(o, in + static_cast<size_t>(x) * 4, bpp);
      }
    }
  }
  return true;
}

bool TBmpReader::DecodeRle(TBitmap& out) {
  // Pixels a delta or line end skips keep palette entry 0; runs and deltas
  // that reach outside the picture are cut at its edge.
  for (int32_t row = 0; row < fHeight; ++row)
    for (int32_t x = 0; x < fWidth; ++x) PutIndex(out, x, row, 0);
  bool four = fCompression == kRle4;
  size_t pos = fPixelOffset;
  int32_t x = 0, row = 0;
  auto put = [&](uint32_t index) {
    if (x < fWidth && row < fHeight) PutIndex(out, x, row, index);
    ++x;
  };
  while (pos + 2 <= fSize && row < fHeight) {
    uint8_t count = fData[pos], value = fData[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count && x < fWidth; ++i)
        put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of picture
      break;
    } else if (value == 2) {  // delta
      if (pos + 2 > fSize) break;
      x += fData[pos];
      row += fData[pos + 1];
      pos += 2;
    } else {  // absolute run of value pixels, padded to 16 bits
      size_t bytes = four ? (value + 1) / 2 : value;
      if (pos + bytes > fSize) break;
      for (int i = 0; i < value; ++i) {
        uint8_t b = fData[pos + (four ? i / 2 : i)];
        put(four ? (i % 2 == 0 ? b >> 4 : b & 0x0F) : b);
      }
      pos += (bytes + 1) & ~size_t{1};
    }
  }
  return true;
}

TRef<TBitmap> TBmpReader::Decode() {
  if (!ReadHeader()) return nullptr;
  bool rle = fCompression == kRle4 || fCompression == kRle8;
  if (!rle && !PixelsComplete()) return nullptr;
  bool masked = fRed.Mask | fGreen.Mask | fBlue.Mask;
  bool alpha = fAlpha.Mask != 0 || (fBits == 32 && !masked && FourthByteUsed());
  auto out = MakeRef<TBitmap>(fWidth, fHeight, alpha ? TPixelFormat::Argb32 : TPixelFormat::Rgb24);
  if (rle ? !DecodeRle(*out) : !DecodeRows(*out)) return nullptr;
  return out;
}

}  // namespace

TRef<TBitmap> DecodeBmp(std::string_view bytes, std::string_view name) {
  return TBmpReader(bytes, name).Decode();
}

std::string EncodeBmp(const TBitmap& bitmap) {
  int bpp = bitmap.Format() == TPixelFormat::Argb32 ? 4 : 3;
  size_t stride = (static_cast<size_t>(bitmap.Width()) * bpp + 3) / 4 * 4;
  size_t pixels = stride * bitmap.Height();
  std::string out(kFileHeaderSize + kInfoHeaderSize + pixels, '\0');
  auto put16 = [&](size_t at, uint32_t v) {
    out[at] = static_cast<char>(v);
    out[at + 1] = static_cast<char>(v >> 8);
  };
  auto put32 = [&](size_t at, uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, static_cast<uint32_t>(out.size()));
  put32(10, kFileHeaderSize + kInfoHeaderSize);
  put32(14, kInfoHeaderSize);
  put32(18, static_cast<uint32_t>(bitmap.Width()));
  put32(22, static_cast<uint32_t>(bitmap.Height()));
  put16(26, 1);
  put16(28, static_cast<uint32_t>(bpp * 8));
  put32(34, static_cast<uint32_t>(pixels));
  for (int32_t y = 0; y < bitmap.Height(); ++y) {
    char* row = out.data() + kFileHeaderSize + kInfoHeaderSize +
                static_cast<size_t>(bitmap.Height() - 1 - y) * stride;
    for (int32_t x = 0; x < bitmap.Width(); ++x) {
      uint32_t c = bitmap.Pixel(x, y);
      for (int b = 0; b < bpp; ++b)
        row[static_cast<size_t>(x) * bpp + b] = static_cast<char>(c >> (8 * b));
    }
  }
  return out;
}

TRef<TSysBitmapStore> LoadBmpPicture(TStream& stream, std::string_view name) {
  char magic[2] = {};
  if (stream.Read(magic, 2) != 2 || magic[0] != 'B' || magic[1] != 'M') return nullptr;
  stream.Seek(-2, TSeekOrigin::Current);
  std::string bytes = ReadPictureFile(stream, name);
  if (bytes.empty()) return nullptr;
  TRef<TBitmap> bitmap = DecodeBmp(bytes, name);
  if (!bitmap) return nullptr;
  return MakeRef<TWrapperBitmapStore>(std::string(name), bitmap, "bmp");
}

}  // namespace viv
