// Scene documents at and past the limits: nesting, odd bytes, numbers out of range, size. Each
// is refused with the path of the offending value or read as the format says; none may
// recurse without bound or use memory out of proportion to the document.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "import/scene_document.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/run_process.h"
#include "tests/support/scene_model_compare.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

using import::LoadSceneDocument;
using standin::SceneModel;

// A valid document whose comment holds arrays nested `depth` deep; the top object is a level too.
std::string NestedComment(size_t depth, const char* open, const char* close) {
  std::string text = R"({"nodes": [], "_c": )";
  for (size_t i = 0; i < depth; ++i) text += open;
  text += "0";
  for (size_t i = 0; i < depth; ++i) text += close;
  return text + "}";
}

TEST(SceneLimits, NestingIsCountedAndBoundedWhateverTheBrackets) {
  const struct {
    const char* open;
    const char* close;
    size_t levelsPerStep;
  } brackets[] = {{"[", "]", 1}, {R"({"_": )", "}", 1}, {R"([{"_": )", "}]", 2}};
  for (const auto& b : brackets) {
    // 64 levels in all are allowed (the top object is one of them), a 65th is not.
    const size_t fits = 63 / b.levelsPerStep;
    SceneModel model;
    std::string error;
    EXPECT_TRUE(LoadSceneDocument(NestedComment(fits, b.open, b.close), model, error))
        << b.open << ": " << error;
    EXPECT_FALSE(LoadSceneDocument(NestedComment(fits + 1, b.open, b.close), model, error)) << b.open;
    EXPECT_NE(error.find("nested more than 64 levels deep"), std::string::npos) << error;
    // Far deeper input gets the same answer, not a stack overflow.
    EXPECT_FALSE(LoadSceneDocument(NestedComment(200000, b.open, b.close), model, error)) << b.open;
    EXPECT_NE(error.find("nested more than 64 levels deep"), std::string::npos) << error;
  }
}

struct OddDocument {
  const char* name;
  std::string json;
  const char* errorPrefix;  // null: the document is valid
};

std::string NamedHelper(const std::string& nameJson) {
  return R"({"nodes": [{"name": )" + nameJson + R"(, "object": {"kind": "helper"}}]})";
}

std::string LightWith(const std::string& field) {
  return R"({"nodes": [{"object": {"kind": "light", )" + field + "}}]}";
}

std::string TriWithSmoothing(const std::string& mask) {
  return R"({"nodes": [{"object": {"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]], )"
         R"("smoothing": [)" +
         mask + "]}}]}";
}

TEST(SceneLimits, OddBytesAndNumbersGetAPathOrTheirDefinedMeaning) {
  const OddDocument cases[] = {
      {"raw NUL byte between values", std::string(R"({"nodes": [])") + '\0' + "}", "(document)"},
      {"raw NUL byte in a string", NamedHelper(std::string("\"a") + '\0' + "b\""), "nodes[0]"},
      {"raw control character in a string", NamedHelper("\"a\tb\""), "nodes[0]"},
      {"escaped U+0000", NamedHelper(R"("a\u0000b")"), "nodes[0].name: string holds U+0000"},
      {"overlong encoding of NUL", NamedHelper("\"a\xC0\x80z\""), "nodes[0]"},
      {"byte that is never UTF-8", NamedHelper("\"\xFF\""), "nodes[0]"},
      {"lone surrogate escape", NamedHelper(R"("\ud800")"), "nodes[0]"},
      {"byte-order mark", "\xEF\xBB\xBF" + NamedHelper(R"("x")"), nullptr},
      {"mask one past u32", TriWithSmoothing("4294967296"), "nodes[0].object.smoothing[0]"},
      {"mask far past u32", TriWithSmoothing("1e30"), "nodes[0].object.smoothing[0]"},
      {"mask with a thousand digits", TriWithSmoothing(std::string(1000, '9')),
       "nodes[0].object.smoothing[0]"},
      {"mask u32 maximum", TriWithSmoothing("4294967295"), nullptr},
      {"mask written as a float", TriWithSmoothing("4294967295.0"), nullptr},
      {"light type one past i32", LightWith(R"("lightType": 2147483648)"), "nodes[0].object.lightType"},
      {"light type i32 minimum", LightWith(R"("lightType": -2147483648)"), nullptr},
      {"intensity that overflows a double", LightWith(R"("intensity": 1e400)"), "nodes[0].object.intensity"},
      {"intensity that underflows", LightWith(R"("intensity": 1e-400)"), nullptr},
      {"duplicate key", LightWith(R"("intensity": 1, "intensity": 2)"),
       "nodes[0].object.intensity: duplicate key \"intensity\""},
      {"repeated comment key", LightWith(R"("_c": 1, "_c": 2)"), nullptr},
      {"long name", NamedHelper("\"" + std::string(1 << 20, 'n') + "\""), nullptr},
  };
  for (const OddDocument& c : cases) {
    SceneModel model;
    std::string error;
    const bool ok = LoadSceneDocument(c.json, model, error);
    if (c.errorPrefix == nullptr) {
      EXPECT_TRUE(ok) << c.name << ": " << error;
    } else {
      EXPECT_FALSE(ok) << c.name;
      EXPECT_EQ(error.rfind(c.errorPrefix, 0), 0u) << c.name << ": " << error;
      EXPECT_TRUE(model.nodes.empty()) << c.name;
    }
  }
}

std::string FacesDocument(size_t faces) {
  std::string text =
      R"({"nodes": [{"object": {"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0],[1,1,0]], "faces": [)";
  text.reserve(text.size() + 8 * faces + 16);
  for (size_t i = 0; i < faces; ++i) text += i == 0 ? "[0,1,2]" : (i % 2 ? ",[1,3,2]" : ",[0,1,2]");
  return text + "]}}]}";
}

TEST(SceneLimits, MemoryGrowsInProportionToTheDocument) {
  // Loading holds the text, the JSON tree and the model: a fixed number of bytes per face.
  size_t peakPerByte[2] = {0, 0};
  const size_t sizes[2] = {25000, 100000};
  for (int i = 0; i < 2; ++i) {
    const std::string text = FacesDocument(sizes[i]);
    SceneModel model;
    std::string error;
    size_t peak = 0;
    {
      test::AllocationMeter meter;
      ASSERT_TRUE(LoadSceneDocument(text, model, error)) << error;
      peak = meter.Peak();
    }
    ASSERT_EQ(model.nodes.size(), 1u);
    peakPerByte[i] = peak / text.size();
    EXPECT_LE(peakPerByte[i], 32u) << sizes[i] << " faces: " << peak << " bytes for " << text.size();
  }
  // Four times the faces, about four times the memory.
  EXPECT_LE(peakPerByte[1], peakPerByte[0] + 2);
}

TEST(SceneLimits, ADocumentOverTheSizeLimitIsRefusedBeforeItIsRead) {
  test::TempDir dir;
  const std::string path = dir.File("huge.json");
  test::WriteBytes(path, {'{'});
  // A sparse gigabyte: no disk space used, and reading it would take memory the limit forbids.
  ASSERT_EQ(truncate(path.c_str(), off_t{1} << 30), 0);
  SceneModel model;
  std::string error;
  const auto start = std::chrono::steady_clock::now();
  size_t peak = 0;
  {
    test::AllocationMeter meter;
    EXPECT_FALSE(import::LoadSceneFile(path, model, error));
    peak = meter.Peak();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_LT(peak, size_t{1} << 20);
  EXPECT_EQ(error,
            "(document): the document is 1073741824 bytes, more than the limit of 536870912 bytes (512 MiB)");

  // The converter says so too, and leaves an existing output alone.
  const std::string out = dir.File("out.cvm");
  test::WriteBytes(out, {'o', 'l', 'd'});
  const test::ProcessResult run = test::RunProcess(CVMEXPORT_PATH, {path, "-o", out});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, path + ": " + error + "\n");
  EXPECT_EQ(test::ReadBytes(out), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

TEST(SceneLimits, AFolderOrAnEmptyFileIsNotAScene) {
  test::TempDir dir;
  const std::string empty = dir.File("empty.json");
  test::WriteBytes(empty, {});
  SceneModel model;
  std::string error;
  EXPECT_FALSE(import::LoadSceneFile(dir.Path().string(), model, error));
  EXPECT_EQ(error, "cannot read the scene document: Is a directory");
  EXPECT_FALSE(import::LoadSceneFile(empty, model, error));
  EXPECT_EQ(error.rfind("(document): ", 0), 0u) << error;
}

// A document is parsed while it is read: through a pipe, whose size nobody knows beforehand,
// it gives the model of the same text read whole, and bytes past the limit are refused with
// the limit's message even when the parser found fault with the first byte.
TEST(SceneLimits, APipeIsReadLikeAFileAndHeldToTheLimit) {
  test::TempDir dir;
  const std::string fifo = dir.File("pipe.json");
  const auto loadThroughPipe = [&](const std::string& head, size_t padding, SceneModel& model,
                                   std::string& error) {
    EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
      std::FILE* out = std::fopen(fifo.c_str(), "wb");
      std::fwrite(head.data(), 1, head.size(), out);
      const std::vector<char> spaces(size_t{1} << 20, ' ');
      for (size_t left = padding; left > 0;) {
        const size_t n = std::min(left, spaces.size());
        std::fwrite(spaces.data(), 1, n, out);
        left -= n;
      }
      std::fclose(out);
    });
    const bool ok = import::LoadSceneFile(fifo, model, error);
    writer.join();
    unlink(fifo.c_str());
    return ok;
  };

  const std::string text = FacesDocument(30000);
  SceneModel whole, piped;
  std::string error;
  ASSERT_TRUE(LoadSceneDocument(text, whole, error)) << error;
  ASSERT_TRUE(loadThroughPipe(text, 100000, piped, error)) << error;
  EXPECT_EQ(standin::SceneModelDifference(piped, whole), "");

  EXPECT_FALSE(loadThroughPipe("}", import::kMaxSceneDocumentBytes, piped, error));
  EXPECT_EQ(error,
            "(document): the document is 536870913 bytes, more than the limit of 536870912 bytes (512 MiB)");
  EXPECT_TRUE(piped.nodes.empty());
}

}  // namespace
}  // namespace cvm
