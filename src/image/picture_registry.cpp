#include "image/picture_registry.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "base/exceptions.h"
#include "base/log.h"
#include "base/text.h"
#include "container/file_accessor.h"

namespace viv {
namespace {

constexpr uint8_t kPngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

struct TLoaderEntry {
  TPictureLoader Loader;
  std::vector<std::string> Extensions;
};

std::mutex gRegistryLock;
std::vector<TLoaderEntry> gLoaders;

bool StartsWithPngSignature(TStream& stream) {
  int64_t position = stream.GetPosition();
  uint8_t head[sizeof kPngSignature] = {};
  size_t n = stream.Read(head, sizeof head);
  stream.SetPosition(position);
  return n == sizeof head && std::memcmp(head, kPngSignature, sizeof head) == 0;
}

bool Accepts(const TLoaderEntry& entry, std::string_view extension) {
  if (extension.empty()) return true;
  for (const std::string& own : entry.Extensions)
    if (SameText(own, extension)) return true;
  return false;
}

}  // namespace

std::string ReadPictureFile(TStream& stream, std::string_view name) {
  try {
    return stream.ReadRest(kMaxPictureFileBytes);
  } catch (const std::exception& e) {
    LogLine("Picture \"" + std::string(name) + "\" not read: " + e.what());
    return {};
  }
}

std::string NormaliseExtension(std::string_view extension) {
  size_t start = 0;
  while (start < extension.size() && static_cast<unsigned char>(extension[start]) < 33) ++start;
  extension.remove_prefix(start);
  if (extension.starts_with('*')) extension.remove_prefix(1);
  std::string result(extension);
  if (!result.starts_with('.')) result.insert(0, 1, '.');
  return result;
}

std::string_view PictureExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

void RegisterPictureLoader(TPictureLoader loader,
                           std::initializer_list<std::string_view> extensions) {
  TLoaderEntry entry{loader, {}};
  for (std::string_view extension : extensions)
    entry.Extensions.push_back(NormaliseExtension(extension));
  std::lock_guard guard(gRegistryLock);
  gLoaders.push_back(std::move(entry));
}

void ClearPictureLoaders() {
  std::lock_guard guard(gRegistryLock);
  gLoaders.clear();
}

TImage OpenImage(TStream& stream, std::string_view name, int orientation) {
  std::string extension(PictureExtension(name));
  if (SameText(extension, ".bmp") && StartsWithPngSignature(stream)) extension = ".png";
  std::vector<TLoaderEntry> loaders;
  {
    std::lock_guard guard(gRegistryLock);
    loaders = gLoaders;
  }
  int64_t start = stream.GetPosition();
  for (const TLoaderEntry& entry : loaders) {
    if (!Accepts(entry, extension)) continue;
    TRef<TSysBitmapStore> store;
    try {
      store = entry.Loader(stream, name);
    } catch (const TCommonException& e) {
      // A loader that decodes at once may be refused its pixels (the picture
      // budget); that declines the picture like any other failure.
      LogLine("Picture \"" + std::string(name) + "\" not opened: " + e.what());
    }
    if (store) {
      store->SetTurning(TurningForOrientation(orientation));
      return TImage(store);
    }
    stream.SetPosition(start);
  }
  return {};
}

TImage OpenImageByName(std::string_view name) {
  try {
    if (auto stream = GlobalDiskAccessor()->OpenStream(name)) return OpenImage(*stream, name);
  } catch (const std::exception& e) {
    LogLine("Picture \"" + std::string(name) + "\" not opened: " + e.what());
  }
  return {};
}

}  // namespace viv
