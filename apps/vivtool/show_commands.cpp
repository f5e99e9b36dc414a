// timeline, slide-info, positions, effects
#include "base/text.h"
#include "show/random_generator.h"
#include "show/viv_source.h"
#include "tool.h"
#include "viewer/show_loading.h"

namespace viv::tool {
namespace {

const char* RepeatModeName(TRepeatMode mode) {
  switch (mode) {
    case TRepeatMode::Close: return "close";
    case TRepeatMode::Stop: return "stop";
    case TRepeatMode::Repeat: break;
  }
  return "repeat";
}

TJson EndActionJson(TSlideTimeline::TEndAction action) {
  switch (action) {
    case TSlideTimeline::TEndAction::Pause: return "pause";
    case TSlideTimeline::TEndAction::Loop: return "loop";
    case TSlideTimeline::TEndAction::None: break;
  }
  return nullptr;
}

void AddTimes(TJson& out, const TSlideInfo& slide) {
  out["start"] = slide.StartTime;
  out["end"] = slide.EndTime;
  out["in"] = slide.InEffectTime;
  out["out"] = slide.OutEffectTime;
  out["visible_end"] = slide.VisibleEndTime;
}

int RunTimeline(const std::string& path) {
  auto source = OpenShowSource(path);
  if (!source) return kExitFailure;
  const TSlideTimeline& timeline = source->Timeline();
  TJson out;
  out["slide_count"] = timeline.SlideCount();
  out["duration"] = timeline.ShowDuration();
  out["repeat_mode"] = RepeatModeName(timeline.RepeatMode());
  out["slides"] = TJson::array();
  for (int32_t i = 0; i < timeline.SlideCount(); ++i) {
    const TSlideInfo& slide = timeline.Record(i);
    double loopLength = 0;
    timeline.GetEndAction(i, &loopLength);
    std::string runApp;
    TJson row;
    row["index"] = i;
    AddTimes(row, slide);
    row["id"] = slide.SlideId;
    row["end_action"] = EndActionJson(timeline.EndAction(i));
    row["loop_length"] = loopLength;
    row["run_app"] = timeline.GetRunApp(i, &runApp) ? TJson(runApp) : TJson(nullptr);
    out["slides"].push_back(row);
  }
  PrintJson(out);
  return kExitOk;
}

int RunSlideInfo(const std::string& path, int64_t index) {
  auto source = OpenShowSource(path);
  if (!source) return kExitFailure;
  const TSlideTimeline& timeline = source->Timeline();
  TSlideInfo info;
  int32_t loop = timeline.GetSlideInfo(index, info);
  TJson out;
  out["loop"] = loop;
  AddTimes(out, info);
  out["position"] = timeline.SlidePosition(index);
  PrintJson(out);
  return kExitOk;
}

int RunPositions(const std::string& path, double time) {
  auto source = OpenShowSource(path);
  if (!source) return kExitFailure;
  const TSlideTimeline& timeline = source->Timeline();
  TScheduleMarks marks;
  timeline.FindNextBarrier(time, marks);
  timeline.FindNextAction(time, marks);
  TJson out;
  out["slide_at"] = timeline.FindSlideAtTime(time);
  out["next"] = timeline.NextSlidePosition(time, false);
  out["next_skip_transition"] = timeline.NextSlidePosition(time, true);
  out["previous"] = timeline.PreviousSlidePosition(time);
  out["barrier"] = {{"present", marks.BarrierPresent},
                    {"index", marks.BarrierIndex},
                    {"time", marks.BarrierTime},
                    {"loop_length", marks.LoopLength}};
  out["action"] = {
      {"index", marks.ActionIndex}, {"time", marks.ActionTime}, {"file", marks.ActionFile}};
  PrintJson(out);
  return kExitOk;
}

int64_t EnabledVariants(const TEffectProp& entry) {
  if (!entry.Enabled()) return 0;
  TBuiltinEffect builtin = entry.Builtin();
  if (builtin != TBuiltinEffect::Custom) {
    auto effect = BuildEffect(entry, EffectTypeOf(builtin));
    return effect ? effect->VariantCount : 0;
  }
  return entry.EnabledVariantCount();
}

TJson FilterJson(const TVivEffect& effect, const TVivSource& source) {
  auto filter = DescribeFilter(effect, source.PresentationWidth(), source.PresentationHeight());
  if (!filter) return nullptr;
  TJson params = TJson::object();
  for (const auto& [name, value] : filter->Params) params[name] = value;
  if (filter->Section) params["section"] = filter->Section->Name();
  return {{"class", filter->ClassName}, {"params", params}};
}

int RunEffects(const std::string& path, std::optional<uint32_t> seed) {
  if (seed) ShowRandom().SetSeed(*seed);
  auto source = OpenShowSource(path);
  if (!source) return kExitFailure;
  const TVIVEffectManager& manager = source->EffectManager();
  TJson out;
  out["show_time"] = source->DefaultTransitionTime();
  out["catalogue"] = TJson::array();
  for (size_t i = 0; i < manager.EntryCount(); ++i) {
    const TEffectProp& entry = manager.EntryAt(i);
    out["catalogue"].push_back({{"name", entry.Block().Name()},
                                {"class", entry.Block().ClassName()},
                                {"enabled", entry.Enabled()},
                                {"variants", EnabledVariants(entry)}});
  }
  out["random_list"] = TJson::array();
  for (const auto& effect : source->RandomList())
    out["random_list"].push_back(
        {{"name", effect->Name}, {"type", static_cast<int>(effect->Type)}});
  out["slides"] = TJson::array();
  for (int32_t i = 0; i < source->SlideCount(); ++i) {
    TEffectChoice choice = source->ChooseEffect(i);
    TJson row;
    row["index"] = i;
    row["ref"] = manager.SlideEffect(i).RefName();
    const TVivEffect* effect = choice.Effect.Get();
    row["type"] = effect ? static_cast<int>(effect->Type) : 0;
    row["flags"] = effect ? TJson(effect->Flags) : TJson::array();
    row["int_params"] = effect ? TJson(effect->IntParams) : TJson::array();
    row["float_params"] = effect ? TJson(effect->FloatParams) : TJson::array();
    row["time"] = effect ? choice.Time : 0.0;
    row["smoothing"] = effect ? choice.Smoothing : 0.0;
    row["filter"] = effect ? FilterJson(*effect, *source) : TJson(nullptr);
    out["slides"].push_back(row);
  }
  PrintJson(out);
  return kExitOk;
}

}  // namespace

TRef<TVivSource> OpenShowSource(const std::string& path) {
  auto loaded = LoadShowFile(path, !EndsWithText(path, ".viv"));
  if (!loaded) return nullptr;
  return ShowSource(*loaded->Show);
}

void AddShowCommands(CLI::App& app, TToolState& state) {
  auto show = std::make_shared<std::string>();
  CLI::App* timeline = app.add_subcommand("timeline", "the times of every slide");
  timeline->add_option("SHOW", *show)->required();
  timeline->callback([show, &state] { state.ExitCode = RunTimeline(*show); });

  auto index = std::make_shared<int64_t>(0);
  CLI::App* slideInfo = app.add_subcommand("slide-info", "the times of any slide index");
  slideInfo->add_option("SHOW", *show)->required();
  slideInfo->add_option("INDEX", *index, "0-based; -1 is the lead-in, past the end repeats")
      ->required();
  slideInfo->callback([show, index, &state] { state.ExitCode = RunSlideInfo(*show, *index); });

  auto time = std::make_shared<double>(0);
  CLI::App* positions = app.add_subcommand("positions", "navigation and schedule at a show time");
  positions->add_option("SHOW", *show)->required();
  positions->add_option("TIME", *time, "show time in ms")->required();
  positions->callback([show, time, &state] { state.ExitCode = RunPositions(*show, *time); });

  auto seed = std::make_shared<std::optional<uint32_t>>();
  CLI::App* effects = app.add_subcommand("effects", "the transition catalogue and choices");
  effects->add_option("SHOW", *show)->required();
  effects->add_option("--seed", *seed, "fix the random generator so that choices repeat");
  effects->callback([show, seed, &state] { state.ExitCode = RunEffects(*show, *seed); });
}

}  // namespace viv::tool
