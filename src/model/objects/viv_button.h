// Button objects: a theme picture with its caption as the first child.
#pragma once

#include <optional>
#include <string>

#include "model/objects/viv_image.h"

namespace viv {

class TVivButton : public TVivImage {
 public:
  using TVivImage::TVivImage;

  void ReadKeys(const TIniObject& block) override;
  std::string PictureRequestName() const override;
  void SetState(int state) { fState = state; }
  int State() const { return fState; }
  float ShadowBaseSize() const override { return 3 * fSize.Height; }
  // The theme folder found ("Theme", else "aqua"); empty when neither has a btn.ini.
  const std::string& ThemeFolder() const { return fThemeFolder; }

 protected:
  void InitDefaults() override;

 private:
  void LoadTheme();

  std::string fTheme;
  std::string fThemeFolder;
  float fButtonOpacity = 100, fCaptionOpacity = 100;
  int32_t fHue = 0, fSaturation = 0, fLightness = 0;
  std::optional<float> fMinWidth;
  float fCaptionOffset = 100;
  int fState = 1;
};

}  // namespace viv
