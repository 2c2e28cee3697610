#include "standin/scene_model.h"

namespace cvm::standin {

uint32_t DefaultSuperClassId(ObjectKind kind) {
  switch (kind) {
    case ObjectKind::kMesh:
      return 0x10;
    case ObjectKind::kShape:
      return 0x40;
    case ObjectKind::kLight:
      return kLightSuperClassId;
    case ObjectKind::kHelper:
      return kHelperSuperClassId;
    case ObjectKind::kCamera:
      return 0x20;
  }
  return 0;
}

ClassId DefaultClassId(ObjectKind kind, bool native) {
  switch (kind) {
    case ObjectKind::kMesh:
      return native ? triObjectClassID : ClassId{0x1BF8, 0};
    case ObjectKind::kShape:
      return native ? kSplineShapeClassId : ClassId{0x1BE9, 0};
    case ObjectKind::kLight:
      return {0x1011, 0};
    case ObjectKind::kHelper:
      return kDummyHelperClassId;
    case ObjectKind::kCamera:
      return {0x1001, 0};
  }
  return {};
}

}  // namespace cvm::standin
