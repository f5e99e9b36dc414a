#include "model/objects/viv_slide.h"

#include <cmath>
#include <mutex>
#include <numbers>
#include <set>

#include "base/clamped_numbers.h"
#include "base/text.h"
#include "model/objects/viv_button.h"
#include "model/objects/viv_image.h"
#include "model/objects/viv_text.h"
#include "show/viv_source.h"

namespace viv {
namespace {

constexpr double kCotangent30 = 1.7320508075688772;
constexpr std::string_view kRootClass = "Root";

// 0x00BBGGRR as the project writes integer colours, to opaque 0xAARRGGBB.
uint32_t SystemColour(int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  return 0xFF000000 | ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

TIniObject* FindRootBlock(TIniSection& section) {
  if (TIniObject* root = section.FindObject("Container", kRootClass)) return root;
  for (TIniObject* block = section.FirstObject(); block; block = section.NextObject(*block))
    if (SameText(block->ClassName(), kRootClass)) return block;
  return nullptr;
}

std::mutex gLookupLock;
std::vector<TPictureLookupLink>& LookupLinks();

std::optional<TMainPicture> ImageLookup(TVivObject& object) {
  auto* image = dynamic_cast<TVivImage*>(&object);
  if (!image || !image->HasImageIndex()) return std::nullopt;
  image->LoadImage();
  return TMainPicture{image->ImageName(), image->Picture().Width(), image->Picture().Height()};
}

std::vector<TPictureLookupLink>& LookupLinks() {
  static std::vector<TPictureLookupLink> links{&ImageLookup};
  return links;
}

}  // namespace

TSlideBackground ReadSlideBackground(const TIniSection* slide, const TIniSection* main) {
  const TIniSection* source = slide;
  std::string prefix;
  if (!slide || slide->ReadInteger("bstyle", 0) == 0) {
    source = main;
    prefix = "opt_";
  }
  TSlideBackground background;
  if (!source) return background;
  auto key = [&](const char* name) { return prefix + name; };
  int32_t style = source->ReadInteger(key("bstyle"), 0);
  background.Picture = source->ReadText(key("bfn"));
  background.TileSize = source->ReadInteger(key("bsize"), 100);
  using TStyle = TSlideBackground::TStyle;
  if (!background.Picture.empty() || style == 2) {
    background.Style = TStyle::Picture;
  } else if (style == 3) {
    int32_t direction = source->ReadInteger(key("bcolorstyle"), 0);
    background.Style = direction == 1   ? TStyle::VGradient
                       : direction == 2 ? TStyle::HGradient
                                        : TStyle::Solid;
    background.Colour1 = SystemColour(source->ReadInteger(key("bcolor1"), 0));
    background.Colour2 = SystemColour(source->ReadInteger(key("bcolor2"), 0));
    if (background.Style == TStyle::Solid) background.Colour2 = background.Colour1;
    return background;
  }
  background.Colour1 = background.Colour2 = SystemColour(source->ReadInteger(key("bcolor"), 0));
  return background;
}

TVivSlide::TVivSlide(TRef<TVivSlideHost> host, int32_t number)
    : TVivObject(nullptr, nullptr), fHost(std::move(host)), fNumber(number) {
  VIV_ASSERT(fHost, "TVivSlide needs a slide host");
  fSize = {static_cast<float>(fHost->PresentationWidth()),
           static_cast<float>(fHost->PresentationHeight())};
  fOrigin = {fSize.Width / 2, fSize.Height / 2, 0};
  fFitMode = TFitMode::PlaceInto;
  fVisible = true;
}

void TVivSlide::Cleanup() {
  // Objects go before the nodes they point at.
  TemplateObjects.clear();
  BackgroundSlideObjects.clear();
  TVivObject::Cleanup();
  fRoot.Reset();
}

void TVivSlide::Load(const TVivSource& source, bool keepCopies) {
  TIniSection* section = source.SlideSection(fNumber);
  TIniSection* main = source.MainSection();
  TIniSection* times = source.TimesSection();
  if (keepCopies) {
    // The slide works on copies so that later edits of the project leave it alone.
    for (TIniSection** block : {&section, &main, &times}) {
      if (!*block) continue;
      auto copy = DynamicRefCast<TIniSection>((*block)->Copy());
      fCopies.push_back(copy);
      *block = copy.Get();
    }
  }
  fSectionName = SlideSectionName(fNumber);

  // Times of the slide and of the next one, from the timeline keys.
  int32_t count = times ? times->ReadInteger("opt_slidescount", 0) : 0;
  auto synch = [&](int64_t k) {
    return times ? static_cast<double>(times->ReadInteger("opt_synchpos" + std::to_string(k), 0))
                 : 0.0;
  };
  fStartTime = (fNumber >= 1 && fNumber <= count) ? synch(fNumber) : 0;
  fNextStartTime = (int64_t{fNumber} + 1 > count) ? fStartTime : synch(int64_t{fNumber} + 1);
  const TSlideTimeline& timeline = source.Timeline();
  TSlideInfo info = timeline.SlideInfo(fNumber);
  fInEffect = info.InEffectTime;
  fOutEffect = info.OutEffectTime;
  TNodeTiming actual{ClampToInt<int32_t>(SaturatingAdd(RoundTime(fNextStartTime - fStartTime),
                                                       RoundTime(fOutEffect))),
                     ClampToInt<int32_t>(RoundTime(fInEffect)),
                     ClampToInt<int32_t>(RoundTime(fOutEffect))};
  TKeyframeScaling scaling = timeline.KeyframeScaling(fNumber);
  fBackground = ReadSlideBackground(section, main);
  // The second colour is converted on its own only where it is used.
  fBackground.ManagedColour1 = fHost->ManagedColour(fBackground.Colour1);
  bool second = fBackground.Colour2 != fBackground.Colour1 &&
                fBackground.Style != TSlideBackground::TStyle::Solid;
  fBackground.ManagedColour2 =
      second ? fHost->ManagedColour(fBackground.Colour2) : fBackground.ManagedColour1;

  TVec3 camera = fHost->Camera();
  fPerspective = -camera.Z > 0 ? static_cast<float>(-camera.Z * kCotangent30 / fSize.Height)
                               : static_cast<float>(kCotangent30);

  TIniObject* rootBlock = section ? FindRootBlock(*section) : nullptr;
  if (!rootBlock) {
    fEmptyRoot = MakeRef<TIniObject>("Container", std::string(kRootClass));
    rootBlock = fEmptyRoot.Get();
  }
  if (!fRoot) {
    fRoot = MakeRef<TVivObjectProps>();
    fRoot->Owner = this;
    fProps = fRoot.Get();
  }
  if (scaling.Ratio != 0) {
    TNodeTiming authored{static_cast<int32_t>(scaling.Length),
                         static_cast<int32_t>(scaling.InEffect),
                         static_cast<int32_t>(scaling.OutEffect)};
    fRoot->Build(*rootBlock, authored);
    fRoot->Rescale(scaling.Ratio, actual);
  } else {
    fRoot->Build(*rootBlock, actual);
  }
  fRoot->Name = fSectionName;
  ReadKeys(*rootBlock);
  CreateChildren();
  fLastAnimated = -1e300;
}

double TVivSlide::GetSlideTime(int origin) const {
  switch (origin) {
    case 0: return fStartTime;
    case 1: return fStartTime + fInEffect;
    case 2: return fNextStartTime;
    default: return fNextStartTime + fOutEffect;
  }
}

void TVivSlide::UpdateGeometry(bool recursive) {
  TVivObject::UpdateGeometry(false);
  // The slide sits where the composition put it; its axes are its own turn and scale.
  fFrame.Origin = fOrigin;
  fFrame.UpdateDeterminant();
  if (recursive)
    for (auto& child : fChildren) child->UpdateGeometry(true);
}

void TVivSlide::AnimateSlide(double time) {
  if (time == fLastAnimated && !IsChanged() && !ContinuousUpdate) return;
  fLastAnimated = time;
  Animate(true, time);
}

void TVivSlide::Draw(TObjectDrawer& drawer) { drawer.DrawSlide(*this); }

void TVivSlide::ForEachObject(const std::function<void(TVivObject&)>& visit) {
  std::vector<TVivObject*> stack{this};
  while (!stack.empty()) {
    TVivObject* object = stack.back();
    stack.pop_back();
    visit(*object);
    for (size_t i = object->ChildCount(); i-- > 0;) stack.push_back(&object->Child(i));
  }
}

void TVivSlide::EstimateDrawnSizes() {
  // Every distinct keyframe time of the tree, in the order found depth first.
  std::vector<double> times;
  std::set<double> seen;
  std::vector<TVivObjectProps*> nodes{fRoot.Get()};
  while (!nodes.empty()) {
    TVivObjectProps* node = nodes.back();
    nodes.pop_back();
    for (const auto& key : node->KeyFrames)
      if (seen.insert(key->Time).second) times.push_back(key->Time);
    for (size_t i = node->Children.size(); i-- > 0;) nodes.push_back(node->Children[i].Get());
  }
  // Back to where the slide was last evaluated, however it was animated.
  double current = fRoot && fRoot->Time >= 0 ? fStartTime + fRoot->Time : fStartTime;
  const TVec3& camera = fHost->Camera();
  ResetDrawnSize();
  for (double t : times) {
    if (fHost->Interrupted && fHost->Interrupted()) break;
    Animate(true, fStartTime + t);
    AccumulateDrawnSize(camera);
  }
  if (times.empty()) {
    Animate(true, current);
    AccumulateDrawnSize(camera);
  }
  FinishDrawnSize(camera);
  // The slide's own value is its size at its scale.
  fMaxDrawnSize = {fSize.Width * Value(kScaleX) * 0.01f, fSize.Height * Value(kScaleY) * 0.01f};
  Animate(true, current);
  fLastAnimated = current;
}

TMouseResult TVivSlide::MouseEvent(TPointF point, int buttonState, int button, TMouseEvent event) {
  ForEachObject([](TVivObject& object) {
    if (auto* text = dynamic_cast<TVivText*>(&object)) text->SetState(0);
    if (auto* pushButton = dynamic_cast<TVivButton*>(&object)) pushButton->SetState(0);
  });
  TMouseResult result;
  constexpr int kLeftButton = 1;
  if (buttonState == 0 || buttonState == kLeftButtonHeld) {
    TVivObject* found =
        FindAt(point, [](const TVivObject& o, void*) { return !o.TranspForClick(); });
    if (found) {
      const TVivActionInfo& action = found->ParsedAction();
      auto* text = dynamic_cast<TVivText*>(found);
      auto* pushButton = dynamic_cast<TVivButton*>(found);
      auto setState = [&](int state) {
        if (text) text->SetState(state);
        if (pushButton) {
          pushButton->SetState(state);
          if (pushButton->ChildCount() > 0)
            if (auto* caption = dynamic_cast<TVivText*>(&pushButton->Child(0)))
              caption->SetState(state);
        }
      };
      bool clickable = (text || pushButton) && action.ActionKind != TActionKind::None;
      if (event == TMouseEvent::Move && clickable) {
        setState(buttonState == kLeftButtonHeld ? 2 : 1);
      } else if (event == TMouseEvent::Press && button == kLeftButton) {
        if (clickable) setState(2);
        found->SetPressed(true);
      } else if (event == TMouseEvent::Release && button == kLeftButton) {
        if (clickable) setState(1);
        if (found->Pressed()) result.Action = action;
      }
    }
    result.Object = found;
  }
  if (event == TMouseEvent::Release && button == kLeftButton) {
    // A press counts only for a release on the same object: every press ends here.
    ForEachObject([](TVivObject& object) { object.SetPressed(false); });
  }
  return result;
}

void InstallPictureLookupLink(TPictureLookupLink link) {
  std::lock_guard guard(gLookupLock);
  LookupLinks().insert(LookupLinks().begin(), link);
}

std::optional<TMainPicture> FindMainPicture(TVivObject& subtree) {
  std::vector<TPictureLookupLink> links;
  {
    std::lock_guard guard(gLookupLock);
    links = LookupLinks();
  }
  // Drawing order, searching into children.
  std::vector<TVivObject*> stack{&subtree};
  while (!stack.empty()) {
    TVivObject* object = stack.back();
    stack.pop_back();
    for (TPictureLookupLink link : links)
      if (auto found = link(*object)) return found;
    for (size_t i = object->ChildCount(); i-- > 0;) stack.push_back(&object->Child(i));
  }
  return std::nullopt;
}

}  // namespace viv
