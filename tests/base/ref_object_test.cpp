#include "base/ref_object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace viv {
namespace {

// Records the release hook and the destructor, and what the hook could still see.
class TProbe : public TRefObject {
 public:
  TProbe(std::vector<std::string>& events, std::string name)
      : fEvents(events), fName(std::move(name)) {}

 protected:
  ~TProbe() override { fEvents.push_back("destroy " + fName); }
  void Cleanup() override {
    // The hook must run while the derived object is still whole and the count is 0.
    fEvents.push_back("cleanup " + fName + " count " + std::to_string(RefCount()));
    TRefObject::Cleanup();
  }

 private:
  std::vector<std::string>& fEvents;
  std::string fName;
};

class TOtherProbe : public TRefObject {};

TEST(RefObject, ReleaseHookRunsOnceBeforeDestructionOnLastRelease) {
  std::vector<std::string> events;
  {
    TRef<TProbe> first = MakeRef<TProbe>(events, "p");
    EXPECT_EQ(first->RefCount(), 1);
    TRef<TProbe> second = first;
    EXPECT_EQ(first->RefCount(), 2);
    first.Reset();
    EXPECT_FALSE(first);
    EXPECT_TRUE(events.empty()) << "released while a reference was still held";
    EXPECT_EQ(second->RefCount(), 1);
  }
  EXPECT_EQ(events, (std::vector<std::string>{"cleanup p count 0", "destroy p"}));
}

TEST(RefObject, PointerOperationsKeepCountsBalanced) {
  std::vector<std::string> events;
  TRef<TProbe> owner = MakeRef<TProbe>(events, "p");
  TProbe* raw = owner.Get();

  // Sharing a raw pointer adds a reference; adopting takes one over.
  TRef<TProbe> shared(raw);
  EXPECT_EQ(raw->RefCount(), 2);
  raw->AddRef();
  TRef<TProbe> adopted = TRef<TProbe>::Adopt(raw);
  EXPECT_EQ(raw->RefCount(), 3);

  // Moves transfer, conversions to a base add.
  TRef<TProbe> moved = std::move(shared);
  EXPECT_FALSE(shared);
  EXPECT_EQ(raw->RefCount(), 3);
  TRef<TRefObject> base = moved;
  EXPECT_EQ(raw->RefCount(), 4);
  TRef<TRefObject> movedBase = std::move(moved);
  EXPECT_EQ(raw->RefCount(), 4);

  // Self-assignment must not release.
  auto& alias = adopted;
  adopted = alias;
  EXPECT_EQ(raw->RefCount(), 4);

  // A downcast keeps a reference only for the right class.
  EXPECT_EQ(DynamicRefCast<TProbe>(base).Get(), raw);
  EXPECT_EQ(raw->RefCount(), 4);
  TRef<TProbe> cast = DynamicRefCast<TProbe>(base);
  EXPECT_EQ(raw->RefCount(), 5);
  EXPECT_FALSE(DynamicRefCast<TOtherProbe>(base));

  // Detach hands the reference out without releasing it.
  TProbe* detached = cast.Detach();
  EXPECT_EQ(raw->RefCount(), 5);
  detached->Release();
  EXPECT_EQ(raw->RefCount(), 4);

  adopted.Reset();
  base.Reset();
  movedBase.Reset();
  EXPECT_TRUE(events.empty());
  owner = MakeRef<TProbe>(events, "q");
  EXPECT_EQ(events, (std::vector<std::string>{"cleanup p count 0", "destroy p"}));
}

}  // namespace
}  // namespace viv
