#include "model/objects/viv_button.h"

#include "model/objects/picture_name_parameters.h"
#include "model/slide_host.h"

namespace viv {
namespace {

constexpr std::string_view kFallbackTheme = "aqua";

}  // namespace

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
  return ParameterPictureName("Button: ",
                              {{"Theme", fThemeFolder},
                               {"State", std::to_string(fState)},
                               {"Hue", std::to_string(fHue)},
                               {"Saturation", std::to_string(fSaturation)},
                               {"Lightness", std::to_string(fLightness)},
                               {"MinWidth", fMinWidth ? std::to_string(*fMinWidth) : ""}});
}

}  // namespace viv
