// A host scene that serves another one and counts what the exporter does with it: the
// temporaries conversions make and their releases, the misuse of them, and the materials
// given a custom attribute container. Tests and the fuzz checks export through it; the host
// it wraps does no bookkeeping of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/host_scene.h"
#include "standin/standin_scene.h"

namespace cvm::test {

class CountingState;

// Forwards every query to the wrapped scene through handles of its own, one per handle of the
// wrapped scene, so handles compare as the wrapped scene's do. Texture maps, custom attributes
// and parameter blocks are the wrapped scene's own.
//
// A temporary is a conversion result flagged as one by ConvertNodeToTriangleObject, or an
// ObjectConvertTo result other than the object converted. Its release is forwarded once. A
// release of anything else (a node's own object, a temporary already released) is counted as
// invalid and not forwarded. A released temporary's handle stays valid while the CountingHost
// lives: every query on it, its mesh, shape or splines is counted and answered without
// reaching the wrapped scene, as by an empty object (class {0, 0}, no conversions, an empty
// mesh and an empty shape).
//
// The wrapped scene must outlive the CountingHost. Not copyable or movable (handles point
// into it).
class CountingHost final : public HostScene {
 public:
  explicit CountingHost(HostScene& scene);
  ~CountingHost();
  CountingHost(const CountingHost&) = delete;
  CountingHost& operator=(const CountingHost&) = delete;

  void EnumerateSceneNodes(HostSceneEnumCallback& callback) override;

  // This host's handle of a node or material of the wrapped scene (null for null), for tests
  // that call the host the way the exporter would.
  HostNode* Wrap(HostNode* node);
  HostMaterial* Wrap(HostMaterial* material);

  int TemporariesMade() const;
  int TemporariesReleased() const;
  int InvalidReleases() const;     // releases of a node's own object or of a released temporary
  int ReleasedObjectUses() const;  // queries on temporaries after their release
  // The wrapped scene's materials that AllocCustAttribContainer gave a container (they had
  // none before the call), in order.
  const std::vector<const HostMaterial*>& ContainersAllocated() const;

 private:
  std::unique_ptr<CountingState> state_;
};

// The indices of materials among scene's materials (Material(i)), -1 for one not in it.
std::vector<int32_t> MaterialIndices(standin::StandinScene& scene,
                                     const std::vector<const HostMaterial*>& materials);

}  // namespace cvm::test
