#include "maxsdk/class_desc.h"

// A descriptor without parameter blocks: the services have nothing to act on.
int ClassDesc2::NumParamBlockDescs() {
  return 0;
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDesc(int /*index*/) {
  return nullptr;
}

void ClassDesc2::SetUserDlgProc(ParamBlockDesc2* /*desc*/, ParamMap2UserDlgProc* /*proc*/) {}

void ClassDesc2::InvalidateUI() {}
