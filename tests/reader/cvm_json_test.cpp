// The JSON form of decoded files: awkward floats round-trip bit for bit, texts of any bytes
// survive, and every kind of field lands where cvmdump --json promises.
#include "tools/cvmdump/cvm_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "format/record_writer.h"
#include "tests/reader/built_file.h"
#include "tests/support/float_bits.h"

namespace cvm::reader::test {
namespace {

using cvm::test::FloatBits;

using json = nlohmann::ordered_json;

TEST(FloatToJson, AwkwardValuesRoundTripThroughText) {
  const float values[] = {0.0f,
                          -0.0f,
                          1.0f,
                          0.1f,
                          -1.5f,
                          1.0f / 3.0f,
                          16777217.0f,
                          std::numeric_limits<float>::denorm_min(),
                          std::numeric_limits<float>::min(),
                          std::numeric_limits<float>::max(),
                          -std::numeric_limits<float>::max(),
                          std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::quiet_NaN(),
                          57.295780181884765625f,
                          0.708333313465118408203125f};
  for (float value : values) {
    const std::string text = json::array({FloatToJson(value)}).dump();
    float back = 12345.0f;
    ASSERT_TRUE(FloatFromJson(json::parse(text)[0], back)) << text;
    if (std::isnan(value)) {
      EXPECT_TRUE(std::isnan(back)) << text;
    } else {
      EXPECT_EQ(FloatBits(back), FloatBits(value)) << text;
    }
  }
}

TEST(FloatToJson, SpecialValuesAreNamedAndDigitsAreShort) {
  EXPECT_EQ(FloatToJson(-0.0f), "-0");
  EXPECT_EQ(FloatToJson(std::numeric_limits<float>::quiet_NaN()), "nan");
  EXPECT_EQ(FloatToJson(std::numeric_limits<float>::infinity()), "inf");
  EXPECT_EQ(FloatToJson(-std::numeric_limits<float>::infinity()), "-inf");
  EXPECT_EQ(FloatToJson(0.1f).dump(), "0.1");
  EXPECT_EQ(FloatToJson(0.0f).dump(), "0.0");
  float out;
  EXPECT_FALSE(FloatFromJson("0.5", out));
  EXPECT_FALSE(FloatFromJson(json::object(), out));
}

TEST(TextToJson, EveryByteSurvivesAsLatin1) {
  EXPECT_EQ(TextToJson("brick.tga"), "brick.tga");
  EXPECT_EQ(TextToJson("caf\xE9"), "caf\xC3\xA9");
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_NO_THROW(json(TextToJson(all)).dump());
}

TEST(CvmToJson, EveryKindOfField) {
  const std::vector<uint8_t> bytes = FullFile().bytes;
  CvmFile file;
  ReadError error;
  ASSERT_TRUE(ReadCvm(bytes.data(), bytes.size(), file, error)) << FormatReadError(error);
  const json j = json::parse(CvmToJson(file).dump());

  EXPECT_EQ(j["header"]["scale"], 2.5);
  EXPECT_EQ(j["header"]["splineCount"], 2);
  EXPECT_EQ(j["textures"][2], (json{{"name", "abc"}, {"index", 2}}));
  const json& full = j["materials"][0];
  EXPECT_EQ(full["twoSided"], true);
  EXPECT_EQ(full["engine"]["dataId"], 4294967295u);
  EXPECT_EQ(full["engine"]["colorKey"], json::parse("[255, 128, 65409]"));
  EXPECT_EQ(full["engine"]["frames1"], json::parse(R"({"hf": 1, "vf": 4, "time": 0.5})"));
  EXPECT_EQ(full["engine"]["frames2"]["time"], "-0");
  EXPECT_EQ(full["selfIllum"], json::parse("[306, 383, 65409]"));
  EXPECT_EQ(full["shininessStrength"], "nan");
  EXPECT_EQ(full["textureRefs"], json::parse("[0, 4294967295, 2, 1, 4294967295, 0, 2]"));
  EXPECT_TRUE(j["materials"][1]["engine"]["uv1"].is_null());
  EXPECT_TRUE(j["materials"][1]["engine"]["colorKey"].is_null());

  const json& mesh = j["meshes"][0];
  EXPECT_EQ(mesh["pivot"], json::parse("[1.0, 3.0, 2.0]"));
  EXPECT_EQ(mesh["positionIndices"], json::parse("[2, 0, 1]"));
  EXPECT_EQ(mesh["uvs"], json::parse("[[0.5, 0.25], [1.0, -1.0]]"));
  EXPECT_EQ(mesh["normals"], json::parse("[[0, 0]]"));
  EXPECT_EQ(mesh["colors"][2], json::parse("[0, 0, 65409]"));
  EXPECT_EQ(mesh["groups"], json::parse(R"([{"materialIndex": 0, "faces": [[2, 1, 0]]}])"));
  EXPECT_TRUE(j["meshes"][1]["uvIndices"].is_null());
  EXPECT_TRUE(j["meshes"][1]["normals"].is_null());
  EXPECT_EQ(j["meshes"][1]["groups"][0]["materialIndex"], 65535);

  EXPECT_EQ(j["lights"][0]["axisZNegated"], json::parse("[0.0, -1.0, 0.0]"));
  EXPECT_TRUE(j["lights"][0]["userText"].is_null());
  EXPECT_EQ(j["lights"][1]["userText"], "abc");
  EXPECT_EQ(j["helpers"][0]["axisZ"], json::parse("[0.0, 1.0, 0.0]"));
  EXPECT_EQ(j["splines"][0]["splines"][1]["closed"], true);
  EXPECT_EQ(j["splines"][0]["splines"][0]["knots"][0], json::parse("[11.0, 3.0, 2.0]"));
  EXPECT_EQ(j["splines"][1]["userText"], "x");
}

TEST(WriteCvmJson, WritesTheTextOfTheTreesDump) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    const char* name;
    CvmFile file;
  } cases[] = {
      {"every kind of record", FullCvmFile()},
      {"the empty file", MakeFile([](CvmFile&) {})},
      {"empty records and lists", MakeFile([](CvmFile& f) {
         f.meshes.resize(2);
         f.meshes[1].hasUvs = true;
         f.meshes[1].groups.resize(3);
         f.splines.resize(1);
         f.splines[0].splines.resize(2);
         f.helpers.resize(1);
         f.materials.resize(1);
       })},
      {"awkward floats and texts", MakeFile([&](CvmFile& f) {
         f.header.scale = -0.0f;
         reader::CvmLight light;
         light.name = std::string("tab\tquote\"back\\slash\x01\x1F\x7F caf\xE9 \xFF");
         light.position = {nan, inf, -inf};
         light.color = {1e-45f, 3.4028235e38f, 0.1f};
         light.intensity = 1e-7f;
         light.userText = std::string("line\r\nnext");
         f.lights.push_back(light);
         reader::CvmHelper helper;
         helper.position = {16777216.0f, 1e15f, -123456.789f};
         f.helpers.push_back(helper);
       })},
      // The text goes out in blocks: a value longer than the buffer, lists across its ends.
      {"texts and lists longer than a block of output", MakeFile([](CvmFile& f) {
         reader::CvmHelper helper;
         helper.name = std::string(300000, 'n') + "\"";
         helper.userText = std::string(200001, '\t');
         f.helpers.push_back(helper);
         f.meshes.resize(1);
         for (uint32_t i = 0; i < 40000; ++i) {
           f.meshes[0].positions.push_back({0.1f * static_cast<float>(i), -1.0f / (1.0f + i), 7.0f});
           f.meshes[0].positionIndices.push_back(i * 2654435761u);
         }
       })},
  };
  for (const auto& c : cases) {
    std::ostringstream streamed;
    WriteCvmJson(c.file, streamed);
    EXPECT_EQ(streamed.str(), CvmToJson(c.file).dump(2)) << c.name;
  }
}

TEST(CvmFromJson, TheJsonFormGivesBackEveryByte) {
  const BuiltFile built = FullFile();
  CvmFile file;
  ReadError error;
  ASSERT_TRUE(ReadCvm(built.bytes.data(), built.bytes.size(), file, error)) << FormatReadError(error);
  // Through the text, as a seed or a hand-edited file would come.
  const json document = json::parse(CvmToJson(file).dump(2));
  CvmFile back;
  std::string problem;
  ASSERT_TRUE(CvmFromJson(document, back, problem)) << problem;
  EXPECT_EQ(format::EncodeCvm(back), built.bytes);
}

TEST(CvmFromJson, AKeyLeftOutKeepsTheRecordsDefault) {
  const BuiltFile built = FullFile();
  CvmFile file;
  ReadError error;
  ASSERT_TRUE(ReadCvm(built.bytes.data(), built.bytes.size(), file, error));
  json document = CvmToJson(file);
  document["lights"][1].erase("intensity");
  document["lights"][1].erase("userText");
  document["materials"][0]["engine"].erase("colorKey");
  document["meshes"][0].erase("uvs");
  document["meshes"][0].erase("colors");
  CvmFile back;
  std::string problem;
  ASSERT_TRUE(CvmFromJson(document, back, problem)) << problem;
  EXPECT_EQ(back.lights[1].intensity, 0.0f);
  EXPECT_FALSE(back.lights[1].userText.has_value());
  EXPECT_EQ(back.lights[1].typeCode, 4u);
  EXPECT_FALSE(back.materials[0].engine.colorKey.has_value());
  EXPECT_TRUE(back.materials[0].engine.uv1.has_value());
  // Without its shown values the texture-coordinate block is absent, the indices with it.
  EXPECT_FALSE(back.meshes[0].hasUvs);
  EXPECT_TRUE(back.meshes[0].uvIndices.empty());
  EXPECT_TRUE(back.meshes[0].colors.empty());
  EXPECT_TRUE(back.meshes[0].hasNormals);
}

TEST(CvmFromJson, AValueOfTheWrongKindIsNamedByItsPath) {
  const BuiltFile built = FullFile();
  CvmFile file;
  ReadError error;
  ASSERT_TRUE(ReadCvm(built.bytes.data(), built.bytes.size(), file, error));
  const json good = CvmToJson(file);
  const struct {
    const char* pointer;  // JSON pointer of the value replaced
    json value;
    const char* message;
  } cases[] = {
      {"/meshes/0/cornerCount", "three",
       "meshes[0].cornerCount: expected a whole number from 0 to 4294967295"},
      {"/meshes/1/positions", json::object(), "meshes[1].positions: expected a list"},
      {"/materials/0/engine/uv1/v", "0.25", "materials[0].engine.uv1.v: expected a number"},
      {"/lights/1/userText", "\u20AC", "lights[1].userText: expected a text of code points below 256"},
      {"/materials/0/textureRefs", json::array({1, 2}), "materials[0].textureRefs: expected a list of 7"},
      {"/header/lightCount", -1, "header.lightCount: expected a whole number"},
  };
  for (const auto& c : cases) {
    json bad = good;
    bad[json::json_pointer(c.pointer)] = c.value;
    CvmFile back;
    std::string problem;
    EXPECT_FALSE(CvmFromJson(bad, back, problem)) << c.pointer;
    EXPECT_EQ(problem.rfind(c.message, 0), 0u) << problem;
  }
}

}  // namespace
}  // namespace cvm::reader::test
