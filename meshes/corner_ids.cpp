#include "meshes/corner_ids.h"

#include <algorithm>

namespace cvm {

void CornerIds::Clear() {
  slots = Slots::kCorner;
  cornerCount = 0;
  faces = nullptr;
  channelFaces = nullptr;
  renderNormals = nullptr;
  bySlot.clear();
  byFace.clear();
  byFurther.clear();
  furtherStart.clear();
  ownIds.clear();
}

uint32_t CornerIds::OwnIdOf(uint32_t c) const {
  const auto own = std::lower_bound(ownIds.begin(), ownIds.end(), c,
                                    [](const OwnCornerId& o, uint32_t corner) { return o.corner < corner; });
  return own != ownIds.end() && own->corner == c ? own->id : kNoId;
}

}  // namespace cvm
