// The "CV Mat" settings: finding the attribute, reading its parameters, and the engine
// settings block they become.
#include "materials/engine_settings.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "format/binary_writer.h"
#include "format/record_writer.h"
#include "materials/material_record.h"
#include "tests/support/fake_host.h"
#include "tests/support/float_bits.h"

namespace cvm {
namespace {

using test::FakeCustAttrib;
using test::FakeCustAttribContainer;
using test::FakeMaterial;
using test::FakeParam;

TEST(EqualsIgnoringAsciiCase, FoldsOnlyAsciiLetters) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  };
  const Case cases[] = {
      {"Visible", "Visible", true},
      {"visible", "VISIBLE", true},
      {"DataIDSpinner", "dataidspinner", true},
      {"USpinner2", "uspinner2", true},
      {"", "", true},
      {"Visible", "Visibl", false},
      {"Visible", "Visible ", false},
      {"USpinner", "USpinner2", false},
      // Folding by setting bit 5 would pair these punctuation marks; the host does not.
      {"a[", "a{", false},
      {"@", "`", false},
      {"^", "~", false},
      {"\xC4", "\xE4", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EqualsIgnoringAsciiCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(EqualsIgnoringAsciiCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
  }
}

std::vector<uint8_t> BlockBytes(const EngineMaterialSettings& settings) {
  MemorySink sink;
  OutputStream stream(sink);
  format::WriteRecord(stream, EngineSettingsRecord(settings));
  stream.Flush();
  return sink.bytes;
}

void PutU32(std::vector<uint8_t>& bytes, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutF32(std::vector<uint8_t>& bytes, float f) {
  PutU32(bytes, test::FloatBits(f));
}

// The default block with the optional parts given: everything between data id and render last.
std::vector<uint8_t> Block(const std::vector<uint8_t>& middle, uint32_t collideable = 1, uint32_t visible = 1,
                           uint32_t dataId = 0, uint32_t renderLast = 0, uint32_t renderFirst = 0) {
  std::vector<uint8_t> bytes;
  PutU32(bytes, collideable);
  PutU32(bytes, visible);
  PutU32(bytes, dataId);
  bytes.insert(bytes.end(), middle.begin(), middle.end());
  PutU32(bytes, renderLast);
  PutU32(bytes, renderFirst);
  return bytes;
}

std::vector<uint8_t> U32s(std::initializer_list<uint32_t> values) {
  std::vector<uint8_t> bytes;
  for (const uint32_t v : values) PutU32(bytes, v);
  return bytes;
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> bytes;
  for (const auto& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

std::vector<uint8_t> F32s(std::initializer_list<float> values) {
  std::vector<uint8_t> bytes;
  for (const float v : values) PutF32(bytes, v);
  return bytes;
}

TEST(EngineSettingsRecord, FlagsAndOptionalBlocks) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* what;
    EngineMaterialSettings settings;
    std::vector<uint8_t> expected;
  };
  std::vector<Case> cases;
  const auto with = [](auto edit) {
    EngineMaterialSettings s;
    edit(s);
    return s;
  };
  cases.push_back({"defaults", {}, Block(U32s({0, 0, 0, 0, 0}))});
  ASSERT_EQ(cases.back().expected.size(), 40u);
  cases.push_back({"colour key on", with([](auto& s) {
                     s.ColorKeyCheckbox = 1;
                     s.ColorKey = {1.0f, 0.5f, 0.0f};
                   }),
                   Block(Concat({U32s({1}), {0xFF, 0x00, 0x80, 0x00, 0x00, 0x00}, U32s({0, 0, 0, 0})}))});
  cases.push_back({"colour key checkbox -1 is off", with([](auto& s) {
                     s.ColorKeyCheckbox = -1;
                     s.ColorKey = {1.0f, 1.0f, 1.0f};
                   }),
                   Block(U32s({0, 0, 0, 0, 0}))});
  cases.push_back({"colour key on without a colour is black", with([](auto& s) { s.ColorKeyCheckbox = 7; }),
                   Block(Concat({U32s({1}), {0, 0, 0, 0, 0, 0}, U32s({0, 0, 0, 0})}))});
  cases.push_back({"U 0, V 0.25", with([](auto& s) { s.VSpinner = 0.25f; }),
                   Block(Concat({U32s({0, 1}), F32s({0.0f, 0.25f}), U32s({0, 0, 0})}))});
  cases.push_back({"-0.0 counts as zero", with([](auto& s) {
                     s.USpinner = -0.0f;
                     s.VSpinner2 = -0.0f;
                   }),
                   Block(U32s({0, 0, 0, 0, 0}))});
  cases.push_back({"NaN is not zero", with([nan](auto& s) { s.USpinner2 = nan; }),
                   Block(Concat({U32s({0, 0, 0, 1}), F32s({nan, 0.0f}), U32s({0})}))});
  cases.push_back({"HF 1, VF 4", with([](auto& s) {
                     s.VFSpinner = 4;
                     s.TimeSpinner = 2.5f;
                   }),
                   Block(Concat({U32s({0, 0, 1}), {0x01, 0x00, 0x04, 0x00}, F32s({2.5f}), U32s({0, 0})}))});
  cases.push_back({"HF/VF 2 keep their low 16 bits", with([](auto& s) {
                     s.HFSpinner2 = 0x12345;
                     s.VFSpinner2 = -1;
                   }),
                   Block(Concat({U32s({0, 0, 0, 0, 1}), {0x45, 0x23, 0xFF, 0xFF}, F32s({0.0f})}))});
  cases.push_back({"HF 1, VF 1 with a time writes no block", with([](auto& s) { s.TimeSpinner = 3.0f; }),
                   Block(U32s({0, 0, 0, 0, 0}))});
  cases.push_back({"integers as read", with([](auto& s) {
                     s.Collideable = 0;
                     s.Visible = 2;
                     s.DataIDSpinner = -5;
                     s.RenderLastCheckbox = 3;
                     s.RenderFirstCheckbox = -1;
                   }),
                   Block(U32s({0, 0, 0, 0, 0}), 0, 2, 0xFFFFFFFB, 3, 0xFFFFFFFF)});
  cases.push_back({"every block", with([](auto& s) {
                     s.ColorKeyCheckbox = 1;
                     s.USpinner = 1.0f;
                     s.HFSpinner = 2;
                     s.VSpinner2 = 1.0f;
                     s.HFSpinner2 = 3;
                   }),
                   Block(Concat({U32s({1}),
                                 {0, 0, 0, 0, 0, 0},
                                 U32s({1}),
                                 F32s({1.0f, 0.0f}),
                                 U32s({1}),
                                 {2, 0, 1, 0},
                                 F32s({0.0f}),
                                 U32s({1}),
                                 F32s({0.0f, 1.0f}),
                                 U32s({1}),
                                 {3, 0, 1, 0},
                                 F32s({0.0f})}))});
  ASSERT_EQ(cases.back().expected.size(), 78u);
  for (const Case& c : cases) EXPECT_EQ(BlockBytes(c.settings), c.expected) << c.what;
}

FakeParam Int(const char* name, int32_t id, int32_t value) {
  return {name, id, FakeParam::kInt, value};
}

TEST(FindEngineAttribute, ExactClassNameFirstPosition) {
  const FakeCustAttrib other("Other", {});
  const FakeCustAttrib wrongCase("CV MAT", {});
  const FakeCustAttrib longer("CV Mat2", {});
  const FakeCustAttrib withoutBlock("CV Mat", {}, false);
  const FakeCustAttrib engine("CV Mat", {});
  struct Case {
    std::vector<const FakeCustAttrib*> attributes;
    int32_t expected;
  };
  const Case cases[] = {
      {{}, -1},
      {{&engine}, 0},
      {{&other, &engine}, 1},
      {{&wrongCase}, -1},
      {{&longer, &wrongCase, &other}, -1},
      {{&withoutBlock}, -1},
      {{&withoutBlock, &engine, &engine}, 1},
  };
  for (const Case& c : cases) {
    FakeCustAttribContainer container;
    container.attributes = c.attributes;
    EXPECT_EQ(FindEngineAttribute(container), c.expected) << c.attributes.size();
  }
}

TEST(ReadEngineMaterialSettings, MissingContainerIsAllocatedOnce) {
  FakeMaterial material("NoContainer");
  const EngineMaterialSettings settings = ReadEngineMaterialSettings(material);
  EXPECT_EQ(material.allocations, 1);
  EXPECT_NE(material.GetCustAttribContainer(), nullptr);
  EXPECT_EQ(BlockBytes(settings), BlockBytes(EngineMaterialSettings()));
  ReadEngineMaterialSettings(material);
  EXPECT_EQ(material.allocations, 1);
}

TEST(ReadEngineMaterialSettings, ReadsAtTimeZeroOverAllTime) {
  FakeCustAttrib engine("CV Mat", {Int("Visible", 11, 0),
                                   {"USpinner", 4, FakeParam::kFloat, 0, 0.5f},
                                   {"colorkey", 0, FakeParam::kPoint3, 0, 0.0f, {1.0f, 0.0f, 1.0f}}});
  FakeCustAttribContainer container;
  container.attributes = {&engine};
  FakeMaterial material("M");
  material.container = &container;
  const EngineMaterialSettings settings = ReadEngineMaterialSettings(material);
  EXPECT_EQ(material.allocations, 0);
  EXPECT_EQ(settings.Visible, 0);
  EXPECT_EQ(settings.USpinner, 0.5f);
  EXPECT_EQ(settings.ColorKey.x, 1.0f);
  EXPECT_EQ(settings.ColorKey.z, 1.0f);
  ASSERT_EQ(engine.reads.size(), 3u);
  for (const FakeCustAttrib::Read& read : engine.reads) {
    EXPECT_EQ(read.t, 0);
    EXPECT_EQ(read.valid.start, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(read.valid.end, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(read.tab, 0);
  }
  EXPECT_EQ(engine.reads[0].id, 11);
  EXPECT_EQ(engine.reads[1].id, 4);
  EXPECT_EQ(engine.reads[2].id, 0);
}

TEST(ReadEngineMaterialSettings, AttributesWithoutBlockAreSkipped) {
  // Its parameters would be read if the block were there; it must not even be asked.
  FakeCustAttrib blockless("CV Mat", {Int("Visible", 11, 5)}, false);
  FakeCustAttrib engine("CV Mat", {Int("Collideable", 9, 0)});
  FakeCustAttribContainer container;
  container.attributes = {&blockless, &engine, &blockless};
  FakeMaterial material("M");
  material.container = &container;
  const EngineMaterialSettings settings = ReadEngineMaterialSettings(material);
  EXPECT_EQ(settings.Visible, 1);
  EXPECT_EQ(settings.Collideable, 0);
  EXPECT_TRUE(blockless.reads.empty());
}

}  // namespace
}  // namespace cvm
