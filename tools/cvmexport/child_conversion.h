// A conversion run by a child process of the converter, so that a crash or a hang inside a
// reader of model files ends the child and not the converter with its other inputs.
//
// The child is this program started anew (posix_spawn) with kChildArgument alone; the request
// goes to it on descriptor 3 and its result comes back on descriptor 4, both as JSON. It shares
// the converter's standard input and output, which "-" as the input or output names. Its
// standard error comes back on a third pipe: passed on when the progress line is shown,
// otherwise kept, so that the last thing a crashing reader said can go into the message.
#pragma once

#include <cstdint>
#include <string>

#include "tools/cvmexport/convert.h"

namespace cvm::tools {

// A model file's conversion that takes longer is stopped, unless --timeout says otherwise: far
// more than the largest real model needs (a million triangles take half a second), little
// enough that a reader caught in a loop does not stall a build for long.
constexpr double kDefaultTimeoutSeconds = 300;

// The one argument that makes cvmexport the child of a conversion.
constexpr const char* kChildArgument = "--run-conversion-child";
constexpr int kChildRequestFd = 3;
constexpr int kChildResultFd = 4;

// Runs ConvertScene(request) in a child of request.childProgram, the child converting in its own
// process, with request.timeoutSeconds (wall time from the child's start) and
// request.maxMemoryBytes (the child's resident memory) as limits, 0 for none. The child's
// result, or, when the child was ended by a signal, went past a limit (the converter then ends
// it) or gave no result: status kExitError and a message that names the input and what
// happened; the outputs the child was writing are then left as they were (their temporaries
// removed). Never throws.
ConvertResult ConvertInChild(const ConvertRequest& request);

// The child's side: reads the request from descriptor 3, converts and writes the result to
// descriptor 4. Returns the child's exit status.
int RunConversionChild();

// The largest resident memory of this process since it started, in bytes (0 when it cannot be
// told). The child checks it before its output replaces the target, so that a conversion that
// went past the limit between two of the parent's looks fails all the same: whether an input
// fits its limit does not depend on timing.
uint64_t PeakResidentBytes();

// Why a conversion that went past limitBytes fails.
std::string MemoryLimitReason(uint64_t limitBytes);

// This program's own file, for starting children of it; empty when it cannot be told.
std::string ThisProgram();

}  // namespace cvm::tools
