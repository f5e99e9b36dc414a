#include "image/loaders/gif_loader.h"

#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "base/byte_reader.h"
#include "base/log.h"
#include "container/load_callback.h"
#include "image/picture_limits.h"
#include "image/picture_registry.h"

namespace viv {
namespace {

constexpr int kGraphicsControl = 0xF9;
constexpr int kApplication = 0xFF;
constexpr std::string_view kNetscape = "NETSCAPE2.0";
constexpr int kEndlessLoop = 65535;

int ReadBytes(GifFileType* gif, GifByteType* out, int count) {
  return static_cast<int>(static_cast<TByteReader*>(gif->UserData)->Read(out, count));
}

// One giflib decoder over the bytes, closed with its scope.
class TGifFile {
 public:
  explicit TGifFile(const std::string& bytes) : fCursor(bytes) {
    int error = 0;
    fGif = DGifOpen(&fCursor, &ReadBytes, &error);
  }
  ~TGifFile() {
    int error = 0;
    if (fGif) DGifCloseFile(fGif, &error);
  }
  TGifFile(const TGifFile&) = delete;
  TGifFile& operator=(const TGifFile&) = delete;
  GifFileType* operator->() const { return fGif; }
  GifFileType* Get() const { return fGif; }

  bool SkipCodes() {
    int size = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(fGif, &size, &block) != GIF_OK) return false;
    while (block)
      if (DGifGetCodeNext(fGif, &block) != GIF_OK) return false;
    return true;
  }
  // The extension's code and its sub-blocks, each with its length byte first.
  bool ReadExtension(int& code, std::vector<std::string>& blocks) {
    GifByteType* block = nullptr;
    if (DGifGetExtension(fGif, &code, &block) != GIF_OK) return false;
    while (block) {
      blocks.emplace_back(reinterpret_cast<char*>(block), block[0] + 1);
      if (DGifGetExtensionNext(fGif, &block) != GIF_OK) return false;
    }
    return true;
  }

 private:
  TByteReader fCursor;
  GifFileType* fGif = nullptr;
};

// The rows of an interlaced frame in the order they are stored.
std::vector<int32_t> RowOrder(int32_t height, bool interlaced) {
  std::vector<int32_t> rows;
  rows.reserve(height);
  if (!interlaced) {
    for (int32_t y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  const int32_t starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int32_t y = starts[pass]; y < height; y += steps[pass]) rows.push_back(y);
  return rows;
}

// A frame's rectangle cut to the canvas (empty when it lies outside).
struct TFrameRect {
  int32_t X0, Y0, X1, Y1;
  TFrameRect(const TBitmap& canvas, const TGifFrameInfo& frame)
      : X0(std::clamp(frame.Left, 0, canvas.Width())),
        Y0(std::clamp(frame.Top, 0, canvas.Height())),
        X1(std::clamp(frame.Left + frame.Width, X0, canvas.Width())),
        Y1(std::clamp(frame.Top + frame.Height, Y0, canvas.Height())) {}
  bool Empty() const { return X0 == X1 || Y0 == Y1; }
  size_t RowBytes() const { return static_cast<size_t>(X1 - X0) * 4; }
  uint8_t* At(TBitmap& canvas, int32_t y) const {
    return canvas.Row(y) + static_cast<size_t>(X0) * 4;
  }
};

void ClearRect(TBitmap& canvas, const TGifFrameInfo& frame) {
  TFrameRect rect(canvas, frame);
  for (int32_t y = rect.Y0; y < rect.Y1; ++y) std::memset(rect.At(canvas, y), 0, rect.RowBytes());
}

// What a frame with disposal 3 covers, kept while it shows so that it can be
// put back: never more than the frame's own rectangle.
class TSavedRect {
 public:
  TSavedRect(TBitmap& canvas, const TGifFrameInfo& frame) : fRect(canvas, frame) {
    if (fRect.Empty()) return;
    fPixels = MakeRef<TBitmap>(fRect.X1 - fRect.X0, fRect.Y1 - fRect.Y0, TPixelFormat::Argb32,
                               TBitmapInit::Uninitialized);
    for (int32_t y = fRect.Y0; y < fRect.Y1; ++y)
      std::memcpy(fPixels->Row(y - fRect.Y0), fRect.At(canvas, y), fRect.RowBytes());
  }
  void Restore(TBitmap& canvas) const {
    if (!fPixels) return;
    for (int32_t y = fRect.Y0; y < fRect.Y1; ++y)
      std::memcpy(fRect.At(canvas, y), fPixels->Row(y - fRect.Y0), fRect.RowBytes());
  }

 private:
  TFrameRect fRect;
  TRef<TBitmap> fPixels;
};

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

TRef<TGifReader> TGifReader::Open(std::string bytes, std::string name) {
  if (bytes.size() < 6 ||
      (bytes.compare(0, 6, "GIF89a") != 0 && bytes.compare(0, 6, "GIF87a") != 0))
    return nullptr;
  TRef<TGifReader> reader =
      TRef<TGifReader>::Adopt(new TGifReader(std::move(bytes), std::move(name)));
  if (!reader->Scan()) return nullptr;
  return reader;
}

bool TGifReader::Scan() {
  TGifFile gif(fBytes);
  if (!gif.Get()) return false;
  fWidth = gif->SWidth;
  fHeight = gif->SHeight;
  TGifFrameInfo pending;  // graphic control values for the next frame
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif.Get(), &type) != GIF_OK) break;
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      std::vector<std::string> blocks;
      if (!gif.ReadExtension(code, blocks)) break;
      if (code == kGraphicsControl && !blocks.empty() && blocks[0].size() >= 5) {
        auto b = reinterpret_cast<const uint8_t*>(blocks[0].data());
        pending.Disposal = (b[1] >> 2) & 7;
        pending.DelayMs = LittleEndian16(b + 2) * 10;
        pending.Transparent = (b[1] & 1) ? b[4] : -1;
      } else if (code == kApplication && blocks.size() >= 2 && blocks[0].size() == 12 &&
                 blocks[0].compare(1, 11, kNetscape) == 0 && blocks[1].size() >= 4 &&
                 blocks[1][1] == 1) {
        auto b = reinterpret_cast<const uint8_t*>(blocks[1].data());
        fLoopCount = LittleEndian16(b + 2);
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif.Get()) != GIF_OK) break;
    TGifFrameInfo frame = pending;
    frame.Left = gif->Image.Left;
    frame.Top = gif->Image.Top;
    frame.Width = gif->Image.Width;
    frame.Height = gif->Image.Height;
    frame.Interlaced = gif->Image.Interlace;
    if (frame.DelayMs == 0) frame.DelayMs = kGifDefaultDelayMs;
    if (!gif.SkipCodes()) break;
    fFrames.push_back(frame);
    pending = TGifFrameInfo();
  }
  if (fFrames.empty()) return false;
  // A file without a screen size shows its first frame's extent.
  if (fWidth == 0 || fHeight == 0) {
    fWidth = fFrames[0].Left + fFrames[0].Width;
    fHeight = fFrames[0].Top + fFrames[0].Height;
  }
  return PictureSizeAllowed(fWidth, fHeight, fName);
}

double TGifReader::FramesPerSecond() const {
  int shortest = fFrames.front().DelayMs;
  for (const auto& frame : fFrames) shortest = std::min(shortest, frame.DelayMs);
  return 1000.0 / shortest;
}

int64_t TGifReader::LengthMs() const {
  int64_t length = 0;
  for (const auto& frame : fFrames) length += frame.DelayMs;
  return length;
}

int64_t TGifReader::FrameCount() const {
  if (fLoopCount == 0 || fLoopCount == kEndlessLoop) return kGifEndlessFrames;
  return std::llround(LengthMs() * FramesPerSecond() / 1000.0);
}

void TGifReader::Compose(size_t from, size_t to, TBitmap& canvas, bool keepKeyFrames,
                         const std::function<void(size_t, const TBitmap&)>& visit) {
  TGifFile gif(fBytes);
  if (!gif.Get()) return;
  std::vector<GifPixelType> line;
  size_t index = 0;
  bool broken = false;
  while (index <= to) {
    GifRecordType type;
    if (DGifGetRecordType(gif.Get(), &type) != GIF_OK || type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      std::vector<std::string> blocks;
      if (!gif.ReadExtension(code, blocks)) break;
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif.Get()) != GIF_OK) break;
    if (index < from || broken) {
      if (!gif.SkipCodes()) break;
      ++index;
      continue;
    }
    const TGifFrameInfo& frame = fFrames[index];
    if (frame.Width <= 0 || frame.Height <= 0) {
      if (!gif.SkipCodes()) break;
      visit(index, canvas);
      ++index;
      continue;
    }
    if (keepKeyFrames && index > from && index % kGifKeyFrameInterval == 0)
      KeepKeyFrame(index, canvas);
    std::optional<TSavedRect> before;  // for disposal 3
    if (frame.Disposal == 3 && index < to) before.emplace(canvas, frame);

    const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
    line.resize(static_cast<size_t>(frame.Width));
    for (int32_t y : RowOrder(frame.Height, frame.Interlaced)) {
      if (DGifGetLine(gif.Get(), line.data(), frame.Width) != GIF_OK) {
        // What the frame drew so far stays; later frames are not read.
        broken = true;
        break;
      }
      int32_t cy = frame.Top + y;
      if (cy < 0 || cy >= canvas.Height()) continue;
      uint8_t* row = canvas.Row(cy);
      for (int32_t x = 0; x < frame.Width; ++x) {
        int32_t cx = frame.Left + x;
        int index8 = line[x];
        if (cx < 0 || cx >= canvas.Width() || index8 == frame.Transparent) continue;
        uint8_t* p = row + static_cast<size_t>(cx) * 4;
        if (map && index8 < map->ColorCount) {
          const GifColorType& c = map->Colors[index8];
          p[0] = c.Blue;
          p[1] = c.Green;
          p[2] = c.Red;
        } else {
          p[0] = p[1] = p[2] = static_cast<uint8_t>(index8);
        }
        p[3] = 0xFF;
      }
    }
    LoadCallback(nullptr);
    visit(index, canvas);
    // The disposal of this frame prepares the picture for the next one.
    if (index < to && frame.Disposal == 2) ClearRect(canvas, frame);
    if (before) before->Restore(canvas);
    ++index;
  }
}

void TGifReader::KeepKeyFrame(size_t index, const TBitmap& canvas) {
  // The key frame before this one is no longer where composing starts.
  fKeyFrame.Reset();
  // Key frames only save time: without room in the picture budget there is
  // none.
  if (PictureBudgetLeft() < static_cast<int64_t>(canvas.ByteSize())) return;
  try {
    fKeyFrame = ConvertBitmap(canvas, TPixelFormat::Argb32);
    fKeyIndex = index;
  } catch (const EPictureBudget&) {
    fKeyFrame.Reset();
  }
}

TRef<TBitmap> TGifReader::ComposeFrame(size_t k) {
  std::lock_guard guard(fLock);
  k = std::min(k, fFrames.size() - 1);
  size_t from = fKeyFrame && fKeyIndex <= k ? fKeyIndex : 0;
  TRef<TBitmap> canvas = MakeRef<TBitmap>(fWidth, fHeight, TPixelFormat::Argb32);
  if (from > 0) {
    std::memcpy(canvas->Data(), fKeyFrame->Data(), canvas->ByteSize());
    if (from == k) LogLine("Twice Extracting KeyFrame#" + std::to_string(k) + " at " + fName);
  }
  // The canvas itself is the result: it ends as frame k shows it.
  Compose(from, k, *canvas, true, [](size_t, const TBitmap&) {});
  return canvas;
}

void TGifReader::ComposeAll(const std::function<void(size_t, const TBitmap&)>& visit) {
  std::lock_guard guard(fLock);
  auto canvas = MakeRef<TBitmap>(fWidth, fHeight, TPixelFormat::Argb32);
  Compose(0, fFrames.size() - 1, *canvas, false, visit);
}

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
