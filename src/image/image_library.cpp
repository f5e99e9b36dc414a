#include "image/image_library.h"

#include <mutex>
#include <string>

#include "base/log.h"
#include "container/show_locator.h"
#include "image/colour/colour_management.h"
#include "image/loaders/bmp_loader.h"
#include "image/loaders/gif_loader.h"
#include "image/loaders/jpeg_loader.h"
#include "image/loaders/png_loader.h"
#include "image/loaders/qvgf_loader.h"
#include "image/picture_metadata.h"
#include "image/picture_registry.h"
#include "image/placeholder_picture.h"

namespace viv {
namespace {

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

}  // namespace viv
