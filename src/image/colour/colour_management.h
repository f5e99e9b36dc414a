// Colour management: which profile the display has, whether conversions are
// on, conversion tables for pictures and video frames, single colours.
//
// A conversion never touches a picture's pixels: it is a table on a
// 32 x 32 x 32 grid (a 32 x 1024 picture, node (i, j, k) at row i x 32 + j,
// column k, bytes for axes i, j, k in that order) that the drawer applies.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/ref_object.h"
#include "image/bitmap.h"
#include "image/colour/colour_profile.h"

namespace viv {

class TCommandsStorage;
class TVivShowLocator;

inline constexpr int kGridSize = 32;
inline constexpr int kTableWidth = 32;
inline constexpr int kTableHeight = 1024;
// Grid value of index n: 0, 8, 16, ... 247, 255.
inline constexpr int GridLevel(int n) { return n * 8 + n / 4; }
// The identity table: (level(i), level(j), level(k)) at node (i, j, k); 24 or
// 32 bits (alpha 255).
TRef<TBitmap> MakeIdentityTable(TPixelFormat format);

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

// One link of the conversion-table factory chain: a value (possibly none)
// decides; nullopt passes the question on to the next link.
using TColorTransformFactory = std::optional<TRef<TColorTransform>> (*)(
    const TRef<TColorProfile>& source, const TRef<TColorProfile>& target);
// The viewer's link: the show package's stored "ColorSpaceExe_" tables, when
// the show did not make the engine available.
std::optional<TRef<TColorTransform>> StoredTableFactory(const TRef<TColorProfile>& source,
                                                        const TRef<TColorProfile>& target);
// The engine's link: a TICCColorTransform.
std::optional<TRef<TColorTransform>> EngineFactory(const TRef<TColorProfile>& source,
                                                   const TRef<TColorProfile>& target);
// Installs the chain (viewer's link, then the engine's) and the built-in
// profiles.
void InstallColourManagement();

// --- global colour state

TRef<TColorProfile> DisplayProfileRef();  // may be none
// DisplayProfile, or "sRGB" when none is set.
TRef<TColorProfile> GetDisplayProfile();
void SetDisplayProfile(TRef<TColorProfile> profile);
bool ColorManagementOff();
bool DisplayProfileFromShow();
TRef<TColorProfile> CommandLineProfile();
bool NoIccSwitch();
// The display's own profile file, empty when unknown. The viewer installs the
// query; start-up reads it once into SystemProfilePath.
using TSystemProfileQuery = std::string (*)();
void SetSystemProfileQuery(TSystemProfileQuery query);
std::string GetSystemProfilePath();
std::string SystemProfilePath();
void ReadSystemProfilePath();
// For tools and tests: everything back to its state before start-up.
void ResetColourState();

// "noicc" and "icc" of the command line.
void ReadIccSwitches(const TCommandsStorage& switches);
// [Main] "ColorManagement" of a show just opened.
void ReadColorManagement(TVivShowLocator& show);

// --- services

// None when source and target are one profile; a missing source is "sRGB", a
// missing target GetDisplayProfile().
TRef<TColorTransform> MakeColorTransform(TRef<TColorProfile> source, TRef<TColorProfile> target);
// A colour (bytes blue, green, red; the top byte is kept) converted from sRGB
// for the profile, through the profile's table with fixed-point trilinear
// interpolation; unchanged without a table.
uint32_t ConvertColor(TColorProfile* profile, uint32_t colour);
// Looks a colour up in a 24- or 32-bit table.
uint32_t InterpolateTable(const TBitmap& table, uint32_t colour);
// A picture's conversion table, or none (colour management off, or nothing to
// convert).
TRef<TBitmap> MakePictureLut(TRef<TColorProfile> pictureProfile, TRef<TColorProfile> target);
// The 32-bit table video frames are drawn through; YUV frames' tables turn
// YUV into RGB first.
TRef<TBitmap> GetVideoColorLut(bool rgbFrames, TRef<TColorProfile> profile);

}  // namespace viv
