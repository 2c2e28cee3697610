// The reader's limits on hostile files: counts are checked against the bytes that remain
// before anything is sized by them, strings must end before the file does, and the memory a
// file can make the reader use stays a small multiple of the file's size.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "reader/cvm_reader.h"
#include "tests/reader/built_file.h"
#include "tests/support/allocation_counter.h"

namespace cvm {
namespace {

using reader::CvmFile;
using reader::ReadCvm;
using reader::ReadError;
using reader::test::BuiltFile;
using reader::test::MakeFile;

// A file of one record, made by add, whose lists are all empty.
CvmFile OneRecord(const std::function<void(CvmFile&)>& add) {
  return MakeFile(add);
}

CvmFile OneLight(const std::string& name, const std::optional<std::string>& userText) {
  return OneRecord([&](CvmFile& f) {
    reader::CvmLight light;
    light.name = name;
    light.typeCode = 1;
    light.intensity = 1.0f;
    light.userText = userText;
    f.lights.push_back(light);
  });
}

struct HostileFile {
  const char* name;
  BuiltFile file;    // a valid file, cut or overwritten where the error must point
  const char* path;  // that field
  const char* message;
};

TEST(ReaderLimits, HostileFilesAreRefusedAtTheFieldWithoutLargeAllocations) {
  const CvmFile empty = MakeFile([](CvmFile&) {});
  const CvmFile oneMesh = OneRecord([](CvmFile& f) { f.meshes.emplace_back(); });
  const CvmFile meshWithNormals = OneRecord([](CvmFile& f) {
    f.meshes.emplace_back();
    f.meshes[0].hasNormals = true;
  });
  const CvmFile oneShape = OneRecord([](CvmFile& f) { f.splines.push_back({"s", {}, {}, std::nullopt}); });
  const auto named = [](size_t length, char letter) { return std::string(length, letter); };
  HostileFile cases[] = {
      // The corner count here is 0; the header already knows better.
      {"44 bytes claiming a mesh of four billion corners",
       std::move(BuiltFile(oneMesh).Set("meshes[0].cornerCount", 4, 0xFFFFFFFF).CutAt("meshes[0]", 16)),
       "header.meshCount",
       "header: mesh count 1: the records need at least 44 bytes after the header, 24 remain"},
      {"the smallest file with a mesh that claims four billion corners",
       std::move(BuiltFile(oneMesh).Set("meshes[0].cornerCount", 4, 0xFFFFFFFF)), "meshes[0].cornerCount",
       "mesh 0: corner count 4294967295 needs at least 17179869180 bytes, 20 remain"},
      {"normal count",
       std::move(BuiltFile(meshWithNormals).Set("meshes[0].normalCount", 4, 0xFFFFFFFF).PadTo(80)),
       "meshes[0].normalCount", "mesh 0: normal count 4294967295 needs at least 8589934590 bytes"},
      {"colour count of four billion corners",
       std::move(BuiltFile(oneMesh).Set("meshes[0].colorCount", 4, 0xFFFFFFFF).PadTo(80)),
       "meshes[0].colorCount", "mesh 0: colour count 4294967295 is neither 0 nor the corner count 0"},
      {"face count without corners",
       std::move(BuiltFile(oneMesh).Set("meshes[0].faceCount", 4, 0x55555555).PadTo(80)),
       "meshes[0].faceCount", "mesh 0: face count 1431655765 does not match the corner count 0"},
      {"spline entries of a spline record",
       std::move(BuiltFile(oneShape).Set("splines[0].splineCount", 2, 0xFFFF).PadTo(64)),
       "splines[0].splineCount", "spline record 0: spline count 65535 needs at least 196605 bytes"},
      {"helper count", std::move(BuiltFile(empty).Set("header.helperCount", 4, 0xFFFFFFFF)),
       "header.helperCount", "header: helper count 4294967295"},
      {"spline record count after plausible others",
       std::move(BuiltFile(empty)
                     .Set("header.lightCount", 4, 1)
                     .Set("header.helperCount", 4, 1)
                     .Set("header.splineCount", 4, 0x10000000)
                     .PadTo(28 + 69 + 51 + 100)),
       "header.splineCount", "header: spline count 268435456"},
      {"texture name without its 0 byte", std::move(BuiltFile(OneRecord([&](CvmFile& f) {
                                                      f.textures.push_back({named(8, 't'), 0});
                                                    })).CutAt("textures[0]", 8)),
       "textures[0]", "texture 0: name: no terminating 0 byte before the end of the file"},
      {"material name without its 0 byte", std::move(BuiltFile(OneRecord([&](CvmFile& f) {
                                                       f.materials.emplace_back();
                                                       f.materials[0].name = named(120, 'm');
                                                     })).CutAt("materials[0]", 120)),
       "materials[0]", "material 0: name: no terminating 0 byte"},
      {"light name without its 0 byte",
       std::move(BuiltFile(OneLight(named(80, 'L'), std::nullopt)).CutAt("lights[0]", 80)), "lights[0]",
       "light 0: name: no terminating 0 byte"},
      {"helper name without its 0 byte", std::move(BuiltFile(OneRecord([&](CvmFile& f) {
                                                     f.helpers.emplace_back();
                                                     f.helpers[0].name = named(60, 'H');
                                                   })).CutAt("helpers[0]", 60)),
       "helpers[0]", "helper 0: name: no terminating 0 byte"},
      {"user text without its 0 byte",
       std::move(BuiltFile(OneLight("Lamp", named(30, 'u'))).CutAt("lights[0].userText", 30)),
       "lights[0].userText", "light 0: user text: no terminating 0 byte"},
  };
  for (const HostileFile& h : cases) {
    const std::vector<uint8_t>& bytes = h.file.bytes;
    CvmFile file;
    ReadError error;
    bool ok = true;
    size_t largest = 0;
    size_t peak = 0;
    {
      test::AllocationMeter meter;
      ok = ReadCvm(bytes.data(), bytes.size(), file, error);
      largest = meter.Largest();
      peak = meter.Peak();
    }
    EXPECT_FALSE(ok) << h.name;
    EXPECT_EQ(error.offset, h.file.At(h.path)) << h.name << ": " << error.message;
    EXPECT_NE(error.message.find(h.message), std::string::npos) << h.name << ": " << error.message;
    EXPECT_LT(largest, 4096u) << h.name;
    EXPECT_LT(peak, 8192u) << h.name;
  }
}

// Files made of the records that decode into the most memory per byte they take.
struct DenseFile {
  const char* name;
  std::function<void(CvmFile&)> fill;
};

TEST(ReaderLimits, MemoryStaysASmallMultipleOfTheFileSize) {
  const DenseFile cases[] = {
      {"65535 empty splines in one record",
       [](CvmFile& f) {
         f.splines.emplace_back();
         f.splines[0].splines.resize(0xFFFF);
       }},
      {"20000 empty meshes", [](CvmFile& f) { f.meshes.resize(20000); }},
      {"50000 empty face groups",
       [](CvmFile& f) {
         f.meshes.emplace_back();
         f.meshes[0].groups.resize(50000);
       }},
      {"50000 one-letter textures",
       [](CvmFile& f) {
         for (uint32_t i = 0; i < 50000; ++i) f.textures.push_back({"t", i});
       }},
      {"20000 empty helpers", [](CvmFile& f) { f.helpers.resize(20000); }},
  };
  for (const DenseFile& d : cases) {
    const BuiltFile b(MakeFile(d.fill));
    CvmFile file;
    ReadError error;
    bool ok = false;
    size_t peak = 0;
    {
      test::AllocationMeter meter;
      ok = ReadCvm(b.bytes.data(), b.bytes.size(), file, error);
      peak = meter.Peak();
    }
    ASSERT_TRUE(ok) << d.name << ": " << FormatReadError(error);
    EXPECT_LE(peak, 16 * b.bytes.size())
        << d.name << ": " << peak << " bytes for a file of " << b.bytes.size();
  }
}

}  // namespace
}  // namespace cvm
