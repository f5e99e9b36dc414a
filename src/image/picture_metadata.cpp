#include "image/picture_metadata.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

#include "base/log.h"
#include "image/picture_registry.h"

namespace viv {
namespace {

struct TIptcField {
  const char* Name;
  const char* Key;
};

// The IPTC application record datasets behind the macros' field names.
constexpr TIptcField kIptcFields[] = {
    {"DocumentTitle", "Iptc.Application2.ObjectName"},
    {"SpecialInstructions", "Iptc.Application2.SpecialInstructions"},
    {"AuthorByline", "Iptc.Application2.Byline"},
    {"AuthorTitle", "Iptc.Application2.BylineTitle"},
    {"City", "Iptc.Application2.City"},
    {"Sublocation", "Iptc.Application2.SubLocation"},
    {"ProvinceState", "Iptc.Application2.ProvinceState"},
    {"Country", "Iptc.Application2.CountryName"},
    {"OTR", "Iptc.Application2.TransmissionReference"},
    {"Headline", "Iptc.Application2.Headline"},
    {"Credits", "Iptc.Application2.Credit"},
    {"Source", "Iptc.Application2.Source"},
    {"Copyright", "Iptc.Application2.Copyright"},
    {"CaptionDescription", "Iptc.Application2.Caption"},
    {"CaptionWriter", "Iptc.Application2.Writer"},
};

std::string ExifText(const Exiv2::ExifData& exif, const char* key) {
  auto it = exif.findKey(Exiv2::ExifKey(key));
  if (it == exif.end()) return {};
  // User comments carry a character-set prefix that the comment itself drops.
  if (auto* comment = dynamic_cast<const Exiv2::CommentValue*>(&it->value()))
    return comment->comment();
  return it->toString();
}

}  // namespace

bool ReadPictureMetadata(TStream& stream, TPictureMetadata& metadata) {
  static std::once_flag muted;
  std::call_once(muted, [] { Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute); });
  try {
    std::string bytes = ReadPictureFile(stream, "metadata");
    if (bytes.empty()) return false;
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                           static_cast<long>(bytes.size()));
    if (!image.get()) return false;
    image->readMetadata();
    const Exiv2::ExifData& exif = image->exifData();
    metadata.ExifComment = ExifText(exif, "Exif.Photo.UserComment");
    metadata.ExifDescription = ExifText(exif, "Exif.Image.ImageDescription");
    metadata.ExifDateTime = ExifText(exif, "Exif.Photo.DateTimeOriginal");
    if (metadata.ExifDateTime.empty())
      metadata.ExifDateTime = ExifText(exif, "Exif.Image.DateTime");
    const Exiv2::IptcData& iptc = image->iptcData();
    for (const TIptcField& field : kIptcFields) {
      auto it = iptc.findKey(Exiv2::IptcKey(field.Key));
      if (it != iptc.end()) metadata.Iptc[field.Name] = it->toString();
    }
    return !exif.empty() || !iptc.empty();
  } catch (const std::exception& e) {
    LogLine(std::string("Picture metadata not read: ") + e.what());
    return false;
  }
}

}  // namespace viv
