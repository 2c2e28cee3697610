// The fast reader against the strict one: whatever the document, the reader used by
// LoadSceneDocument and LoadSceneFile (fast, then strict when the fast one is unsure) gives the
// strict reader's verdict: the same model or the same message. The fast reader must also
// really take valid documents, or the comparison would hold trivially.
#include "import/scene_document_fast.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "import/scene_document.h"
#include "tests/support/scene_model_compare.h"

namespace cvm::import {
namespace {

// The verdict of a reader: the model written back as a document, or the message.
struct Verdict {
  bool ok = false;
  std::string message;
  standin::SceneModel model;
};

Verdict Strict(const std::string& json) {
  Verdict v;
  v.ok = LoadSceneDocumentStrict(json, v.model, v.message);
  return v;
}

Verdict Loaded(const std::string& json) {
  Verdict v;
  v.ok = LoadSceneDocument(json, v.model, v.message);
  return v;
}

// The fast reader alone on json.
bool Fast(const std::string& json, standin::SceneModel& model) {
  return ReadSceneDocumentFast(json, model);
}

// Empty when LoadSceneDocument and the fast reader alone agree with the strict reader on json;
// fastTook, when given, is whether the fast reader took it.
std::string Disagreement(const std::string& json, bool* fastTook = nullptr) {
  const Verdict strict = Strict(json);
  const Verdict loaded = Loaded(json);
  if (strict.ok != loaded.ok)
    return std::string("accepted by ") + (strict.ok ? "the strict reader only" : "LoadSceneDocument only");
  if (!strict.ok && strict.message != loaded.message)
    return "messages differ: \"" + strict.message + "\" / \"" + loaded.message + "\"";
  if (strict.ok) {
    const std::string difference = standin::SceneModelDifference(strict.model, loaded.model);
    if (!difference.empty()) return "models differ at " + difference;
  }
  standin::SceneModel fast;
  const bool took = Fast(json, fast);
  if (fastTook != nullptr) *fastTook = took;
  if (took) {
    if (!strict.ok) return "the fast reader accepts what the strict reader refuses: " + strict.message;
    const std::string difference = standin::SceneModelDifference(strict.model, fast);
    if (!difference.empty()) return "the fast reader's model differs at " + difference;
  }
  return std::string();
}

// Whether the fast reader takes json (and gives the strict reader's model, which Disagreement
// checks).
bool FastTakes(const std::string& json) {
  standin::SceneModel model;
  return Fast(json, model);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Every part of the format at least once, with comments, escapes and awkward numbers: the
// document whose bytes are mutated below.
const std::string kRich = R"({"_": {"a": [1, {"b": null}], "_x": 1, "_x": 2}, "nodes": [
  {"name": "m\u00e9sh \"1\"", "userText": "k=v\r\n", "selected": true, "hidden": false,
   "transform": [[1,0,0],[0,1,0],[0,0,1],[1.5,-2e3,3.25E-2]], "pivot": [[1,0,0],[0,1,0],[0,0,1],[0,0,0]],
   "material": 1,
   "object": {"vertices": [[0,0,0],[1,0.1,"nan"],[0,1,"-0"],["inf","-inf",-0.0]], "kind": "mesh",
     "native": false, "superClassId": 16, "classId": [1, 0],
     "faces": [[0,1,2],[0,2,3]], "smoothing": [1, 4294967295], "materialIds": [0, 65535],
     "tverts": [[0,0],[1,0,0.5],[0,1]], "tvFaces": [[0,1,2],[0,1,2]],
     "colors": {"verts": [[1,0,0]], "faces": [[0,0,0],[0,0,0]]},
     "normals": {"faceNormals": [[0,0,1],[0,0,1]], "vertexNormals": [
       {"specified": true, "entries": [{"normal": [0,0,1], "smoothing": 1}, {"smoothing": 2, "normal": [1,0,0]}]},
       {"entries": [], "specified": false},
       {"specified": false, "entries": [{"normal": [0,1,0], "smoothing": 0}]},
       {"specified": true, "entries": [{"normal": [0,0,-1], "smoothing": 3, "_n": "c"}]}]}}},
  {"object": {"kind": "shape", "alsoMesh": true, "splines": [{"closed": true, "knots": [[0,0,0],[1,1,1]]}]}},
  {"object": {"kind": "light", "lightType": -2, "color": [1, 0.9, 0.8], "intensity": 1e-3}},
  {"object": {"kind": "helper", "superClassId": 0}}, {"object": {"kind": "camera"}, "material": null}],
 "materials": [
  {"name": "multi", "class": "multi", "subMaterials": [1, null], "isMulti": true},
  {"class": [2, 0], "twoSided": true, "diffuse": [0.5, 0.5, 0.5], "ambient": [0,0,0], "specular": [1,1,1],
   "selfIllum": [0,0,0], "shininess": 0.3, "shininessStrength": "-0",
   "maps": {"diffuse": {"texmap": 0}, "8": {"texmap": null, "enabled": false}, "_": 1},
   "customAttributes": [{"className": "CV", "paramBlock": false, "params": [
     {"name": "i", "id": 1, "type": "int", "value": -2147483648},
     {"value": 1e38, "name": "f", "id": 2, "type": "float"},
     {"name": "g", "id": 3, "type": "float", "value": "inf"},
     {"name": "h", "id": 4, "type": "float", "value": 16777217},
     {"name": "p", "id": 4294967295, "type": "point3", "value": [1, 2, 3]}]}]},
  {"class": "shell", "customAttributes": null}, {"class": "standard", "customAttributes": []}],
 "texmaps": [{"class": "bitmap", "fileName": "C:\\maps\\a.png"}, {"class": [576, 0]}]}
)";

TEST(FastSceneRead, IsThereWhereTheBuildFoundBoostJson) {
#if CVM_EXPECT_FAST_READER
  EXPECT_TRUE(HaveFastSceneReader());
#else
  EXPECT_FALSE(HaveFastSceneReader());
#endif
}

TEST(FastSceneRead, TakesValidDocumentsToTheStrictModel) {
  std::vector<std::pair<std::string, std::string>> documents = {{"rich", kRich}};
  for (const char* folder : {"examples", "examples/consumer/models", "fuzz/corpus/scene"}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(CVM_SOURCE_DIR) / folder)) {
      if (entry.path().extension() == ".json")
        documents.emplace_back(entry.path().string(), ReadFile(entry.path()));
    }
  }
  size_t valid = 0;
  for (const auto& [name, json] : documents) {
    EXPECT_EQ(Disagreement(json), "") << name;
    // Seeds of the fuzzer may be broken on purpose.
    if (!Strict(json).ok) continue;
    ++valid;
    if (HaveFastSceneReader()) {
      EXPECT_TRUE(FastTakes(json)) << name;
    }
  }
  EXPECT_GE(valid, 8u);
}

// Numbers as the strict reader rounds them: to the nearest double, then once to float; integer
// literals beyond 64 bits through strtod.
TEST(FastSceneRead, RoundsNumbersAsTheStrictReader) {
  const char* kNumbers[] = {"0.1",
                            "1e-46",
                            "7.006492321624085e-46",
                            "1.4012984643248171e-45",
                            "2.2250738585072011e-308",
                            "4.9e-324",
                            "1e-400",
                            "1.00000005960464477539062499",
                            "1.000000059604644775390625",
                            "1.00000005960464477539062501",
                            "3.4028235677973366e38",
                            "3.4028234663852886e38",
                            "9007199254740993",
                            "18446744073709551615",
                            "18446744073709551616",
                            "123456789012345678901234567890",
                            "-9223372036854775808",
                            "-9223372036854775809",
                            "0.000000000000000000000000000000000000000000001",
                            "1.7976931348623157e308",
                            "12.999743",
                            "-0.0",
                            "0e5",
                            "1E+2"};
  for (const char* number : kNumbers) {
    const std::string json = std::string(R"({"nodes": [{"object": {"kind": "light", "intensity": )") +
                             number + R"(, "color": [)" + number + ", 0, " + number + "]}}]}";
    EXPECT_EQ(Disagreement(json), "") << number;
  }
  // Random doubles at every precision, as vertices.
  std::mt19937_64 random(7);
  for (int d = 0; d < 40; ++d) {
    std::string json = R"({"nodes": [{"object": {"kind": "mesh", "faces": [], "vertices": [)";
    for (int v = 0; v < 50; ++v) {
      char text[3][64];
      for (auto& t : text) {
        const double x =
            std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 300) - 200);
        std::snprintf(t, sizeof t, "%.*g", 1 + static_cast<int>(random() % 20), (random() & 1) ? x : -x);
      }
      json += std::string(v ? "," : "") + "[" + text[0] + "," + text[1] + "," + text[2] + "]";
    }
    json += "]}}]}";
    EXPECT_EQ(Disagreement(json), "") << json;
    if (HaveFastSceneReader()) {
      EXPECT_TRUE(FastTakes(json)) << json;
    }
  }
}

// Documents the fast reader must leave to the strict one, or take exactly as it does: every
// check of the strict parser and of the format, near its limits.
TEST(FastSceneRead, BrokenAndBorderlineDocumentsGiveTheStrictVerdict) {
  const auto node = [](const std::string& object) { return R"({"nodes": [{"object": )" + object + "}]}"; };
  const auto mesh = [&](const std::string& rest) {
    return node(R"({"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]])" + rest + "}");
  };
  const auto nested = [](int levels) {
    return R"({"nodes": [], "_": )" + std::string(static_cast<size_t>(levels), '[') +
           std::string(static_cast<size_t>(levels), ']') + "}";
  };
  const std::vector<std::string> documents = {
      "",
      " ",
      "{",
      "{}",
      "[]",
      "null",
      R"({"nodes": []} x)",
      R"({"nodes": []}})",
      R"({"nodes": []} )",
      "\xEF\xBB\xBF{\"nodes\": []}",
      R"({"nodes": [], "nodes": []})",
      R"({"nodes": [], "_a": {"k": 1, "k": 2}})",
      R"({"nodes": [], "_a": {"_k": 1, "_k": 2}})",
      nested(62),
      nested(63),
      nested(64),
      nested(200),
      R"({"nodes": [{"name": "a\u0000b", "object": {"kind": "helper"}}]})",
      "{\"nodes\": [{\"name\": \"a\x01\", \"object\": {\"kind\": \"helper\"}}]}",
      "{\"nodes\": [], \"_\x01\": 1}",
      "{\"nodes\": [], \"_\": \"\x1f\"}",
      R"({"nodes": [], "_": "\u0001"})",
      R"({"nodes": [], "a\u0000": 1})",
      "{\"nodes\": [{\"name\": \"\xC3\x28\", \"object\": {\"kind\": \"helper\"}}]}",
      "{\"nodes\": [{\"name\": \"\xED\xA0\x80\", \"object\": {\"kind\": \"helper\"}}]}",
      R"({"nodes": [{"name": "\ud800", "object": {"kind": "helper"}}]})",
      R"({"nodes": [{"name": "\udc00", "object": {"kind": "helper"}}]})",
      R"({"nodes": [{"name": "\ud83d\ude00", "object": {"kind": "helper"}}]})",
      R"({"n\u006fdes": [], "_\u0062": 1})",
      R"({"nodes": [], "_": 1e400})",
      R"({"nodes": [], "_": 123456789012345678901234567890})",
      R"({"nodes": [], "_": -0})",
      node(R"({"kind": "light", "intensity": 1e400})"),
      node(R"({"kind": "light", "intensity": -1e400})"),
      node(R"({"kind": "light", "intensity": -0})"),
      node(R"({"kind": "light", "intensity": "nan "})"),
      node(R"({"kind": "light", "intensity": true})"),
      node(R"({"kind": "light", "lightType": 2147483648})"),
      node(R"({"kind": "light", "lightType": -2147483649})"),
      node(R"({"kind": "light", "lightType": 2.0})"),
      node(R"({"kind": "light", "lightType": 2.5})"),
      node(R"({"kind": "light", "color": [1, 2]})"),
      node(R"({"kind": "light", "color": [1, 2, 3, 4]})"),
      node(R"({"kind": "light", "native": true})"),
      node(R"({"kind": "helper", "vertices": []})"),
      node(R"({"kind": "nurbs"})"),
      node(R"({"kind": 1})"),
      node(R"({"superClassId": 1})"),
      node(R"({"kind": "helper", "superClassId": 4294967296})"),
      node(R"({"kind": "helper", "superClassId": -1})"),
      node(R"({"kind": "helper", "classId": [1, 2, 3]})"),
      node(R"({"kind": "helper", "kind": "helper"})"),
      node(R"([])"),
      mesh(""),
      mesh(R"(, "faces": [])"),
      node(R"({"kind": "mesh", "faces": []})"),
      node(R"({"kind": "mesh", "vertices": []})"),
      mesh(R"(, "smoothing": [1, 2])"),
      mesh(R"(, "smoothing": [-1])"),
      mesh(R"(, "materialIds": [65536])"),
      mesh(R"(, "materialIds": [1.0])"),
      mesh(R"(, "tverts": [[0,0]])"),
      mesh(R"(, "tvFaces": [[0,0,0]])"),
      mesh(R"(, "tverts": [], "tvFaces": [[0,0,0]])"),
      mesh(R"(, "tverts": [], "_": 0)"),
      mesh(R"(, "tverts": [[0]], "tvFaces": [[0,0,0]])"),
      mesh(R"(, "tverts": [[0,0]], "tvFaces": [[0,0,1]])"),
      mesh(R"(, "colors": {"verts": [[0,0,0]]})"),
      mesh(R"(, "colors": {"verts": [[0,0,0]], "faces": []})"),
      mesh(R"(, "normals": {"faceNormals": [[0,0,1]]})"),
      mesh(R"(, "normals": {"faceNormals": [[0,0,1]], "vertexNormals": []})"),
      mesh(R"(, "normals": {"faceNormals": [[0,0,1]], "vertexNormals": [{"specified": true, "entries": []},
           {"specified": false, "entries": []}, {"specified": false, "entries": []}]})"),
      mesh(R"(, "normals": {"faceNormals": [[0,0,1]], "vertexNormals": [{"specified": false, "entries": []},
           {"specified": false, "entries": []}, {"specified": 0, "entries": []}]})"),
      R"({"nodes": [{"object": {"kind": "mesh", "vertices": [[0,0,0]], "faces": [[0,1,0]]}}]})",
      R"({"nodes": [{"object": {"kind": "mesh", "vertices": [[0,0,0]], "faces": [[0,-0,0]]}}]})",
      R"({"nodes": [{"object": {"kind": "mesh", "vertices": [[0,0,0]], "faces": [[0,0]]}}]})",
      R"({"nodes": [{"object": {"kind": "mesh", "vertices": [[0,0,0],], "faces": []}}]})",
      R"({"nodes": [{"material": 0, "object": {"kind": "helper"}}]})",
      R"({"nodes": [{"material": -1, "object": {"kind": "helper"}}], "materials": [{}]})",
      R"({"nodes": [{"material": 0, "object": {"kind": "helper"}}], "materials": [{}]})",
      R"({"nodes": [], "materials": [{"subMaterials": [0]}]})",
      R"({"nodes": [], "materials": [{"subMaterials": [1]}, {}]})",
      R"({"nodes": [], "materials": [{"class": "glass"}]})",
      R"({"nodes": [], "materials": [{"maps": {"diffuse": {"texmap": 0}}}]})",
      R"({"nodes": [], "materials": [{"maps": {"diffuse": {"texmap": null}, "1": {"texmap": null}}}]})",
      R"({"nodes": [], "materials": [{"maps": {"12": {"texmap": null}}}]})",
      R"({"nodes": [], "materials": [{"maps": {"01": {"texmap": null}}}]})",
      R"({"nodes": [], "materials": [{"maps": {"diffuse": {"enabled": true}}}]})",
      R"({"nodes": [], "materials": [{"customAttributes": [{"className": "c", "paramBlock": true}]}]})",
      R"({"nodes": [], "materials": [{"customAttributes": [{"className": "c", "paramBlock": true, "params": [
           {"name": "i", "id": 1, "type": "int", "value": 2147483648}]}]}]})",
      R"({"nodes": [], "materials": [{"customAttributes": [{"className": "c", "paramBlock": true, "params": [
           {"name": "i", "id": 1, "type": "int", "value": 2.0}]}]}]})",
      R"({"nodes": [], "materials": [{"customAttributes": [{"className": "c", "paramBlock": true, "params": [
           {"name": "i", "id": 1, "type": "float", "value": -0}]}]}]})",
      R"({"nodes": [], "materials": [{"customAttributes": [{"className": "c", "paramBlock": true, "params": [
           {"name": "i", "id": 1, "type": "float", "value": 18446744073709551615}]}]}]})",
      R"({"nodes": [], "materials": [{"customAttributes": [{"className": "c", "paramBlock": true, "params": [
           {"name": "i", "id": 1, "type": "point4", "value": [1, 2, 3]}]}]}]})",
      R"({"nodes": [], "materials": [{"customAttributes": [{"className": "c", "paramBlock": true, "params": [
           {"name": "i", "id": 1, "type": "int", "value": [1, 2, 3]}]}]}]})",
      R"({"nodes": [], "texmaps": [{"class": "checker"}]})",
      R"({"nodes": [], "texmaps": {}})",
  };
  for (const std::string& json : documents) EXPECT_EQ(Disagreement(json), "") << json;
}

// Every byte of a document that uses the whole format deleted, doubled and changed: the
// fast reader must never take a broken document nor take a valid one differently.
TEST(FastSceneRead, EveryMutationOfARichDocumentGivesTheStrictVerdict) {
  ASSERT_TRUE(Strict(kRich).ok) << Strict(kRich).message;
  if (HaveFastSceneReader()) {
    ASSERT_TRUE(FastTakes(kRich));
  }
  int taken = 0;
  for (size_t at = 0; at < kRich.size(); ++at) {
    std::vector<std::string> mutants = {kRich.substr(0, at) + kRich.substr(at + 1),
                                        kRich.substr(0, at + 1) + kRich.substr(at), kRich.substr(0, at)};
    for (const char c : {'\x00', '\x5A', '0', '9', '-', '"', ',', ']', '}', '_', '\xFF'}) {
      std::string changed = kRich;
      changed[at] = c == '\x5A' ? static_cast<char>(changed[at] ^ c) : c;
      mutants.push_back(changed);
    }
    for (const std::string& mutant : mutants) {
      bool took = false;
      ASSERT_EQ(Disagreement(mutant, &took), "") << "at " << at << ":\n" << mutant;
      taken += took ? 1 : 0;
    }
  }
  // Many mutations keep the document valid (a digit for a digit, a space dropped).
  if (HaveFastSceneReader()) {
    EXPECT_GT(taken, 500);
  }
}

TEST(FastSceneRead, FilesGiveTheStrictVerdict) {
  const std::string path = testing::TempDir() + "fast_scene_read_test.json";
  // Files of whole pages have their padding wholly past the file's own pages, one of them a
  // number that runs into it.
  std::string wholePages = kRich;
  wholePages.resize(8192, ' ');
  const std::string numberToTheEnd = std::string(4096 - 6, ' ') + "123456";
  for (const std::string& json :
       {kRich, std::string(R"({"nodes": [{"object": {"kind": "helper", "colour": 1}}]})"),
        kRich.substr(0, kRich.size() / 2), std::string(), wholePages, numberToTheEnd}) {
    {
      std::ofstream file(path, std::ios::binary);
      file << json;
    }
    const Verdict strict = Strict(json);
    Verdict file;
    file.ok = LoadSceneFile(path, file.model, file.message);
    EXPECT_EQ(file.ok, strict.ok);
    EXPECT_EQ(file.message, strict.message);
    EXPECT_EQ(standin::SceneModelDifference(file.model, strict.model), "");
  }
  std::remove(path.c_str());
}

// A file big enough that the text behind the parser is released while it reads: the model is
// still the strict reader's, so nothing was read from released pages.
TEST(FastSceneRead, BigFileGivesTheStrictModel) {
  std::mt19937 random(3);
  std::string json = R"({"nodes": [{"name": "big", "object": {"kind": "mesh", "vertices": [)";
  constexpr int kVertices = 150000;
  for (int v = 0; v < kVertices; ++v) {
    json += (v ? ",[" : "[") + std::to_string(random() % 100000) + "." + std::to_string(random() % 1000) +
            ",-" + std::to_string(random() % 1000) + "e-3," + std::to_string(v) + "]";
  }
  json += R"(], "faces": [)";
  for (int f = 0; f + 2 < kVertices; ++f) {
    json += (f ? ",[" : "[") + std::to_string(f) + "," + std::to_string(f + 1) + "," + std::to_string(f + 2) +
            "]";
  }
  json += "]}}]}";
  ASSERT_GT(json.size(), size_t{4} << 20);
  const std::string path = testing::TempDir() + "fast_scene_read_big_test.json";
  {
    std::ofstream file(path, std::ios::binary);
    file << json;
  }
  const Verdict strict = Strict(json);
  ASSERT_TRUE(strict.ok) << strict.message;
  standin::SceneModel model;
  if (HaveFastSceneReader()) {
    EXPECT_TRUE(ReadSceneFileFast(path, json.size(), model));
    EXPECT_EQ(standin::SceneModelDifference(model, strict.model), "");
  }
  std::string error;
  EXPECT_TRUE(LoadSceneFile(path, model, error)) << error;
  EXPECT_EQ(standin::SceneModelDifference(model, strict.model), "");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace cvm::import
