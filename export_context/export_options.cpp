#include "export_context/export_options.h"

namespace cvm {

ExportOptions& TheExportOptions() {
  static ExportOptions options;
  return options;
}

}  // namespace cvm
