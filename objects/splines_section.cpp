#include "objects/splines_section.h"

#include <string>
#include <vector>

#include "export_context/file_axes.h"
#include "format/record_writer.h"
#include "host/temporary_object.h"
#include "objects/node_user_text.h"

namespace cvm {
namespace {

constexpr int32_t kMaxU16Count = 65535;

// One spline as it will be written, its counts read from the host once and checked.
struct SplineEntry {
  const HostSpline* spline = nullptr;  // null: the host gave no spline at this index
  int32_t knotCount = 0;
  bool closed = false;
};

// Reads the shape's splines into entries. Returns why they cannot be written, or an empty
// text when every count fits its u16 field.
std::string CollectSplines(const HostBezierShape* shape, std::vector<SplineEntry>& entries) {
  if (shape == nullptr) return std::string();
  const int32_t splineCount = shape->BezierShapeSplineCount();
  if (splineCount > kMaxU16Count) {
    return "shape has " + std::to_string(splineCount) + " splines, more than the " +
           std::to_string(kMaxU16Count) + " a spline record can hold";
  }
  for (int32_t i = 0; i < splineCount; ++i) {
    SplineEntry entry;
    entry.spline = shape->GetSpline(i);
    if (entry.spline != nullptr) {
      const int32_t knotCount = entry.spline->SplineKnotCount();
      if (knotCount > kMaxU16Count) {
        return "spline " + std::to_string(i) + " has " + std::to_string(knotCount) +
               " knots, more than the " + std::to_string(kMaxU16Count) + " a spline record can hold";
      }
      entry.knotCount = knotCount > 0 ? knotCount : 0;
      entry.closed = entry.spline->SplineIsClosed();
    }
    entries.push_back(entry);
  }
  return std::string();
}

void WriteSplineRecord(const HostNode& node, const Matrix3& m, const std::vector<SplineEntry>& entries,
                       OutputStream& out) {
  format::CvmSplineObject record;
  record.name = node.NodeName();
  record.position = ToFileAxes(m.GetRow(3));
  // Knots are stored relative to the node's position, which the record holds once.
  Matrix3 offsetTransform = m;
  offsetTransform.SetRow(3, Point3{0.0f, 0.0f, 0.0f});
  record.splines.resize(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const SplineEntry& entry = entries[i];
    format::CvmSpline& spline = record.splines[i];
    spline.closed = entry.closed;
    spline.knots.resize(static_cast<size_t>(entry.knotCount));
    for (int32_t k = 0; k < entry.knotCount; ++k)
      spline.knots[static_cast<size_t>(k)] =
          ToFileAxes(TransformPoint(offsetTransform, entry.spline->SplineKnotPoint(k)));
  }
  record.userText = NodeUserTextField(node.NodeUserText());
  format::WriteRecord(out, record);
}

}  // namespace

void WriteSplinesSection(ExportContext& ctx) {
  SetProgressText(ctx.progress, "Exporting Splines\n");
  for (const uint32_t position : ctx.lists.splines) {
    HostNode* node = ctx.NodeAt(position);
    const Matrix3 m = node->ObjectToWorldTransform(0);
    HostObject* evaluated = node->EvaluateNodeObject(0);
    HostObject* convertedObject =
        evaluated != nullptr ? evaluated->ObjectConvertTo(kSplineShapeClassId, 0) : nullptr;
    // The shape's splines are read through entries until the record is written, so the
    // temporary lives to the end of this node.
    const TemporaryObject converted(convertedObject, convertedObject != evaluated);
    const HostBezierShape* shape =
        converted.get() != nullptr ? converted.get()->ShapeObjectBezierShape() : nullptr;

    std::vector<SplineEntry> entries;
    const std::string problem = CollectSplines(shape, entries);
    if (problem.empty()) {
      WriteSplineRecord(*node, m, entries, ctx.stream);
    } else {
      ctx.Refuse("node '" + std::string(node->NodeName()) + "': " + problem);
    }
    if (ctx.Refused()) return;
  }
}

}  // namespace cvm
