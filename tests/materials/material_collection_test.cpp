// The gathering and the lookups on hand-built materials: texture file names, the first-position
// lookups, and the shapes of material graphs a scene document cannot hold (cycles, very deep
// or widely shared nesting, more materials than a face group can address).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export_context/export_context.h"
#include "materials/material_list.h"
#include "materials/material_section.h"
#include "materials/texture_names.h"
#include "tests/support/fake_host.h"

namespace cvm {
namespace {

using test::FakeMaterial;
using test::FakeMaterials;
using test::FakeNode;
using test::FakeTexmap;

TEST(GetTextureFileName, KeepsOnlyTheFileName) {
  const std::string longName(600, 'a');
  const std::string slashBeyondCut = std::string(515, 'b') + "/x.tga";
  struct Case {
    std::string path;
    std::string expected;
  };
  const Case cases[] = {
      {"C:\\maps\\brick.tga", "brick.tga"},
      {"maps/stone.bmp", "stone.bmp"},
      {"dir\\sub/x.tga", "x.tga"},
      {"a/b\\c.tga", "c.tga"},  // backslashes are stripped after slashes, wherever they stand
      {"C:\\maps\\", ""},
      {"maps/", ""},
      {"Brick.TGA", "Brick.TGA"},
      {"", ""},
      {longName, std::string(511, 'a')},
      // The path is cut to 511 characters before its directories are looked for.
      {slashBeyondCut, std::string(511, 'b')},
      {std::string(505, 'c') + "/d.tga", "d.tga"},
  };
  for (const Case& c : cases) {
    const FakeTexmap map(c.path);
    EXPECT_EQ(GetTextureFileName(&map), c.expected) << c.path.substr(0, 40);
  }
}

TEST(GetTextureFileName, OnlyBitmapTexturesHaveNames) {
  EXPECT_EQ(GetTextureFileName(nullptr), "");
  const FakeTexmap checker("C:\\maps\\brick.tga", ClassId{0x241, 0});
  EXPECT_EQ(GetTextureFileName(&checker), "");
  const FakeTexmap otherB("C:\\maps\\brick.tga", ClassId{0x240, 1});
  EXPECT_EQ(GetTextureFileName(&otherB), "");
}

TEST(FindTextureName, FirstPositionExactCase) {
  const TextureNameTable table = {"a.tga", "B.tga", "a.tga", "b.tga", "B.tga"};
  struct Case {
    std::string name;
    uint32_t expected;
  };
  const Case cases[] = {
      {"a.tga", 0},       {"B.tga", 1}, {"b.tga", 3}, {"A.tga", kNoReference}, {"c.tga", kNoReference},
      {"", kNoReference},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindTextureName(table, c.name), c.expected) << c.name;
  }
}

TEST(FindMaterial, ByIdentityNotName) {
  FakeMaterials m;
  FakeMaterial& first = m.Add("Same");
  FakeMaterial& second = m.Add("Same");
  FakeMaterial& unlisted = m.Add("Same");
  const MaterialList list = {&first, &second};
  EXPECT_EQ(FindMaterial(list, &first), 0u);
  EXPECT_EQ(FindMaterial(list, &second), 1u);
  EXPECT_EQ(FindMaterial(list, &unlisted), kNoReference);
  EXPECT_EQ(FindMaterial(list, nullptr), kNoReference);
}

std::vector<std::string> Names(const MaterialList& list) {
  std::vector<std::string> names;
  for (const HostMaterial* material : list) names.emplace_back(material->MaterialName());
  return names;
}

// Materials that reach themselves through their sub-materials: each case must end, and list
// every leaf once in depth-first order.
TEST(CollectMaterial, SubMaterialCyclesEnd) {
  {
    FakeMaterials m;
    FakeMaterial& self = m.Add("Self", true);
    FakeMaterial& leaf = m.Add("Leaf");
    self.subs = {&self, &leaf, &self};
    MaterialGathering gathering;
    CollectMaterial(&self, gathering);
    EXPECT_EQ(Names(gathering.materials), (std::vector<std::string>{"Leaf"}));
  }
  {
    FakeMaterials m;
    FakeMaterial& outer = m.Add("Outer", true);
    FakeMaterial& inner = m.Add("Inner", true);
    FakeMaterial& a = m.Add("A");
    FakeMaterial& b = m.Add("B");
    FakeMaterial& c = m.Add("C");
    outer.subs = {&a, &inner, &c};
    inner.subs = {&b, &outer, nullptr};
    MaterialGathering gathering;
    CollectMaterial(&outer, gathering);
    CollectMaterial(&inner, gathering);  // a second walk into the same cycle adds nothing
    EXPECT_EQ(Names(gathering.materials), (std::vector<std::string>{"A", "B", "C"}));
  }
  {
    // A node's shell material whose sub-material leads back to it: reached as a sub-material
    // the shell is an ordinary (non-multi) material and is listed.
    FakeMaterials m;
    FakeMaterial& shell = m.Add("Shell");
    shell.classId = kShellMaterialClassId;
    FakeMaterial& multi = m.Add("Multi", true);
    FakeMaterial& leaf = m.Add("Leaf");
    shell.subs = {&multi, &leaf};
    multi.subs = {&shell, &leaf};
    FakeNode node;
    node.material = &shell;
    const MaterialGathering gathering = GatherMaterials({&node}, {0});
    EXPECT_EQ(Names(gathering.materials), (std::vector<std::string>{"Shell", "Leaf"}));
  }
}

TEST(CollectMaterial, DeepNestingNeedsNoDeepCallStack) {
  // Far deeper than a recursive walk could go on a default thread stack.
  constexpr int kDepth = 200000;
  FakeMaterials m;
  FakeMaterial* parent = &m.Add("Top", true);
  FakeMaterial& top = *parent;
  for (int i = 0; i < kDepth; ++i) {
    FakeMaterial& child = m.Add("Multi", true);
    parent->subs = {&child};
    parent = &child;
  }
  FakeMaterial& leaf = m.Add("Leaf");
  parent->subs = {&leaf};
  MaterialGathering gathering;
  CollectMaterial(&top, gathering);
  ASSERT_EQ(gathering.materials.size(), 1u);
  EXPECT_EQ(gathering.materials[0], &leaf);
}

TEST(CollectMaterial, SharedMultiMaterialsAreOpenedOnce) {
  // Each level uses the next one twice: walking every path would take 2^40 steps.
  constexpr int kLevels = 40;
  FakeMaterials m;
  std::vector<FakeMaterial*> levels;
  for (int i = 0; i < kLevels; ++i) levels.push_back(&m.Add("Level", true));
  FakeMaterial& leaf = m.Add("Leaf");
  FakeMaterial& other = m.Add("Other");
  for (int i = 0; i + 1 < kLevels; ++i) levels[i]->subs = {levels[i + 1], levels[i + 1]};
  levels.back()->subs = {&leaf, &other};
  FakeNode first;
  first.material = levels[0];
  FakeNode second;
  second.material = levels[0];
  const MaterialGathering gathering = GatherMaterials({&first, &second}, {0, 1});
  EXPECT_EQ(Names(gathering.materials), (std::vector<std::string>{"Leaf", "Other"}));
  long subQueries = 0;
  for (const FakeMaterial* level : levels) subQueries += level->subQueries;
  EXPECT_EQ(subQueries, 2 * kLevels);
}

// One node whose multi-material holds count distinct leaves, written through the section.
struct ManyMaterials {
  explicit ManyMaterials(int count) : multi(m.Add("Multi", true)) {
    node.material = &multi;
    for (int i = 0; i < count; ++i) multi.subs.push_back(&m.Add("M"));
  }
  FakeMaterials m;
  FakeMaterial& multi;
  FakeNode node;
};

TEST(WriteMaterialSection, RefusesMoreMaterialsThanAFaceGroupCanAddress) {
  for (const int count : {65535, 65536}) {
    ManyMaterials scene(count);
    MemorySink sink;
    OutputStream stream(sink);
    const ExportOptions options;
    const std::vector<HostNode*> nodes = {&scene.node};
    KindLists lists;
    lists.meshes = {0};
    ExportContext ctx{stream, options, ProgressWindow(), nodes, lists, nullptr, std::string()};
    MaterialList materials;
    TextureNameTable textures;
    WriteMaterialSection(ctx, materials, textures);
    stream.Flush();
    if (count == 65535) {
      EXPECT_FALSE(ctx.Refused()) << ctx.refusal;
      ASSERT_GE(sink.bytes.size(), 8u);
      EXPECT_EQ(sink.bytes[0] | sink.bytes[1] << 8 | sink.bytes[2] << 16 | sink.bytes[3] << 24, 65535);
      // Two counts and 65535 default records of the one-letter name "M".
      EXPECT_EQ(sink.bytes.size(), 8u + 65535u * (1 + 109));
    } else {
      EXPECT_TRUE(ctx.Refused());
      EXPECT_NE(ctx.refusal.find("65536 materials"), std::string::npos) << ctx.refusal;
      EXPECT_TRUE(sink.bytes.empty());
      // Refused before any record: no material was given a container.
      EXPECT_EQ(scene.m.all.back().allocations, 0);
    }
  }
}

}  // namespace
}  // namespace cvm
