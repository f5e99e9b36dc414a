// Package reading: directory lookups in a large package, streaming a stored
// entry, and inflating a deflated entry beside zlib's own uncompress of the
// same payload.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "container/package_writer.h"
#include "container/viv_unpack.h"

namespace {

using namespace viv;

constexpr int kLookupEntries = 10000;
constexpr size_t kStoredSize = size_t{64} << 20;
constexpr size_t kDeflatedSize = size_t{16} << 20;
constexpr size_t kReadPiece = size_t{1} << 20;

// Text-like bytes: words drawn from a small vocabulary compress about as well
// as project texts and caches do.
std::string Payload(size_t size) {
  static const char* const kWords[] = {"slide ",   "picture ", "keyframe ",   "=", "\r\n",
                                       "Object ",  "0.5,",     "transition ", "1", "[Main]",
                                       "opacity ", "music ",   "comment ",    "2", "end "};
  std::mt19937 random(7);
  std::uniform_int_distribution<size_t> pick(0, std::size(kWords) - 1);
  std::string out;
  out.reserve(size + 16);
  while (out.size() < size) out += kWords[pick(random)];
  out.resize(size);
  return out;
}

std::string LookupName(int i) {
  char name[64];
  std::snprintf(name, sizeof name, "Pictures\\Slide %04d\\Image [%05d].jpg", i / 10, i);
  return name;
}

// The packages, written once into a temporary folder that goes at exit.
struct TPackages {
  std::string Folder;
  TRef<TVivUnpack> Many;   // kLookupEntries small entries
  TRef<TVivUnpack> Large;  // one stored and one deflated entry
  std::string Deflatable;

  TPackages() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_package_XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    Folder = pattern;

    std::vector<TPackSource> many;
    for (int i = 0; i < kLookupEntries; ++i)
      many.push_back({LookupName(i), "", std::string(16, 'x'), TPackMethod::Stored});
    WritePackage(Folder + "/many.vxshow", many, {});
    Many = MakeRef<TVivUnpack>(Folder + "/many.vxshow");

    Deflatable = Payload(kDeflatedSize);
    WritePackage(Folder + "/large.vxshow",
                 {{"stored.bin", "", Payload(kStoredSize), TPackMethod::Stored},
                  {"deflated.txt", "", Deflatable, TPackMethod::Deflated}},
                 {});
    Large = MakeRef<TVivUnpack>(Folder + "/large.vxshow");
    if (!Many->IsOpen() || !Large->IsOpen()) std::abort();
  }
  ~TPackages() {
    std::error_code ec;
    std::filesystem::remove_all(Folder, ec);
  }
};

TPackages& Packages() {
  static TPackages packages;
  return packages;
}

void SetRates(benchmark::State& state, int64_t bytesPerIteration) {
  int64_t bytes = bytesPerIteration * state.iterations();
  state.SetBytesProcessed(bytes);
  state.counters["GB/s"] =
      benchmark::Counter(static_cast<double>(bytes) / 1e9, benchmark::Counter::kIsRate);
  state.counters["MB/s"] =
      benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsRate);
}

void BM_EntryLookup(benchmark::State& state) {
  const TVivUnpack& package = *Packages().Many;
  std::vector<std::string> names;
  for (int i = 0; i < kLookupEntries; ++i) names.push_back(LookupName((i * 7919) % kLookupEntries));
  size_t next = 0;
  for (auto _ : state) {
    auto entry = package.FindEntry(names[next]);
    benchmark::DoNotOptimize(entry);
    if (++next == names.size()) next = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EntryLookup);

void BM_ReadStoredEntry(benchmark::State& state) {
  const TVivUnpack& package = *Packages().Large;
  auto entry = *package.FindEntry("stored.bin");
  std::vector<char> buffer(kReadPiece);
  for (auto _ : state) {
    auto stream = package.OpenEntryStream(entry);
    while (size_t n = stream->Read(buffer.data(), buffer.size())) benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  }
  SetRates(state, entry.Size);
}
BENCHMARK(BM_ReadStoredEntry)->Unit(benchmark::kMillisecond);

void BM_InflateEntry(benchmark::State& state) {
  const TVivUnpack& package = *Packages().Large;
  auto entry = *package.FindEntry("deflated.txt");
  for (auto _ : state) {
    auto stream = package.OpenEntryStream(entry);
    benchmark::DoNotOptimize(stream.Get());
  }
  SetRates(state, static_cast<int64_t>(kDeflatedSize));
}
BENCHMARK(BM_InflateEntry)->Unit(benchmark::kMillisecond);

// zlib's one-shot uncompress of the same payload (zlib framing, same level).
void BM_ZlibUncompress(benchmark::State& state) {
  const std::string& payload = Packages().Deflatable;
  std::vector<Bytef> compressed(compressBound(payload.size()));
  uLongf compressedSize = compressed.size();
  if (compress2(compressed.data(), &compressedSize, reinterpret_cast<const Bytef*>(payload.data()),
                payload.size(), 9) != Z_OK) {
    state.SkipWithError("compress2 failed");
    return;
  }
  std::vector<Bytef> out(payload.size());
  for (auto _ : state) {
    uLongf outSize = out.size();
    if (uncompress(out.data(), &outSize, compressed.data(), compressedSize) != Z_OK) {
      state.SkipWithError("uncompress failed");
      return;
    }
    benchmark::ClobberMemory();
  }
  SetRates(state, static_cast<int64_t>(payload.size()));
}
BENCHMARK(BM_ZlibUncompress)->Unit(benchmark::kMillisecond);

// Keeps the console output and remembers the byte rates for the comparison.
class TRateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end() && !run.error_occurred)
        Rates[run.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> Rates;
};

}  // namespace

// A main of its own: the comparison needs the results of both inflaters.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TRateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto ours = reporter.Rates.find("BM_InflateEntry");
  auto zlib = reporter.Rates.find("BM_ZlibUncompress");
  if (ours != reporter.Rates.end() && zlib != reporter.Rates.end() && zlib->second > 0)
    std::printf("inflate through OpenEntryStream / zlib uncompress: %.2f\n",
                ours->second / zlib->second);
  benchmark::Shutdown();
  return 0;
}
