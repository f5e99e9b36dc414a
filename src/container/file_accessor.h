// The one way to open a show file by name: as a stream or as a shared decoded
// picture, from the show's file source or from disk.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/ref_object.h"
#include "base/stream.h"
#include "container/file_source.h"
#include "container/picture_cache.h"
#include "container/picture_services.h"

namespace viv {

// Names with this prefix are read from disk, whatever the show's source.
inline constexpr std::string_view kDiskPrefix = "LoadFromDisk:";

class TFileAccessor : public TRefObject {
 public:
  using TFallbackOpener = std::function<TRef<TStream>(std::string_view name)>;
  using TStreamFilter = std::function<TRef<TStream>(std::string_view name, TRef<TStream> stream)>;

  // The base folder is a disk folder; a trailing separator is added.
  TFileAccessor(TRef<TFileSource> source, std::string baseFolder);

  TFileSource& Source() const { return *fSource; }
  const std::string& BaseFolder() const { return fBaseFolder; }
  void SetBaseFolder(std::string folder);
  int ReductionLevel() const { return fReductionLevel; }
  void SetReductionLevel(int level) { fReductionLevel = level; }
  void SetFallbackOpener(TFallbackOpener opener) { fFallbackOpener = std::move(opener); }
  void SetStreamFilter(TStreamFilter filter) { fStreamFilter = std::move(filter); }

  // None when no source can open the name. Reads call the load callback after
  // every piece.
  TRef<TStream> OpenStream(std::string_view name);
  // Never none: a placeholder stands in when the image library is installed,
  // else the picture has no store.
  TRef<TSharedPicture> OpenPicture(std::string_view name);

  // The name itself, the name after the path modifiers, or the base folder
  // joined with the name's last component: the first that exists on disk.
  std::optional<std::string> FindDiskFile(std::string_view name) const;
  TRef<TStream> OpenDiskStream(std::string_view name) const;

  TRef<TCallbackHandle> RegisterPictureProvider(TPictureProviderProc proc, void* context) {
    return fSource->RegisterPictureProvider(proc, context);
  }

  // A new accessor on the same source with the same base folder.
  virtual TRef<TFileAccessor> Clone() const;

 private:
  TRef<TFileSource> fSource;
  std::string fBaseFolder;
  int fReductionLevel = 0;
  TFallbackOpener fFallbackOpener;
  TStreamFilter fStreamFilter;
};

// A disk accessor (files on disk only) with its base folder and orientations.
TRef<TFileAccessor> NewDiskAccessor(std::string baseFolder, TOrientationHook orientation = {});
// The process-wide disk accessor, based at the player's folder.
TRef<TFileAccessor> GlobalDiskAccessor();

}  // namespace viv
