// The host's scene-exporter interface: a plug-in of super class SCENE_EXPORT_CLASS_ID
// describes its file type and writes the scene it is handed.
#pragma once

#include <windows.h>

#include "maxsdk/interface.h"

namespace cvm {
class HostScene;
}

// Option bit of DoExport and SupportsOptions: export the selected objects only.
constexpr DWORD SCENE_EXPORT_SELECTED = 1;

// What the exporter is handed of the scene. theScene is borrowed for the call.
class ExpInterface {
 public:
  virtual ~ExpInterface() = default;
  cvm::HostScene* theScene = nullptr;
};

class SceneExport {
 public:
  virtual ~SceneExport() = default;  // the host deletes exporters it created
  virtual int ExtCount() = 0;
  virtual const char* Ext(int n) = 0;
  virtual const char* LongDesc() = 0;
  virtual const char* ShortDesc() = 0;
  virtual const char* AuthorName() = 0;
  virtual const char* CopyrightMessage() = 0;
  virtual const char* OtherMessage1() = 0;
  virtual const char* OtherMessage2() = 0;
  virtual unsigned int Version() = 0;
  virtual void ShowAbout(HWND hWnd) = 0;
  // Returns 0 on failure, 1 when done, 2 when the user cancelled.
  virtual int DoExport(const char* name, ExpInterface* ei, Interface* i, BOOL suppressPrompts = FALSE,
                       DWORD options = 0) = 0;
  virtual BOOL SupportsOptions(int ext, DWORD options) = 0;
};
