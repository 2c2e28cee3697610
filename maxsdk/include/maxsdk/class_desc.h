// Class descriptors: how a plug-in library tells the host which classes it offers and how
// to make them. ClassDesc2's parameter-block services are implemented by the host; a
// descriptor that declares no blocks leaves them with nothing to do.
#pragma once

#include <windows.h>

#include "maxsdk/class_id.h"
#include "maxsdk/host_api.h"

class ParamBlockDesc2;
class ParamMap2UserDlgProc;

class ClassDesc {
 public:
  virtual ~ClassDesc() = default;
  virtual int IsPublic() = 0;
  // A new instance owned by the caller; loading is set while a scene file is read.
  virtual void* Create(BOOL loading = FALSE) = 0;
  virtual const char* ClassName() = 0;
  virtual SClass_ID SuperClassID() = 0;
  virtual Class_ID ClassID() = 0;
  virtual const char* Category() = 0;
  virtual void DeleteThis() {}
};

class MAXSDK_API ClassDesc2 : public ClassDesc {
 public:
  virtual const char* InternalName() { return nullptr; }
  virtual HINSTANCE HInstance() { return nullptr; }
  virtual int NumParamBlockDescs();
  virtual ParamBlockDesc2* GetParamBlockDesc(int index);
  virtual void SetUserDlgProc(ParamBlockDesc2* desc, ParamMap2UserDlgProc* proc);
  virtual void InvalidateUI();
};
