#include <cmath>
#include <limits>

#include "tests/reader/byte_builder.h"

namespace cvm::reader::test {

ByteBuilder EmptyFile() {
  ByteBuilder b;
  b.F32(1.0f).U32(0).U32(0).U32(0).U32(0);
  b.Mark("materialCount").U32(0).Mark("textureCount").U32(0);
  return b;
}

ByteBuilder FullFile() {
  ByteBuilder b;
  b.F32(2.5f).Mark("meshCount").U32(2).Mark("lightCount").U32(2).Mark("helperCount").U32(1);
  b.Mark("splineCount").U32(2);

  b.Mark("materialCount").U32(2).Mark("textureCount").U32(3);
  b.Mark("texture0").Str("brick.tga").Mark("texture0.index").U32(0);
  b.Mark("texture1").Str("stone.bmp").U32(1);
  b.Mark("texture2").Raw({0x61, 0x62, 0x63, 0x00, 0x02, 0x00, 0x00, 0x00});

  // Material 0: two-sided, every optional engine block present.
  b.Mark("material0").Str("Full").Mark("material0.index").U32(0).Mark("material0.twoSided").U32(1);
  b.Mark("material0.collideable").U32(0).U32(2).U32(0xFFFFFFFF);
  b.Mark("material0.colorKeyFlag").U32(1).Rgb(255, 128, 65409);
  b.Mark("material0.uv1Flag").U32(1).F32(0.0f).F32(0.25f);
  b.Mark("material0.frames1Flag").U32(1).U16(1).U16(4).F32(0.5f);
  b.Mark("material0.uv2Flag").U32(1).F32(-1.5f).F32(3.0f);
  b.Mark("material0.frames2Flag").U32(1).U16(65535).U16(2).F32(-0.0f);
  b.U32(1).U32(7);
  b.Rgb(1, 2, 3).Rgb(4, 5, 6).Rgb(7, 8, 9).Rgb(306, 383, 65409);
  b.F32(0.1f).F32(std::numeric_limits<float>::quiet_NaN());
  b.Mark("material0.refs").U32(0).U32(0xFFFFFFFF).U32(2).U32(1).U32(0xFFFFFFFF).U32(0).U32(2);

  // Material 1: one-sided, no engine attribute: the default 40-byte block.
  b.Mark("material1").Raw({0x4D, 0x61, 0x74, 0x31, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  b.U32(1).U32(1);
  for (int i = 0; i < 8; ++i) b.U32(0);
  b.Raw({0xFF, 0x00, 0x80, 0x00, 0x00, 0x00}).Rgb(0, 0, 0).Rgb(0, 0, 0).Rgb(0, 0, 0);
  b.F32(25.0f).F32(0.05f);
  for (int i = 0; i < 7; ++i) b.U32(0xFFFFFFFF);
  b.Mark("material1.end");

  // Mesh 0: one face with every block, positions as the exporter sorts them.
  b.Mark("mesh0").Xyz(1.0f, 3.0f, 2.0f).Mark("mesh0.cornerCount").U32(3);
  b.Mark("mesh0.positionIndices").U32(2).U32(0).U32(1);
  b.Mark("mesh0.positionCount").U32(3).Xyz(1, 0, 0).Xyz(0, 0, 1).Xyz(0, 0, 0);
  b.Mark("mesh0.uvFlag").U16(1).Mark("mesh0.uvIndices").U32(0).U32(1).U32(0);
  b.Mark("mesh0.uvCount").U32(2).F32(0.5f).F32(0.25f).F32(1.0f).F32(-1.0f);
  b.Mark("mesh0.normalFlag").U16(1).Mark("mesh0.normalIndices").U32(0).U32(0).U32(0);
  b.Mark("mesh0.normalCount").U32(1).U8(0).U8(0);
  b.Mark("mesh0.colorCount").U32(3).Rgb(255, 0, 0).Rgb(0, 255, 0).Rgb(0, 0, 65409);
  b.Mark("mesh0.faceCount").U32(1).Mark("mesh0.groupCount").U32(1);
  b.Mark("mesh0.group0").U16(0).Mark("mesh0.group0.faceCount").U32(1);
  b.Mark("mesh0.group0.faces").U32(2).U32(1).U32(0);

  // Mesh 1: two faces, no optional blocks, two groups (one without a listed material).
  b.Mark("mesh1").Xyz(0, 0, 0).U32(6).U32(0).U32(1).U32(2).U32(2).U32(1).U32(3);
  b.U32(4).Xyz(4, 0, 0).Xyz(3, 0, 0).Xyz(2, 0, 0).Xyz(1, 0, 0);
  b.Mark("mesh1.uvFlag").U16(0).Mark("mesh1.normalFlag").U16(0).Mark("mesh1.colorCount").U32(0);
  b.Mark("mesh1.faceCount").U32(2).Mark("mesh1.groupCount").U32(2);
  b.Mark("mesh1.group0").U16(0xFFFF).U32(1).U32(5).U32(4).U32(3);
  b.Mark("mesh1.group1").U16(1).Mark("mesh1.group1.faceCount").U32(1).U32(2).U32(1).U32(0);

  // Light 0 without user text, light 1 with an empty name and the text "abc".
  b.Mark("light0").Str("Sun").Mark("light0.type").U16(2).Xyz(1, 3, 2);
  b.Xyz(1, 0, 0).Xyz(0, 0, 1).Xyz(0, -1, 0).Xyz(0.5f, 0.25f, 1.0f).F32(1.5f);
  b.Mark("light0.userTextFlag").U16(0);
  b.Mark("light1").Str("").U16(4).Xyz(0, 0, 0).Xyz(1, 0, 0).Xyz(0, 0, 1).Xyz(0, -1, 0);
  b.Xyz(1, 1, 1).F32(-2.0f).Mark("light1.userText").Raw({0x01, 0x00, 0x61, 0x62, 0x63, 0x00});

  b.Mark("helper0").Str("Dummy01").Xyz(1, 3, 2).Xyz(1, 0, 0).Xyz(0, 1, 0).Xyz(0, 0, 1);
  b.Mark("helper0.userTextFlag").U16(1).Str("tag=1");

  // Spline record 0: an open two-knot spline and a closed three-knot one.
  b.Mark("spline0").Str("Line01").Xyz(10, 0, 0).Mark("spline0.count").U16(2);
  b.Mark("spline0.spline0").U16(2).Mark("spline0.spline0.closed").U8(0).Xyz(11, 3, 2).Xyz(1, 0, 0);
  b.Mark("spline0.spline1").U16(3).U8(1).Xyz(0, 0, 0).Xyz(0, 1, 0).Xyz(0, 0, 1);
  b.U16(0);
  // Spline record 1: a shape without splines, with user text.
  b.Mark("spline1").Str("Empty").Xyz(-1, -2, -3).U16(0).U16(1).Str("x");
  b.Mark("end");
  return b;
}

}  // namespace cvm::reader::test
