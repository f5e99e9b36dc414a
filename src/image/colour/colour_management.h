// Colour management: which profile the display has, whether conversions are
// on, the chain that makes conversions, conversion tables for pictures and
// video frames, single colours.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/ref_object.h"
#include "image/bitmap.h"
#include "image/colour/colour_profile.h"
#include "image/colour/colour_table.h"
#include "image/colour/colour_transform.h"

namespace viv {

class TCommandsStorage;
class TVivShowLocator;

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
// A picture's conversion table, or none (colour management off, or nothing to
// convert).
TRef<TBitmap> MakePictureLut(TRef<TColorProfile> pictureProfile, TRef<TColorProfile> target);
// The 32-bit table video frames are drawn through; YUV frames' tables turn
// YUV into RGB first.
TRef<TBitmap> GetVideoColorLut(bool rgbFrames, TRef<TColorProfile> profile);

}  // namespace viv
