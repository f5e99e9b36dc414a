#include "model/generated_pictures.h"

#include <map>
#include <mutex>

#include "image/bitmap_store.h"
#include "image/mask_picture.h"
#include "image/shadow_picture.h"
#include "model/slide_host.h"
#include "project/value_syntax.h"

namespace viv {
namespace {

TRef<TPictureStore> EffectBuffer(TVivSlideHost& host, std::string_view) {
  return MakeRef<TSizedPicture>(host.PresentationWidth(), host.PresentationHeight());
}

// "EffectResource" + number + ", " + image name: the number picks the resource.
TRef<TPictureStore> EffectResource(TVivSlideHost& host, std::string_view name) {
  std::string_view rest = name.substr(std::string_view("EffectResource").size());
  auto number = ParseInt32(rest.substr(0, rest.find(',')));
  if (!number || !host.TransitionResource) return nullptr;
  TRef<TPictureStore> resource = host.TransitionResource(*number);
  if (!resource) return nullptr;
  return MakeRef<TSizedPicture>(host.PresentationWidth(), host.PresentationHeight(), resource);
}

// The named picture with its alpha taken from its colour when it has none.
TRef<TPictureStore> MaskPicture(TVivSlideHost& host, std::string_view name) {
  THostPicture source = host.OpenPicture(name.substr(kMaskPrefix.size()));
  TRef<TSysBitmapStore> store(dynamic_cast<TSysBitmapStore*>(source.Store()));
  if (!store) return nullptr;
  return MakeRef<TMaskBitmapStore>(store);
}

TRef<TPictureStore> PresetMask(TVivSlideHost&, std::string_view name) {
  return MakePresetMask(name);
}

// Equal shadow names make one picture, kept for as long as the show runs.
TRef<TPictureStore> ShadowPicture(TVivSlideHost& host, std::string_view name) {
  static std::mutex lock;
  // Keyed by the show's file source, whose number no other source ever gets.
  static std::map<std::pair<uint64_t, std::string>, TRef<TPictureStore>> cache;
  std::pair<uint64_t, std::string> key{host.Accessor().Source().SourceNumber(), std::string(name)};
  {
    std::lock_guard guard(lock);
    // Shadows nobody shows any more go.
    std::erase_if(cache, [](const auto& entry) { return entry.second->RefCount() == 1; });
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
  }
  TShadowPictureParams params;
  std::string sourceName;
  if (!ParseShadowPictureName(name, params, sourceName)) return nullptr;
  THostPicture source = host.OpenPicture(sourceName);
  auto* store = dynamic_cast<TBitmapStore*>(source.Store());
  if (!store) return nullptr;
  TRef<TPictureStore> shadow = TShadowGenerator().Generate(*store, params, key.second);
  if (!shadow) return nullptr;
  std::lock_guard guard(lock);
  return cache.emplace(key, shadow).first->second;
}

}  // namespace

void RegisterModelPictureProducers() {
  RegisterPictureProducer("SlideEffectBuffer", &EffectBuffer);
  RegisterPictureProducer("EffectResource", &EffectResource);
  RegisterPictureProducer(kMaskPrefix, &MaskPicture);
  RegisterPictureProducer(kPresetMaskPrefix, &PresetMask);
  RegisterPictureProducer(kShadowPrefix, &ShadowPicture);
}

}  // namespace viv
