// Shared decoded pictures: one decode per (name, source), placeholders, and
// the handle table emptied by the last release. Small test services stand in
// for the image library.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <string>
#include <thread>

#include "container/file_accessor.h"
#include "container/file_source.h"
#include "container_test_support.h"
#include "project/ini_tree.h"

namespace viv {
namespace {

using test::ReadAll;
using test::TScratchFolder;

struct TTestPicture : TPictureStore {
  std::string Bytes;  // what was decoded, or "placeholder"
  int Orientation = 0;
  TPictureFailure Failure = TPictureFailure::NotFound;
  std::string Name;
  int32_t Width() const override { return 1; }
  int32_t Height() const override { return 1; }
};

std::atomic<int> gDecodes{0};
std::atomic<bool> gSlowDecode{false};

// Files starting with "PIC" decode; "THROW" raises; anything else is no picture.
TRef<TPictureStore> TestDecode(TStream& stream, std::string_view, int orientation) {
  ++gDecodes;
  // Holds the first decoder long enough for a second asker to arrive.
  if (gSlowDecode) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::string bytes = ReadAll(stream);
  if (bytes.starts_with("THROW")) throw EStreamError("broken picture");
  if (!bytes.starts_with("PIC")) return nullptr;
  auto picture = MakeRef<TTestPicture>();
  picture->Bytes = bytes;
  picture->Orientation = orientation;
  return picture;
}

TRef<TPictureStore> TestPlaceholder(TPictureFailure failure, std::string_view name) {
  auto picture = MakeRef<TTestPicture>();
  picture->Bytes = "placeholder";
  picture->Failure = failure;
  picture->Name = name;
  return picture;
}

TRef<TPictureStore> TestReduce(TPictureStore& store, int level) {
  auto picture = MakeRef<TTestPicture>();
  picture->Bytes = static_cast<TTestPicture&>(store).Bytes + " at level " + std::to_string(level);
  return picture;
}

const TTestPicture* Contents(const TPictureStore* store) {
  return static_cast<const TTestPicture*>(store);
}

class PictureCache : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallPictureServices({&TestDecode, &TestPlaceholder, &TestReduce});
    gDecodes = 0;
    gSlowDecode = false;
    fBaseline = ImageHandleCount();
  }
  void TearDown() override {
    InstallPictureServices({});
    EXPECT_EQ(ImageHandleCount(), fBaseline);
  }

  TScratchFolder fFolder;
  size_t fBaseline = 0;
};

TEST_F(PictureCache, TwoThreadsAskingAtOnceShareOneDecode) {
  std::string path = fFolder.Write("pic.img", "PIC one");
  auto accessor = NewDiskAccessor("");
  gSlowDecode = true;
  TRef<TSharedPicture> pictures[2];
  std::latch start(2);
  std::thread threads[2];
  for (int i = 0; i < 2; ++i) {
    threads[i] = std::thread([&, i] {
      start.arrive_and_wait();
      pictures[i] = accessor->OpenPicture(path);
    });
  }
  for (auto& thread : threads) thread.join();
  gSlowDecode = false;

  EXPECT_EQ(gDecodes.load(), 1);
  ASSERT_TRUE(pictures[0]->Store());
  EXPECT_EQ(pictures[0]->Store(), pictures[1]->Store());
  EXPECT_EQ(Contents(pictures[0]->Store())->Bytes, "PIC one");
  EXPECT_EQ(ImageHandleCount(), fBaseline + 1);

  // Names compare by upper case, and a clone shares the source.
  auto clone = accessor->Clone();
  auto third = clone->OpenPicture(test::fs::path(path).parent_path().string() + "/PIC.IMG");
  EXPECT_EQ(third->Store(), pictures[0]->Store());
  EXPECT_EQ(gDecodes.load(), 1);

  // Another source decodes for itself.
  auto other = NewDiskAccessor("")->OpenPicture(path);
  EXPECT_NE(other->Store(), pictures[0]->Store());
  EXPECT_EQ(gDecodes.load(), 2);
  EXPECT_EQ(ImageHandleCount(), fBaseline + 2);
  other.Reset();
  EXPECT_EQ(ImageHandleCount(), fBaseline + 1);

  // The handle goes with the last of its pictures.
  pictures[0].Reset();
  third.Reset();
  EXPECT_EQ(ImageHandleCount(), fBaseline + 1);
  pictures[1].Reset();
  EXPECT_EQ(ImageHandleCount(), fBaseline);
  // Asked again, the name is decoded afresh.
  auto again = accessor->OpenPicture(path);
  EXPECT_EQ(gDecodes.load(), 3);
}

TEST_F(PictureCache, PlaceholderSaysWhyThereIsNoPicture) {
  fFolder.Write("bad.img", "not a picture");
  fFolder.Write("throws.img", "THROW");
  auto accessor = NewDiskAccessor("");
  struct TCase {
    std::string Name;
    TPictureFailure Failure;
    const char* LastName;
  } cases[] = {
      {fFolder / "missing.img", TPictureFailure::NotFound, "missing.img"},
      {"C:\\Shows\\dir\\missing.img", TPictureFailure::NotFound, "missing.img"},
      {fFolder / "bad.img", TPictureFailure::LoadError, "bad.img"},
      {fFolder / "throws.img", TPictureFailure::LoadError, "throws.img"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    auto picture = accessor->OpenPicture(c.Name);
    const TTestPicture* store = Contents(picture->Store());
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Bytes, "placeholder");
    EXPECT_EQ(store->Failure, c.Failure);
    EXPECT_EQ(store->Name, c.LastName);
  }

  // Without a placeholder maker the picture simply has no store.
  InstallPictureServices({&TestDecode, nullptr, nullptr});
  EXPECT_EQ(accessor->OpenPicture(fFolder / "bad.img")->Store(), nullptr);
}

TEST_F(PictureCache, DecoderGetsTheOrientationAndReductionIsAttached) {
  std::string path = fFolder.Write("turned.img", "PIC turned");
  auto project = MakeRef<TIniFile>();
  project->LoadFromText("[RotationState]\r\n;\"" + path + "\"=6\r\n");
  auto source = MakeRef<TMappedFileSource>();
  source->LoadOrientations(*project->FindSection("RotationState"));
  auto accessor = MakeRef<TFileAccessor>(source, "");
  accessor->SetReductionLevel(2);
  auto picture = accessor->OpenPicture(path);
  EXPECT_EQ(Contents(picture->Store())->Orientation, 6);
  ASSERT_TRUE(picture->Reduced());
  EXPECT_EQ(Contents(picture->Reduced())->Bytes, "PIC turned at level 2");
}

TEST_F(PictureCache, ProvidersComeBeforeFilesUntilReleased) {
  auto accessor = NewDiskAccessor("");
  auto provider = accessor->RegisterPictureProvider(
      [](std::string_view name, void* context) -> TRef<TPictureStore> {
        if (!name.starts_with("text:")) return nullptr;
        auto picture = MakeRef<TTestPicture>();
        picture->Bytes = std::string(static_cast<const char*>(context)) + std::string(name);
        return picture;
      },
      const_cast<char*>("provided "));
  auto made = accessor->OpenPicture("text:hello");
  EXPECT_EQ(Contents(made->Store())->Bytes, "provided text:hello");
  EXPECT_EQ(gDecodes.load(), 0);

  provider.Reset();
  auto unprovided = accessor->OpenPicture("text:again");
  EXPECT_EQ(Contents(unprovided->Store())->Bytes, "placeholder");
  EXPECT_EQ(Contents(unprovided->Store())->Failure, TPictureFailure::NotFound);
}

}  // namespace
}  // namespace viv
