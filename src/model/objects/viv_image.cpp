#include "model/objects/viv_image.h"

#include <algorithm>
#include <cmath>

#include "base/clamped_numbers.h"
#include "base/text.h"
#include "model/objects/viv_slide.h"

namespace viv {
namespace {

constexpr int32_t kDefaultFrameInterval = 100;  // ms
constexpr std::string_view kGifEnding = ".gif";
constexpr std::string_view kSheetEnding = ".gif|framesatlas";

TFiltering ReadFiltering(const TIniObject& block, TFiltering current) {
  return static_cast<TFiltering>(
      block.ReadIndex("Filtering", {"Nearest", "Bilinear", "Default"}, static_cast<int>(current)));
}

}  // namespace

// --- sprite sheets

int32_t AnimationFrame(const TImageAnimationParams& animation, double time) {
  int64_t cells = int64_t{animation.Columns} * animation.Rows;
  int32_t frames = static_cast<int32_t>(std::min<int64_t>(animation.Count, cells));
  if (!animation.Enabled || cells <= 1 || frames <= 0) return 0;
  auto interval = [&](int32_t i) -> double {
    if (animation.Intervals.empty()) return kDefaultFrameInterval;
    size_t index = std::min<size_t>(static_cast<size_t>(i), animation.Intervals.size() - 1);
    return std::max(0, animation.Intervals[index]);
  };
  double x = std::max(0.0, time - animation.Offset);
  double cycle = 0;
  for (int32_t i = 0; i < frames; ++i) cycle += interval(i);
  int32_t repeats = animation.RepeatCount;
  if (cycle <= 0) return repeats > 0 ? frames - 1 : 0;  // frames of no length never end
  // Whole passes before the one that holds x are skipped at once.
  int64_t passesBefore = x > 0 ? ClampToInt64(std::ceil(x / cycle)) - 1 : 0;
  if (repeats > 0 && passesBefore >= repeats) return frames - 1;
  x -= static_cast<double>(passesBefore) * cycle;
  int64_t pass = passesBefore + 1;
  int32_t i = 0;
  double end = interval(0);
  while (end < x) {
    if (i + 1 == frames) {
      if (repeats > 0 && pass >= repeats) return frames - 1;
      i = 0;
      ++pass;
    } else {
      ++i;
    }
    end += interval(i);
  }
  return i;
}

// --- TVivImage

void TVivImage::InitDefaults() {
  fAntialiased = true;
  fFiltering = TFiltering::Default;
  fMipLodBias = -0.5f;
  fImageIndex = kNoImageIndex;
}

void TVivImage::ReadKeys(const TIniObject& block) {
  fImageName = block.ReadText("ImageName");
  fAntialiased = block.ReadBool("Antialiased", true);
  fFiltering = ReadFiltering(block, TFiltering::Default);
  fMipLodBias = static_cast<float>(block.ReadReal("MipLodBias", 0));
  fReplaceWithEffectBuffer = block.ReadInteger("ReplaceWithEffectBuffer", 0);
  fBorder.Border = block.ReadBool("EnableBorder", false);
  fBorder.Crop = block.ReadBool("EnableCrop", false);
  fBorder.UseAspect = block.ReadBool("EnableAspect", false);
  fBorder.BorderWidth = static_cast<float>(block.ReadReal("BorderWidth", 1.5));
  fBorder.BorderColour = block.ReadColour("BorderColor", 0xFFFFFFFF);
  fBorder.ManagedBorderColour =
      fBorder.Border ? ManagedColour(fBorder.BorderColour) : fBorder.BorderColour;
  TCommaList crop = block.ReadList("CropRect");
  fBorder.CropRect = {
      static_cast<float>(crop.ReadReal(0, 0)), static_cast<float>(crop.ReadReal(1, 0)),
      static_cast<float>(crop.ReadReal(2, 0)), static_cast<float>(crop.ReadReal(3, 0))};
  fBorder.Aspect = static_cast<float>(block.ReadReal("Aspect", 0));
  fAnimation.Enabled = block.ReadBool("AnimEnable", false);
  fAnimation.Columns = block.ReadInteger("AnimColumns", 1);
  fAnimation.Rows = block.ReadInteger("AnimRows", 1);
  fAnimation.RepeatCount = block.ReadInteger("AnimRepCount", 0);
  fAnimation.Offset = block.ReadReal("AnimOffset", 0);
  fAnimation.Count = block.ReadInteger("AnimCount", 0);
  fAnimation.Intervals.clear();
  TCommaList intervals = block.ReadList("AnimInterval");
  for (size_t i = 0; i < intervals.Count(); ++i)
    fAnimation.Intervals.push_back(intervals.ReadInteger(i, kDefaultFrameInterval));
  fImageIndex = block.ReadInteger("ImageIndex", kNoImageIndex);
  fRestoreAlpha = block.ReadBool("RestoreAlpha", false);
  TVivObject::ReadKeys(block);
  RequestPicture();
}

std::string TVivImage::PictureRequestName() const {
  if (fReplaceWithEffectBuffer != 0) {
    TVivSlide* slide = GetSlide();
    std::string_view prefix =
        slide && slide->OwnEffectBuffer ? "SlideEffectBuffer" : "EffectResource";
    return std::string(prefix) + std::to_string(fReplaceWithEffectBuffer) + ", " + fImageName;
  }
  if (fRestoreAlpha) return "Mask: " + fImageName;
  if (Kind() == TObjectKind::AniImage && EndsWithText(fImageName, kGifEnding))
    return fImageName.substr(0, fImageName.size() - kGifEnding.size()) + std::string(kSheetEnding);
  return fImageName;
}

void TVivImage::RequestPicture() {
  std::string name = PictureRequestName();
  if (fPictureRequested && name == fRequestedName) return;
  // The old picture stays until the new one is there, so textures can be reused.
  if (!fPicture.Empty()) fPreviousPicture = fPicture;
  fPicture = {};
  fRequestedName = std::move(name);
  fPictureRequested = false;
  fChanged = true;
}

void TVivImage::LoadImage() {
  if (fPictureRequested) return;
  fPictureRequested = true;
  TVivSlideHost* host = GetHost();
  if (host && !fRequestedName.empty()) fPicture = host->OpenPicture(fRequestedName);
  fPreviousPicture = {};
  if (fProps) {
    TPointF units =
        AspectUnits(fBorder.UseAspect, fBorder.Aspect, static_cast<float>(fPicture.Width()),
                    static_cast<float>(fPicture.Height()));
    fProps->ScaleUnitX = units.X;
    fProps->ScaleUnitY = units.Y;
  }
  fChanged = true;
}

int32_t TVivImage::CurrentFrame() const {
  return AnimationFrame(fAnimation, fProps ? fProps->Time : 0);
}

void TVivImage::UpdateSize() {
  LoadImage();
  float w = static_cast<float>(fPicture.Width()), h = static_cast<float>(fPicture.Height());
  TRectF source;
  TSizeF size;
  float border = 0;
  if (Kind() == TObjectKind::AniImage) {
    int32_t columns = std::max(1, fAnimation.Columns), rows = std::max(1, fAnimation.Rows);
    float cw = w / static_cast<float>(columns), ch = h / static_cast<float>(rows);
    int32_t frame = CurrentFrame();
    float left = static_cast<float>(frame % columns) * cw,
          top = static_cast<float>(frame / columns) * ch;
    source = {left, top, left + cw, top + ch};
    size = {cw, ch};
  } else if (Kind() == TObjectKind::Image || Kind() == TObjectKind::Video) {
    TSourceLayout layout = VisibleSource(fBorder, w, h, Zoom(), {Value(kFrameX), Value(kFrameY)});
    source = layout.Source;
    size = layout.Size;
    border = layout.Border;
  } else {
    source = {0, 0, w, h};
    size = {w, h};
  }
  if (!(source == fSourceRect) || border != fBorderThickness) fGeometryChanged = true;
  fSourceRect = source;
  fBorderThickness = border;
  SetSize(size);
}

TSizeF TVivImage::GetSourceSize() const {
  return {static_cast<float>(fPicture.Width()), static_cast<float>(fPicture.Height())};
}

void TVivImage::DrawSelf(TObjectDrawer& drawer) {
  if (!fPicture.Empty()) drawer.DrawImage(*this);
}

bool TVivImage::IsChanged() const {
  if (Kind() == TObjectKind::AniImage && CurrentFrame() != fDrawnFrame) return true;
  return TVivObject::IsChanged();
}

void TVivImage::CommitState(bool recursive) {
  fDrawnFrame = CurrentFrame();
  fCommittedSource = fSourceRect;
  TVivObject::CommitState(recursive);
}

int TVivImage::ReductionLevel(float displayScale) {
  // Animated pictures keep every frame at full size.
  if (Kind() == TObjectKind::AniImage) return 0;
  TSizeF drawn = MaxDrawnSize();
  int level = TextureReductionLevel(fSourceRect.Width(), fSourceRect.Height(),
                                    drawn.Width * displayScale, drawn.Height * displayScale);
  // A texture made smaller than full size is not made larger again.
  if (fReductionLevel > 0) level = std::max(level, fReductionLevel);
  fReductionLevel = level;
  return fReductionLevel;
}

}  // namespace viv
