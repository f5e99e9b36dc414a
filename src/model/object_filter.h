// Colour filters of keyframes and the lookup tables they transform.
//
// A chain of filters never touches pixels: it transforms a lookup table, which
// the drawer uploads as a texture and draws the object's picture through.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ref_object.h"
#include "project/ini_tree.h"

namespace viv {

struct TModInputs;

// --- Lookup tables
//
// The grid table holds a 32 x 32 x 32 colour grid as a picture 32 pixels wide
// and 1024 rows high, pixels 0xAARRGGBB. Node (i, j, k) is the pixel in row
// i * 32 + j, column k, where i is the blue index, j the green index and k the
// red index: red runs along a row, green down the 32 rows of a slice, and blue
// picks the slice, as a volume texture is addressed (x, y, z) = (r, g, b). In
// memory the first byte of a pixel is blue, so byte order follows i, j, k.
// The level of grid index n is n * 8 + n / 4 (0, 8, 16, ... 247, 255).
//
// The curve table holds per-channel entries: 256 pixels in one row, entry x
// holding (x, x, x) in the identity.
inline constexpr int kLutGridSize = 32;
inline constexpr int kLutGridWidth = kLutGridSize;
inline constexpr int kLutGridHeight = kLutGridSize * kLutGridSize;
inline constexpr int kLutCurveWidth = 256;
inline constexpr int kLutCurveHeight = 1;

constexpr int LutGridLevel(int n) { return n * 8 + n / 4; }
constexpr size_t LutGridIndex(int i, int j, int k) {
  return (static_cast<size_t>(i) * kLutGridSize + static_cast<size_t>(j)) * kLutGridWidth +
         static_cast<size_t>(k);
}
std::vector<uint32_t> MakeIdentityGrid();
std::vector<uint32_t> MakeIdentityCurve();

// --- Filters

// Table kinds: the kind of table a filter needs.
inline constexpr int kLutKindNone = 0;
inline constexpr int kLutKindValue = 1;     // value filters (modifiers): no table
inline constexpr int kLutKindChannels = 2;  // per-channel: the curve table
inline constexpr int kLutKindGrid = 3;      // mixes channels: the grid table

enum class TParamType : uint8_t { String, Int, Float, Color, Combo };

struct TFilterParamInfo {
  std::string Name;  // the key it is read from
  std::string Caption;
  TParamType Type = TParamType::Int;
  double Min = 0, Max = 0, Default = 0;  // Int and Float
};

// The base of colour filters and modifiers: identity, revision and the
// disabled flag come from the block it was read from.
class TObjectFilter : public TRefObject {
 public:
  // The filter after this one in the chain it was last read into; that chain
  // owns it.
  TObjectFilter* Next() const { return fNext; }
  const TIniObject* Block() const { return fBlock.Get(); }
  const std::string& Id() const { return fId; }
  int64_t Revision() const { return fRevision; }
  bool Disabled() const { return fDisabled; }
  bool IsChanged() const { return fChanged; }
  void ClearChanged() { fChanged = false; }

  // Transforms each of width * height table entries as if it were a pixel.
  // Value filters leave tables alone.
  virtual void ApplyToLut(uint32_t* pixels, int width, int height) const;
  // Used by modifiers; colour filters have no value.
  virtual double EvaluateValue(const TModInputs& inputs) const;
  virtual void ReadParams(const TIniObject& block) = 0;
  virtual int LutKind() const = 0;
  virtual int ParamCount() const { return static_cast<int>(ParamInfos().size()); }
  virtual std::span<const TFilterParamInfo> ParamInfos() const = 0;
  virtual std::string Caption() const = 0;
  // Empty for an index out of range.
  virtual std::string GetParamText(int index) const = 0;
  // Reads text as the block's key would be read; sets the changed flag only
  // when the value changes.
  virtual void SetParamText(int index, std::string_view text) = 0;

 protected:
  // Takes over the block's `id`, `$rev` and `Disable` keys.
  void AttachBlock(const TIniObject& block);
  void MarkChanged() { fChanged = true; }

 private:
  friend std::vector<TRef<TObjectFilter>> ReadFilterChain(TIniObject&,
                                                          const std::vector<TRef<TObjectFilter>>&);

  TObjectFilter* fNext = nullptr;
  TRef<const TIniObject> fBlock;
  std::string fId;
  int64_t fRevision = 0;
  bool fDisabled = false;
  bool fChanged = true;
};

using TFilterChain = std::vector<TRef<TObjectFilter>>;

// Filters with integer and colour parameters read from keys of their block.
// Values outside a range are limited to it; real numbers are rounded.
class TParamFilter : public TObjectFilter {
 public:
  // infos outlives the filter (a table of the class); values start at its defaults.
  explicit TParamFilter(std::span<const TFilterParamInfo> infos);
  void ReadParams(const TIniObject& block) override;
  std::span<const TFilterParamInfo> ParamInfos() const override { return fInfos; }
  int ParamCount() const override { return static_cast<int>(fValues.size()); }
  std::string GetParamText(int index) const override;
  void SetParamText(int index, std::string_view text) override;
  // Colour parameters are 0xAARRGGBB.
  int32_t Param(int index) const { return fValues[static_cast<size_t>(index)]; }

 protected:
  // Called after every SetParamText.
  virtual void ParamSet() {}

 private:
  static int32_t ParseParam(const TFilterParamInfo& info, std::string_view text, int32_t fallback);
  std::span<const TFilterParamInfo> fInfos;
  std::vector<int32_t> fValues;
};

// out = round(in * k + d) per channel.
class TLinearGenerator : public TParamFilter {
 public:
  using TParamFilter::TParamFilter;
  void ApplyToLut(uint32_t* pixels, int width, int height) const override;
  int LutKind() const override { return kLutKindChannels; }
  virtual void Coefficients(double& k, double& d) const = 0;
};

class TBrightContrastGenerator : public TLinearGenerator {
 public:
  enum { kBright, kContrast };
  TBrightContrastGenerator();
  std::string Caption() const override { return "BrightContrast"; }
  void Coefficients(double& k, double& d) const override;
};

class TInvertColor : public TLinearGenerator {
 public:
  TInvertColor() : TLinearGenerator(std::span<const TFilterParamInfo>()) {}
  std::string Caption() const override { return "Invert"; }
  void Coefficients(double& k, double& d) const override;
};

class TLevelsGenerator : public TParamFilter {
 public:
  enum { kMin, kMed, kMax };
  TLevelsGenerator();
  void ApplyToLut(uint32_t* pixels, int width, int height) const override;
  int LutKind() const override { return kLutKindGrid; }
  std::string Caption() const override { return "Levels"; }
};

// Pulls each channel toward a target by the amount; the target depends on the
// variant.
class TColorizationGenerator : public TParamFilter {
 public:
  enum { kColor, kAmount };
  // A neutral grey by default: full amount then shows the luminance grey.
  static constexpr uint32_t kDefaultColor = 0xFF808080;

  TColorizationGenerator();
  void ReadParams(const TIniObject& block) override;
  void ApplyToLut(uint32_t* pixels, int width, int height) const override;
  int LutKind() const override { return kLutKindGrid; }
  std::string Caption() const override { return "Colorization"; }
  // Stored only; setting a parameter removes it.
  const std::string& Preset() const { return fPreset; }

  // The luminance of an entry, 0-255.
  static int Luminance(int r, int g, int b);
  // The target of one channel with value in and colour component c.
  virtual int Target(int in, int c, int luminance) const;

 protected:
  void ParamSet() override { fPreset.clear(); }

 private:
  std::string fPreset;
};

class TColorMultiply : public TColorizationGenerator {
 public:
  std::string Caption() const override { return "Colorisation2"; }
  int Target(int in, int c, int luminance) const override;
};

class TDoubleColorMultiply : public TColorizationGenerator {
 public:
  std::string Caption() const override { return "Colorisation3"; }
  int Target(int in, int c, int luminance) const override;
};

// Hue, saturation and lightness on a 0-255 scale (hue wraps around).
class THSLGenerator : public TParamFilter {
 public:
  enum { kHue, kSaturation, kLightness };
  THSLGenerator();
  void ApplyToLut(uint32_t* pixels, int width, int height) const override;
  int LutKind() const override { return kLutKindGrid; }
  std::string Caption() const override { return "HSL"; }
};

// --- Registry

using TFilterFactory = TRef<TObjectFilter> (*)();
// A later registration of a name hides the earlier one. The seven filters of
// the player are registered on first use.
void RegisterObjectFilter(std::string name, TFilterFactory factory);
// A new filter of the class registered under the name (any letter case), with
// its parameters at their defaults; none for an unknown name.
TRef<TObjectFilter> CreateObjectFilter(std::string_view name);

// --- Chains

// The keyframe's nested blocks of class "Filter", in block order. A block whose
// name is not a registered filter is skipped. A missing `id` is generated and
// written into the block. A filter of previous with the same class, `id` and
// `$rev` is reused (each at most once); otherwise a new one reads the block.
TFilterChain ReadFilterChain(TIniObject& keyframeBlock, const TFilterChain& previous);

// The largest kind over the enabled filters, stopping at the first grid
// filter; kLutKindNone for a chain without enabled filters. A value filter
// followed by a colour filter is an assertion.
int ChainLutKind(const TFilterChain& chain);
inline constexpr std::string_view kValueFiltersCombined = "Error: Value filters can`t be combined";

// Every enabled filter in chain order.
void ApplyChainToLut(const TFilterChain& chain, uint32_t* pixels, int width, int height);

}  // namespace viv
