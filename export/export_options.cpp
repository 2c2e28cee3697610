#include "export/export_options.h"

namespace cvm {

ExportOptions& TheExportOptions() {
  static ExportOptions options;
  return options;
}

}  // namespace cvm
