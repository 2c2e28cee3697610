// The exporter object the host creates for an export to a Corvane Model file. It carries
// no data; an export's state lives in the driver and in the process-wide ExportOptions.
#pragma once

#include "maxsdk/scene_export.h"

class CvmExporter final : public SceneExport {
 public:
  int ExtCount() override;
  const char* Ext(int n) override;  // "CVM" whatever n
  const char* LongDesc() override;
  const char* ShortDesc() override;
  const char* AuthorName() override;
  const char* CopyrightMessage() override;
  const char* OtherMessage1() override;
  const char* OtherMessage2() override;
  unsigned int Version() override;
  void ShowAbout(HWND hWnd) override;
  // Options dialog unless suppressPrompts, then the export of ei's scene into name.
  // Returns 1 when written (or nothing to export), 0 when the file could not be written,
  // 2 when the dialog was cancelled. Nothing is thrown to the host.
  int DoExport(const char* name, ExpInterface* ei, Interface* i, BOOL suppressPrompts = FALSE,
               DWORD options = 0) override;
  // Only "selected objects only" is supported, for extension 0; another extension index
  // raises the host's assertion and is then answered as 0.
  BOOL SupportsOptions(int ext, DWORD options) override;
};
