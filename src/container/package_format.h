// The byte layout of show packages: trailer, pack methods, scrambling key and
// the section names of entries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace viv {

inline constexpr std::string_view kPackageMagic = ".dne";
// Directory position (8) and magic (4) end every package; the long form adds
// the package length (8).
inline constexpr int64_t kShortTrailerSize = 12;
inline constexpr int64_t kLengthFieldSize = 8;
inline constexpr std::string_view kScrambleKey = "6F3B0D92A4E1C8577B2E90D4C1A63F58";
inline constexpr std::string_view kProtectionSection = "$protection$";
inline constexpr std::string_view kProjectEntryName = "Project.viv";

enum class TPackMethod : int { Stored = 0, Deflated = 1, Scrambled = 2 };

// Unknown method numbers read as stored bytes.
TPackMethod PackMethodFromNumber(int64_t number);

// The directory section name of an entry: "[" and "]" become "<" and ">";
// control characters are written as "#XX" after the characters that precede the
// first of them are repeated (as many as there are control characters, or as
// many as stand before it when fewer do).
std::string EntryKey(std::string_view entryName);

}  // namespace viv
