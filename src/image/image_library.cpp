#include "image/image_library.h"

#include <atomic>
#include <mutex>
#include <string>

#include "base/log.h"
#include "container/show_locator.h"
#include "image/colour/colour_management.h"
#include "image/loaders/bmp_loader.h"
#include "image/loaders/gif_store.h"
#include "image/loaders/jpeg_loader.h"
#include "image/loaders/png_loader.h"
#include "image/loaders/qvgf_loader.h"
#include "image/picture_metadata.h"
#include "image/picture_registry.h"

namespace viv {
namespace {

std::atomic<TPlaceholderPainter> gPainter{nullptr};

TRef<TPictureStore> DecodePicture(TStream& stream, std::string_view name, int orientation) {
  return OpenImage(stream, name, orientation).SourceRef();
}

// The accessor makes the copy while opening, so a picture that fails to
// decode here gives no copy rather than an exception.
TRef<TPictureStore> ReducePicture(TPictureStore& store, int level) {
  auto* source = dynamic_cast<TSysBitmapStore*>(&store);
  if (!source) return nullptr;
  try {
    return MakeRef<TWrapperBitmapStore>(source->Name(), source->GetMipLevel(level), "generated");
  } catch (const std::exception& e) {
    LogLine("Picture \"" + source->Name() + "\" not reduced: " + e.what());
    return nullptr;
  }
}

void RegisterLoaders() {
  RegisterPictureLoader(&LoadQvgfPicture, {".qvgfx", ".bmp", ".dib", ".png", ".gif|framesatlas"});
  RegisterPictureLoader(&LoadBmpPicture, {".bmp", ".dib"});
  RegisterPictureLoader(&LoadJpegPicture, {".jpg", ".jpeg", ".jpe", ".jfif"});
  RegisterPictureLoader(&LoadGifPicture, {".gif"});
  RegisterPictureLoader(&LoadGifFirstFrame, {".gif_first_frame"});
  RegisterPictureLoader(&LoadGifFramesAtlas, {".gif|framesatlas"});
  // libpng stands in for the optional external library, so PNG is always
  // there.
  RegisterPictureLoader(&LoadPngPicture, {".png"});
}

}  // namespace

void InstallImageLibrary() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    RegisterLoaders();
    InstallPictureServices(
        {&DecodePicture, &MakePlaceholderPicture, &ReducePicture, &ReadPictureMetadata});
    InstallColourManagement();
    SetShowOpenedHook(&ReadColorManagement);
  });
}

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
