// The functions the host looks up by name after loading the library.
#include "plugin/library_exports.h"

#include "maxsdk/plugin_api.h"
#include "plugin/cvm_exporter_class_desc.h"
#include "plugin/module_state.h"
#include "resources/resource.h"

extern "C" {

const char* LibDescription() {
  return LoadResourceString(IDS_LIBDESCRIPTION);
}

int LibNumberClasses() {
  return 1;
}

ClassDesc* LibClassDesc(int i) {
  return i == 0 ? &TheCvmExporterClassDesc() : nullptr;
}

ULONG LibVersion() {
  return VERSION_3DSMAX;
}

ULONG CanAutoDefer() {
  return 1;
}

}  // extern "C"
