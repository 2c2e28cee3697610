// The reader's limits on hostile files: counts are checked against the bytes that remain
// before anything is sized by them, strings must end before the file does, and the memory a
// file can make the reader use stays a small multiple of the file's size.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "reader/cvm_reader.h"
#include "tests/reader/byte_builder.h"
#include "tests/support/allocation_counter.h"

namespace cvm {
namespace {

using reader::CvmFile;
using reader::ReadCvm;
using reader::ReadError;
using reader::test::ByteBuilder;

ByteBuilder& Header(ByteBuilder& b, uint32_t meshes, uint32_t lights, uint32_t helpers, uint32_t splines) {
  return b.F32(1)
      .Mark("meshCount")
      .U32(meshes)
      .Mark("lightCount")
      .U32(lights)
      .Mark("helperCount")
      .U32(helpers)
      .Mark("splineCount")
      .U32(splines);
}

ByteBuilder& Pad(ByteBuilder& b, size_t total) {
  while (b.bytes.size() < total) b.U8(0);
  return b;
}

ByteBuilder& EmptyMeshStart(ByteBuilder& b) {
  return b.Xyz(0, 0, 0).U32(0).U32(0);  // pivot, no corners, no positions
}

// The fixed fields of a light up to its user-text flag.
ByteBuilder& LightBody(ByteBuilder& b) {
  b.U16(1);
  for (int i = 0; i < 5; ++i) b.Xyz(0, 0, 0);
  return b.F32(1);
}

struct HostileFile {
  const char* name;
  std::function<void(ByteBuilder&)> build;  // marks "bad" where the error must point
  const char* message;
};

TEST(ReaderLimits, HostileFilesAreRefusedAtTheFieldWithoutLargeAllocations) {
  const HostileFile cases[] = {
      {"44 bytes claiming a mesh of four billion corners",
       [](ByteBuilder& b) {
         b.F32(1).Mark("bad").U32(1).U32(0).U32(0).U32(0).U32(0).U32(0);
         EmptyMeshStart(b);  // the corner count here would be 0; the header already knows better
         b.bytes.resize(40);
         b.U32(0xFFFFFFFF);
       },
       "header: mesh count 1: the records need at least 44 bytes after the header, 24 remain"},
      {"the smallest file with a mesh that claims four billion corners",
       [](ByteBuilder& b) {
         Header(b, 1, 0, 0, 0).U32(0).U32(0).Xyz(0, 0, 0).Mark("bad").U32(0xFFFFFFFF);
         Pad(b, 64);
       },
       "mesh 0: corner count 4294967295 needs at least 17179869180 bytes, 20 remain"},
      {"normal count",
       [](ByteBuilder& b) {
         Header(b, 1, 0, 0, 0).U32(0).U32(0);
         EmptyMeshStart(b).U16(0).U16(1).Mark("bad").U32(0xFFFFFFFF);
         Pad(b, 80);
       },
       "mesh 0: normal count 4294967295 needs at least 8589934590 bytes"},
      {"colour count of four billion corners",
       [](ByteBuilder& b) {
         Header(b, 1, 0, 0, 0).U32(0).U32(0);
         EmptyMeshStart(b).U16(0).U16(0).Mark("bad").U32(0xFFFFFFFF);
         Pad(b, 80);
       },
       "mesh 0: colour count 4294967295 is neither 0 nor the corner count 0"},
      {"face count without corners",
       [](ByteBuilder& b) {
         Header(b, 1, 0, 0, 0).U32(0).U32(0);
         EmptyMeshStart(b).U16(0).U16(0).U32(0).Mark("bad").U32(0x55555555);
         Pad(b, 80);
       },
       "mesh 0: face count 1431655765 does not match the corner count 0"},
      {"spline entries of a spline record",
       [](ByteBuilder& b) {
         Header(b, 0, 0, 0, 1).U32(0).U32(0).Str("s").Xyz(0, 0, 0).Mark("bad").U16(0xFFFF);
         Pad(b, 64);
       },
       "spline record 0: spline count 65535 needs at least 196605 bytes"},
      {"helper count",
       [](ByteBuilder& b) {
         Header(b, 0, 0, 0xFFFFFFFF, 0).U32(0).U32(0);
         b.marks["bad"] = 12;
       },
       "header: helper count 4294967295"},
      {"spline record count after plausible others",
       [](ByteBuilder& b) {
         Header(b, 0, 1, 1, 0x10000000).U32(0).U32(0);
         b.marks["bad"] = 16;
         Pad(b, 28 + 69 + 51 + 100);
       },
       "header: spline count 268435456"},
      {"texture name without its 0 byte",
       [](ByteBuilder& b) {
         Header(b, 0, 0, 0, 0).U32(0).U32(1).Mark("bad");
         for (int i = 0; i < 8; ++i) b.U8('t');
       },
       "texture 0: name: no terminating 0 byte before the end of the file"},
      {"material name without its 0 byte",
       [](ByteBuilder& b) {
         Header(b, 0, 0, 0, 0).U32(1).U32(0).Mark("bad");
         for (int i = 0; i < 120; ++i) b.U8('m');
       },
       "material 0: name: no terminating 0 byte"},
      {"light name without its 0 byte",
       [](ByteBuilder& b) {
         Header(b, 0, 1, 0, 0).U32(0).U32(0).Mark("bad");
         for (int i = 0; i < 80; ++i) b.U8('L');
       },
       "light 0: name: no terminating 0 byte"},
      {"helper name without its 0 byte",
       [](ByteBuilder& b) {
         Header(b, 0, 0, 1, 0).U32(0).U32(0).Mark("bad");
         for (int i = 0; i < 60; ++i) b.U8('H');
       },
       "helper 0: name: no terminating 0 byte"},
      {"user text without its 0 byte",
       [](ByteBuilder& b) {
         Header(b, 0, 1, 0, 0).U32(0).U32(0).Str("Lamp");
         LightBody(b).U16(1).Mark("bad");
         for (int i = 0; i < 30; ++i) b.U8('u');
       },
       "light 0: user text: no terminating 0 byte"},
  };
  for (const HostileFile& h : cases) {
    ByteBuilder b;
    h.build(b);
    CvmFile file;
    ReadError error;
    bool ok = true;
    size_t largest = 0;
    size_t peak = 0;
    {
      test::AllocationMeter meter;
      ok = ReadCvm(b.bytes.data(), b.bytes.size(), file, error);
      largest = meter.Largest();
      peak = meter.Peak();
    }
    EXPECT_FALSE(ok) << h.name;
    EXPECT_EQ(error.offset, b.At("bad")) << h.name << ": " << error.message;
    EXPECT_NE(error.message.find(h.message), std::string::npos) << h.name << ": " << error.message;
    EXPECT_LT(largest, 4096u) << h.name;
    EXPECT_LT(peak, 8192u) << h.name;
  }
}

// Files built from the records that decode into the most memory per byte they take.
struct DenseFile {
  const char* name;
  std::function<void(ByteBuilder&)> build;
};

TEST(ReaderLimits, MemoryStaysASmallMultipleOfTheFileSize) {
  const DenseFile cases[] = {
      {"65535 empty splines in one record",
       [](ByteBuilder& b) {
         Header(b, 0, 0, 0, 1).U32(0).U32(0).Str("").Xyz(0, 0, 0).U16(0xFFFF);
         for (int i = 0; i < 0xFFFF; ++i) b.U16(0).U8(0);
         b.U16(0);
       }},
      {"20000 empty meshes",
       [](ByteBuilder& b) {
         Header(b, 20000, 0, 0, 0).U32(0).U32(0);
         for (int i = 0; i < 20000; ++i) EmptyMeshStart(b).U16(0).U16(0).U32(0).U32(0).U32(0);
       }},
      {"50000 empty face groups",
       [](ByteBuilder& b) {
         Header(b, 1, 0, 0, 0).U32(0).U32(0);
         EmptyMeshStart(b).U16(0).U16(0).U32(0).U32(0).U32(50000);
         for (int i = 0; i < 50000; ++i) b.U16(0xFFFF).U32(0);
       }},
      {"50000 one-letter textures",
       [](ByteBuilder& b) {
         Header(b, 0, 0, 0, 0).U32(0).U32(50000);
         for (uint32_t i = 0; i < 50000; ++i) b.Str("t").U32(i);
       }},
      {"20000 empty helpers",
       [](ByteBuilder& b) {
         Header(b, 0, 0, 20000, 0).U32(0).U32(0);
         for (int i = 0; i < 20000; ++i) b.Str("").Xyz(0, 0, 0).Xyz(0, 0, 0).Xyz(0, 0, 0).Xyz(0, 0, 0).U16(0);
       }},
  };
  for (const DenseFile& d : cases) {
    ByteBuilder b;
    d.build(b);
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
