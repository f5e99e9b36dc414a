// Picture decoding and colour tables: a 12-megapixel JPEG at levels 0 to 3
// beside djpeg -scale of libjpeg-turbo on the same file, mip reduction, QVGF
// decoding and a conversion table through Little CMS.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/stream.h"
#include "image/colour/colour_management.h"
#include "image/image_library.h"
#include "image/loaders/qvgf_loader.h"
#include "image/picture_registry.h"

extern char** environ;

namespace {

using namespace viv;

constexpr int32_t kPhotoWidth = 4000;
constexpr int32_t kPhotoHeight = 3000;

// Smooth gradients with a little noise compress and decode like a photograph.
TRef<TBitmap> PhotoLike(int32_t width, int32_t height) {
  auto picture = MakeRef<TBitmap>(width, height, TPixelFormat::Rgb24);
  std::mt19937 random(11);
  std::uniform_int_distribution<int> noise(-6, 6);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = picture->Row(y);
    for (int32_t x = 0; x < width; ++x) {
      row[x * 3 + 0] = static_cast<uint8_t>(std::clamp(x * 255 / width + noise(random), 0, 255));
      row[x * 3 + 1] = static_cast<uint8_t>(std::clamp(y * 255 / height + noise(random), 0, 255));
      row[x * 3 + 2] = static_cast<uint8_t>(std::clamp((x + y) % 256 + noise(random), 0, 255));
    }
  }
  return picture;
}

std::string EncodeJpeg(const TBitmap& picture) {
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(picture.Width());
  info.image_height = static_cast<JDIMENSION>(picture.Height());
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(picture.Row(static_cast<int32_t>(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string out(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return out;
}

const std::string& PhotoFile() {
  static const std::string path = [] {
    InstallImageLibrary();
    std::string file = "/tmp/viv-bench-photo-" + std::to_string(::getpid()) + ".jpg";
    WriteFileBytes(file, EncodeJpeg(*PhotoLike(kPhotoWidth, kPhotoHeight)));
    std::atexit([] { ::unlink(PhotoFile().c_str()); });
    return file;
  }();
  return path;
}

// Where djpeg leaves its picture: in memory, as ours does, so that both pay
// for holding the whole decoded picture.
std::string DjpegOutput() {
  std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return folder + "/viv-bench-djpeg-" + std::to_string(::getpid()) + ".ppm";
}

// Seconds djpeg takes to decode the file at 1/2^level.
double DjpegSeconds(int level) {
  std::string scale = "1/" + std::to_string(1 << level);
  std::string output = DjpegOutput();
  std::vector<std::string> args = {"djpeg", "-scale", scale, "-outfile", output, PhotoFile()};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, argv.data(), environ) != 0) return 0;
  int status = 0;
  ::waitpid(pid, &status, 0);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ::unlink(output.c_str());
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : 0;
}

// Ours is timed; djpeg runs beside it with the clock paused, and the counter
// "vs_djpeg" is our time over djpeg's (1.10 = 10 % slower). djpeg's time
// includes starting its process and writing its picture out.
void BM_JpegLevel(benchmark::State& state) {
  int level = static_cast<int>(state.range(0));
  std::string bytes = ReadFileBytes(PhotoFile());
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    auto stream = MakeRef<TMemoryStream>(bytes);
    TImage image = OpenImage(*stream, "photo.jpg");
    benchmark::DoNotOptimize(image.Source()->GetMipLevel(level));
    ours += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.PauseTiming();
    theirs += DjpegSeconds(level);
    state.ResumeTiming();
  }
  if (theirs > 0)
    state.counters["vs_djpeg"] = ours / theirs;
  else
    state.SetLabel("djpeg not found");
}
BENCHMARK(BM_JpegLevel)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MipReduction(benchmark::State& state) {
  TRef<TBitmap> picture = PhotoLike(kPhotoWidth, kPhotoHeight);
  for (auto _ : state) benchmark::DoNotOptimize(ReduceHalf(*picture));
  state.counters["megapixels_per_s"] =
      benchmark::Counter(double(kPhotoWidth) * kPhotoHeight * double(state.iterations()) / 1e6,
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MipReduction)->Unit(benchmark::kMillisecond);

void BM_QvgfDecode(benchmark::State& state) {
  InstallImageLibrary();
  std::string qvgf = EncodeQvgf(*PhotoLike(2000, 1500), "photo.bmp");
  for (auto _ : state) {
    auto stream = MakeRef<TMemoryStream>(qvgf);
    TImage image = OpenImage(*stream, "photo.qvgfx");
    benchmark::DoNotOptimize(image.Source()->GetMipLevel(0));
  }
  state.SetBytesProcessed(int64_t(qvgf.size()) * state.iterations());
}
BENCHMARK(BM_QvgfDecode)->Unit(benchmark::kMillisecond);

void BM_ColourTable(benchmark::State& state) {
  InstallImageLibrary();
  TRef<TColorProfile> adobe = BuiltInProfile(kAdobeRgbName);
  TRef<TColorProfile> funky = BuiltInProfile(kFunkyRgbName);
  for (auto _ : state) benchmark::DoNotOptimize(MakePictureLut(adobe, funky));
}
BENCHMARK(BM_ColourTable)->Unit(benchmark::kMillisecond);

}  // namespace
