// The two readers behind LoadSceneDocument and LoadSceneFile: a fast one (Boost.JSON's event
// parser, in builds that have Boost.JSON) that only ever accepts, and the strict one that gives
// every message. For the reader itself and for the tests that hold the two to one result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "standin/scene_model.h"

namespace cvm::import {

// Whether this build has the fast reader. Without it ReadSceneDocumentFast accepts nothing.
bool HaveFastSceneReader();

// Reads a document that the strict reader accepts into the model the strict reader makes of
// it, when it is sure of both; otherwise returns false with out empty, and the caller reads the
// document again with the strict reader for its verdict and message. It gives up on anything it
// is not sure of: any error of the JSON parser, a duplicate key, nesting more than 64 levels
// deep, U+0000 in a string, an unknown key, a value of a type or
// form it does not take (an index or count written as 2.0 or -0), a number beyond the range of
// double, a count that does not match, an index out of range, and a model that
// ValidateSceneModel refuses. The text is parsed a piece at a time: no tree and no copy of it.
bool ReadSceneDocumentFast(std::string_view text, standin::SceneModel& out);

// ReadSceneDocumentFast on the contents of the regular file at path, of size bytes, read a
// piece at a time; false too when the file cannot be read whole as it was sized.
bool ReadSceneFileFast(const std::string& path, uint64_t size, standin::SceneModel& out);

// LoadSceneDocument with the strict reader alone.
bool LoadSceneDocumentStrict(std::string_view text, standin::SceneModel& out, std::string& error);

}  // namespace cvm::import
