#include "tools/cvmdump/cvm_diff.h"

#include "tools/cvmdump/cvm_json.h"

namespace cvm::reader {
namespace {

using json = nlohmann::ordered_json;

std::string Text(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string Entries(size_t count) {
  return std::to_string(count) + (count == 1 ? " entry" : " entries");
}

// Depth first in document order, so the first difference found is the first in the file.
std::optional<CvmDifference> Compare(const json& a, const json& b, const std::string& path) {
  if (a.type() != b.type()) return CvmDifference{path, Text(a), Text(b)};
  if (a.is_object()) {
    // Both come from CvmToJson: the same keys in the same order.
    for (auto ia = a.begin(), ib = b.begin(); ia != a.end() && ib != b.end(); ++ia, ++ib) {
      if (auto difference = Compare(*ia, *ib, path.empty() ? ia.key() : path + "." + ia.key()))
        return difference;
    }
    return std::nullopt;
  }
  if (a.is_array()) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
      if (auto difference = Compare(a[i], b[i], path + "[" + std::to_string(i) + "]")) return difference;
    }
    if (a.size() != b.size()) return CvmDifference{path, Entries(a.size()), Entries(b.size())};
    return std::nullopt;
  }
  if (a != b) return CvmDifference{path, Text(a), Text(b)};
  return std::nullopt;
}

}  // namespace

std::optional<CvmDifference> FirstCvmDifference(const CvmFile& a, const CvmFile& b) {
  return Compare(CvmToJson(a), CvmToJson(b), std::string());
}

}  // namespace cvm::reader
