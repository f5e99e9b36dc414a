// Colour profiles: ICC bytes with a name, shared by identity.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "base/ref_object.h"
#include "image/bitmap.h"

namespace viv {

// Profiles compare by object, never by content: "YUVsRGB" holds the bytes of
// "sRGB" and is still another profile.
class TColorProfile : public TRefObject {
 public:
  TColorProfile(std::string name, std::string icc) : fName(std::move(name)), fIcc(std::move(icc)) {}

  const std::string& Name() const { return fName; }
  const std::string& Icc() const { return fIcc; }

  // The sRGB-to-this table of ConvertColor, made once under the colour lock.
  bool TableTried() const { return fTableTried.load(std::memory_order_acquire); }
  TBitmap* Table() const { return fTable.Get(); }
  void SetTable(TRef<TBitmap> table) {
    fTable = std::move(table);
    fTableTried.store(true, std::memory_order_release);
  }

 private:
  std::string fName;
  std::string fIcc;
  TRef<TBitmap> fTable;
  std::atomic<bool> fTableTried{false};
};

inline constexpr std::string_view kSrgbName = "sRGB";
inline constexpr std::string_view kYuvSrgbName = "YUVsRGB";
inline constexpr std::string_view kAdobeRgbName = "AdobeRGB";
inline constexpr std::string_view kFunkyRgbName = "FunkyRGB";
// The description that marks an embedded profile as sRGB.
inline constexpr std::string_view kSrgbDescription = "sRGB IEC61966-2.1";

// Makes the four built-in profiles (once; later calls do nothing).
void MakeBuiltInProfiles();
// A built-in profile by its exact name, or none before MakeBuiltInProfiles.
TRef<TColorProfile> BuiltInProfile(std::string_view name);
// "sRGB", "AdobeRGB" or "FunkyRGB", compared without case; none otherwise.
TRef<TColorProfile> BuiltInProfileByText(std::string_view text);

// None for no bytes; the shared "sRGB" when the sRGB description lies wholly
// within the first 512 bytes; else a new profile.
TRef<TColorProfile> ProfileFromIcc(std::string bytes, std::string name);
// None when the file cannot be read. Files above 64 MiB are not profiles.
TRef<TColorProfile> ProfileFromFile(const std::string& path);

}  // namespace viv
