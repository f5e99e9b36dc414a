#include "model/generated_pictures.h"

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

}  // namespace

void RegisterModelPictureProducers() {
  RegisterPictureProducer("SlideEffectBuffer", &EffectBuffer);
  RegisterPictureProducer("EffectResource", &EffectResource);
}

}  // namespace viv
