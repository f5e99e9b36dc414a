// Evaluating slide objects along the timeline, and rebuilding a node tree.
#include <benchmark/benchmark.h>

#include <string>

#include "model/animation/object_props.h"
#include "project/ini_tree.h"

namespace viv {
namespace {

constexpr int kObjects = 200;
constexpr int kKeyFrames = 10;
constexpr int kSlideLength = 10000;

// A root with 200 images, each with 10 keyframes moving all groups.
std::string SlideText(int objects) {
  std::string text = "object Container:Root\r\n";
  for (int o = 0; o < objects; ++o) {
    text += "  object P" + std::to_string(o) + ":Image\r\n    GUID=G" + std::to_string(o) + "\r\n";
    for (int k = 0; k < kKeyFrames; ++k) {
      text +=
          "    object K:KeyPoint\r\n      Time=" + std::to_string(k * kSlideLength / kKeyFrames) +
          "\r\n      Opacity=" + std::to_string(k * 10) +
          "\r\n      Position=" + std::to_string(k) + "," + std::to_string(-k) +
          "\r\n      ScaleX=" + std::to_string(100 + k) +
          "\r\n      Angle=" + std::to_string(k * 3) +
          "\r\n      Zoom=" + std::to_string(100 + 10 * k) +
          "\r\n      OffsX=" + std::to_string(k) + "\r\n    end\r\n";
    }
    text += "  end\r\n";
  }
  return text + "end\r\n";
}

TIniObject& RootBlock(TIniFile& document) { return *document.FirstObject(); }

void BM_EvaluateAtIncreasingTimes(benchmark::State& state) {
  TIniFile document;
  document.LoadFromText(SlideText(kObjects));
  auto root = MakeRef<TVivObjectProps>();
  root->Build(RootBlock(document), {kSlideLength, 0, 0});
  double time = 0;
  for (auto _ : state) {
    time += 16.7;  // one frame at 60 Hz
    if (time > kSlideLength) time = 0;
    root->Evaluate(time);
    benchmark::DoNotOptimize(root->Children.back()->Values);
  }
  state.SetItemsProcessed(state.iterations() * kObjects);
  state.SetLabel("objects per second");
}
BENCHMARK(BM_EvaluateAtIncreasingTimes);

// Jumping around the timeline shows what the incremental search saves.
void BM_EvaluateAtRandomTimes(benchmark::State& state) {
  TIniFile document;
  document.LoadFromText(SlideText(kObjects));
  auto root = MakeRef<TVivObjectProps>();
  root->Build(RootBlock(document), {kSlideLength, 0, 0});
  uint32_t seed = 12345;
  for (auto _ : state) {
    seed = seed * 1664525 + 1013904223;
    root->Evaluate(seed % kSlideLength);
    benchmark::DoNotOptimize(root->Children.back()->Values);
  }
  state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_EvaluateAtRandomTimes);

void BM_RebuildFromChangedBlock(benchmark::State& state) {
  TIniFile document;
  document.LoadFromText(SlideText(kObjects));
  TIniObject& block = RootBlock(document);
  auto root = MakeRef<TVivObjectProps>();
  root->Build(block, {kSlideLength, 0, 0});
  for (auto _ : state) {
    // Moving the last object to the front sets every later node aside, so
    // they are found again through the GUID hash.
    TRef<TIniItem> moved(block.Objects().back());
    block.Remove(*moved);
    block.Insert(0, moved);
    root->Build(block, {kSlideLength, 0, 0});
    benchmark::DoNotOptimize(root->Children.size());
  }
  state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_RebuildFromChangedBlock);

}  // namespace
}  // namespace viv
