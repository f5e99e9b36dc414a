// QVGF: the player's own picture files, in which the authoring tool stores
// converted pictures and precomputed tables. "QVGF", a 16-bit field count,
// name and value strings, then a raw-deflated BMP.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"
#include "image/bitmap_store.h"

namespace viv {

// What a failed payload decodes to: opaque mid grey, plainly not the picture.
inline constexpr uint32_t kQvgfFillColour = 0xFF808080;

struct TQvgfHeader {
  std::map<std::string, std::string> Fields;  // every field, by exact name
  std::string File;
  int32_t Width = 0;
  int32_t Height = 0;
  int64_t OriginalSize = 0;
};

// The picture data: fields, size and the compressed payload until it is
// decoded.
class TGfxImage : public TRefObject {
 public:
  TGfxImage(TQvgfHeader header, std::string payload)
      : fHeader(std::move(header)), fPayload(std::move(payload)) {}
  const TQvgfHeader& Header() const { return fHeader; }
  // Inflates and decodes the payload once, then drops it. A payload that does
  // not inflate or decode to a BMP of the declared size gives a picture
  // filled with kQvgfFillColour.
  TRef<TBitmap> Decoded();

 private:
  std::mutex fLock;
  TQvgfHeader fHeader;
  std::string fPayload;
  TRef<TBitmap> fDecoded;
};

class TGfxBitmapStore : public TSysBitmapStore {
 public:
  TGfxBitmapStore(std::string name, TRef<TGfxImage> image);
  std::string_view ClassName() const override { return "TGfxBitmapStore"; }
  std::string_view LoaderName() const override { return "qvgf"; }
  const TGfxImage& Image() const { return *fImage; }

 protected:
  TRef<TBitmap> DecodeLevel(int level) override;

 private:
  TRef<TGfxImage> fImage;
};

// The QVGF loader: only streams that start with "QVGF".
TRef<TSysBitmapStore> LoadQvgfPicture(TStream& stream, std::string_view name);

// A QVGF file of a picture (tools, tests): fields in order, then "File",
// "Width", "Height" and "OriginalSize" unless given.
std::string EncodeQvgf(const TBitmap& bitmap, std::string_view file,
                       const std::vector<std::pair<std::string, std::string>>& extraFields = {});

}  // namespace viv
