// Render-ready meshes: what an engine builds from a mesh record right after loading it.
// Depends on the C++ standard library only.
//
// A mesh record indexes each channel on its own: every corner has a position index, a texture
// coordinate index and a normal index, and a colour of its own. A GPU draws from one index per
// corner into vertices that hold all of a corner's values, so BuildRenderMesh makes one vertex
// per distinct corner tuple and an index buffer of the faces, face group by face group:
//
//   const cvm::reader::RenderMesh mesh = cvm::reader::BuildRenderMesh(file.meshes[0]);
//   for (const cvm::reader::RenderFaceGroup& group : mesh.groups)
//     Draw(mesh, group.firstIndex, group.indexCount, group.materialIndex);
//
// A corner tuple is the corner's position index, texture-coordinate index, normal bytes and
// colour. Positions and texture coordinates are identified by their index, as the exporter
// chose them: two equal positions kept apart (vertex order preserved for morphing, merging
// off) stay two vertices. A normal is identified by its two bytes, since two normals the
// exporter kept apart may encode to the same bytes, and the engine cannot tell them apart.
#pragma once

#include <cstdint>
#include <vector>

#include "reader/cvm_reader.h"

namespace cvm::reader {

// One face group of the index buffer: indices [firstIndex, firstIndex + indexCount), three per
// face, the faces in the group's order.
struct RenderFaceGroup {
  uint32_t firstIndex = 0;
  uint32_t indexCount = 0;
  uint16_t materialIndex = kNoMaterial;  // the record's: a material position, or kNoMaterial
};

// Flat arrays, one entry (of 3, 3, 2 and 3 numbers) per vertex; a block the record does not
// have leaves its array empty. Vertices are numbered in order of first use by the index buffer.
struct RenderMesh {
  Vec3 pivot;  // the record's pivot, file frame
  uint32_t vertexCount = 0;
  std::vector<float> positions;  // x, y, z as stored: file frame, relative to the pivot
  std::vector<float> normals;    // unit directions decoded from the two bytes, turned into the
                                 // file frame like the positions (DecodeNormal gives host axes)
  std::vector<float> uvs;        // u, v as stored
  std::vector<uint16_t> colors;  // r, g, b as stored (Color16: round(c * 255), not clamped)
  // Three vertex numbers per face, as the record stores the face's corners. In the file frame
  // (v1 - v0) x (v2 - v0), computed as in a right-handed frame, points out of the face's front,
  // the side its normals point to (against them for a node whose transform mirrors, which the
  // exporter passes on as it is).
  std::vector<uint32_t> indices;
  std::vector<RenderFaceGroup> groups;  // one per face group of the record, in record order
};

// Builds the render-ready form of a mesh record as ReadCvm gives it (every index and corner
// serial in range; a record that was not read must hold the same promise). Index k of a group's
// range is corner k % 3 of face k / 3 of that record group, and its vertex holds exactly that
// corner's values; corners of equal tuples share one vertex, and no two vertices hold the same
// tuple. Corners no face refers to get no vertex.
RenderMesh BuildRenderMesh(const CvmMesh& mesh);

}  // namespace cvm::reader
