// Generated pictures of slides: the transition buffer placeholder, transition
// resources at the presentation size, and the masks and shadows the picture
// library makes from pictures.
#pragma once

#include "container/picture_store.h"

namespace viv {

// A picture of a given size whose pixels another stage supplies (the drawer
// puts the transition buffer there), or that shows a source picture at that size.
class TSizedPicture : public TPictureStore {
 public:
  TSizedPicture(int32_t width, int32_t height, TRef<TPictureStore> source = nullptr)
      : fWidth(width), fHeight(height), fSource(std::move(source)) {}
  int32_t Width() const override { return fWidth; }
  int32_t Height() const override { return fHeight; }
  TPictureStore* Source() const { return fSource.Get(); }

 private:
  int32_t fWidth, fHeight;
  TRef<TPictureStore> fSource;
};

// Registers the "SlideEffectBuffer", "EffectResource", "Mask: ",
// "PresetedMask:" and "Shadow: " producers.
void RegisterModelPictureProducers();

}  // namespace viv
