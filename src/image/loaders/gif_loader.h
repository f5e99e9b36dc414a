// GIF pictures on giflib: frame rectangles, transparency, disposal and delays,
// frames composed one over the other as a player shows them, and the loaders
// for the animated picture, its first frame and the sheet of all frames.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
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
  // frame drew), composed from the nearest key frame before it. Frames whose
  // data is corrupt leave the picture as it was.
  TRef<TBitmap> ComposeFrame(size_t k);
  // Every frame in order; visit gets the index and the composed picture.
  void ComposeAll(const std::function<void(size_t, const TBitmap&)>& visit);

 private:
  TGifReader(std::string bytes, std::string name)
      : fBytes(std::move(bytes)), fName(std::move(name)) {}
  bool Scan();
  // Draws frames from..to onto canvas (the picture before frame from).
  void Compose(size_t from, size_t to, TBitmap& canvas,
               const std::function<void(size_t, const TBitmap&)>& visit);

  std::string fBytes;
  std::string fName;
  int32_t fWidth = 0;
  int32_t fHeight = 0;
  int fLoopCount = -1;
  std::vector<TGifFrameInfo> fFrames;
  std::mutex fLock;
  // The picture before each key frame was drawn, once composed.
  std::map<size_t, TRef<TBitmap>> fKeyFrames;
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
