// The class descriptor of the exporter: the one class this library offers the host.
#pragma once

#include "maxsdk/class_desc.h"

// Class_ID of the exporter class.
constexpr Class_ID kCvmExporterClassId(0x1BC650C4, 0x49D45B37);

class CvmExporterClassDesc final : public ClassDesc2 {
 public:
  int IsPublic() override;
  void* Create(BOOL loading = FALSE) override;  // a new CvmExporter (as SceneExport*), or null
  const char* ClassName() override;             // string resource, see LoadResourceString
  SClass_ID SuperClassID() override;
  Class_ID ClassID() override;
  const char* Category() override;  // string resource, see LoadResourceString
  const char* InternalName() override;
  HINSTANCE HInstance() override;
};

// The library's one descriptor, alive while the library is loaded.
CvmExporterClassDesc& TheCvmExporterClassDesc();
