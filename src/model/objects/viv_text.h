// Text objects: their lines, colours and the picture that draws them.
#pragma once

#include <string>
#include <vector>

#include "model/objects/viv_image.h"

namespace viv {

enum class TTextAlign : uint8_t { Left = 0, Center = 1, Right = 2 };

class TVivText : public TVivImage {
 public:
  using TVivImage::TVivImage;

  void ReadKeys(const TIniObject& block) override;
  std::string PictureRequestName() const override;

  // The lines to draw, before macro expansion.
  const std::vector<std::string>& Lines() const { return fLines; }
  // The lines with the slide's macros expanded.
  std::vector<std::string> ExpandedLines() const;
  uint32_t TextColour(int state) const;  // state 1 normal, 2 hover or pressed
  void SetState(int state);
  int State() const { return fState; }
  bool IsButtonCaption() const;
  bool IsComment() const { return fIsComment; }
  const std::string& FontName() const { return fFontName; }

 protected:
  void InitDefaults() override;

 private:
  void SetText(const std::string& value);

  std::string fText;  // as written (escaped)
  std::vector<std::string> fLines;
  uint32_t fColour = 0xFFFFFFFF, fHoverColour = 0xFFFFFFFF, fClickColour = 0xFFFFFFFF;
  std::string fFontName;
  std::string fFontStyle;
  TTextAlign fAlign = TTextAlign::Center;
  int32_t fLineSpacing = 0;
  bool fRasterize = false;
  std::string fRasterizedGuid;
  bool fIsComment = false;
  int fState = 1;
};

}  // namespace viv
