#include "image/placeholder_picture.h"

#include <atomic>
#include <string>

#include "image/bitmap_store.h"

namespace viv {
namespace {

std::atomic<TPlaceholderPainter> gPainter{nullptr};

}  // namespace

void SetPlaceholderPainter(TPlaceholderPainter painter) { gPainter = painter; }

TRef<TPictureStore> MakePlaceholderPicture(TPictureFailure failure, std::string_view name) {
  std::string first =
      failure == TPictureFailure::NotFound ? " Image not found " : " Image load error: ";
  // Appended piece by piece: GCC 12 at -O3 misreads " " + name + " " as an
  // overlapping copy.
  std::string second(1, ' ');
  second.append(name);
  second.push_back(' ');
  auto picture = MakeRef<TBitmap>(kPlaceholderWidth, kPlaceholderHeight, TPixelFormat::Argb32);
  picture->Fill(kPlaceholderBackColour);
  if (TPlaceholderPainter painter = gPainter) painter(*picture, first, second);
  return MakeRef<TWrapperBitmapStore>(std::string(name), picture, "generated");
}

}  // namespace viv
