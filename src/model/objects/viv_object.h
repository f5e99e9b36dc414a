// Live slide objects: what a description node becomes on a slide.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/ref_object.h"
#include "model/animation/object_props.h"
#include "model/geometry.h"
#include "model/objects/object_kinds.h"
#include "show/action_info.h"

namespace viv {

class TObjectDrawer;
class TVivSlide;
class TVivSlideHost;
class TVivImage;
class TVivBox;
class TVivViewPort;

// Anything the drawer can draw: slides, the frame root, overlays.
class TDrawItem : public TRefObject {
 public:
  virtual bool IsChanged() const = 0;
  virtual float GetBlur() const { return 0; }
  virtual void FrameDone(TObjectDrawer&) {}
  virtual void Draw(TObjectDrawer& drawer) = 0;
};

// Read access to a node's current values.
class TVivParams : public TDrawItem {
 public:
  TVivObjectProps* Props() const { return fProps; }
  float Value(int param) const { return fProps ? fProps->Values[static_cast<size_t>(param)] : 0; }
  float Opacity() const { return Value(kOpacity); }
  float Zoom() const { return Value(kFrameS); }

 protected:
  TVivObjectProps* fProps = nullptr;
};

enum class TFitMode : uint8_t { None = 0, PlaceInto = 1, Cover = 2 };
enum class TUnitMode : uint8_t { Absolute = 0, Percent = 1 };

struct TShadowParams {
  bool Enabled = false;
  float Size = 16;
  uint32_t Colour = 0xFF000000;         // 0xAARRGGBB
  uint32_t ManagedColour = 0xFF000000;  // as the display shows it
  float Opacity = 59;                   // percent
  float Distance = 1.5f;
  double Angle = 45;  // degrees
  int32_t SpreadIndex = 0;
  bool ThreeD = false;
};

// The drawer the objects draw through; the renderer implements it.
class TObjectDrawer {
 public:
  virtual ~TObjectDrawer() = default;
  // Draws an item (a child object, a borrowed slide, ...) with its own rules.
  virtual void DrawItem(TDrawItem& item) = 0;
  virtual void DrawImage(TVivImage& image) = 0;
  virtual void DrawBox(TVivBox& box) = 0;
  virtual void DrawViewPort(TVivViewPort& viewport) = 0;
  virtual void DrawSlide(TVivSlide& slide) = 0;
};

// Accepts or rejects objects for FindAt.
using TObjectFilterProc = bool (*)(const class TVivObject& object, void* argument);

class TVivObject : public TVivParams {
 public:
  // Links itself to the node (a node holds one object) and to its parent.
  TVivObject(TVivObject* parent, TVivObjectProps* node);

  // Constructs an object of class T and sets its class defaults.
  template <class T>
  static TRef<TVivObject> New(TVivObject* parent, TVivObjectProps* node) {
    TRef<TVivObject> object = MakeRef<T>(parent, node);
    object->InitDefaults();
    return object;
  }

  TVivObject* Parent() const { return fParent; }
  size_t ChildCount() const { return fChildren.size(); }
  TVivObject& Child(size_t index) const { return *fChildren[index]; }
  TObjectKind Kind() const {
    return fProps ? static_cast<TObjectKind>(fProps->Kind) : TObjectKind::None;
  }

  // --- drawing
  bool IsChanged() const override;
  float GetBlur() const override;
  void FrameDone(TObjectDrawer& drawer) override;
  void Draw(TObjectDrawer& drawer) override;
  virtual void DrawSelf(TObjectDrawer&) {}
  // Opacity in percent, scaled by the slide.
  virtual float GetOpacity() const;

  // --- loading
  void Load(TVivObjectProps& node, bool reuse);
  virtual void ReadKeys(const TIniObject& block);
  virtual void CreateChildren();

  // --- time and geometry
  // Evaluates at absolute time X; returns whether the object is in its window.
  virtual bool SetTime(bool recursive, double time);
  virtual void UpdateGeometry(bool recursive);
  void Animate(bool recursive, double time);
  virtual void CommitState(bool recursive);
  // Absolute time of an origin (0 SlideBegin ... 3 SlideEnd) of this object's slide.
  virtual double GetSlideTime(int origin) const;
  virtual TSizeF GetParentSize() const;
  virtual const TPlacementFrame& GetParentFrame() const;
  virtual TSizeF GetSourceSize() const { return fSize; }

  // --- interaction
  // The point in rectangle coordinates; true when it lies inside the rectangle.
  bool ToLocal(TPointF screen, TPointF& local) const;
  TVivObject* FindAt(TPointF screen, TObjectFilterProc filter = nullptr, void* argument = nullptr);
  TVivObject* HitTest(TPointF screen, bool recurse);
  virtual void SetPressed(bool pressed) { fPressed = pressed; }
  bool Pressed() const { return fPressed; }
  const std::string& Action() const { return fAction; }
  const TVivActionInfo& ParsedAction() const { return fParsedAction; }
  bool TranspForClick() const { return fTranspForClick; }

  // --- services
  virtual TVivSlideHost* GetHost() const;
  TVivSlide* GetSlide() const;
  // Shown by the HideMode test, in its window, not hidden by its parent.
  bool IsShown() const;
  bool SideTestShows() const;

  // --- state read by the drawer and tools
  bool Visible() const { return fVisible; }
  bool HiddenByParent() const { return fHiddenByParent; }
  TSizeF Size() const { return fSize; }
  void SetSize(TSizeF size);
  const TPlacementFrame& Frame() const { return fFrame; }
  const TMat3& Orientation() const { return fOrientation; }
  TPointF RectOrigin() const { return fRectOrigin; }
  bool FrameValid() const { return fFrame.Valid; }
  const TShadowParams& Shadow() const { return fShadow; }
  // The shadow's screen offset from the object.
  TPointF ShadowOffset() const;
  // The length the shadow distance is a percentage of.
  virtual float ShadowBaseSize() const;
  void SetShadowEnable(bool enabled);
  void SetShadowDistance(float distance);
  void SetShadowAngle(double angle);
  TFitMode FitMode() const { return fFitMode; }
  // The fit factor into the parent (0 when a dividing side is 0).
  float FitFactor() const;
  // Largest drawn size over the slide's keyframe times, and the nearest depth.
  TSizeF MaxDrawnSize() const { return fMaxDrawnSize; }
  void ResetDrawnSize();
  void AccumulateDrawnSize(const TVec3& camera);
  void FinishDrawnSize(const TVec3& camera);

  // Called by the node when it goes away.
  void NodeDestroyed();
  // A key's colour through the show's colour transform.
  uint32_t ManagedColour(uint32_t colour) const;
  void MarkChanged() { fChanged = true; }

 protected:
  void Cleanup() override;
  virtual void InitDefaults() {}
  // Recomputes fSize; the base keeps it as it is.
  virtual void UpdateSize() {}
  void RemoveChild(TVivObject& child);
  void Unparent() {
    fParent = nullptr;
    fSlide = nullptr;
  }

  TVivObject* fParent = nullptr;
  std::vector<TRef<TVivObject>> fChildren;
  bool fChanged = true;
  bool fGeometryChanged = true;
  std::string fAction;
  TVivActionInfo fParsedAction;
  bool fTranspForClick = false;
  bool fPressed = false;
  TShadowParams fShadow;
  int32_t fHideMode = 0;
  bool fChildInvis = false;
  bool fHiddenByParent = false;
  TFitMode fFitMode = TFitMode::PlaceInto;
  TUnitMode fPosMode = TUnitMode::Percent;
  TUnitMode fCenterMode = TUnitMode::Percent;
  TSizeF fSize;
  TMat3 fOrientation;
  TPlacementFrame fFrame;
  TPointF fRectOrigin;
  bool fVisible = false;
  // As drawn last.
  float fCommittedOpacity = -1, fCommittedBlur = -1;
  TRectF fCommittedSource;
  TSizeF fMaxDrawnSize;
  float fMaxWidthRaw = 0, fMaxHeightRaw = 0, fMinDepth = 0;
  bool fDrawnSizeStarted = false;
  mutable TVivSlide* fSlide = nullptr;  // the root, once found
};

// The block's "Size" as whole units; the fallback when the key is missing.
TSizeF ReadSizeKey(const TIniObject& block, TSizeF fallback);

// The factory chain: (kind, parent, node) -> new object. Links are installed
// in front of the ones before them; a link answers none for kinds it does not
// make, which passes them on.
using TObjectFactoryLink = TRef<TVivObject> (*)(uint8_t kind, TVivObject* parent,
                                                TVivObjectProps* node);
void InstallObjectFactoryLink(TObjectFactoryLink link);
TRef<TVivObject> CreateVivObject(uint8_t kind, TVivObject* parent, TVivObjectProps* node);

}  // namespace viv
