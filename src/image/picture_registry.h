// The picture loaders by extension, and opening a picture with them.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "base/stream.h"
#include "image/bitmap_store.h"

namespace viv {

// A loader reads the stream from its start and returns a source, or none when
// the stream is not for it. A loader that keeps reading later holds its own
// reference to the stream.
using TPictureLoader = TRef<TSysBitmapStore> (*)(TStream& stream, std::string_view name);

// The most a loader copies of a picture file into memory.
inline constexpr int64_t kMaxPictureFileBytes = int64_t{256} << 20;
// The rest of the stream from its position, or empty (with a log line naming
// the picture) when it is larger than kMaxPictureFileBytes or cannot be read.
std::string ReadPictureFile(TStream& stream, std::string_view name);

// Leading characters below code 33 and one "*" are dropped and a "." is put in
// front when missing: "*.bmp" and "bmp" are ".bmp".
std::string NormaliseExtension(std::string_view extension);
// Everything from the last "." of the name on, or empty.
std::string_view PictureExtension(std::string_view name);

void RegisterPictureLoader(TPictureLoader loader,
                           std::initializer_list<std::string_view> extensions);
void ClearPictureLoaders();

// The loaders for the name's extension (all of them without one) in
// registration order; the first source wins. A ".bmp" that holds PNG data is
// opened as ".png". The orientation code (EXIF 1, 3, 6, 8) turns the source.
// The stream's position is restored after each loader that declines; a
// loader's exception (a picture refused by the picture budget) declines too.
TImage OpenImage(TStream& stream, std::string_view name, int orientation = 1);
// Opens the name through the process-wide disk accessor; failures give an
// empty image.
TImage OpenImageByName(std::string_view name);

}  // namespace viv
