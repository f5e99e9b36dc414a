#include "image/colour/colour_profile.h"

#include <lcms2.h>

#include <array>
#include <cmath>
#include <mutex>
#include <vector>

#include "base/exceptions.h"
#include "base/log.h"
#include "base/stream.h"
#include "base/text.h"

namespace viv {
namespace {

constexpr size_t kSrgbSearchLength = 512;
constexpr int64_t kMaxProfileFileBytes = int64_t{64} << 20;
constexpr int kSrgbCurvePoints = 1024;
constexpr int kFunkyCurvePoints = 129;
constexpr double kAdobeGamma = 563.0 / 256.0;
constexpr double kVersion21 = 2.1;
constexpr double kVersion24 = 2.4;

struct TBuiltIns {
  TRef<TColorProfile> Srgb, YuvSrgb, AdobeRgb, FunkyRgb;
};

std::once_flag gBuiltInsMade;
TBuiltIns gBuiltIns;

// The sRGB transfer function, from encoded 0..1 to linear 0..1.
double SrgbToLinear(double v) {
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// A tabulated curve of the sRGB function; the caller frees it.
cmsToneCurve* SrgbCurve(int points) {
  std::vector<cmsUInt16Number> values(points);
  for (int i = 0; i < points; ++i)
    values[i] = static_cast<cmsUInt16Number>(
        std::lround(SrgbToLinear(static_cast<double>(i) / (points - 1)) * 65535.0));
  return cmsBuildTabulatedToneCurve16(nullptr, points, values.data());
}

void WriteText(cmsHPROFILE profile, cmsTagSignature tag, const char* text) {
  cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
  cmsMLUsetASCII(mlu, "en", "US", text);
  cmsWriteTag(profile, tag, mlu);
  cmsMLUfree(mlu);
}

// The profile's bytes; the profile is closed.
std::string SaveAndClose(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  std::string bytes;
  if (cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
    bytes.resize(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
  }
  cmsCloseProfile(profile);
  VIV_ASSERT(!bytes.empty(), "Built-in colour profile could not be made");
  return bytes;
}

// A display-class matrix-shaper profile with the same curve on all channels.
std::string MatrixShaperProfile(const cmsCIExyY& white, const cmsCIExyYTRIPLE& primaries,
                                cmsToneCurve* curve, const char* description) {
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(curve);
  VIV_ASSERT(profile, "Built-in colour profile could not be made");
  cmsSetDeviceClass(profile, cmsSigDisplayClass);
  cmsSetProfileVersion(profile, kVersion21);
  WriteText(profile, cmsSigProfileDescriptionTag, description);
  WriteText(profile, cmsSigCopyrightTag, "No copyright, use freely");
  return SaveAndClose(profile);
}

const cmsCIExyY kD65 = {0.3127, 0.3290, 1.0};

std::string SrgbBytes() {
  cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
  return MatrixShaperProfile(kD65, primaries, SrgbCurve(kSrgbCurvePoints),
                             std::string(kSrgbDescription).c_str());
}

std::string AdobeRgbBytes() {
  cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  return MatrixShaperProfile(kD65, primaries, cmsBuildGamma(nullptr, kAdobeGamma),
                             "Adobe RGB (1998)");
}

// A test profile that shows at once whether colours went through it: its red
// colourant is sRGB's green, its green is sRGB's blue and its blue is sRGB's
// red (the D50-adapted sRGB colourants), so sRGB red comes out blue.
std::string FunkyRgbBytes() {
  cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
  VIV_ASSERT(profile, "Built-in colour profile could not be made");
  cmsSetDeviceClass(profile, cmsSigDisplayClass);
  cmsSetColorSpace(profile, cmsSigRgbData);
  cmsSetPCS(profile, cmsSigXYZData);
  cmsSetProfileVersion(profile, kVersion24);
  cmsSetHeaderRenderingIntent(profile, INTENT_PERCEPTUAL);
  WriteText(profile, cmsSigProfileDescriptionTag, "FunkyRGB");
  WriteText(profile, cmsSigCopyrightTag, "No copyright, use freely");
  cmsWriteTag(profile, cmsSigMediaWhitePointTag, const_cast<cmsCIEXYZ*>(cmsD50_XYZ()));
  // The white point is already D50: the adaptation is the identity.
  double adaptation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  cmsWriteTag(profile, cmsSigChromaticAdaptationTag, adaptation);
  cmsCIEXYZ red = {0.385, 0.717, 0.097}, green = {0.143, 0.061, 0.714},
            blue = {0.436, 0.222, 0.014};
  cmsWriteTag(profile, cmsSigRedColorantTag, &red);
  cmsWriteTag(profile, cmsSigGreenColorantTag, &green);
  cmsWriteTag(profile, cmsSigBlueColorantTag, &blue);
  cmsToneCurve* curve = SrgbCurve(kFunkyCurvePoints);
  cmsWriteTag(profile, cmsSigRedTRCTag, curve);
  cmsLinkTag(profile, cmsSigGreenTRCTag, cmsSigRedTRCTag);
  cmsLinkTag(profile, cmsSigBlueTRCTag, cmsSigRedTRCTag);
  cmsFreeToneCurve(curve);
  return SaveAndClose(profile);
}

}  // namespace

void MakeBuiltInProfiles() {
  std::call_once(gBuiltInsMade, [] {
    std::string srgb = SrgbBytes();
    gBuiltIns.Srgb = MakeRef<TColorProfile>(std::string(kSrgbName), srgb);
    gBuiltIns.YuvSrgb = MakeRef<TColorProfile>(std::string(kYuvSrgbName), srgb);
    gBuiltIns.AdobeRgb = MakeRef<TColorProfile>(std::string(kAdobeRgbName), AdobeRgbBytes());
    gBuiltIns.FunkyRgb = MakeRef<TColorProfile>(std::string(kFunkyRgbName), FunkyRgbBytes());
  });
}

TRef<TColorProfile> BuiltInProfile(std::string_view name) {
  if (name == kSrgbName) return gBuiltIns.Srgb;
  if (name == kYuvSrgbName) return gBuiltIns.YuvSrgb;
  if (name == kAdobeRgbName) return gBuiltIns.AdobeRgb;
  if (name == kFunkyRgbName) return gBuiltIns.FunkyRgb;
  return nullptr;
}

TRef<TColorProfile> BuiltInProfileByText(std::string_view text) {
  for (std::string_view name : {kSrgbName, kAdobeRgbName, kFunkyRgbName})
    if (SameText(text, name)) return BuiltInProfile(name);
  return nullptr;
}

TRef<TColorProfile> ProfileFromIcc(std::string bytes, std::string name) {
  if (bytes.empty()) return nullptr;
  std::string_view head(bytes.data(), std::min(bytes.size(), kSrgbSearchLength));
  if (gBuiltIns.Srgb && head.find(kSrgbDescription) != std::string_view::npos)
    return gBuiltIns.Srgb;
  return MakeRef<TColorProfile>(std::move(name), std::move(bytes));
}

TRef<TColorProfile> ProfileFromFile(const std::string& path) {
  auto file = TFileStream::Open(path, TFileMode::Read);
  if (!file) return nullptr;
  try {
    return ProfileFromIcc(file->ReadRest(kMaxProfileFileBytes), path);
  } catch (const std::exception& e) {
    LogLine("Colour profile \"" + path + "\" not read: " + e.what());
    return nullptr;
  }
}

}  // namespace viv
