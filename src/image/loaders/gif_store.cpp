#include "image/loaders/gif_store.h"

#include <cstring>

#include "image/picture_registry.h"

namespace viv {
namespace {

TRef<TGifReader> OpenReader(TStream& stream, std::string_view name) {
  char magic[3] = {};
  if (stream.Read(magic, 3) != 3 || std::string_view(magic, 3) != "GIF") return nullptr;
  stream.Seek(-3, TSeekOrigin::Current);
  std::string bytes = ReadPictureFile(stream, name);
  return TGifReader::Open(std::move(bytes), std::string(name));
}

int32_t SheetWidth(const TGifReader& reader) {
  int64_t width = int64_t{reader.Width()} * static_cast<int64_t>(reader.Frames().size());
  return width > kMaxPictureSide ? 0 : static_cast<int32_t>(width);
}

}  // namespace

TGifBitmapStore::TGifBitmapStore(std::string name, TRef<TGifReader> reader, bool sheet)
    : TSysBitmapStore(std::move(name), sheet ? SheetWidth(*reader) : reader->Width(),
                      reader->Height(), TPixelFormat::Argb32),
      fReader(std::move(reader)),
      fSheet(sheet) {}

TRef<TBitmap> TGifBitmapStore::DecodeLevel(int level) {
  if (level != 0) return nullptr;
  if (!fSheet) return fReader->ComposeFrame(0);
  auto sheet = MakeRef<TBitmap>(Width(), Height(), TPixelFormat::Argb32);
  size_t frameBytes = static_cast<size_t>(fReader->Width()) * 4;
  fReader->ComposeAll([&](size_t index, const TBitmap& frame) {
    for (int32_t y = 0; y < frame.Height(); ++y)
      std::memcpy(sheet->Row(y) + index * frameBytes, frame.Row(y), frameBytes);
  });
  return sheet;
}

TRef<TSysBitmapStore> LoadGifPicture(TStream& stream, std::string_view name) {
  auto reader = OpenReader(stream, name);
  return reader ? MakeRef<TGifBitmapStore>(std::string(name), reader, false) : nullptr;
}

TRef<TSysBitmapStore> LoadGifFirstFrame(TStream& stream, std::string_view name) {
  auto reader = OpenReader(stream, name);
  if (!reader) return nullptr;
  return MakeRef<TWrapperBitmapStore>(std::string(name), reader->ComposeFrame(0), "gif");
}

TRef<TSysBitmapStore> LoadGifFramesAtlas(TStream& stream, std::string_view name) {
  auto reader = OpenReader(stream, name);
  if (!reader) return nullptr;
  int64_t width = int64_t{reader->Width()} * static_cast<int64_t>(reader->Frames().size());
  if (!PictureSizeAllowed(width, reader->Height(), name)) return nullptr;
  return MakeRef<TGifBitmapStore>(std::string(name), reader, true);
}

}  // namespace viv
