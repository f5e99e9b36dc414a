// Slides built from project text for the object model tests: a scratch show
// folder, test pictures whose size is written in the file, and lookups of
// objects and nodes by name.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/exceptions.h"
#include "base/stream.h"
#include "container/file_accessor.h"
#include "model/animation/object_props.h"
#include "model/generated_pictures.h"
#include "model/object_model_init.h"
#include "model/objects/viv_box.h"
#include "model/objects/viv_button.h"
#include "model/objects/viv_image.h"
#include "model/objects/viv_mask_layer.h"
#include "model/objects/viv_slide.h"
#include "model/objects/viv_text.h"
#include "model/objects/viv_viewport.h"
#include "model/slide_host.h"
#include "project/ini_tree.h"
#include "show/viv_source.h"
#include "support/scratch_folder.h"

namespace viv::test {

namespace fs = std::filesystem;

// The cot(30°) perspective of a slide whose camera sits one slide height in front.
inline constexpr float kPerspective = 1.7320508f;

// Test picture files hold "TPIC <width> <height>"; anything else decodes to nothing.
class TTestPicture : public TPictureStore {
 public:
  TTestPicture(int32_t width, int32_t height) : fWidth(width), fHeight(height) {}
  int32_t Width() const override { return fWidth; }
  int32_t Height() const override { return fHeight; }

 private:
  int32_t fWidth, fHeight;
};

inline std::string TestPictureBytes(int32_t width, int32_t height) {
  return "TPIC " + std::to_string(width) + " " + std::to_string(height);
}

// Text pictures are 200 x 40 and button pictures 160 x 48, whatever they show.
inline constexpr TSizeF kTextPictureSize{200, 40};
inline constexpr TSizeF kButtonPictureSize{160, 48};

// Installs the test picture decoder and the text and button producers.
inline void InstallTestPictures() {
  TPictureServices services;
  services.Decode = [](TStream& stream, std::string_view, int) -> TRef<TPictureStore> {
    std::string text = stream.ReadRest(64);
    int width = 0, height = 0;
    if (std::sscanf(text.c_str(), "TPIC %d %d", &width, &height) != 2) return nullptr;
    return MakeRef<TTestPicture>(width, height);
  };
  InstallPictureServices(services);
  RegisterPictureProducer("Text: ", [](TVivSlideHost&, std::string_view) -> TRef<TPictureStore> {
    return MakeRef<TSizedPicture>(static_cast<int32_t>(kTextPictureSize.Width),
                                  static_cast<int32_t>(kTextPictureSize.Height));
  });
  RegisterPictureProducer("Button: ", [](TVivSlideHost&, std::string_view) -> TRef<TPictureStore> {
    return MakeRef<TSizedPicture>(static_cast<int32_t>(kButtonPictureSize.Width),
                                  static_cast<int32_t>(kButtonPictureSize.Height));
  });
}

inline TRef<TIniFile> ParseProject(std::string_view text) {
  auto project = MakeRef<TIniFile>();
  project->LoadFromText(text);
  return project;
}

// A 1920 x 1080 show of one slide lasting `duration` ms around the given
// object blocks (the content of "object Container:Root").
inline std::string OneSlideProject(std::string_view objects, int duration = 5000,
                                   std::string_view slideKeys = {},
                                   std::string_view mainKeys = {}) {
  std::string text = "[Main]\nopt_scr_width=1920\nopt_scr_height=1080\n";
  text += mainKeys;
  text += "[Times]\nopt_slidescount=1\nopt_synchpos1=" + std::to_string(duration) + "\n";
  text += "[Slide1]\n";
  text += slideKeys;
  text += "object Container:Root\n";
  text += objects;
  text += "end\n";
  return text;
}

// A keyframe block.
inline std::string Key(double time, std::string_view keys = {}) {
  char number[32];
  std::snprintf(number, sizeof number, "%.10g", time);
  return "object k:KeyPoint\nTime=" + std::string(number) + "\n" + std::string(keys) + "end\n";
}

// A show folder of its own, removed at the end of the test, with the slides of
// a project loaded from it.
class TTestShow {
 public:
  TTestShow() {
    InitObjectModel();
    InstallTestPictures();
  }
  ~TTestShow() {
    // Objects go before the folder their pictures came from.
    fSlides.clear();
    fSource.Reset();
    fHost.Reset();
  }
  TTestShow(const TTestShow&) = delete;
  TTestShow& operator=(const TTestShow&) = delete;

  // The absolute path of a file in the folder, written with the bytes.
  std::string Write(std::string_view relative, std::string_view bytes) {
    return fFolder.Write(relative, bytes);
  }
  std::string Picture(std::string_view relative, int32_t width, int32_t height) {
    return Write(relative, TestPictureBytes(width, height));
  }
  const std::string& Folder() const { return fFolder.Path(); }

  // Opens the project as the show's source; "{dir}" in the text stands for the folder.
  TVivSource& Open(std::string text) {
    for (size_t at; (at = text.find("{dir}")) != std::string::npos;)
      text.replace(at, 5, fFolder.Path());
    fSource = MakeRef<TVivSource>(NewDiskAccessor(fFolder.Path()), ParseProject(text));
    if (!fHost) {
      std::string buttons =
          fSource->MainSection() ? fSource->MainSection()->ReadText("PathToButtons") : "";
      fHost = MakeRef<TVivSlideHost>(TRef<TFileAccessor>(&fSource->Accessor()),
                                     fSource->PresentationWidth(), fSource->PresentationHeight(),
                                     buttons);
      fHost->SlideCount = fSource->SlideCount();
    }
    return *fSource;
  }
  TVivSource& Source() const { return *fSource; }
  TVivSlideHost& Host() const { return *fHost; }

  // Slide `index` (from 0) of the project, loaded and animated at its start
  // plus `time`.
  TVivSlide& Load(std::string text, int32_t index = 0, double time = 0) {
    Open(std::move(text));
    auto slide = MakeRef<TVivSlide>(fHost, index);
    slide->Load(*fSource);
    slide->Animate(true, slide->StartTime() + time);
    fSlides.push_back(slide);
    return *slide;
  }

 private:
  TScratchFolder fFolder;  // first, so that it goes last
  TRef<TVivSource> fSource;
  TRef<TVivSlideHost> fHost;
  std::vector<TRef<TVivSlide>> fSlides;
};

// The object of that name in the subtree, depth first; none when missing.
inline TVivObject* FindObject(TVivObject& root, std::string_view name) {
  if (root.Props() && root.Props()->Name == name) return &root;
  for (size_t i = 0; i < root.ChildCount(); ++i)
    if (TVivObject* found = FindObject(root.Child(i), name)) return found;
  return nullptr;
}

inline TVivObject& ObjectNamed(TVivObject& root, std::string_view name) {
  TVivObject* found = FindObject(root, name);
  if (!found) throw std::runtime_error("no object " + std::string(name));
  return *found;
}

template <class T>
T& ObjectAs(TVivObject& root, std::string_view name) {
  T* object = dynamic_cast<T*>(&ObjectNamed(root, name));
  if (!object) throw std::runtime_error("object " + std::string(name) + " has another class");
  return *object;
}

inline TVivObjectProps* FindNode(TVivObjectProps& root, std::string_view name) {
  if (root.Name == name) return &root;
  for (auto& child : root.Children)
    if (TVivObjectProps* found = FindNode(*child, name)) return found;
  return nullptr;
}

// A node built alone from one object block, with the slide timing given.
struct TTestNode {
  TRef<TIniFile> Document;
  TRef<TVivObjectProps> Node;

  TTestNode(std::string_view block, TNodeTiming timing) {
    InitObjectModel();
    Document = ParseProject("[S]\n" + std::string(block));
    TIniObject* object = Document->FindSection("S")->FirstObject();
    if (!object) throw std::runtime_error("no object block");
    Node = MakeRef<TVivObjectProps>();
    Node->Build(*object, timing);
  }
  float At(double time, int param) {
    Node->EvaluateSelf(time);
    return Node->Values[static_cast<size_t>(param)];
  }
};

// The message of the exception a call raised; empty when it returned.
template <typename F>
std::string Raised(F&& call) {
  try {
    call();
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

// Records what a draw reaches, in order.
class TRecordingDrawer : public TObjectDrawer {
 public:
  std::vector<std::string> Drawn;

  void DrawItem(TDrawItem& item) override { item.Draw(*this); }
  void DrawImage(TVivImage& image) override { Record(image); }
  void DrawBox(TVivBox& box) override { Record(box); }
  void DrawViewPort(TVivViewPort& viewport) override { Record(viewport); }
  void DrawSlide(TVivSlide& slide) override { slide.TVivObject::Draw(*this); }

 private:
  void Record(TVivObject& object) { Drawn.push_back(object.Props() ? object.Props()->Name : "?"); }
};

}  // namespace viv::test
