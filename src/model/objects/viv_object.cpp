#include "model/objects/viv_object.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

#include "base/text.h"
#include "model/objects/viv_box.h"
#include "model/objects/viv_button.h"
#include "model/objects/viv_image.h"
#include "model/objects/viv_mask_layer.h"
#include "model/objects/viv_slide.h"
#include "model/objects/viv_text.h"
#include "model/objects/viv_viewport.h"
#include "model/placement.h"

namespace viv {
namespace {

constexpr double kWindowTolerance = 0.00001;  // ms
constexpr float kPercentToHalf = 0.005f;      // percent of a size, measured from the centre
constexpr float kDepthDivisor = 200;
constexpr float kMinSolveDeterminant = 1e-12f;
// Of the way from the camera to the screen: planes met no further out are not seen.
constexpr float kMinRayFraction = 1e-6f;

double Radians(double degrees) { return degrees * std::numbers::pi / 180; }

TFitMode ReadFitMode(const TIniObject& block, TFitMode current) {
  int index = block.ReadIndex("FitMode", {"None", "PlaceInto", "Cover"}, static_cast<int>(current));
  return static_cast<TFitMode>(index);
}

TUnitMode ReadUnitMode(const TIniObject& block, std::string_view key, TUnitMode current) {
  return static_cast<TUnitMode>(
      block.ReadIndex(key, {"Absolute", "Percent"}, static_cast<int>(current)));
}

bool SameFrame(const TPlacementFrame& a, const TPlacementFrame& b) {
  return a.Origin == b.Origin && a.AxisX == b.AxisX && a.AxisY == b.AxisY && a.AxisZ == b.AxisZ &&
         a.Valid == b.Valid;
}

// The chain, newest link first; the model's own kinds are always at its end.
std::mutex gFactoryLock;
std::vector<TObjectFactoryLink>& FactoryLinks();

TRef<TVivObject> BaseKinds(uint8_t kind, TVivObject* parent, TVivObjectProps* node) {
  switch (static_cast<TObjectKind>(kind)) {
    case TObjectKind::Frame:
    case TObjectKind::Box:
    case TObjectKind::Splitter: return TVivObject::New<TVivBox>(parent, node);
    case TObjectKind::Image:
    case TObjectKind::AniImage: return TVivObject::New<TVivImage>(parent, node);
    case TObjectKind::Text: return TVivObject::New<TVivText>(parent, node);
    case TObjectKind::Button: return TVivObject::New<TVivButton>(parent, node);
    default: return nullptr;
  }
}

TRef<TVivObject> ViewPortKinds(uint8_t kind, TVivObject* parent, TVivObjectProps* node) {
  switch (static_cast<TObjectKind>(kind)) {
    case TObjectKind::ViewPort: return TVivObject::New<TVivViewPort>(parent, node);
    case TObjectKind::MaskStencil: return TVivObject::New<TVivMaskStencil>(parent, node);
    case TObjectKind::MaskContent: return TVivObject::New<TVivMaskContent>(parent, node);
    default: return nullptr;
  }
}

std::vector<TObjectFactoryLink>& FactoryLinks() {
  static std::vector<TObjectFactoryLink> links{&ViewPortKinds, &BaseKinds};
  return links;
}

}  // namespace

void InstallObjectFactoryLink(TObjectFactoryLink link) {
  std::lock_guard guard(gFactoryLock);
  FactoryLinks().insert(FactoryLinks().begin(), link);
}

TRef<TVivObject> CreateVivObject(uint8_t kind, TVivObject* parent, TVivObjectProps* node) {
  std::vector<TObjectFactoryLink> links;
  {
    std::lock_guard guard(gFactoryLock);
    links = FactoryLinks();
  }
  for (TObjectFactoryLink link : links)
    if (auto object = link(kind, parent, node)) return object;
  return nullptr;
}

// --- construction and loading

TVivObject::TVivObject(TVivObject* parent, TVivObjectProps* node) : fParent(parent) {
  if (node) {
    VIV_ASSERT(!node->Owner, "TVivObjectProps already has an object");
    node->Owner = this;
    fProps = node;
  }
  if (parent) parent->fChildren.push_back(TRef<TVivObject>(this));
}

void TVivObject::Cleanup() {
  // Nothing holds this object any more, so no parent list has it either.
  std::vector<TRef<TVivObject>> children = std::move(fChildren);
  fChildren.clear();
  for (auto& child : children) child->Unparent();
  children.clear();
  if (fProps) fProps->Owner = nullptr;
  fProps = nullptr;
  Unparent();
  TVivParams::Cleanup();
}

uint32_t TVivObject::ManagedColour(uint32_t colour) const {
  TVivSlideHost* host = GetHost();
  return host ? host->ManagedColour(colour) : colour;
}

void TVivObject::NodeDestroyed() {
  TRef<TVivObject> keep(this);
  fProps = nullptr;
  if (fParent) fParent->RemoveChild(*this);
}

void TVivObject::RemoveChild(TVivObject& child) {
  auto it = std::find_if(fChildren.begin(), fChildren.end(),
                         [&](const TRef<TVivObject>& c) { return c.Get() == &child; });
  if (it == fChildren.end()) return;
  child.Unparent();
  fChildren.erase(it);
  fChanged = true;
}

void TVivObject::Load(TVivObjectProps& node, bool) {
  ReadKeys(*node.Block);
  CreateChildren();
}

void TVivObject::ReadKeys(const TIniObject& block) {
  fFitMode = ReadFitMode(block, fFitMode);
  fPosMode = ReadUnitMode(block, "PosMode", fPosMode);
  fCenterMode = ReadUnitMode(block, "CenterMode", fCenterMode);
  fTranspForClick = block.ReadBool("TranspForClick", fTranspForClick);
  fShadow.Enabled = block.ReadBool("ShadowEnable", fShadow.Enabled);
  fShadow.Size = static_cast<float>(block.ReadReal("ShadowSize", fShadow.Size));
  if (block.FindItem("ShadowColor"))
    fShadow.Colour = 0xFF000000 | (block.ReadColour("ShadowColor", fShadow.Colour) & 0xFFFFFF);
  fShadow.Opacity = static_cast<float>(block.ReadReal("ShadowOpacity", fShadow.Opacity));
  fShadow.Distance = static_cast<float>(block.ReadReal("ShadowDistance", fShadow.Distance));
  fShadow.Angle = block.ReadReal("ShadowAngle", fShadow.Angle);
  fShadow.SpreadIndex = block.ReadInteger("ShadowSpreadIndex", fShadow.SpreadIndex);
  fShadow.ThreeD = block.ReadBool("3DShadow", fShadow.ThreeD);
  fShadow.ManagedColour = fShadow.Enabled ? ManagedColour(fShadow.Colour) : fShadow.Colour;
  fHideMode = block.ReadInteger("HideMode", 0);
  fChildInvis = block.ReadBool("ChildInvis", false);
  fAction = block.ReadText("Action");
  fParsedAction = ParseActionText(fAction);
  fChanged = true;
}

void TVivObject::CreateChildren() {
  std::vector<TRef<TVivObject>> previous = std::move(fChildren);
  fChildren.clear();
  if (!fProps) return;
  for (auto& node : fProps->Children) {
    if (TVivObject* existing = node->Owner) {
      existing->fParent = this;
      fChildren.push_back(TRef<TVivObject>(existing));
      existing->Load(*node, true);
      continue;
    }
    // Kinds the chain does not make get no object: their subtree is not shown.
    if (auto created = CreateVivObject(node->Kind, this, node.Get())) created->Load(*node, false);
  }
  fChanged = true;
}

// --- time and geometry

double TVivObject::GetSlideTime(int origin) const {
  TVivSlide* slide = GetSlide();
  return slide ? slide->GetSlideTime(origin) : 0;
}

bool TVivObject::SetTime(bool recursive, double time) {
  bool visible = false;
  if (fProps) {
    fProps->EvaluateSelf(time - GetSlideTime(0));
    visible = time > GetSlideTime(0) + fProps->DeltaTime1 - kWindowTolerance &&
              time < GetSlideTime(3) - fProps->DeltaTime2 + kWindowTolerance;
  }
  if (visible != fVisible) fGeometryChanged = true;
  fVisible = visible;
  if (recursive)
    for (auto& child : fChildren) child->SetTime(true, time);
  return fVisible;
}

TSizeF TVivObject::GetParentSize() const { return fParent ? fParent->fSize : fSize; }

const TPlacementFrame& TVivObject::GetParentFrame() const {
  static const TPlacementFrame identity;
  return fParent ? fParent->fFrame : identity;
}

float TVivObject::FitFactor() const { return viv::FitFactor(fFitMode, fSize, GetParentSize()); }

void TVivObject::UpdateGeometry(bool recursive) {
  UpdateSize();
  TSizeF parentSize = GetParentSize();
  float k = fParent ? FitFactor() : 1;
  double sx = Value(kScaleX) * k * 0.01, sy = Value(kScaleY) * k * 0.01;
  double a = Radians(Value(kAngleX)), b = Radians(Value(kAngleY)), c = Radians(Value(kAngle));
  double cA = std::cos(a), sA = std::sin(a), cB = std::cos(b), sB = std::sin(b), cC = std::cos(c),
         sC = std::sin(c);
  TMat3 r;
  float rows[3][3] = {
      {static_cast<float>(sx * cB * cC), static_cast<float>(sx * cB * sC),
       static_cast<float>(sx * sB)},
      {static_cast<float>(sy * (sA * sB * cC - cA * sC)),
       static_cast<float>(sy * (sA * sB * sC + cA * cC)), static_cast<float>(sy * -sA * cB)},
      {static_cast<float>(sy * -(cA * sB * cC + sA * sC)),
       static_cast<float>(sy * (-cA * sB * sC + sA * cC)), static_cast<float>(sy * cA * cB)},
  };
  std::copy(&rows[0][0], &rows[0][0] + 9, &r.M[0][0]);
  fOrientation = fParent ? r * fParent->fOrientation : r;

  TVivSlide* slide = GetSlide();
  float perspective = slide ? slide->PerspectiveFactor() : 1;
  TPlacementFrame frame;
  frame.AxisX = fOrientation.Row(0);
  frame.AxisY = fOrientation.Row(1);
  frame.AxisZ = fOrientation.Row(2);
  for (TVec3* axis : {&frame.AxisX, &frame.AxisY, &frame.AxisZ}) axis->Z *= perspective;
  float x = Value(kPosX), y = Value(kPosY);
  if (fPosMode == TUnitMode::Percent) {
    x *= parentSize.Width * kPercentToHalf;
    y *= parentSize.Height * kPercentToHalf;
  }
  float depth = Value(kPosZ) * parentSize.Height / kDepthDivisor;
  frame.Origin = GetParentFrame().Point(x, y, depth);
  frame.UpdateDeterminant();

  VIV_ASSERT(fCenterMode == TUnitMode::Percent, "CenterMode Absolute is not supported");
  TPointF rectOrigin{-Value(kCenterX) * fSize.Width * kPercentToHalf - fSize.Width / 2,
                     -Value(kCenterY) * fSize.Height * kPercentToHalf - fSize.Height / 2};

  bool hidden =
      fParent && ((fParent->fChildInvis && !fParent->SideTestShows()) || fParent->fHiddenByParent);
  if (!SameFrame(frame, fFrame) || rectOrigin.X != fRectOrigin.X || rectOrigin.Y != fRectOrigin.Y ||
      hidden != fHiddenByParent || GetOpacity() != fCommittedOpacity || GetBlur() != fCommittedBlur)
    fGeometryChanged = true;
  fFrame = frame;
  fRectOrigin = rectOrigin;
  fHiddenByParent = hidden;
  if (recursive)
    for (auto& child : fChildren) child->UpdateGeometry(true);
}

void TVivObject::Animate(bool recursive, double time) {
  SetTime(recursive, time);
  UpdateGeometry(recursive);
}

void TVivObject::CommitState(bool recursive) {
  fCommittedOpacity = GetOpacity();
  fCommittedBlur = GetBlur();
  fChanged = false;
  fGeometryChanged = false;
  if (fProps) fProps->SeenCounter = fProps->StructureCounter;
  if (recursive)
    for (auto& child : fChildren) child->CommitState(true);
}

void TVivObject::SetSize(TSizeF size) {
  if (size == fSize) return;
  fSize = size;
  fChanged = true;
}

float TVivObject::ShadowBaseSize() const { return std::sqrt(fSize.Width * fSize.Height); }

TPointF TVivObject::ShadowOffset() const {
  return ShadowDisplacement(fFrame.AxisX, fFrame.AxisY, fShadow.Distance, fShadow.Angle,
                            ShadowBaseSize(), fShadow.ThreeD);
}

void TVivObject::SetShadowEnable(bool enabled) {
  if (enabled == fShadow.Enabled) return;
  fShadow.Enabled = enabled;
  fChanged = true;
}

void TVivObject::SetShadowDistance(float distance) {
  if (distance == fShadow.Distance) return;
  fShadow.Distance = distance;
  fChanged = true;
}

void TVivObject::SetShadowAngle(double angle) {
  if (angle == fShadow.Angle) return;
  fShadow.Angle = angle;
  fChanged = true;
}

// --- drawing

bool TVivObject::IsChanged() const {
  if (fChanged || fGeometryChanged) return true;
  return std::any_of(fChildren.begin(), fChildren.end(),
                     [](const TRef<TVivObject>& child) { return child->IsChanged(); });
}

float TVivObject::GetBlur() const {
  TVivSlide* slide = GetSlide();
  float width = slide ? slide->Size().Width : fSize.Width;
  return width * Value(kBlur) * 0.01f;
}

float TVivObject::GetOpacity() const {
  TVivSlide* slide = GetSlide();
  float scale = slide ? slide->GetOpacityScale() : 100;
  return scale * Opacity() / 100;
}

void TVivObject::FrameDone(TObjectDrawer& drawer) {
  for (auto& child : fChildren) child->FrameDone(drawer);
}

bool TVivObject::SideTestShows() const {
  if (fHideMode == 0) return true;
  TVivSlideHost* host = GetHost();
  if (!host) return true;
  float facing = SideFacing(fFrame, host->Camera());
  if (facing < 0) return fHideMode == 0 || fHideMode == 1;
  return (fHideMode & 1) == 0;
}

bool TVivObject::IsShown() const { return fVisible && !fHiddenByParent && SideTestShows(); }

void TVivObject::Draw(TObjectDrawer& drawer) {
  if (IsShown()) DrawSelf(drawer);
  CommitState(false);
  for (auto& child : fChildren) drawer.DrawItem(*child);
}

// --- services

TVivSlideHost* TVivObject::GetHost() const { return fParent ? fParent->GetHost() : nullptr; }

TVivSlide* TVivObject::GetSlide() const {
  // An object's tree never changes its root, and geometry asks for it often.
  if (!fSlide) {
    const TVivObject* root = this;
    while (root->fParent) root = root->fParent;
    fSlide = dynamic_cast<TVivSlide*>(const_cast<TVivObject*>(root));
  }
  return fSlide;
}

// --- interaction

bool TVivObject::ToLocal(TPointF screen, TPointF& local) const {
  if (!fFrame.Valid) return false;
  TVivSlideHost* host = GetHost();
  TVec3 camera = host ? host->Camera() : TVec3{screen.X, screen.Y, -1};
  // The ray from the camera through the screen point meets the object's plane:
  // origin + u X + v Y = camera + t (point - camera).
  TVec3 direction = TVec3{screen.X, screen.Y, 0} - camera;
  TVec3 rhs = camera - fFrame.Origin;
  TVec3 negative = direction * -1;
  float det = Dot(fFrame.AxisX, Cross(fFrame.AxisY, negative));
  if (std::fabs(det) < kMinSolveDeterminant) return false;
  float u = Dot(rhs, Cross(fFrame.AxisY, negative)) / det;
  float v = Dot(fFrame.AxisX, Cross(rhs, negative)) / det;
  // An edge-on plane through the camera meets every ray at the camera itself,
  // and planes behind it are not seen at all.
  float t = Dot(fFrame.AxisX, Cross(fFrame.AxisY, rhs)) / det;
  if (t <= kMinRayFraction) return false;
  local = {u - fRectOrigin.X, v - fRectOrigin.Y};
  return local.X >= 0 && local.Y >= 0 && local.X <= fSize.Width && local.Y <= fSize.Height;
}

TVivObject* TVivObject::FindAt(TPointF screen, TObjectFilterProc filter, void* argument) {
  if (fHiddenByParent) return nullptr;
  for (auto it = fChildren.rbegin(); it != fChildren.rend(); ++it)
    if (TVivObject* found = (*it)->FindAt(screen, filter, argument)) return found;
  if (!fVisible || !SideTestShows()) return nullptr;
  TPointF local;
  if (!ToLocal(screen, local)) return nullptr;
  if (filter && !filter(*this, argument)) return nullptr;
  return this;
}

TVivObject* TVivObject::HitTest(TPointF screen, bool recurse) {
  if (recurse) return FindAt(screen);
  TPointF local;
  return ToLocal(screen, local) ? this : nullptr;
}

// --- drawn-size estimate

void TVivObject::ResetDrawnSize() {
  fMaxWidthRaw = fMaxHeightRaw = 0;
  fMinDepth = 0;
  fDrawnSizeStarted = false;
  for (auto& child : fChildren) child->ResetDrawnSize();
}

void TVivObject::AccumulateDrawnSize(const TVec3& camera) {
  float x0 = fRectOrigin.X, y0 = fRectOrigin.Y, x1 = x0 + fSize.Width, y1 = y0 + fSize.Height;
  TVec3 p0 = fFrame.Point(x0, y0), p1 = fFrame.Point(x1, y0), p2 = fFrame.Point(x1, y1),
        p3 = fFrame.Point(x0, y1);
  float zoom = Zoom() * 0.01f;
  float width = zoom * std::max((p1 - p0).Length(), (p2 - p3).Length());
  float height = zoom * std::max((p3 - p0).Length(), (p2 - p1).Length());
  float depth = std::min({p0.Z, p1.Z, p2.Z, p3.Z});
  fMaxWidthRaw = std::max(fMaxWidthRaw, width);
  fMaxHeightRaw = std::max(fMaxHeightRaw, height);
  fMinDepth = fDrawnSizeStarted ? std::min(fMinDepth, depth) : depth;
  fDrawnSizeStarted = true;
  for (auto& child : fChildren) child->AccumulateDrawnSize(camera);
}

void TVivObject::FinishDrawnSize(const TVec3& camera) {
  float q = fMinDepth > camera.Z ? 1 / (1 - fMinDepth / camera.Z) : 1;
  fMaxDrawnSize = {fMaxWidthRaw * q, fMaxHeightRaw * q};
  for (auto& child : fChildren) child->FinishDrawnSize(camera);
}

TSizeF ReadSizeKey(const TIniObject& block, TSizeF fallback) {
  if (!block.FindItem("Size")) return fallback;
  TCommaList size = block.ReadList("Size");
  return {static_cast<float>(size.ReadInteger(0, 0)), static_cast<float>(size.ReadInteger(1, 0))};
}

}  // namespace viv
