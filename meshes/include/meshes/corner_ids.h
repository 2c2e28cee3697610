// The ids of a channel's corners without a list per corner. A corner's value depends only on
// the host entry it comes from (a vertex, a texture vertex, a face's normal, ...), so its id is
// kept once per entry, in a slot; which slot serves corner c is worked out from the host's
// faces, which outlive the record. Consolidation turns the ids in the slots into the channel's
// positions, and the record's index lists are read from the slots as they are written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/host_scene.h"
#include "meshes/select_corner_normal.h"

namespace cvm {

// No id yet (a slot that no corner has met, or whose value has a NaN).
constexpr uint32_t kNoId = 0xFFFFFFFFu;

// A corner whose value got an id of its own: a value with a NaN is the same as nothing, so
// its entry keeps no id and every corner of it has one.
struct OwnCornerId {
  uint32_t corner;
  uint32_t id;
};

// The vertex of corner i of face f in a channel whose faces are own, or the vertex faces when
// own is null (texture and colour vertices that run parallel to the vertices).
inline uint32_t ChannelVertexOf(const TVFace* own, const MeshFace* vertexFaces, size_t f, size_t i) {
  return own != nullptr ? own[f].t[i] : vertexFaces[f].v[i];
}

struct CornerIds {
  // What a slot stands for.
  enum class Slots : uint8_t {
    kCorner,         // bySlot[c] for corner c
    kOne,            // every corner: bySlot[0]
    kVertex,         // bySlot[vertex of the corner]
    kChannelVertex,  // bySlot[the corner's vertex in a channel whose faces are channelFaces]
    kNormal,         // a corner's normal source (ChooseCornerNormal): bySlot[vertex] for its
                     // vertex's own normal, byFace[face] for its face's, and
                     // byFurther[furtherStart[vertex] + k] for its vertex's further normal k
  };
  Slots slots = Slots::kCorner;
  uint32_t cornerCount = 0;
  // The host's arrays the slots are found through (kVertex and on).
  const MeshFace* faces = nullptr;
  const TVFace* channelFaces = nullptr;    // kChannelVertex; null: the vertex faces
  const RVertex* renderNormals = nullptr;  // kNormal

  std::vector<uint32_t> bySlot;
  std::vector<uint32_t> byFace;        // kNormal: empty until a corner takes its face's normal
  std::vector<uint32_t> byFurther;     // kNormal
  std::vector<uint32_t> furtherStart;  // kNormal, per vertex (kNoId: none); empty until needed
  std::vector<OwnCornerId> ownIds;     // ascending corners

  // Corner c's id (c < cornerCount).
  uint32_t Of(uint32_t c) const {
    const uint32_t id = SlotOf(c);
    return id != kNoId ? id : OwnIdOf(c);
  }
  // Empties every list (capacity is kept) and goes back to kCorner.
  void Clear();
  // Count of slots and own ids: what consolidation turns into positions.
  size_t IdCount() const { return bySlot.size() + byFace.size() + byFurther.size() + ownIds.size(); }

 private:
  uint32_t SlotOf(uint32_t c) const;
  uint32_t OwnIdOf(uint32_t c) const;
};

inline uint32_t CornerIds::SlotOf(uint32_t c) const {
  switch (slots) {
    case Slots::kCorner:
      return bySlot[c];
    case Slots::kOne:
      return bySlot[0];
    case Slots::kVertex:
      return bySlot[faces[c / 3].v[c % 3]];
    case Slots::kChannelVertex:
      return bySlot[ChannelVertexOf(channelFaces, faces, c / 3, c % 3)];
    case Slots::kNormal:
      break;
  }
  const MeshFace& face = faces[c / 3];
  const uint32_t j = face.v[c % 3];
  const NormalChoice choice = ChooseCornerNormal(renderNormals[j], face.smGroup);
  if (choice.source == NormalSource::kVertex) return bySlot[j];
  if (choice.source == NormalSource::kFace) return byFace.empty() ? kNoId : byFace[c / 3];
  return furtherStart.empty() ? kNoId : byFurther[furtherStart[j] + choice.further];
}

}  // namespace cvm
