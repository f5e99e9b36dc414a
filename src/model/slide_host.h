// The services a show's slides share: pictures by name (files or generated
// pictures), the presentation size, the camera and the callbacks of the engine.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/ref_object.h"
#include "container/file_accessor.h"
#include "model/geometry.h"

namespace viv {

class TVivSlideHost;
class TVivObject;

// A picture an object shows: a shared decoded file, or a generated picture.
struct THostPicture {
  TRef<TSharedPicture> Shared;
  TRef<TPictureStore> Generated;

  TPictureStore* Store() const {
    return Generated ? Generated.Get() : Shared ? Shared->Store() : nullptr;
  }
  bool Empty() const { return Store() == nullptr; }
  int32_t Width() const { return Store() ? Store()->Width() : 0; }
  int32_t Height() const { return Store() ? Store()->Height() : 0; }
};

// Makes the picture of a generated name (everything after the prefix is the
// producer's to read).
using TPictureProducer = TRef<TPictureStore> (*)(TVivSlideHost& host, std::string_view name);

// Generated names, recognised by these prefixes, compared exactly, in this order.
inline constexpr std::string_view kGeneratedPrefixes[] = {
    "Button: ",      "Shadow: ",          "Text: ",         "Mask: ",
    "PresetedMask:", "SlideEffectBuffer", "EffectResource", "TextWithSize:",
};

// Installed at start-up by the modules that make each kind of picture.
void RegisterPictureProducer(std::string_view prefix, TPictureProducer producer);
// The prefix a name starts with, or empty for a file name.
std::string_view GeneratedPrefix(std::string_view name);

class TVivSlideHost : public TRefObject {
 public:
  TVivSlideHost(TRef<TFileAccessor> accessor, int32_t width, int32_t height,
                std::string pathToButtons);

  TFileAccessor& Accessor() const { return *fAccessor; }
  int32_t PresentationWidth() const { return fWidth; }
  int32_t PresentationHeight() const { return fHeight; }
  const std::string& PathToButtons() const { return fPathToButtons; }
  // The package's "ExeGUID" text, for the font cache; empty when missing.
  const std::string& ExeGuid() const { return fExeGuid; }

  // Files through the accessor; generated names through their producer (none
  // when no module makes that kind of picture).
  THostPicture OpenPicture(std::string_view name);

  // The camera of the output: its centre at a negative depth. Its depth must not be 0.
  const TVec3& Camera() const { return fCamera; }
  void SetCamera(const TVec3& camera);
  // Pixels per presentation unit of the output.
  float DisplayScale() const { return fDisplayScale; }
  void SetDisplayScale(float scale) { fDisplayScale = scale; }

  // The show's slide count, for text macros.
  int32_t SlideCount = 0;

  // The show's colour transform for colours of keys (0xAARRGGBB; alpha is
  // kept); none while colour management is off.
  std::function<uint32_t(uint32_t colour)> ColourTransform;
  uint32_t ManagedColour(uint32_t colour) const {
    if (!ColourTransform) return colour;
    return (colour & 0xFF000000) | (ColourTransform(colour) & 0xFFFFFF);
  }

  // Engine callbacks, all optional.
  std::function<TSizeF()> TransitionBufferSize;
  std::function<TRef<TPictureStore>(int number)> TransitionResource;
  std::function<void()> PictureReady;
  std::function<bool(TVivObject& object)> AskHost;
  // Ends the drawn-size pass early when the slide is no longer needed.
  std::function<bool()> Interrupted;

 private:
  TRef<TFileAccessor> fAccessor;
  int32_t fWidth, fHeight;
  std::string fPathToButtons;
  std::string fExeGuid;
  TVec3 fCamera;
  float fDisplayScale = 1;
};

}  // namespace viv
