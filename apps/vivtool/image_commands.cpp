// image, lut, convert-color
#include <charconv>

#include "base/stream.h"
#include "image/colour/colour_management.h"
#include "image/loaders/png_loader.h"
#include "image/picture_registry.h"
#include "tool.h"

namespace viv::tool {
namespace {

struct TImageArgs {
  std::string File;
  int Level = 0;
  std::string Png;
};

// A built-in profile by name, else an ICC file; none (after the message) when
// neither.
TRef<TColorProfile> ProfileArgument(const std::string& text) {
  if (auto profile = BuiltInProfileByText(text)) return profile;
  if (auto profile = ProfileFromFile(text)) return profile;
  Fail(text + ": not a built-in profile or a readable ICC file");
  return nullptr;
}

int RunImage(const TImageArgs& args) {
  auto stream = TFileStream::Open(args.File, TFileMode::Read);
  if (!stream) return Fail(args.File + ": cannot be opened");
  TImage image = OpenImage(*stream, args.File);
  if (!image) return Fail(args.File + ": no loader accepts it");
  TSysBitmapStore& source = *image.Source();
  TPixelFormat format = HasAlpha(source.PixelFormat()) ? TPixelFormat::Argb32 : TPixelFormat::Rgb24;
  TRef<TBitmap> level = source.GetMipLevel(args.Level, format);
  TJson out;
  out["loader"] = source.LoaderName();
  out["width"] = source.Width();
  out["height"] = source.Height();
  out["format"] = PixelFormatName(source.PixelFormat());
  out["profile"] = source.Profile() ? TJson(source.Profile()->Name()) : TJson(nullptr);
  out["level"] = args.Level;
  out["level_width"] = level->Width();
  out["level_height"] = level->Height();
  if (!args.Png.empty()) WriteFileBytes(args.Png, EncodePng(*level));
  PrintJson(out);
  return kExitOk;
}

int RunLut(const std::string& sourceText, const std::string& targetText, const std::string& out) {
  TRef<TColorProfile> source = ProfileArgument(sourceText);
  if (!source) return kExitFailure;
  TRef<TColorProfile> target = ProfileArgument(targetText);
  if (!target) return kExitFailure;
  TRef<TBitmap> table = MakeIdentityTable(TPixelFormat::Rgb24);
  if (auto transform = MakeColorTransform(source, target)) transform->Apply(*table);
  WriteFileBytes(out, EncodePng(*table));
  return kExitOk;
}

bool ParseRgb(const std::string& text, uint32_t& colour) {
  const char* p = text.data();
  const char* end = p + text.size();
  colour = 0;
  for (int i = 0; i < 3; ++i) {
    unsigned value = 0;
    auto [next, ec] = std::from_chars(p, end, value);
    if (ec != std::errc() || value > 255) return false;
    colour = colour << 8 | value;
    p = next;
    if (i < 2) {
      if (p == end || *p != ',') return false;
      ++p;
    }
  }
  return p == end;
}

int RunConvertColor(const std::string& profileText, const std::string& rgb) {
  uint32_t colour = 0;
  if (!ParseRgb(rgb, colour)) return Fail(rgb + ": expected R,G,B with values 0 to 255");
  TRef<TColorProfile> profile = ProfileArgument(profileText);
  if (!profile) return kExitFailure;
  // The table's first byte is blue: 0x00RRGGBB in memory order.
  uint32_t converted = ConvertColor(profile.Get(), colour);
  TJson out;
  out["r"] = converted >> 16 & 0xFF;
  out["g"] = converted >> 8 & 0xFF;
  out["b"] = converted & 0xFF;
  PrintJson(out);
  return kExitOk;
}

}  // namespace

void AddImageCommands(CLI::App& app, TToolState& state) {
  auto args = std::make_shared<TImageArgs>();
  auto* image = app.add_subcommand("image", "decode a picture as the player does");
  image->add_option("FILE", args->File)->required();
  image->add_option("--level", args->Level, "mip level to decode (0 is the full size)")
      ->check(CLI::Range(0, 31));
  image->add_option("--png", args->Png, "write the decoded level as an 8-bit RGB or RGBA PNG");
  image->callback([args, &state] { state.ExitCode = RunImage(*args); });

  auto names = std::make_shared<std::array<std::string, 3>>();
  auto* lut = app.add_subcommand("lut", "the 32 x 1024 conversion table between two profiles");
  lut->add_option("SOURCE_PROFILE", (*names)[0], "sRGB, AdobeRGB, FunkyRGB or an ICC file")
      ->required();
  lut->add_option("TARGET_PROFILE", (*names)[1])->required();
  lut->add_option("OUT", (*names)[2], "PNG file to write")->required();
  lut->callback(
      [names, &state] { state.ExitCode = RunLut((*names)[0], (*names)[1], (*names)[2]); });

  auto colour = std::make_shared<std::array<std::string, 2>>();
  auto* convert = app.add_subcommand("convert-color", "one sRGB colour as shown on a display");
  convert->add_option("PROFILE", (*colour)[0], "display profile")->required();
  convert->add_option("RGB", (*colour)[1], "R,G,B")->required();
  convert->callback(
      [colour, &state] { state.ExitCode = RunConvertColor((*colour)[0], (*colour)[1]); });
}

}  // namespace viv::tool
