// The picture services the image library installs at start-up, so that the
// file accessor can decode without depending on it.
#pragma once

#include <string_view>

#include "base/ref_object.h"
#include "base/stream.h"
#include "container/picture_store.h"

namespace viv {

// Defined by the picture library; the services only pass it through.
struct TPictureMetadata;

// Why a placeholder stands in for a picture.
enum class TPictureFailure { NotFound, LoadError };

// Decode: the stream's picture, turned by the orientation code (EXIF 1, 3, 6,
// 8), or none. Placeholder: the picture that says the file was not found or
// could not be read. Reduce: a copy at the accessor's reduction level.
// ReadMetadata: the EXIF and IPTC values of a picture file; false when it has
// none.
struct TPictureServices {
  TRef<TPictureStore> (*Decode)(TStream& stream, std::string_view name, int orientation) = nullptr;
  TRef<TPictureStore> (*Placeholder)(TPictureFailure failure, std::string_view name) = nullptr;
  TRef<TPictureStore> (*Reduce)(TPictureStore& store, int level) = nullptr;
  bool (*ReadMetadata)(TStream& stream, TPictureMetadata& metadata) = nullptr;
};
void InstallPictureServices(const TPictureServices& services);
TPictureServices PictureServices();

}  // namespace viv
