#include "plugin/module_state.h"

namespace {

HINSTANCE moduleInstance = nullptr;
char resourceText[256];

}  // namespace

HINSTANCE ModuleInstance() {
  return moduleInstance;
}

void StoreModuleInstance(HINSTANCE instance) {
  moduleInstance = instance;
}

const char* LoadResourceString(int id) {
  if (moduleInstance == nullptr) return nullptr;
  const int copied = LoadStringA(moduleInstance, static_cast<UINT>(id), resourceText, sizeof resourceText);
  return copied > 0 ? resourceText : nullptr;
}
