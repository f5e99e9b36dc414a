#include "model/slide_host.h"

#include <mutex>
#include <vector>

#include "base/exceptions.h"

namespace viv {
namespace {

struct TProducerEntry {
  std::string_view Prefix;
  TPictureProducer Producer;
};

std::mutex gProducerLock;
std::vector<TProducerEntry>& Producers() {
  static std::vector<TProducerEntry> producers;
  return producers;
}

TPictureProducer FindProducer(std::string_view prefix) {
  std::lock_guard guard(gProducerLock);
  for (const auto& entry : Producers())
    if (entry.Prefix == prefix) return entry.Producer;
  return nullptr;
}

}  // namespace

void RegisterPictureProducer(std::string_view prefix, TPictureProducer producer) {
  std::string_view known = GeneratedPrefix(prefix);
  VIV_ASSERT(known == prefix, "Unknown generated picture prefix");
  std::lock_guard guard(gProducerLock);
  for (auto& entry : Producers()) {
    if (entry.Prefix == known) {
      entry.Producer = producer;
      return;
    }
  }
  Producers().push_back({known, producer});
}

std::string_view GeneratedPrefix(std::string_view name) {
  for (std::string_view prefix : kGeneratedPrefixes)
    if (name.starts_with(prefix)) return prefix;
  return {};
}

TVivSlideHost::TVivSlideHost(TRef<TFileAccessor> accessor, int32_t width, int32_t height,
                             std::string pathToButtons)
    : fAccessor(std::move(accessor)),
      fWidth(width),
      fHeight(height),
      fPathToButtons(std::move(pathToButtons)) {
  VIV_ASSERT(fAccessor, "TVivSlideHost needs an accessor");
  fCamera = {width / 2.0f, height / 2.0f, -static_cast<float>(height)};
  // Only packages carry the entry; a disk show must not read a stray file.
  bool packaged = dynamic_cast<TPackedFileSource*>(&fAccessor->Source()) != nullptr;
  if (auto stream = packaged ? fAccessor->OpenStream("ExeGUID") : nullptr) {
    try {
      fExeGuid = stream->ReadRest(4096);
    } catch (const TCommonException&) {
      fExeGuid.clear();
    }
  }
}

void TVivSlideHost::SetCamera(const TVec3& camera) {
  VIV_ASSERT(camera.Z != 0, "  Camera.Z = 0  ");
  fCamera = camera;
}

THostPicture TVivSlideHost::OpenPicture(std::string_view name) {
  THostPicture picture;
  std::string_view prefix = GeneratedPrefix(name);
  if (prefix.empty()) {
    if (!name.empty()) picture.Shared = fAccessor->OpenPicture(name);
    return picture;
  }
  if (TPictureProducer producer = FindProducer(prefix)) picture.Generated = producer(*this, name);
  return picture;
}

}  // namespace viv
