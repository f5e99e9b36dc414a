#include "model/object_filter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <list>
#include <mutex>
#include <numbers>

#include "base/exceptions.h"
#include "base/guid.h"
#include "base/text.h"
#include "project/value_syntax.h"

namespace viv {
namespace {

constexpr uint32_t kOpaque = 0xFF000000;

struct TRgb {
  int R, G, B;
};

TRgb Channels(uint32_t pixel) {
  return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
          static_cast<int>(pixel & 0xFF)};
}

uint32_t Pixel(int r, int g, int b) {
  return kOpaque | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
         static_cast<uint32_t>(b);
}

int LimitByte(int v) { return std::clamp(v, 0, 255); }

// Rounds halves to even, like the expression language; NaN reads as 0.
int RoundToByte(double v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<int>(std::nearbyint(v));
}

size_t EntryCount(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  return static_cast<size_t>(width) * static_cast<size_t>(height);
}

// Per-channel filters compute their 256 outputs once per table.
using TChannelMap = std::array<uint8_t, 256>;

void ApplyChannelMap(const TChannelMap& map, uint32_t* pixels, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    TRgb c = Channels(pixels[i]);
    pixels[i] = Pixel(map[c.R], map[c.G], map[c.B]);
  }
}

std::string ColourText(uint32_t colour) {
  TRgb c = Channels(colour);
  uint32_t alpha = colour >> 24;
  char text[32];
  if (alpha != 255)
    std::snprintf(text, sizeof text, "%d,%d,%d,%u", c.R, c.G, c.B, alpha);
  else
    std::snprintf(text, sizeof text, "%d,%d,%d", c.R, c.G, c.B);
  return text;
}

}  // namespace

// --- Tables

std::vector<uint32_t> MakeIdentityGrid() {
  std::vector<uint32_t> grid(static_cast<size_t>(kLutGridWidth) * kLutGridHeight);
  for (int i = 0; i < kLutGridSize; ++i)
    for (int j = 0; j < kLutGridSize; ++j)
      for (int k = 0; k < kLutGridSize; ++k)
        grid[LutGridIndex(i, j, k)] = Pixel(LutGridLevel(k), LutGridLevel(j), LutGridLevel(i));
  return grid;
}

std::vector<uint32_t> MakeIdentityCurve() {
  std::vector<uint32_t> curve(kLutCurveWidth);
  for (int x = 0; x < kLutCurveWidth; ++x) curve[static_cast<size_t>(x)] = Pixel(x, x, x);
  return curve;
}

// --- TObjectFilter

void TObjectFilter::ApplyToLut(uint32_t*, int, int) const {}

double TObjectFilter::EvaluateValue(const TModInputs&) const { return 0; }

void TObjectFilter::AttachBlock(const TIniObject& block) {
  fBlock = TRef<const TIniObject>(&block);
  fId = block.ReadText("id");
  fRevision = block.ReadInt64("$rev", 0);
  fDisabled = block.ReadInteger("Disable", 0) != 0;
  fChanged = true;
}

// --- TParamFilter

TParamFilter::TParamFilter(std::span<const TFilterParamInfo> infos) : fInfos(infos) {
  for (const TFilterParamInfo& info : fInfos) fValues.push_back(static_cast<int32_t>(info.Default));
}

int32_t TParamFilter::ParseParam(const TFilterParamInfo& info, std::string_view text,
                                 int32_t fallback) {
  if (info.Type == TParamType::Color)
    return static_cast<int32_t>(ParseColour(text, static_cast<uint32_t>(fallback)));
  std::optional<double> value = ParseReal(text);
  if (!value) return fallback;
  return static_cast<int32_t>(std::nearbyint(std::clamp(*value, info.Min, info.Max)));
}

void TParamFilter::ReadParams(const TIniObject& block) {
  for (size_t i = 0; i < fInfos.size(); ++i) {
    const TFilterParamInfo& info = fInfos[i];
    int32_t fallback = static_cast<int32_t>(info.Default);
    TIniItem* item = block.FindItem(info.Name, TIniClass::Plain);
    fValues[i] = item ? ParseParam(info, item->Value(), fallback) : fallback;
  }
  MarkChanged();
}

std::string TParamFilter::GetParamText(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= fValues.size()) return {};
  int32_t value = fValues[static_cast<size_t>(index)];
  if (fInfos[static_cast<size_t>(index)].Type == TParamType::Color)
    return ColourText(static_cast<uint32_t>(value));
  return std::to_string(value);
}

void TParamFilter::SetParamText(int index, std::string_view text) {
  if (index < 0 || static_cast<size_t>(index) >= fValues.size()) return;
  int32_t& value = fValues[static_cast<size_t>(index)];
  int32_t parsed = ParseParam(fInfos[static_cast<size_t>(index)], text, value);
  if (parsed != value) {
    value = parsed;
    MarkChanged();
  }
  ParamSet();
}

// --- Linear filters

void TLinearGenerator::ApplyToLut(uint32_t* pixels, int width, int height) const {
  double k = 1, d = 0;
  Coefficients(k, d);
  TChannelMap map;
  for (int in = 0; in < 256; ++in) map[static_cast<size_t>(in)] = RoundToByte(in * k + d);
  ApplyChannelMap(map, pixels, EntryCount(width, height));
}

namespace {

constexpr double kSlopeLimit = 10000;
// Within this of upright or flat the slope is taken as its limit: 1 / tan of
// the flat angle in doubles is 6e-17, not 0, which split the flat line into
// two greys (127 and 128).
constexpr double kAngleSnap = 0.001;

const TFilterParamInfo kBrightContrastParams[] = {
    {"bright", "Brightness", TParamType::Int, -100, 100, 0},
    {"contrast", "Contrast", TParamType::Int, -100, 100, 0},
};

}  // namespace

TBrightContrastGenerator::TBrightContrastGenerator() : TLinearGenerator(kBrightContrastParams) {}

void TBrightContrastGenerator::Coefficients(double& k, double& d) const {
  double bright = Param(kBright), contrast = Param(kContrast);
  // Contrast turns the line y = x about the middle: 100 stands it upright, -100 lays it flat.
  double angle = (100 - contrast) * std::numbers::pi * 0.0025;
  if (std::fabs(angle) <= kAngleSnap)
    k = kSlopeLimit;
  else if (std::fabs(angle - std::numbers::pi / 2) <= kAngleSnap)
    k = 0;
  else
    k = std::min(kSlopeLimit, std::max(0.0, 1 / std::tan(angle)));
  d = ((1 - k) * 0.5 + k * bright / 255) * 255;
}

void TInvertColor::Coefficients(double& k, double& d) const {
  k = -1;
  d = 255;
}

// --- Levels

namespace {

constexpr double kMinGamma = 0.1;
constexpr double kMaxGamma = 10;

const TFilterParamInfo kLevelsParams[] = {
    {"Min", "Black point", TParamType::Int, 0, 255, 0},
    {"Med", "Midtones", TParamType::Int, -100, 100, 0},
    {"Max", "White point", TParamType::Int, 0, 255, 255},
};

}  // namespace

TLevelsGenerator::TLevelsGenerator() : TParamFilter(kLevelsParams) {}

void TLevelsGenerator::ApplyToLut(uint32_t* pixels, int width, int height) const {
  int min = Param(kMin), med = Param(kMed), max = Param(kMax);
  double scale = max == min ? 1 : 1.0 / (max - min);
  double gamma = med == -100 ? kMaxGamma : (100.0 - med) / (100.0 + med);
  gamma = std::clamp(gamma, kMinGamma, kMaxGamma);
  TChannelMap map;
  for (int in = 0; in < 256; ++in) {
    // With Max below Min the scale is negative; a negative base would make
    // the power NaN, and it limits to 0 anyway.
    double x = std::max(0.0, std::max(0, in - min) * scale);
    map[static_cast<size_t>(in)] = RoundToByte(255 * std::pow(x, gamma));
  }
  ApplyChannelMap(map, pixels, EntryCount(width, height));
}

// --- Colorization

namespace {

// Luminance weights in 1/65536 as shows were authored with them. They sum to a
// little more than 65536, so greys come out slightly lighter; results are
// limited to 255.
constexpr int kLumaRed = 13933;
constexpr int kLumaGreen = 46871;
constexpr int kLumaBlue = 7471;
constexpr int kAmountScale = 256;

const TFilterParamInfo kColorizationParams[] = {
    {"Color", "Color", TParamType::Color, 0, 0,
     static_cast<double>(static_cast<int32_t>(TColorizationGenerator::kDefaultColor))},
    {"Amount", "Amount", TParamType::Int, 0, 100, 100},
};

int PullToward(int in, int target, int amount) {
  int product = amount * (target - in);
  // A signed shift floors; adding 255 first makes it truncate toward 0.
  if (product < 0) product += 255;
  return LimitByte(in + (product >> 8));
}

}  // namespace

TColorizationGenerator::TColorizationGenerator() : TParamFilter(kColorizationParams) {}

void TColorizationGenerator::ReadParams(const TIniObject& block) {
  TParamFilter::ReadParams(block);
  fPreset = block.ReadText("Preset");
}

int TColorizationGenerator::Luminance(int r, int g, int b) {
  return (r * kLumaRed + g * kLumaGreen + b * kLumaBlue) >> 16;
}

int TColorizationGenerator::Target(int, int c, int luminance) const { return luminance * c >> 7; }

int TColorMultiply::Target(int in, int c, int) const { return c * in / 256; }

int TDoubleColorMultiply::Target(int in, int c, int) const { return std::min(255, c * in >> 7); }

void TColorizationGenerator::ApplyToLut(uint32_t* pixels, int width, int height) const {
  TRgb colour = Channels(static_cast<uint32_t>(Param(kColor)));
  int amount = static_cast<int>(std::nearbyint(Param(kAmount) / 100.0 * kAmountScale));
  size_t count = EntryCount(width, height);
  for (size_t i = 0; i < count; ++i) {
    TRgb c = Channels(pixels[i]);
    int luminance = Luminance(c.R, c.G, c.B);
    pixels[i] = Pixel(PullToward(c.R, Target(c.R, colour.R, luminance), amount),
                      PullToward(c.G, Target(c.G, colour.G, luminance), amount),
                      PullToward(c.B, Target(c.B, colour.B, luminance), amount));
  }
}

// --- HSL

namespace {

constexpr double kHueSteps = 256;
constexpr double kPercentSteps = 2.56;

const TFilterParamInfo kHslParams[] = {
    {"Hue", "Hue", TParamType::Int, -180, 180, 0},
    {"Saturation", "Saturation", TParamType::Int, -100, 100, 0},
    {"Lightness", "Lightness", TParamType::Int, -100, 100, 0},
};

// Hue in [0, 256), saturation and lightness in [0, 255].
struct THsl {
  double H, S, L;
};

THsl ToHsl(TRgb c) {
  double r = c.R / 255.0, g = c.G / 255.0, b = c.B / 255.0;
  double max = std::max({r, g, b}), min = std::min({r, g, b});
  double l = (max + min) / 2;
  if (max == min) return {0, 0, l * 255};
  double d = max - min;
  double s = l > 0.5 ? d / (2 - max - min) : d / (max + min);
  double sector;  // hue in sixths of the circle
  if (max == r)
    sector = (g - b) / d + (g < b ? 6 : 0);
  else if (max == g)
    sector = (b - r) / d + 2;
  else
    sector = (r - g) / d + 4;
  return {sector / 6 * kHueSteps, s * 255, l * 255};
}

double HueChannel(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 1.0 / 2) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

TRgb FromHsl(THsl hsl) {
  double h = hsl.H / kHueSteps, s = hsl.S / 255, l = hsl.L / 255;
  if (s == 0) {
    int grey = RoundToByte(l * 255);
    return {grey, grey, grey};
  }
  double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
  double p = 2 * l - q;
  return {RoundToByte(HueChannel(p, q, h + 1.0 / 3) * 255), RoundToByte(HueChannel(p, q, h) * 255),
          RoundToByte(HueChannel(p, q, h - 1.0 / 3) * 255)};
}

}  // namespace

THSLGenerator::THSLGenerator() : TParamFilter(kHslParams) {}

void THSLGenerator::ApplyToLut(uint32_t* pixels, int width, int height) const {
  double hueShift = std::nearbyint(Param(kHue) / 360.0 * kHueSteps);
  double saturationShift = std::nearbyint(Param(kSaturation) * kPercentSteps);
  double lightnessShift = std::nearbyint(Param(kLightness) * kPercentSteps);
  size_t count = EntryCount(width, height);
  for (size_t i = 0; i < count; ++i) {
    THsl hsl = ToHsl(Channels(pixels[i]));
    hsl.H = std::fmod(hsl.H + hueShift, kHueSteps);
    if (hsl.H < 0) hsl.H += kHueSteps;
    hsl.S = std::clamp(hsl.S + saturationShift, 0.0, 255.0);
    hsl.L = std::clamp(hsl.L + lightnessShift, 0.0, 255.0);
    TRgb c = FromHsl(hsl);
    pixels[i] = Pixel(c.R, c.G, c.B);
  }
}

// --- Registry

namespace {

struct TFilterEntry {
  std::string Name;
  TFilterFactory Factory;
};

template <class T>
TRef<TObjectFilter> Make() {
  return MakeRef<T>();
}

class TFilterRegistry {
 public:
  static TFilterRegistry& Instance() {
    static TFilterRegistry registry;
    return registry;
  }
  void Add(std::string name, TFilterFactory factory) {
    std::lock_guard lock(fLock);
    fEntries.push_front({std::move(name), factory});
  }
  TFilterFactory Find(std::string_view name) {
    std::lock_guard lock(fLock);
    for (const TFilterEntry& entry : fEntries)
      if (SameText(entry.Name, name)) return entry.Factory;
    return nullptr;
  }

 private:
  TFilterRegistry() {
    Add("Levels", Make<TLevelsGenerator>);
    Add("Colorization", Make<TColorizationGenerator>);
    Add("BrightContrast", Make<TBrightContrastGenerator>);
    Add("HSL", Make<THSLGenerator>);
    Add("Colorisation2", Make<TColorMultiply>);
    Add("Colorisation3", Make<TDoubleColorMultiply>);
    Add("Invert", Make<TInvertColor>);
  }

  std::mutex fLock;
  std::list<TFilterEntry> fEntries;
};

constexpr std::string_view kFilterClass = "Filter";

}  // namespace

void RegisterObjectFilter(std::string name, TFilterFactory factory) {
  TFilterRegistry::Instance().Add(std::move(name), factory);
}

TRef<TObjectFilter> CreateObjectFilter(std::string_view name) {
  TFilterFactory factory = TFilterRegistry::Instance().Find(name);
  return factory ? factory() : nullptr;
}

// --- Chains

TFilterChain ReadFilterChain(TIniObject& keyframeBlock, const TFilterChain& previous) {
  TFilterChain chain;
  std::vector<bool> reused(previous.size(), false);
  for (TIniObject* block : keyframeBlock.Objects()) {
    if (!SameText(block->ClassName(), kFilterClass)) continue;
    TRef<TObjectFilter> fresh = CreateObjectFilter(block->Name());
    if (!fresh) continue;
    if (block->ReadText("id").empty()) block->WriteText("id", NewGuidText());
    std::string id = block->ReadText("id");
    int64_t revision = block->ReadInt64("$rev", 0);
    TRef<TObjectFilter> filter;
    // A filter is reused once at most: two blocks with one id make two filters.
    for (size_t i = 0; i < previous.size() && !filter; ++i) {
      const TRef<TObjectFilter>& old = previous[i];
      if (reused[i] || !old || old->Revision() != revision || !SameText(old->Id(), id) ||
          old->Caption() != fresh->Caption())
        continue;
      reused[i] = true;
      filter = old;
      // Same identity and revision: same parameters; it now belongs to this block.
      filter->fBlock = TRef<const TIniObject>(block);
    }
    if (!filter) {
      filter = std::move(fresh);
      filter->AttachBlock(*block);
      filter->ReadParams(*block);
    }
    chain.push_back(std::move(filter));
  }
  for (size_t i = 0; i < chain.size(); ++i)
    chain[i]->fNext = i + 1 < chain.size() ? chain[i + 1].Get() : nullptr;
  return chain;
}

int ChainLutKind(const TFilterChain& chain) {
  int kind = kLutKindNone;
  for (const TRef<TObjectFilter>& filter : chain) {
    if (!filter || filter->Disabled()) continue;
    int filterKind = filter->LutKind();
    VIV_ASSERT(!(kind == kLutKindValue && filterKind != kLutKindValue), kValueFiltersCombined);
    kind = std::max(kind, filterKind);
    if (filterKind == kLutKindGrid) break;
  }
  return kind;
}

void ApplyChainToLut(const TFilterChain& chain, uint32_t* pixels, int width, int height) {
  for (const TRef<TObjectFilter>& filter : chain)
    if (filter && !filter->Disabled()) filter->ApplyToLut(pixels, width, height);
}

}  // namespace viv
