// GIF pictures on giflib: frame rectangles, transparency, disposal and delays,
// frames composed one over the other as a player shows them, and the loaders
// for the animated picture, its first frame and the sheet of all frames.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/ref_object.h"
#include "base/stream.h"
#include "image/bitmap.h"
#include "image/bitmap_store.h"

namespace viv {

struct TGifFrameInfo {
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  bool Interlaced = false;
  int Transparent = -1;  // palette index, or -1
  int Disposal = 0;      // 2: clear to transparent, 3: restore what was before
  int DelayMs = 0;       // stored delay x 10, or 50 when 0
};

inline constexpr int kGifDefaultDelayMs = 50;
inline constexpr int kGifKeyFrameInterval = 10;
inline constexpr int64_t kGifEndlessFrames = 1000000;

class TGifReader : public TRefObject {
 public:
  // None when the bytes are not a GIF with at least one frame, or its screen
  // is outside the picture limits.
  static TRef<TGifReader> Open(std::string bytes, std::string name);

  int32_t Width() const { return fWidth; }
  int32_t Height() const { return fHeight; }
  const std::vector<TGifFrameInfo>& Frames() const { return fFrames; }
  // The "NETSCAPE2.0" loop count, or -1 without one.
  int LoopCount() const { return fLoopCount; }
  // Timing in steps of the shortest delay: 1000 / shortest per second; the
  // length is the sum of delays; the frame count is length / shortest, or
  // kGifEndlessFrames for endless loops (loop count 0 or 65535).
  double FramesPerSecond() const;
  int64_t LengthMs() const;
  int64_t FrameCount() const;

  // The picture shown while frame k is up (32 bits, transparent where no
  // frame drew), composed into one new picture from the kept key frame when
  // that is at or before k, else from the start. Frames whose data is corrupt
  // leave the picture as it was. Composing keeps one key frame: the picture
  // before the last frame passed whose index is a multiple of
  // kGifKeyFrameInterval, so that playing on, or again after a loop, starts
  // close by.
  TRef<TBitmap> ComposeFrame(size_t k);
  // Every frame in order on one canvas; visit gets the index and the picture.
  void ComposeAll(const std::function<void(size_t, const TBitmap&)>& visit);

 private:
  TGifReader(std::string bytes, std::string name)
      : fBytes(std::move(bytes)), fName(std::move(name)) {}
  bool Scan();
  // Draws frames from..to onto canvas (the picture before frame from); visit
  // sees each frame's picture. The last frame's disposal is not applied, so
  // the canvas ends as frame `to` shows it.
  void Compose(size_t from, size_t to, TBitmap& canvas, bool keepKeyFrames,
               const std::function<void(size_t, const TBitmap&)>& visit);
  void KeepKeyFrame(size_t index, const TBitmap& canvas);

  std::string fBytes;
  std::string fName;
  int32_t fWidth = 0;
  int32_t fHeight = 0;
  int fLoopCount = -1;
  std::vector<TGifFrameInfo> fFrames;
  std::mutex fLock;
  // The picture before frame fKeyIndex was drawn, or none.
  size_t fKeyIndex = 0;
  TRef<TBitmap> fKeyFrame;
};

class TGifBitmapStore : public TSysBitmapStore {
 public:
  // A sheet is the screen width times the frame count wide.
  TGifBitmapStore(std::string name, TRef<TGifReader> reader, bool sheet);
  std::string_view ClassName() const override { return "TGifBitmapStore"; }
  std::string_view LoaderName() const override { return "gif"; }
  TGifReader& Reader() const { return *fReader; }
  bool IsSheet() const { return fSheet; }

 protected:
  TRef<TBitmap> DecodeLevel(int level) override;

 private:
  TRef<TGifReader> fReader;
  bool fSheet;
};

// ".gif": the animated picture (level 0 shows its first frame).
TRef<TSysBitmapStore> LoadGifPicture(TStream& stream, std::string_view name);
// ".gif_first_frame": its first frame.
TRef<TSysBitmapStore> LoadGifFirstFrame(TStream& stream, std::string_view name);
// ".gif|framesatlas": all frames side by side.
TRef<TSysBitmapStore> LoadGifFramesAtlas(TStream& stream, std::string_view name);

}  // namespace viv
