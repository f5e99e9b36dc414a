#include "container/file_accessor.h"

#include <unordered_map>
#include <vector>

#include "base/log.h"
#include "base/partial_stream.h"
#include "base/player_path.h"
#include "base/text.h"
#include "container/disk_path.h"
#include "container/load_callback.h"
#include "container/path_modifiers.h"

namespace viv {
namespace {

constexpr size_t kHandleBuckets = 9997;

// The process-wide picture table: upper-case name -> one handle per source.
std::mutex gPictureLock;
std::unordered_map<std::string, std::vector<TImageHandle*>>& PictureTable() {
  static std::unordered_map<std::string, std::vector<TImageHandle*>> table(kHandleBuckets);
  return table;
}

std::mutex gServicesLock;
TPictureServices gServices;

std::string LastNameComponent(std::string_view name) {
  size_t cut = name.find_last_of("\\/");
  return std::string(cut == std::string_view::npos ? name : name.substr(cut + 1));
}

}  // namespace

// --- picture services and handles

void InstallPictureServices(const TPictureServices& services) {
  std::lock_guard guard(gServicesLock);
  gServices = services;
}

TPictureServices PictureServices() {
  std::lock_guard guard(gServicesLock);
  return gServices;
}

size_t ImageHandleCount() {
  std::lock_guard guard(gPictureLock);
  size_t count = 0;
  for (auto& [key, handles] : PictureTable()) count += handles.size();
  return count;
}

void TSharedPicture::Cleanup() {
  TRef<TImageHandle> last;
  {
    // Handle counts change only under the table's lock, so a lookup can never
    // pick up a handle that is on its way out.
    std::lock_guard guard(gPictureLock);
    if (fHandle && fHandle->RefCount() == 1) {
      auto& table = PictureTable();
      auto it = table.find(fHandle->Key());
      if (it != table.end()) {
        std::erase(it->second, fHandle.Get());
        if (it->second.empty()) table.erase(it);
      }
      last = std::move(fHandle);
    } else {
      fHandle.Reset();
    }
  }
  // The decoded picture, if this was its last user, is freed outside the lock.
}

// --- TFileAccessor

TFileAccessor::TFileAccessor(TRef<TFileSource> source, std::string baseFolder)
    : fSource(std::move(source)) {
  VIV_ASSERT(fSource, "TFileAccessor needs a file source");
  SetBaseFolder(std::move(baseFolder));
}

void TFileAccessor::SetBaseFolder(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  fBaseFolder = std::move(folder);
}

TRef<TStream> TFileAccessor::OpenStream(std::string_view name) {
  TRef<TStream> stream;
  if (name.starts_with(kDiskPrefix)) {
    stream = OpenDiskStream(name.substr(kDiskPrefix.size()));
  } else {
    try {
      stream = fSource->Open(name);
    } catch (const std::exception& e) {
      LogLine("Open \"" + std::string(name) + "\" failed: " + e.what());
      stream.Reset();
    }
  }
  if (stream) {
    try {
      auto window = MakeRef<TPartialStream>(stream, 0, stream->GetSize());
      window->SetReadCallback(LoadReadCallback(), TPartialStream::kPieceWithoutCallback);
      stream = window;
    } catch (const std::exception& e) {
      LogLine("Open \"" + std::string(name) + "\" failed: " + e.what());
      stream.Reset();
    }
  }
  if (stream && fStreamFilter) stream = fStreamFilter(name, stream);
  if (!stream && fFallbackOpener) stream = fFallbackOpener(name);
  return stream;
}

TRef<TSharedPicture> TFileAccessor::OpenPicture(std::string_view name) {
  TRef<TSharedPicture> picture;
  {
    std::lock_guard guard(gPictureLock);
    std::string key = UpperCase(name);
    auto& handles = PictureTable()[key];
    TImageHandle* found = nullptr;
    for (TImageHandle* handle : handles)
      if (handle->SourceNumber() == fSource->SourceNumber()) found = handle;
    if (!found) {
      auto handle = MakeRef<TImageHandle>(key, fSource->SourceNumber());
      handles.push_back(handle.Get());
      picture = MakeRef<TSharedPicture>(std::move(handle));
    } else {
      picture = MakeRef<TSharedPicture>(TRef<TImageHandle>(found));
    }
  }

  TPictureServices services = PictureServices();
  TImageHandle& handle = *picture->fHandle;
  {
    // Two users of one name decode it once: the second waits here.
    std::lock_guard guard(handle.fLock);
    if (!handle.fLoaded) {
      TRef<TPictureStore> store = fSource->ProvidePicture(name);
      if (!store) {
        TRef<TStream> stream = OpenStream(name);
        if (stream && services.Decode) {
          try {
            store = services.Decode(*stream, name, fSource->Orientation(name));
          } catch (const std::exception& e) {
            LogLine("Picture \"" + std::string(name) + "\" load error: " + e.what());
            store.Reset();
          }
        }
        if (!store && services.Placeholder) {
          store =
              services.Placeholder(stream ? TPictureFailure::LoadError : TPictureFailure::NotFound,
                                   LastNameComponent(name));
        }
      }
      handle.fStore = std::move(store);
      handle.fLoaded = true;
    }
  }
  if (fReductionLevel > 0 && services.Reduce && handle.fStore)
    picture->fReduced = services.Reduce(*handle.fStore, fReductionLevel);
  return picture;
}

std::optional<std::string> TFileAccessor::FindDiskFile(std::string_view name) const {
  if (auto path = FindDiskPath(name)) return path;
  if (auto path = FindDiskPath(ApplyPathModifiers(name))) return path;
  std::string last = LastNameComponent(name);
  if (!fBaseFolder.empty() && !last.empty()) return FindDiskPath(fBaseFolder + last);
  return std::nullopt;
}

TRef<TStream> TFileAccessor::OpenDiskStream(std::string_view name) const {
  auto path = FindDiskFile(name);
  if (!path) return nullptr;
  return TFileStream::Open(*path, TFileMode::Read);
}

TRef<TFileAccessor> TFileAccessor::Clone() const {
  auto clone = MakeRef<TFileAccessor>(fSource, fBaseFolder);
  clone->fReductionLevel = fReductionLevel;
  return clone;
}

TRef<TFileAccessor> NewDiskAccessor(std::string baseFolder, TOrientationHook orientation) {
  auto source = MakeRef<TRealFileSource>();
  if (orientation) source->SetOrientationHook(std::move(orientation));
  return MakeRef<TFileAccessor>(source, std::move(baseFolder));
}

TRef<TFileAccessor> GlobalDiskAccessor() {
  static std::mutex lock;
  static TRef<TFileAccessor> accessor;
  std::lock_guard guard(lock);
  if (!accessor) accessor = NewDiskAccessor(PlayerFolder());
  return accessor;
}

}  // namespace viv
