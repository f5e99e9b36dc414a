// The two trees a slide's blocks become: description nodes and live objects,
// object kinds, rebuilding by GUID, and the object factory chain.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "model/objects/object_kinds.h"
#include "model_test_support.h"

namespace viv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string Box(std::string_view name, std::string_view guid, std::string_view inner = {}) {
  return "object " + std::string(name) + ":Box\nGUID=" + std::string(guid) + "\n" +
         std::string(inner) + "end\n";
}

// Which live class an object is, as a word.
std::string LiveClass(TVivObject* object) {
  if (!object) return "none";
  if (auto* box = dynamic_cast<TVivBox*>(object)) return box->IsSplitter() ? "splitter" : "box";
  if (dynamic_cast<TVivText*>(object)) return "text";
  if (dynamic_cast<TVivButton*>(object)) return "button";
  if (dynamic_cast<TVivImage*>(object)) return "image";
  if (dynamic_cast<TVivViewPort*>(object)) return "viewport";
  if (dynamic_cast<TVivMaskStencil*>(object)) return "stencil";
  if (dynamic_cast<TVivMaskContent*>(object)) return "content";
  return "other";
}

TEST(ObjectKinds, ClassWordsMakeKindsAndLiveClasses) {
  struct TCase {
    const char* ClassWord;
    const char* Keys;
    int Kind;
    const char* Live;
  };
  const TCase kCases[] = {
      {"Frame", "", 1, "box"},
      {"box", "", 2, "box"},
      {"SPLITTER", "", 3, "splitter"},
      {"Image", "", 4, "image"},
      {"Image", "AnimEnable=0\n", 4, "image"},
      {"Image", "AnimEnable=1\n", 5, "image"},
      {"iMAGE", "AnimEnable=1\n", 5, "image"},
      {"AniImage", "", 5, "image"},
      {"Text", "AnimEnable=1\n", 6, "text"},  // only an Image turns into an AniImage
      {"Button", "", 7, "button"},
      {"Video", "", 8, "none"},  // the video module adds its own factory link
      {"ViewPort", "", 9, "viewport"},
      {"Viewport", "", 9, "viewport"},
      {"vIEWpORT", "", 9, "viewport"},
      {"MaskStencil", "", 10, "stencil"},
      {"maskcontent", "", 11, "content"},
      {"Picture", "", 0, "none"},
      {"Images", "", 0, "none"},
      {"", "", 0, "none"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.ClassWord) + " " + c.Keys);
    TTestShow show;
    TVivSlide& slide = show.Load(
        OneSlideProject(std::string("object O:") + c.ClassWord + "\nGUID=g\n" + c.Keys + "end\n"));
    TVivObjectProps* node = FindNode(slide.RootNode(), "O");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Kind, c.Kind);
    EXPECT_EQ(LiveClass(FindObject(slide, "O")), c.Live);
    EXPECT_EQ(slide.ChildCount(), std::string(c.Live) == "none" ? 0u : 1u);
  }
}

TEST(ObjectKinds, NamesPrintedBack) {
  const char* kNames[] = {"",     "Frame",  "Box",   "Splitter", "Image",       "",
                          "Text", "Button", "Video", "ViewPort", "MaskStencil", "MaskContent"};
  for (int kind = 0; kind < 12; ++kind)
    EXPECT_EQ(KindName(static_cast<TObjectKind>(kind)), kNames[kind]) << kind;
}

TEST(ObjectKinds, AnimEnableDropsTheFrameGroup) {
  // Zoom 100 -> 200 over the first second: an AniImage ignores it.
  const std::string keys = Key(0, "Zoom=100\n") + Key(1000, "Zoom=200\n");
  for (const char* anim : {"0", "1"}) {
    SCOPED_TRACE(anim);
    TTestShow show;
    TVivSlide& slide =
        show.Load(OneSlideProject("object P:Image\nGUID=p\nAnimEnable=" + std::string(anim) + "\n" +
                                  keys + "end\n"),
                  0, 500);
    EXPECT_FLOAT_EQ(ObjectNamed(slide, "P").Zoom(), anim[0] == '1' ? 100 : 150);
  }
}

TEST(ObjectTree, UnknownClassKeepsItsNodesButShowsNothing) {
  TTestShow show;
  std::string picture = show.Picture("a.tpic", 800, 600);
  TVivSlide& slide = show.Load(OneSlideProject(
      "object Group:Layer\nGUID=layer\n" + Key(0, "Opacity=40\n") + Key(1000) +
      "object Pic:Image\nGUID=pic\nImageName=" + picture + "\nend\nend\n" + Box("After", "after")));
  TVivObjectProps* group = FindNode(slide.RootNode(), "Group");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->Kind, 0);
  EXPECT_EQ(group->KeyFrames.size(), 2u);
  EXPECT_FLOAT_EQ(group->Values[kOpacity], 40);
  ASSERT_EQ(group->Children.size(), 1u);
  EXPECT_EQ(group->Children[0]->Kind, static_cast<uint8_t>(TObjectKind::Image));
  EXPECT_EQ(group->Owner, nullptr);
  EXPECT_EQ(group->Children[0]->Owner, nullptr);
  // Only the box after it has an object; nothing of the subtree draws or is hit.
  ASSERT_EQ(slide.ChildCount(), 1u);
  EXPECT_EQ(slide.Child(0).Props()->Name, "After");
  TRecordingDrawer drawer;
  slide.Draw(drawer);
  EXPECT_THAT(drawer.Drawn, ElementsAre("After"));
  EXPECT_EQ(slide.HitTest({960, 540}, true), &slide);
}

TEST(ObjectTree, NodesAndObjectsFollowBlockOrder) {
  TTestShow show;
  TVivSlide& slide = show.Load(
      OneSlideProject(Box("A", "a", Box("A1", "a1") + Key(0) + Box("A2", "a2")) + Box("B", "b")));
  TVivObjectProps& root = slide.RootNode();
  EXPECT_EQ(root.Name, "Slide1");
  EXPECT_EQ(root.Parent, nullptr);
  ASSERT_EQ(root.Children.size(), 2u);
  TVivObjectProps& a = *root.Children[0];
  EXPECT_EQ(a.Guid, "a");
  EXPECT_EQ(a.Parent, &root);
  ASSERT_EQ(a.Children.size(), 2u);  // the keyframe between them is no child
  EXPECT_EQ(a.KeyFrames.size(), 1u);
  EXPECT_EQ(a.Children[1]->Name, "A2");
  EXPECT_EQ(a.Children[1]->IndexInParent, 1);
  EXPECT_EQ(root.Children[1]->IndexInParent, 1);
  // Node and object point at each other.
  TVivObject& objectA = ObjectNamed(slide, "A");
  EXPECT_EQ(a.Owner, &objectA);
  EXPECT_EQ(objectA.Props(), &a);
  EXPECT_EQ(objectA.Parent(), &slide);
  EXPECT_EQ(ObjectNamed(slide, "A2").Parent(), &objectA);
  EXPECT_EQ(ObjectNamed(slide, "A2").GetSlide(), &slide);
  EXPECT_EQ(slide.Props(), &root);

  TRecordingDrawer drawer;
  slide.Draw(drawer);
  EXPECT_THAT(drawer.Drawn, ElementsAre("A", "A1", "A2", "B"));
}

TEST(ObjectTree, AChildWithoutGuidStopsTheSlide) {
  const std::string kProjects[] = {
      OneSlideProject("object A:Box\nend\n"),
      OneSlideProject("object A:Box\nGUID=\nend\n"),
      OneSlideProject(Box("A", "a", "object Deep:Layer\nTreeNode=0\nend\n")),
  };
  for (const auto& project : kProjects) {
    SCOPED_TRACE(project);
    TTestShow show;
    EXPECT_THAT(Raised([&] { show.Load(project); }), HasSubstr("VivObject GUID not Assigned"));
  }
  // Keyframes need none.
  TTestShow show;
  EXPECT_EQ(Raised([&] { show.Load(OneSlideProject(Box("A", "a", Key(0)))); }), "");
}

std::string NestedBoxes(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i)
    text += "object L" + std::to_string(i) + ":Box\nGUID=g" + std::to_string(i) + "\n";
  for (int i = 0; i < depth; ++i) text += "end\n";
  return text;
}

TEST(ObjectTree, NestingIsLimitedTo200Levels) {
  {
    TTestShow show;
    TVivSlide& slide = show.Load(OneSlideProject(NestedBoxes(TVivObjectProps::kMaxDepth)));
    int depth = 0;
    for (TVivObject* object = &slide; object->ChildCount() > 0; object = &object->Child(0)) ++depth;
    EXPECT_EQ(depth, TVivObjectProps::kMaxDepth);
  }
  for (int depth : {TVivObjectProps::kMaxDepth + 1, 10000}) {
    SCOPED_TRACE(depth);
    TTestShow show;
    EXPECT_THAT(Raised([&] { show.Load(OneSlideProject(NestedBoxes(depth))); }),
                HasSubstr("Object blocks nested too deep"));
  }
}

// The slide rebuilt from a changed project, as an editor would rebuild it.
class RebuildTest : public ::testing::Test {
 protected:
  TVivSlide& First(const std::string& objects) {
    fSlide = TRef<TVivSlide>(&fShow.Load(OneSlideProject(objects)));
    return *fSlide;
  }
  void Rebuild(const std::string& objects) {
    fShow.Open(OneSlideProject(objects));
    fSlide->Load(fShow.Source());
    fSlide->Animate(true, 0);
  }
  std::vector<std::string> DrawOrder() {
    TRecordingDrawer drawer;
    fSlide->Draw(drawer);
    return drawer.Drawn;
  }
  std::vector<TVivObjectProps*> Nodes() {
    std::vector<TVivObjectProps*> nodes;
    for (auto& child : fSlide->RootNode().Children) nodes.push_back(child.Get());
    return nodes;
  }
  std::vector<TVivObject*> Objects() {
    std::vector<TVivObject*> objects;
    for (size_t i = 0; i < fSlide->ChildCount(); ++i) objects.push_back(&fSlide->Child(i));
    return objects;
  }

  TTestShow fShow;
  TRef<TVivSlide> fSlide;
};

TEST_F(RebuildTest, SwappedBlocksKeepTheirNodesAndObjects) {
  First(Box("A", "ga", Key(0, "Opacity=30\n")) + Box("B", "gb"));
  auto nodes = Nodes();
  auto objects = Objects();
  EXPECT_THAT(DrawOrder(), ElementsAre("A", "B"));

  Rebuild(Box("B", "gb") + Box("A", "GA", Key(0, "Opacity=70\n")));  // GUIDs ignore case
  EXPECT_THAT(Nodes(), ElementsAre(nodes[1], nodes[0]));
  EXPECT_THAT(Objects(), ElementsAre(objects[1], objects[0]));
  EXPECT_EQ(nodes[0]->IndexInParent, 1);
  EXPECT_FLOAT_EQ(objects[0]->Opacity(), 70);  // the reused node reads its new block
  EXPECT_THAT(DrawOrder(), ElementsAre("B", "A"));
}

TEST_F(RebuildTest, ManySetAsideNodesAreFoundByGuid) {
  // After the first mismatch five nodes wait: more than a linear search takes.
  std::string names = "ABCDEF";
  std::string before, after;
  for (char c : names) before += Box(std::string(1, c), std::string("g") + c);
  for (char c : std::string("AFEDCB")) after += Box(std::string(1, c), std::string("g") + c);
  First(before);
  auto nodes = Nodes();
  auto objects = Objects();
  Rebuild(after);
  EXPECT_THAT(Nodes(), ElementsAre(nodes[0], nodes[5], nodes[4], nodes[3], nodes[2], nodes[1]));
  EXPECT_THAT(Objects(),
              ElementsAre(objects[0], objects[5], objects[4], objects[3], objects[2], objects[1]));
  EXPECT_THAT(DrawOrder(), ElementsAre("A", "F", "E", "D", "C", "B"));
}

TEST_F(RebuildTest, UnmatchedNodesGoWithTheirObjects) {
  First(Box("A", "ga") + Box("B", "gb", Box("B1", "gb1")) + Box("C", "gc") + Box("D", "gd") +
        Box("E", "ge"));
  auto nodes = Nodes();
  // Held here, the objects outlive their nodes: they must be cut loose.
  TRef<TVivObject> b(&ObjectNamed(*fSlide, "B")), b1(&ObjectNamed(*fSlide, "B1")),
      d(&ObjectNamed(*fSlide, "D"));
  TVivObject* e = &ObjectNamed(*fSlide, "E");

  Rebuild(Box("E", "ge") + Box("New", "gnew") + Box("A", "ga") + Box("C", "gc"));
  auto rebuilt = Nodes();
  ASSERT_EQ(rebuilt.size(), 4u);
  EXPECT_EQ(rebuilt[0], nodes[4]);
  EXPECT_EQ(rebuilt[2], nodes[0]);
  EXPECT_EQ(rebuilt[3], nodes[2]);
  EXPECT_EQ(rebuilt[1]->Guid, "gnew");
  EXPECT_EQ(rebuilt[1]->Parent, &fSlide->RootNode());
  EXPECT_EQ(&fSlide->Child(0), e);
  EXPECT_THAT(DrawOrder(), ElementsAre("E", "New", "A", "C"));
  for (TVivObject* gone : {b.Get(), b1.Get(), d.Get()}) {
    EXPECT_EQ(gone->Props(), nullptr);
    EXPECT_EQ(gone->Parent(), nullptr);
  }
  EXPECT_EQ(b->ChildCount(), 0u);
  EXPECT_EQ(FindNode(fSlide->RootNode(), "B1"), nullptr);
}

TEST_F(RebuildTest, KeyframesAreReusedByPositionAndCutToTheNewCount) {
  First(Box("A", "ga", Key(0, "Opacity=10\n") + Key(1000, "Opacity=20\n") + Key(2000)));
  TVivObjectProps* node = Nodes()[0];
  TVivKeyFrame* firstKey = node->KeyFrames[0].Get();
  Rebuild(Box("A", "ga", Key(500, "Opacity=60\n")));
  ASSERT_EQ(node->KeyFrames.size(), 1u);
  EXPECT_EQ(node->KeyFrames[0].Get(), firstKey);
  EXPECT_EQ(node->KeyFrames[0]->Time, 500);
  EXPECT_FLOAT_EQ(ObjectNamed(*fSlide, "A").Opacity(), 60);
}

// A module's objects: the test's video class, and a box class that replaces the base one.
class TTestVideo : public TVivObject {
 public:
  using TVivObject::TVivObject;
};
class TTestBox : public TVivBox {
 public:
  using TVivBox::TVivBox;
};

bool gLinksActive = false;

// Installed first: videos, and splitters as a kind both links make.
TRef<TVivObject> VideoLink(uint8_t kind, TVivObject* parent, TVivObjectProps* node) {
  auto k = static_cast<TObjectKind>(kind);
  if (!gLinksActive || (k != TObjectKind::Video && k != TObjectKind::Splitter)) return nullptr;
  return TVivObject::New<TTestVideo>(parent, node);
}

// Installed second, so asked before the video link and before the base kinds.
TRef<TVivObject> BoxLink(uint8_t kind, TVivObject* parent, TVivObjectProps* node) {
  auto k = static_cast<TObjectKind>(kind);
  if (!gLinksActive || (k != TObjectKind::Box && k != TObjectKind::Splitter)) return nullptr;
  return TVivObject::New<TTestBox>(parent, node);
}

TEST(ObjectFactory, InstalledLinksComeFirstAndPassOtherKindsOn) {
  static bool installed = false;
  if (!installed) {
    InstallObjectFactoryLink(&VideoLink);
    InstallObjectFactoryLink(&BoxLink);
    installed = true;
  }
  struct TDeactivate {
    ~TDeactivate() { gLinksActive = false; }
  } deactivate;
  const std::string objects = "object V:Video\nGUID=v\nend\n" + Box("B", "b") +
                              "object S:Splitter\nGUID=s\nend\nobject F:Frame\nGUID=f\nend\n"
                              "object I:Image\nGUID=i\nend\n";
  for (bool active : {false, true}) {
    SCOPED_TRACE(active);
    gLinksActive = active;
    TTestShow show;
    TVivSlide& slide = show.Load(OneSlideProject(objects));
    TVivObject* video = FindObject(slide, "V");
    EXPECT_EQ(video && dynamic_cast<TTestVideo*>(video), active);
    EXPECT_EQ(video != nullptr, active);
    EXPECT_EQ(dynamic_cast<TTestBox*>(&ObjectNamed(slide, "B")) != nullptr, active);
    EXPECT_EQ(dynamic_cast<TTestBox*>(&ObjectNamed(slide, "S")) != nullptr, active);
    // Kinds no installed link makes still come from the base links.
    EXPECT_EQ(LiveClass(&ObjectNamed(slide, "F")), "box");
    EXPECT_EQ(dynamic_cast<TTestBox*>(&ObjectNamed(slide, "F")), nullptr);
    EXPECT_EQ(LiveClass(&ObjectNamed(slide, "I")), "image");
  }
}

TEST(ObjectFactory, ProgrammingErrorsAreAssertions) {
  InitObjectModel();
  auto node = MakeRef<TVivObjectProps>();
  TRef<TVivObject> first = TVivObject::New<TVivBox>(nullptr, node.Get());
  EXPECT_EQ(node->Owner, first.Get());
  EXPECT_THAT(Raised([&] { TVivObject::New<TVivBox>(nullptr, node.Get()); }),
              HasSubstr("already has an object"));
  EXPECT_THAT(Raised([] { MakeRef<TVivSlide>(nullptr, 0); }), HasSubstr("slide host"));
}

}  // namespace
}  // namespace viv::test
