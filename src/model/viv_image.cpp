#include "model/viv_image.h"

#include <algorithm>
#include <cmath>

#include "base/clamped_numbers.h"
#include "base/text.h"
#include "model/text_macros.h"
#include "model/viv_slide.h"
#include "project/value_syntax.h"

namespace viv {
namespace {

constexpr int32_t kDefaultFrameInterval = 100;  // ms
constexpr std::string_view kGifEnding = ".gif";
constexpr std::string_view kSheetEnding = ".gif|framesatlas";
constexpr std::string_view kFallbackTheme = "aqua";

TFiltering ReadFiltering(const TIniObject& block, TFiltering current) {
  return static_cast<TFiltering>(
      block.ReadIndex("Filtering", {"Nearest", "Bilinear", "Default"}, static_cast<int>(current)));
}

uint32_t ReadOpaqueColour(const TIniObject& block, std::string_view key, uint32_t fallback) {
  return block.FindItem(key) ? block.ReadColour(key, fallback) : fallback;
}

// Lines of a text value: escapes decoded, split at line ends.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string decoded = DecodeEscaped(text);
  size_t start = 0;
  for (;;) {
    size_t end = decoded.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(decoded.substr(start));
      return lines;
    }
    lines.push_back(decoded.substr(start, end - start));
    start = end + 2;
  }
}

// The generated names carry their parameters as an escaped one-line document.
std::string ParameterText(const std::vector<std::pair<std::string, std::string>>& keys) {
  TIniFile document;
  for (const auto& [key, value] : keys) document.WriteText(key, value);
  return document.SaveToEscaped();
}

std::string ColourText(uint32_t colour) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06X,%u", colour & 0xFFFFFF, colour >> 24);
  return text;
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
  fBorder.BorderColour = ReadOpaqueColour(block, "BorderColor", 0xFFFFFFFF);
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

// --- TVivText

void TVivText::InitDefaults() {
  TVivImage::InitDefaults();
  fShadow.Enabled = true;
  fColour = fHoverColour = fClickColour = 0xFFFFFFFF;
  fAlign = TTextAlign::Center;
  if (IsButtonCaption()) {
    // A button's caption is part of the button: clicks go through it and it
    // starts without shadow.
    fTranspForClick = true;
    fShadow.Enabled = false;
  }
}

bool TVivText::IsButtonCaption() const {
  return fParent && fParent->Kind() == TObjectKind::Button && fParent->ChildCount() > 0 &&
         &fParent->Child(0) == this;
}

void TVivText::ReadKeys(const TIniObject& block) {
  SetText(block.ReadText("Text"));
  fColour = ReadOpaqueColour(block, "TextColor", fColour);
  fHoverColour = ReadOpaqueColour(block, "TextColorHover", fColour);
  fClickColour = ReadOpaqueColour(block, "TextColorClick", fColour);
  fFontName = block.ReadText("FontName");
  fFontStyle = block.ReadText("FontStyle");
  fAlign = static_cast<TTextAlign>(block.ReadIndex("TextAlign", {"Left", "Center", "Right"}, 1));
  fLineSpacing = block.ReadInteger("LineSpacing", 0);
  fRasterize = block.ReadBool("Rasterize", false);
  fRasterizedGuid = block.ReadText("RasterizedGUID");
  fIsComment = block.ReadBool("IsComment", false);
  if (fIsComment) {
    // At most one text of a slide is its comment: the latest one read.
    if (TVivSlide* slide = GetSlide()) {
      std::vector<TVivObject*> stack{slide};
      while (!stack.empty()) {
        TVivObject* object = stack.back();
        stack.pop_back();
        if (auto* text = dynamic_cast<TVivText*>(object); text && text != this)
          text->fIsComment = false;
        for (size_t i = 0; i < object->ChildCount(); ++i) stack.push_back(&object->Child(i));
      }
    }
  }
  TVivImage::ReadKeys(block);
  // Texts ignore the key: their quads are always drawn without smoothing.
  fAntialiased = false;
}

void TVivText::SetText(const std::string& value) {
  if (value == fText && !fLines.empty()) return;
  fText = value;
  fLines = SplitLines(value);
  if (IsButtonCaption()) fLines.resize(1);
  bool allEmpty =
      std::all_of(fLines.begin(), fLines.end(), [](const std::string& l) { return l.empty(); });
  if (allEmpty) fLines = {" "};
  fChanged = true;
}

std::vector<std::string> TVivText::ExpandedLines() const {
  TTextMacroValues values{};
  TVivSlide* slide = GetSlide();
  values.SlideIndex = slide ? slide->Number() + 1 : 1;
  values.SlidesCount = slide && slide->GetHost() ? slide->GetHost()->SlideCount : 0;
  if (slide) {
    if (auto main = FindMainPicture(*slide)) {
      values.HasMainPicture = true;
      values.MainWidth = main->Width;
      values.MainHeight = main->Height;
      values.MainFileName = main->FileName;
      TPictureServices services = PictureServices();
      TVivSlideHost* host = slide->GetHost();
      if (services.ReadMetadata && host) {
        if (auto stream = host->Accessor().OpenStream(main->FileName))
          services.ReadMetadata(*stream, values.Metadata);
      }
    }
  }
  std::vector<std::string> lines;
  for (const auto& line : fLines) lines.push_back(ExpandTextMacros(line, values));
  return lines;
}

uint32_t TVivText::TextColour(int state) const {
  uint32_t colour = state != 2 ? fColour : Pressed() ? fClickColour : fHoverColour;
  return ManagedColour(colour);
}

void TVivText::SetState(int state) {
  if (state == fState) return;
  fState = state;
  fChanged = true;
}

std::string TVivText::PictureRequestName() const {
  std::string text;
  for (size_t i = 0; i < fLines.size(); ++i) text += (i ? "\r\n" : "") + fLines[i];
  return "Text: " + ParameterText({{"Font", fFontName},
                                   {"Style", fFontStyle},
                                   {"Align", std::to_string(static_cast<int>(fAlign))},
                                   {"LineSpacing", std::to_string(fLineSpacing)},
                                   {"Color", ColourText(fColour)},
                                   {"Rasterized", fRasterize ? fRasterizedGuid : std::string()},
                                   {"Text", EncodeEscaped(text)}});
}

// --- TVivButton

void TVivButton::InitDefaults() {
  TVivImage::InitDefaults();
  fButtonOpacity = fCaptionOpacity = 100;
}

void TVivButton::ReadKeys(const TIniObject& block) {
  std::string theme = block.ReadText("Theme");
  fButtonOpacity = static_cast<float>(block.ReadReal("BtnOpacity", 100));
  fCaptionOpacity = static_cast<float>(block.ReadReal("TxtOpacity", 100));
  fHue = block.ReadInteger("Hue", 0);
  fSaturation = block.ReadInteger("Saturation", 0);
  fLightness = block.ReadInteger("Lightness", 0);
  fMinWidth.reset();
  if (block.FindItem("BtnMinWidth"))
    fMinWidth = static_cast<float>(block.ReadReal("BtnMinWidth", 0));
  fCaptionOffset = static_cast<float>(block.ReadReal("BtnOffsetX", 100));
  bool themeChanged = theme != fTheme || fThemeFolder.empty();
  fTheme = theme;
  if (themeChanged) LoadTheme();
  TVivImage::ReadKeys(block);
  fMipLodBias = 0;
}

void TVivButton::LoadTheme() {
  fThemeFolder.clear();
  TVivSlideHost* host = GetHost();
  if (!host) return;
  for (std::string theme : {fTheme, std::string(kFallbackTheme)}) {
    if (theme.empty()) continue;
    std::string folder = host->PathToButtons();
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    if (host->Accessor().OpenStream(folder + theme + "\\btn.ini")) {
      fThemeFolder = folder + theme;
      break;
    }
  }
  fChanged = true;
}

std::string TVivButton::PictureRequestName() const {
  if (fThemeFolder.empty()) return {};
  return "Button: " + ParameterText({{"Theme", fThemeFolder},
                                     {"State", std::to_string(fState)},
                                     {"Hue", std::to_string(fHue)},
                                     {"Saturation", std::to_string(fSaturation)},
                                     {"Lightness", std::to_string(fLightness)},
                                     {"MinWidth", fMinWidth ? std::to_string(*fMinWidth) : ""}});
}

}  // namespace viv
