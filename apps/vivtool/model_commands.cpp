// objects
#include "model/objects/viv_image.h"
#include "model/objects/viv_slide.h"
#include "show/viv_source.h"
#include "tool.h"

namespace viv::tool {
namespace {

TJson Vector(const TVec3& v) { return TJson::array({v.X, v.Y, v.Z}); }

TJson ObjectJson(TVivObject& object) {
  TVivObjectProps* node = object.Props();
  TJson out;
  out["name"] = node ? node->Name : "";
  out["guid"] = node ? node->Guid : "";
  out["class"] = node && node->Block ? node->Block->ClassName() : "";
  out["kind"] = static_cast<int>(object.Kind());
  out["visible"] = object.IsShown();
  TJson values = TJson::array();
  for (int i = 0; i < kParamCount; ++i) values.push_back(object.Value(i));
  out["values"] = values;
  out["size"] = TJson::array({object.Size().Width, object.Size().Height});
  out["origin"] = Vector(object.Frame().Origin);
  out["axis_x"] = Vector(object.Frame().AxisX);
  out["axis_y"] = Vector(object.Frame().AxisY);
  out["axis_z"] = Vector(object.Frame().AxisZ);
  out["frame_valid"] = object.FrameValid();
  if (auto* image = dynamic_cast<TVivImage*>(&object)) {
    const TRectF& r = image->SourceRect();
    out["source_rect"] = TJson::array({r.Left, r.Top, r.Right, r.Bottom});
  } else {
    out["source_rect"] = nullptr;
  }
  out["opacity"] = object.GetOpacity();
  TJson children = TJson::array();
  for (size_t i = 0; i < object.ChildCount(); ++i) children.push_back(ObjectJson(object.Child(i)));
  out["children"] = children;
  return out;
}

int RunObjects(const std::string& path, int32_t slideNumber, double time) {
  auto source = OpenShowSource(path);
  if (!source) return kExitFailure;
  if (slideNumber < 1 || slideNumber > source->SlideCount())
    return Fail("slide " + std::to_string(slideNumber) + " is not in the show (1 to " +
                std::to_string(source->SlideCount()) + ")");
  try {
    std::string buttons =
        source->MainSection() ? source->MainSection()->ReadText("PathToButtons") : "";
    auto host =
        MakeRef<TVivSlideHost>(TRef<TFileAccessor>(&source->Accessor()),
                               source->PresentationWidth(), source->PresentationHeight(), buttons);
    host->SlideCount = source->SlideCount();
    auto slide = MakeRef<TVivSlide>(host, slideNumber - 1);
    slide->Load(*source);
    slide->Animate(true, slide->StartTime() + time);
    TJson out;
    out["slide"] = slideNumber;
    out["size"] = TJson::array({source->PresentationWidth(), source->PresentationHeight()});
    TJson objects = TJson::array();
    for (size_t i = 0; i < slide->ChildCount(); ++i) objects.push_back(ObjectJson(slide->Child(i)));
    out["objects"] = objects;
    PrintJson(out);
  } catch (const TCommonException& e) {
    return Fail(e.Message());
  }
  return kExitOk;
}

}  // namespace

void AddModelCommands(CLI::App& app, TToolState& state) {
  auto show = std::make_shared<std::string>();
  auto slide = std::make_shared<int32_t>(1);
  auto time = std::make_shared<double>(0);
  CLI::App* objects = app.add_subcommand("objects", "the live objects of a slide at a time");
  objects->add_option("SHOW", *show)->required();
  objects->add_option("SLIDE", *slide, "slide number, from 1")->required();
  objects->add_option("TIME", *time, "slide-relative time in ms")->required();
  objects->callback(
      [show, slide, time, &state] { state.ExitCode = RunObjects(*show, *slide, *time); });
}

}  // namespace viv::tool
