// Ownership of the temporaries the host makes for the exporter (a triangle object converted
// from a node, a shape converted from an object): each is released exactly once, on every way
// out of the code that reads it, an exception included.
#pragma once

#include "host/host_scene.h"

namespace cvm {

class TemporaryObject {
 public:
  // Owns `object` when `temporary`; borrows it (and never releases it) otherwise.
  TemporaryObject(HostObject* object, bool temporary) : object_(object), temporary_(temporary) {}
  explicit TemporaryObject(const TriObjectResult& tri) : TemporaryObject(tri.triObject, tri.isTemporary) {}
  ~TemporaryObject() {
    if (temporary_ && object_ != nullptr) object_->ReleaseTemporaryObject();
  }
  TemporaryObject(const TemporaryObject&) = delete;
  TemporaryObject& operator=(const TemporaryObject&) = delete;

  HostObject* get() const { return object_; }

 private:
  HostObject* object_;
  bool temporary_;
};

}  // namespace cvm
