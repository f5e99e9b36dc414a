// Show sources built from project text, for the show tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "base/player_path.h"
#include "container/file_accessor.h"
#include "project/ini_tree.h"
#include "show/random_generator.h"
#include "show/viv_source.h"

namespace viv::test {

inline TRef<TIniFile> ParseProject(std::string_view text) {
  auto project = MakeRef<TIniFile>();
  project->LoadFromText(text);
  return project;
}

// Nothing is read from the accessor here: a disk accessor on /tmp serves.
inline TRef<TVivSource> SourceOf(TRef<TIniFile> project) {
  return MakeRef<TVivSource>(NewDiskAccessor("/tmp"), std::move(project));
}

inline TRef<TVivSource> SourceOf(std::string_view text) { return SourceOf(ParseProject(text)); }

// The value of a key after the source has been built ("Main:opt_ssaver"); a
// missing key reads as "<none>".
inline std::string ValueAt(TIniFile& project, std::string_view path) {
  TIniItem* item = project.PathLookup(path, false);
  return item ? item->Value() : "<none>";
}

// Leaves the generator and the player file as the next test expects them.
class ShowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ShowRandom().ClearSeed();
    SetPlayerFilePath("");
  }
};

}  // namespace viv::test
