#include "plugin/cvm_exporter_class_desc.h"

#include <new>

#include "plugin/cvm_exporter.h"
#include "plugin/module_state.h"
#include "resources/resource.h"

namespace {

CvmExporterClassDesc classDesc;

}  // namespace

int CvmExporterClassDesc::IsPublic() {
  return 1;
}

void* CvmExporterClassDesc::Create(BOOL /*loading*/) {
  SceneExport* exporter = new (std::nothrow) CvmExporter();
  return exporter;
}

const char* CvmExporterClassDesc::ClassName() {
  return LoadResourceString(IDS_CLASS_NAME);
}

SClass_ID CvmExporterClassDesc::SuperClassID() {
  return SCENE_EXPORT_CLASS_ID;
}

Class_ID CvmExporterClassDesc::ClassID() {
  return kCvmExporterClassId;
}

const char* CvmExporterClassDesc::Category() {
  return LoadResourceString(IDS_CATEGORY);
}

const char* CvmExporterClassDesc::InternalName() {
  return "EXPORTCVM";
}

HINSTANCE CvmExporterClassDesc::HInstance() {
  return ModuleInstance();
}

CvmExporterClassDesc& TheCvmExporterClassDesc() {
  return classDesc;
}
