#include "image/loaders/jpeg_loader.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <functional>
#include <vector>

#include "base/log.h"
#include "container/load_callback.h"
#include "image/colour/colour_profile.h"
#include "image/picture_limits.h"
#include "image/picture_registry.h"

namespace viv {
namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return:
// it jumps back into the function that set up the decoder. Those functions
// hold only C structures, so no destructor is skipped.
struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
  auto* error = reinterpret_cast<TJpegError*>(info->err);
  (*info->err->format_message)(info, error->Message);
  std::longjmp(error->Jump, 1);
}

// Warnings (a truncated body, for one) are counted, not printed.
void SilentOutput(j_common_ptr) {}

void InitError(jpeg_decompress_struct& info, TJpegError& error) {
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = &ErrorExit;
  error.Manager.output_message = &SilentOutput;
  error.Message[0] = '\0';
}

struct THeader {
  int32_t Width = 0;
  int32_t Height = 0;
  bool Grey = false;
};

bool ReadHeader(const std::string& bytes, THeader& header) {
  jpeg_decompress_struct info;
  TJpegError error;
  InitError(info, error);
  if (setjmp(error.Jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  jpeg_read_header(&info, TRUE);
  header.Width = static_cast<int32_t>(info.image_width);
  header.Height = static_cast<int32_t>(info.image_height);
  header.Grey = info.jpeg_color_space == JCS_GRAYSCALE;
  jpeg_destroy_decompress(&info);
  return true;
}

// What a decoding needs outside the jump's reach.
struct TDecodeJob {
  jpeg_progress_mgr Progress;  // first, so the decoder's pointer is the job's
  std::function<void(double)> Report;
  TRef<TBitmap> Out;
  std::vector<uint8_t> CmykRow;
  std::vector<JSAMPROW> Rows;  // one pointer per output row
  std::vector<JSAMPROW> CmykRows;
  bool Inverted = false;  // Adobe CMYK stores inverted inks

  // False, with why in message, when the pixels cannot be had (the picture
  // budget, or memory).
  bool Allocate(int32_t width, int32_t height, bool cmyk, char* message) noexcept {
    try {
      Out = MakeRef<TBitmap>(width, height, TPixelFormat::Rgb24, TBitmapInit::Uninitialized);
      if (cmyk) {
        CmykRow.resize(static_cast<size_t>(width) * 4);
        CmykRows.assign(1, CmykRow.data());
      } else {
        Rows.resize(height);
        for (int32_t y = 0; y < height; ++y) Rows[y] = Out->Row(y);
      }
      return true;
    } catch (const std::exception& e) {
      std::snprintf(message, JMSG_LENGTH_MAX, "%s", e.what());
      return false;
    }
  }

  void CmykToRow(int32_t y) noexcept {
    uint8_t* out = Out->Row(y);
    for (size_t x = 0; x < CmykRow.size() / 4; ++x) {
      const uint8_t* k = &CmykRow[x * 4];
      auto ink = [&](int i) { return Inverted ? k[i] : 255 - k[i]; };
      int white = Inverted ? k[3] : 255 - k[3];
      out[x * 3 + 0] = static_cast<uint8_t>(ink(2) * white / 255);
      out[x * 3 + 1] = static_cast<uint8_t>(ink(1) * white / 255);
      out[x * 3 + 2] = static_cast<uint8_t>(ink(0) * white / 255);
    }
  }
};

// Each pass of a two-pass decoding counts as its share of the whole.
void ProgressMonitor(j_common_ptr info) {
  auto* job = reinterpret_cast<TDecodeJob*>(info->progress);
  const jpeg_progress_mgr& p = job->Progress;
  double passes = p.total_passes > 0 ? p.total_passes : 1;
  double within = p.pass_limit > 0 ? static_cast<double>(p.pass_counter) / p.pass_limit : 0;
  if (job->Report) job->Report((p.completed_passes + within) / passes);
  LoadCallback(nullptr);
}

bool Decode(const std::string& bytes, int level, TDecodeJob& job, char* message) {
  jpeg_decompress_struct info;
  TJpegError error;
  InitError(info, error);
  if (setjmp(error.Jump)) {
    if (error.Manager.msg_code == JERR_NO_BACKING_STORE)
      std::snprintf(message, JMSG_LENGTH_MAX, "%s", "decoding would pass the picture budget");
    else
      std::snprintf(message, JMSG_LENGTH_MAX, "%s", error.Message);
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  job.Progress.progress_monitor = &ProgressMonitor;
  info.progress = &job.Progress;
  jpeg_read_header(&info, TRUE);
  bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  job.Inverted = cmyk && info.saw_Adobe_marker;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  info.scale_num = 1;
  info.scale_denom = 1u << level;
  jpeg_calc_output_dimensions(&info);
  if (!job.Allocate(static_cast<int32_t>(info.output_width),
                    static_cast<int32_t>(info.output_height), cmyk, message)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  // Progressive and multi-scan files keep the whole picture's coefficients
  // (up to 8 bytes a pixel); they get what the picture budget has left
  // beside the output, and a file that needs more fails to decode.
  info.mem->max_memory_to_use = std::max<long>(static_cast<long>(PictureBudgetLeft()), 1);
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    auto y = static_cast<int32_t>(info.output_scanline);
    // Whole row groups at a time spare the decoder its one-row copies.
    JSAMPROW* rows = cmyk ? job.CmykRows.data() : job.Rows.data() + y;
    JDIMENSION wanted = cmyk ? 1 : info.output_height - info.output_scanline;
    JDIMENSION got = jpeg_read_scanlines(&info, rows, wanted);
    if (got == 0) {
      // Rows the decoder did not deliver are black, not what memory held.
      for (; y < job.Out->Height(); ++y) std::memset(job.Out->Row(y), 0, job.Out->Stride());
      break;
    }
    if (cmyk) job.CmykToRow(y);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

// --- embedded profile

constexpr int64_t kMaxScannedSize = 104857600;
constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kApp2 = 0xE2;
// The 12-byte "ICC_PROFILE" signature, then the chunk number and count.
constexpr int64_t kIccChunkHeader = 14;

bool HasSegment(uint8_t marker) {
  return (marker >= 0xC0 && marker <= 0xCF) || (marker >= 0xDA && marker <= 0xDD) ||
         (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
}

bool ReadByte(TStream& stream, uint8_t& byte) { return stream.Read(&byte, 1) == 1; }

}  // namespace

TJpegBitmapStore::TJpegBitmapStore(std::string name, std::string bytes, int32_t width,
                                   int32_t height, bool grey)
    : TSysBitmapStore(std::move(name), width, height,
                      grey ? TPixelFormat::Gray8 : TPixelFormat::Rgb24),
      fBytes(std::move(bytes)) {}

TRef<TBitmap> TJpegBitmapStore::DecodeLevel(int level) {
  if (level >= kJpegDirectLevels) return nullptr;
  TDecodeJob job{};
  job.Report = [this](double fraction) { ReportProgress(fraction); };
  char message[JMSG_LENGTH_MAX] = {};
  if (!Decode(fBytes, level, job, message)) throw EJPEG(message);
  return job.Out;
}

TRef<TSysBitmapStore> LoadJpegPicture(TStream& stream, std::string_view name) {
  int64_t start = stream.GetPosition();
  std::string bytes = ReadPictureFile(stream, name);
  THeader header;
  if (bytes.empty() || !ReadHeader(bytes, header) || header.Width == 0 || header.Height == 0)
    return nullptr;
  if (!PictureSizeAllowed(header.Width, header.Height, name)) return nullptr;
  stream.SetPosition(start);
  std::string icc = ExtractJpegIcc(stream);
  auto store = MakeRef<TJpegBitmapStore>(std::string(name), std::move(bytes), header.Width,
                                         header.Height, header.Grey);
  store->SetProfile(ProfileFromIcc(std::move(icc), std::string(name)));
  return store;
}

std::string ExtractJpegIcc(TStream& stream) {
  try {
    int64_t size = stream.GetSize();
    if (size > kMaxScannedSize) return {};
    stream.SetPosition(0);
    bool first = true;
    for (;;) {
      uint8_t byte = 0;
      int64_t offset = stream.GetPosition();
      if (!ReadByte(stream, byte)) {
        LogLine("Jpeg Marker expected");
        return {};
      }
      if (byte != kMarkerPrefix) {
        LogLine("Error: marker expected at " + std::to_string(offset));
        return {};
      }
      uint8_t marker = 0;
      for (;;) {
        offset = stream.GetPosition();
        if (!ReadByte(stream, marker)) {
          LogLine("Jpeg Marker expected");
          return {};
        }
        if (marker != kMarkerPrefix) break;
        LogLine("Error: duplicate $FF encountered at " + std::to_string(offset));
      }
      if (first && marker != kStartOfImage) return {};
      first = false;
      if (marker == 0) return {};
      if (!HasSegment(marker)) continue;
      uint8_t length[2];
      if (stream.Read(length, 2) != 2) return {};
      int64_t segment = (int64_t{length[0]} << 8 | length[1]) - 2;
      int64_t start = stream.GetPosition();
      // A segment longer than the file ends the scan: nothing is read past it.
      if (segment < 0 || start + segment > size) return {};
      if (marker == kApp2) {
        if (segment <= kIccChunkHeader) return {};
        stream.SetPosition(start + kIccChunkHeader);
        std::string profile(static_cast<size_t>(segment - kIccChunkHeader), '\0');
        stream.ReadBuffer(profile.data(), profile.size());
        return profile;
      }
      if (marker == kStartOfScan) return {};
      stream.SetPosition(start + segment);
    }
  } catch (const std::exception& e) {
    LogLine(std::string("Jpeg ICC scan failed: ") + e.what());
    return {};
  }
}

}  // namespace viv
