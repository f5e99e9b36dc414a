#include "image/loaders/qvgf_loader.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "base/byte_reader.h"
#include "base/inflate_stream.h"
#include "base/log.h"
#include "base/partial_stream.h"
#include "base/text.h"
#include "container/load_callback.h"
#include "image/loaders/bmp_loader.h"
#include "image/picture_registry.h"

namespace viv {
namespace {

constexpr char kMagic[4] = {'Q', 'V', 'G', 'F'};
// Room for the BMP headers and a palette beside the pixels of the largest BMP
// of the declared size; more inflated data than that is not a picture.
constexpr int64_t kBmpOverhead = 64 * 1024;

// false only when fewer than 2 bytes remain; a length the stream cannot back
// yields an empty value (and takes what there was).
bool ReadQvgfString(TStream& stream, std::string& value) {
  uint8_t length[2];
  if (stream.Read(length, 2) != 2) return false;
  size_t n = LittleEndian16(length);
  value.assign(n, '\0');
  if (stream.Read(value.data(), n) != n || !IsValidUtf8(value)) value.clear();
  return true;
}

bool ParseDecimal(const std::string& text, int64_t& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty();
}

std::optional<TQvgfHeader> ReadHeader(TStream& stream, std::string_view name) {
  uint8_t count[2];
  if (stream.Read(count, 2) != 2) return std::nullopt;
  TQvgfHeader header;
  for (int n = LittleEndian16(count); n > 0; --n) {
    std::string field, value;
    if (!ReadQvgfString(stream, field) || !ReadQvgfString(stream, value)) return std::nullopt;
    header.Fields[field] = value;
  }
  auto file = header.Fields.find("File");
  int64_t width = 0, height = 0, original = 0;
  auto number = [&](const char* key, int64_t& out) {
    auto it = header.Fields.find(key);
    return it != header.Fields.end() && ParseDecimal(it->second, out);
  };
  if (file == header.Fields.end() || !number("Width", width) || !number("Height", height) ||
      !number("OriginalSize", original))
    return std::nullopt;
  if (!PictureSizeAllowed(width, height, name)) return std::nullopt;
  header.File = file->second;
  header.Width = static_cast<int32_t>(width);
  header.Height = static_cast<int32_t>(height);
  header.OriginalSize = original;
  return header;
}

}  // namespace

TRef<TBitmap> TGfxImage::Decoded() {
  std::lock_guard guard(fLock);
  if (fDecoded) return fDecoded;
  TRef<TBitmap> bitmap;
  try {
    int64_t largest = int64_t{fHeader.Width} * fHeader.Height * 4 + kBmpOverhead;
    int64_t limit = std::clamp<int64_t>(fHeader.OriginalSize, 0, largest);
    auto size = static_cast<int64_t>(fPayload.size());
    auto compressed = MakeRef<TPartialStream>(MakeRef<TMemoryStream>(std::move(fPayload)), 0, size);
    compressed->SetReadCallback(LoadReadCallback(), TPartialStream::kPieceWithoutCallback);
    TRef<TMemoryStream> inflated = InflateToMemory(compressed, limit);
    bitmap = DecodeBmp(inflated->Data(), fHeader.File);
    if (bitmap && (bitmap->Width() != fHeader.Width || bitmap->Height() != fHeader.Height)) {
      LogLine("QVGF \"" + fHeader.File + "\": payload size differs from the header");
      bitmap.Reset();
    }
  } catch (const std::exception& e) {
    LogLine("QVGF \"" + fHeader.File + "\" not decoded: " + e.what());
    bitmap.Reset();
  }
  fPayload = std::string();
  if (bitmap) {
    fDecoded = EnsureFormat(bitmap, TPixelFormat::Argb32);
  } else {
    fDecoded = MakeRef<TBitmap>(fHeader.Width, fHeader.Height, TPixelFormat::Argb32);
    fDecoded->Fill(kQvgfFillColour);
  }
  return fDecoded;
}

TGfxBitmapStore::TGfxBitmapStore(std::string name, TRef<TGfxImage> image)
    : TSysBitmapStore(std::move(name), image->Header().Width, image->Header().Height,
                      TPixelFormat::Argb32),
      fImage(std::move(image)) {}

TRef<TBitmap> TGfxBitmapStore::DecodeLevel(int level) {
  return level == 0 ? fImage->Decoded() : nullptr;
}

TRef<TSysBitmapStore> LoadQvgfPicture(TStream& stream, std::string_view name) {
  char magic[4] = {};
  if (stream.Read(magic, 4) != 4 || std::string_view(magic, 4) != std::string_view(kMagic, 4))
    return nullptr;
  std::optional<TQvgfHeader> header = ReadHeader(stream, name);
  if (!header) return nullptr;
  int64_t expected = stream.GetSize() - stream.GetPosition();
  std::string payload = ReadPictureFile(stream, name);
  if (static_cast<int64_t>(payload.size()) < expected) return nullptr;
  auto image = MakeRef<TGfxImage>(std::move(*header), std::move(payload));
  return MakeRef<TGfxBitmapStore>(std::string(name), image);
}

std::string EncodeQvgf(const TBitmap& bitmap, std::string_view file,
                       const std::vector<std::pair<std::string, std::string>>& extraFields) {
  std::string bmp = EncodeBmp(bitmap);
  std::vector<std::pair<std::string, std::string>> fields = extraFields;
  auto add = [&](const char* key, std::string value) {
    for (const auto& [k, v] : fields)
      if (k == key) return;
    fields.emplace_back(key, std::move(value));
  };
  add("File", std::string(file));
  add("Width", std::to_string(bitmap.Width()));
  add("Height", std::to_string(bitmap.Height()));
  add("OriginalSize", std::to_string(bmp.size()));
  std::string out(kMagic, 4);
  auto put16 = [&](size_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8 & 0xFF);
  };
  auto putString = [&](const std::string& s) {
    put16(s.size());
    out += s;
  };
  put16(fields.size());
  for (const auto& [key, value] : fields) {
    putString(key);
    putString(value);
  }
  return out + DeflateRaw(bmp);
}

}  // namespace viv
