#include "model/text_macros.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/text.h"

namespace viv {
namespace {

constexpr std::string_view kMacroOpen = "<%";
constexpr std::string_view kMacroClose = "%>";

constexpr std::string_view kIptcFields[] = {
    "DocumentTitle", "SpecialInstructions",
    "AuthorByline",  "AuthorTitle",
    "City",          "Sublocation",
    "ProvinceState", "Country",
    "OTR",           "Headline",
    "Credits",       "Source",
    "Copyright",     "CaptionDescription",
    "CaptionWriter",
};

// Macro names without "<%" and "%>", with their values.
using TMacroTable = std::vector<std::pair<std::string, std::string>>;

// One left-to-right pass; inserted values are not searched again.
std::string ReplaceMacros(std::string_view text, const TMacroTable& macros) {
  size_t longest = 0;
  for (const auto& macro : macros) longest = std::max(longest, macro.first.size());
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    size_t open = text.find(kMacroOpen, pos);
    if (open == std::string_view::npos) break;
    size_t nameStart = open + kMacroOpen.size();
    size_t close = text.find(kMacroClose, nameStart);
    if (close == std::string_view::npos) break;
    out.append(text.substr(pos, open - pos));
    std::string_view name = text.substr(nameStart, close - nameStart);
    const std::string* value = nullptr;
    if (name.size() <= longest) {
      for (const auto& macro : macros)
        if (SameText(macro.first, name)) value = &macro.second;
    }
    if (value) {
      out += *value;
      pos = close + kMacroClose.size();
    } else {
      // Not a macro: keep the "<" and look again from the next character.
      out += text[open];
      pos = open + 1;
    }
  }
  out.append(text.substr(pos));
  return out;
}

struct TFileNameParts {
  std::string Folder;  // with its trailing separator
  std::string Name;    // without extension
  std::string NameExt;
  std::string FolderName;
};

size_t LastSeparator(std::string_view path) { return path.find_last_of("\\/"); }

TFileNameParts SplitFileName(std::string_view path) {
  TFileNameParts parts;
  size_t sep = LastSeparator(path);
  size_t nameStart = sep == std::string_view::npos ? 0 : sep + 1;
  parts.Folder = path.substr(0, nameStart);
  parts.NameExt = path.substr(nameStart);
  parts.Name = parts.NameExt.substr(0, parts.NameExt.rfind('.'));
  if (!parts.Folder.empty()) {
    std::string_view folder = std::string_view(parts.Folder).substr(0, parts.Folder.size() - 1);
    size_t up = LastSeparator(folder);
    parts.FolderName = folder.substr(up == std::string_view::npos ? 0 : up + 1);
  }
  return parts;
}

struct TExifMoment {
  std::string Date, Time;
};

// "YYYY:MM:DD HH:MM:SS", possibly padded with blanks or NULs.
TExifMoment ParseExifDateTime(std::string_view text) {
  constexpr size_t kLength = 19;
  if (text.size() < kLength) return {};
  if (text.substr(kLength).find_first_not_of(std::string_view(" \0", 2)) != std::string_view::npos)
    return {};
  auto number = [&](size_t at, size_t digits, int& value) {
    value = 0;
    for (size_t i = at; i < at + digits; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      value = value * 10 + (text[i] - '0');
    }
    return true;
  };
  int year, month, day, hour, minute, second;
  bool shaped = number(0, 4, year) && text[4] == ':' && number(5, 2, month) && text[7] == ':' &&
                number(8, 2, day) && text[10] == ' ' && number(11, 2, hour) && text[13] == ':' &&
                number(14, 2, minute) && text[16] == ':' && number(17, 2, second);
  constexpr int kLeapSecond = 60;
  if (!shaped || year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
      minute > 59 || second > kLeapSecond)
    return {};
  return {std::string(text.substr(0, 4)) + "-" + std::string(text.substr(5, 2)) + "-" +
              std::string(text.substr(8, 2)),
          std::string(text.substr(11, 8))};
}

std::string IptcField(const TPictureMetadata& metadata, std::string_view field) {
  auto it = metadata.Iptc.find(std::string(field));
  return it == metadata.Iptc.end() ? std::string() : it->second;
}

TMacroTable FirstStepMacros(const TTextMacroValues& values) {
  bool main = values.HasMainPicture;
  const TPictureMetadata& metadata = values.Metadata;
  TMacroTable macros = {
      {"SlideIndex", std::to_string(values.SlideIndex)},
      {"SlidesCount", std::to_string(values.SlidesCount)},
      {"MainImg.Width", main ? std::to_string(values.MainWidth) : ""},
      {"MainImg.Height", main ? std::to_string(values.MainHeight) : ""},
      {"MainImg.Exif.Comment", main ? metadata.ExifComment : ""},
      {"MainImg.Exif.Description", main ? metadata.ExifDescription : ""},
      {"MainImg.PathNameExt", main ? values.MainFileName : ""},
  };
  for (std::string_view field : kIptcFields)
    macros.emplace_back("MainImg.IPTC." + std::string(field),
                        main ? IptcField(metadata, field) : "");
  return macros;
}

TMacroTable SecondStepMacros(const TTextMacroValues& values) {
  TFileNameParts parts;
  TExifMoment moment;
  if (values.HasMainPicture) {
    parts = SplitFileName(values.MainFileName);
    moment = ParseExifDateTime(values.Metadata.ExifDateTime);
  }
  return {
      {"MainImg.FileName", parts.Name},         {"MainImg.PathName", parts.Folder + parts.Name},
      {"MainImg.FileNameExt", parts.NameExt},   {"MainImg.FolderPath", parts.Folder},
      {"MainImg.FolderName", parts.FolderName}, {"MainImg.Exif.Date", moment.Date},
      {"MainImg.Exif.Time", moment.Time},
  };
}

}  // namespace

std::string ExpandTextMacros(std::string_view line, const TTextMacroValues& values) {
  std::string text = ReplaceMacros(line, FirstStepMacros(values));
  text = ReplaceMacros(text, SecondStepMacros(values));
  // An empty text would make no picture at all.
  if (text.empty()) text = " ";
  return text;
}

}  // namespace viv
