#include "image/colour/colour_transform.h"

#include <lcms2.h>

#include <algorithm>

namespace viv {

void TICCColorTransform::Apply(TBitmap& picture) {
  if (picture.Format() == TPixelFormat::Gray8) return;
  cmsUInt32Number format = picture.Format() == TPixelFormat::Rgb24 ? TYPE_BGR_8 : TYPE_BGRA_8;
  cmsSetAdaptationState(0);
  const std::string& sourceIcc = Source().Icc();
  const std::string& targetIcc = Target().Icc();
  cmsHPROFILE source = cmsOpenProfileFromMem(sourceIcc.data(), sourceIcc.size());
  cmsHPROFILE target = cmsOpenProfileFromMem(targetIcc.data(), targetIcc.size());
  if (source && target) {
    cmsHTRANSFORM transform =
        cmsCreateTransform(source, format, target, format, INTENT_PERCEPTUAL, 0);
    if (transform) {
      for (int32_t y = 0; y < picture.Height(); ++y)
        cmsDoTransform(transform, picture.Row(y), picture.Row(y), picture.Width());
      cmsDeleteTransform(transform);
    }
  }
  if (source) cmsCloseProfile(source);
  if (target) cmsCloseProfile(target);
}

void TVivViewerColorTransform::Apply(TBitmap& picture) {
  if (picture.Width() != fTable->Width() || picture.Height() != fTable->Height()) return;
  if (picture.Format() == TPixelFormat::Gray8) return;
  TRef<TBitmap> table = EnsureFormat(fTable, picture.Format());
  std::copy(table->Data(), table->Data() + table->ByteSize(), picture.Data());
}

}  // namespace viv
