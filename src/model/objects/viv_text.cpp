#include "model/objects/viv_text.h"

#include <algorithm>
#include <cstdio>

#include "model/objects/picture_name_parameters.h"
#include "model/objects/viv_slide.h"
#include "model/text_macros.h"
#include "project/value_syntax.h"

namespace viv {
namespace {

// Lines of a text value: escapes decoded, split at line ends.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string decoded = DecodeEscaped(text);
  size_t start = 0;
  for (;;) {
    size_t end = decoded.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(decoded.substr(start));
      return lines;
    }
    lines.push_back(decoded.substr(start, end - start));
    start = end + 2;
  }
}

std::string ColourText(uint32_t colour) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06X,%u", colour & 0xFFFFFF, colour >> 24);
  return text;
}

}  // namespace

void TVivText::InitDefaults() {
  TVivImage::InitDefaults();
  fShadow.Enabled = true;
  fColour = fHoverColour = fClickColour = 0xFFFFFFFF;
  fAlign = TTextAlign::Center;
  if (IsButtonCaption()) {
    // A button's caption is part of the button: clicks go through it and it
    // starts without shadow.
    fTranspForClick = true;
    fShadow.Enabled = false;
  }
}

bool TVivText::IsButtonCaption() const {
  return fParent && fParent->Kind() == TObjectKind::Button && fParent->ChildCount() > 0 &&
         &fParent->Child(0) == this;
}

void TVivText::ReadKeys(const TIniObject& block) {
  SetText(block.ReadText("Text"));
  fColour = block.ReadColour("TextColor", fColour);
  fHoverColour = block.ReadColour("TextColorHover", fColour);
  fClickColour = block.ReadColour("TextColorClick", fColour);
  fFontName = block.ReadText("FontName");
  fFontStyle = block.ReadText("FontStyle");
  fAlign = static_cast<TTextAlign>(block.ReadIndex("TextAlign", {"Left", "Center", "Right"}, 1));
  fLineSpacing = block.ReadInteger("LineSpacing", 0);
  fRasterize = block.ReadBool("Rasterize", false);
  fRasterizedGuid = block.ReadText("RasterizedGUID");
  fIsComment = block.ReadBool("IsComment", false);
  if (fIsComment) {
    // At most one text of a slide is its comment: the latest one read.
    if (TVivSlide* slide = GetSlide()) {
      std::vector<TVivObject*> stack{slide};
      while (!stack.empty()) {
        TVivObject* object = stack.back();
        stack.pop_back();
        if (auto* text = dynamic_cast<TVivText*>(object); text && text != this)
          text->fIsComment = false;
        for (size_t i = 0; i < object->ChildCount(); ++i) stack.push_back(&object->Child(i));
      }
    }
  }
  TVivImage::ReadKeys(block);
  // Texts ignore the key: their quads are always drawn without smoothing.
  fAntialiased = false;
}

void TVivText::SetText(const std::string& value) {
  if (value == fText && !fLines.empty()) return;
  fText = value;
  fLines = SplitLines(value);
  if (IsButtonCaption()) fLines.resize(1);
  bool allEmpty =
      std::all_of(fLines.begin(), fLines.end(), [](const std::string& l) { return l.empty(); });
  if (allEmpty) fLines = {" "};
  fChanged = true;
}

std::vector<std::string> TVivText::ExpandedLines() const {
  TTextMacroValues values{};
  TVivSlide* slide = GetSlide();
  values.SlideIndex = slide ? slide->Number() + 1 : 1;
  values.SlidesCount = slide && slide->GetHost() ? slide->GetHost()->SlideCount : 0;
  if (slide) {
    if (auto main = FindMainPicture(*slide)) {
      values.HasMainPicture = true;
      values.MainWidth = main->Width;
      values.MainHeight = main->Height;
      values.MainFileName = main->FileName;
      TPictureServices services = PictureServices();
      TVivSlideHost* host = slide->GetHost();
      if (services.ReadMetadata && host) {
        if (auto stream = host->Accessor().OpenStream(main->FileName))
          services.ReadMetadata(*stream, values.Metadata);
      }
    }
  }
  std::vector<std::string> lines;
  for (const auto& line : fLines) lines.push_back(ExpandTextMacros(line, values));
  return lines;
}

uint32_t TVivText::TextColour(int state) const {
  uint32_t colour = state != 2 ? fColour : Pressed() ? fClickColour : fHoverColour;
  return ManagedColour(colour);
}

void TVivText::SetState(int state) {
  if (state == fState) return;
  fState = state;
  fChanged = true;
}

std::string TVivText::PictureRequestName() const {
  std::string text;
  for (size_t i = 0; i < fLines.size(); ++i) text += (i ? "\r\n" : "") + fLines[i];
  return ParameterPictureName("Text: ",
                              {{"Font", fFontName},
                               {"Style", fFontStyle},
                               {"Align", std::to_string(static_cast<int>(fAlign))},
                               {"LineSpacing", std::to_string(fLineSpacing)},
                               {"Color", ColourText(fColour)},
                               {"Rasterized", fRasterize ? fRasterizedGuid : std::string()},
                               {"Text", EncodeEscaped(text)}});
}

}  // namespace viv
