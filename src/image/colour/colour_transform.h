// Colour transforms: conversions from a source profile to a target profile,
// applied in place to a picture (in practice, a conversion table).
#pragma once

#include "base/ref_object.h"
#include "image/bitmap.h"
#include "image/colour/colour_profile.h"

namespace viv {

// Converts a picture in place from its source profile to its target profile.
class TColorTransform : public TRefObject {
 public:
  TColorTransform(TRef<TColorProfile> source, TRef<TColorProfile> target)
      : fSource(std::move(source)), fTarget(std::move(target)) {}
  virtual void Apply(TBitmap& picture) = 0;
  TColorProfile& Source() const { return *fSource; }
  TColorProfile& Target() const { return *fTarget; }

 private:
  TRef<TColorProfile> fSource;
  TRef<TColorProfile> fTarget;
};

// Little CMS 2 on the two profiles' ICC bytes: 8-bit BGR or BGRA, perceptual
// intent, no flags, adaptation state 0. Pictures of other formats, and
// profiles the engine cannot open, stay as they are.
class TICCColorTransform : public TColorTransform {
 public:
  using TColorTransform::TColorTransform;
  void Apply(TBitmap& picture) override;
};

// A conversion stored in the show package: Apply replaces the picture with the
// stored table (in the picture's format).
class TVivViewerColorTransform : public TColorTransform {
 public:
  TVivViewerColorTransform(TRef<TColorProfile> source, TRef<TColorProfile> target,
                           TRef<TBitmap> table)
      : TColorTransform(std::move(source), std::move(target)), fTable(std::move(table)) {}
  void Apply(TBitmap& picture) override;

 private:
  TRef<TBitmap> fTable;  // 24-bit, 32 x 1024
};

}  // namespace viv
