// Packages made by a separate packer, checked against what its manifest says
// the reader must find.
#include <gtest/gtest.h>
#include <nettle/sha2.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"
#include "container/viv_unpack.h"

namespace viv {
namespace {

const std::string kSampleFolder = std::string(VIV_TEST_FIXTURES) + "/samples";

// Lower-case hexadecimal SHA-256 digest, as the manifest records it.
std::string Sha256Hex(std::string_view data) {
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, data.size(), reinterpret_cast<const uint8_t*>(data.data()));
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context, sizeof digest, digest);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0xF];
  }
  return text;
}

// Catches a broken digest helper before it is blamed on the reader.
TEST(Sha256, KnownAnswers) {
  struct TCase {
    std::string Input;
    const char* Digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 56 bytes: the padding needs a second block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
  };
  for (const auto& c : cases) EXPECT_EQ(Sha256Hex(c.Input), c.Digest) << c.Input;
}

TEST(Samples, EveryPackageMatchesTheManifest) {
  auto manifest = nlohmann::json::parse(ReadFileBytes(kSampleFolder + "/manifest.json"));

  // A sample without a manifest entry would go unchecked.
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(kSampleFolder))
    if (entry.path().extension() == ".vxshow") files.insert(entry.path().filename().string());
  std::set<std::string> described;
  for (const auto& [name, expected] : manifest.items()) described.insert(name);
  EXPECT_EQ(files, described);

  for (const auto& [name, expected] : manifest.items()) {
    SCOPED_TRACE(name);
    auto package = MakeRef<TVivUnpack>(kSampleFolder + "/" + name);
    ASSERT_EQ(package->IsOpen(), expected["open"].get<bool>());
    if (!package->IsOpen()) {
      EXPECT_EQ(package->ErrorText(), expected["error"].get<std::string>());
      continue;
    }
    EXPECT_EQ(package->ErrorText(), "");
    EXPECT_EQ(package->Version(), expected["version"].get<std::string>());
    EXPECT_EQ(package->Base(), expected["base"].get<int64_t>());
    EXPECT_EQ(package->EntryDelta(), expected["entry_delta"].get<int64_t>());

    for (const auto& [entryName, want] : expected["entries"].items()) {
      SCOPED_TRACE(entryName);
      auto entry = package->FindEntry(entryName);
      ASSERT_TRUE(entry);
      EXPECT_EQ(static_cast<int>(entry->Method), want["method"].get<int>());
      auto stream = package->OpenEntryStream(*entry);
      std::string bytes = stream->ReadRest(INT64_MAX);
      EXPECT_EQ(static_cast<int64_t>(bytes.size()), want["size"].get<int64_t>());
      EXPECT_EQ(Sha256Hex(bytes), want["sha256"].get<std::string>());
    }

    std::vector<std::string> sections;
    const TIniFile& directory = package->Structure()->Directory();
    for (size_t i = 0; i < directory.SectionCount(); ++i)
      if (directory.Section(i).Name() != kProtectionSection)
        sections.push_back(directory.Section(i).Name());
    auto wanted = expected["sections"].get<std::vector<std::string>>();
    std::sort(sections.begin(), sections.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(sections, wanted);
  }
}

}  // namespace
}  // namespace viv
