// Parsing a project of the size a real show has, and key lookups in a large
// section.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/stream.h"
#include "base/text.h"
#include "project/ini_tree.h"

namespace viv {
namespace {

// A project shaped like the authoring tool's: a main section, a times section,
// and slides whose object trees hold pictures with keyframes.
std::string MakeProject(size_t lines) {
  std::string text = "\xEF\xBB\xBF[Main]\r\n";
  size_t count = 1;
  auto line = [&](const std::string& s) {
    text += s;
    text += "\r\n";
    ++count;
  };
  for (int i = 0; i < 120; ++i)
    line("opt_option_" + std::to_string(i) + "=" + std::to_string(i * 7));
  line("");
  line("[Times]");
  for (int i = 1; count < lines / 10; ++i)
    line("opt_synchpos" + std::to_string(i) + "=" + std::to_string(i * 5000));
  for (int slide = 1; count < lines; ++slide) {
    line("");
    line("[Slide" + std::to_string(slide) + "]");
    line("slideid=6B1F3C2A-0D4E-4F7A-9E21-" + std::to_string(100000000000 + slide));
    line("bcolor=#102030");
    line("object Container:Root");
    for (int picture = 0; picture < 3 && count < lines; ++picture) {
      line("  object Photo" + std::to_string(picture) + ":Image");
      line("    FileName=images\\picture" + std::to_string(slide * 3 + picture) + ".jpg");
      line("    Position=0.5,0.5");
      line("    Color=255,128,0,200");
      line("    object KeyFrames:KFList");
      for (int key = 0; key < 4; ++key) {
        line("      object K" + std::to_string(key) + ":KF");
        line("        Time=" + std::to_string(key * 1250));
        line("        Zoom=1." + std::to_string(key * 25));
        line("      end");
      }
      line("    end");
      line("  end");
    }
    line("  object Title:Text");
    line("    Text=Slide " + std::to_string(slide) + "\\nsecond line");
    line("  end");
    line("end");
  }
  return text;
}

void BM_ParseProject(benchmark::State& state) {
  const std::string text = MakeProject(5000);
  auto stream = MakeRef<TMemoryStream>(text);
  for (auto _ : state) {
    stream->SetPosition(0);
    auto file = MakeRef<TIniFile>();
    bool loaded = file->LoadFromStream(*stream);
    benchmark::DoNotOptimize(loaded);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["lines"] = 5000;
}
BENCHMARK(BM_ParseProject);

// Every key of a section looked up once, in random order and another letter
// case; the index is built before timing starts.
void BM_LookupKeys(benchmark::State& state) {
  const auto keys = static_cast<size_t>(state.range(0));
  std::string text = "[Big]\n";
  std::vector<std::string> names;
  for (size_t i = 0; i < keys; ++i) {
    names.push_back("opt_key_" + std::to_string(i));
    text += names.back() + "=" + std::to_string(i) + "\n";
  }
  auto file = MakeRef<TIniFile>();
  file->LoadFromText(text);
  TIniSection& section = *file->FindSection("big");
  for (auto& name : names) name = UpperCase(name);
  std::shuffle(names.begin(), names.end(), std::mt19937(1));
  benchmark::DoNotOptimize(section.FindItem(names[0]));
  for (auto _ : state) {
    for (const auto& name : names) benchmark::DoNotOptimize(section.FindItem(name));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * keys));
}
BENCHMARK(BM_LookupKeys)->Arg(100)->Arg(5000)->Arg(100000);

}  // namespace
}  // namespace viv
