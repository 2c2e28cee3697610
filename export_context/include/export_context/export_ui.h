// What the export shows a person: the options dialog, the "No Data" message, the progress
// window and failure messages. The plug-in implements it with Win32, the converter on the
// terminal, and tests with a recorder. Implementations never throw.
#pragma once

#include "export_context/export_options.h"

namespace cvm {

class ExportUi {
 public:
  virtual ~ExportUi() = default;
  // Modal options dialog over the host's active window, starting from and writing back
  // options. Returns 0 for "Export Now" and -1 for cancel, close or a dialog that could not
  // be created.
  virtual int ShowOptionsDialog(ExportOptions& options) = 0;
  // The "No Data to Export." message with the caption "No Data".
  virtual void ShowNoDataMessage() = 0;
  // A failure of the export that the user should hear of (file not writable, write failed,
  // counts that do not fit). suppressPrompts is the host's flag for this export.
  virtual void ShowExportError(const char* message, bool suppressPrompts) = 0;
  // The progress window. Create returns false when it could not be made; SetProgressText is
  // only called between a successful create and the destroy.
  virtual bool CreateProgressWindow() = 0;
  virtual void SetProgressText(const char* text) = 0;
  virtual void DestroyProgressWindow() = 0;
};

}  // namespace cvm
