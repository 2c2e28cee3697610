// Dependency files for build systems: a make rule "OUTPUT: INPUT DEP ..." naming every file a
// conversion read, which make, ninja (depfile, deps = gcc) and CMake's DEPFILE take.
#pragma once

#include <string>
#include <vector>

#include "output/atomic_file_target.h"

namespace cvm::tools {

// A path as it stands in a make rule, escaped the way GCC and Clang write their dependency
// files (and make and ninja read them): a space or tab gets a backslash, with the backslashes
// right before it doubled; '#' becomes "\#" and '$' "$$". False when the path holds a line
// break, which a rule cannot hold.
bool EscapeForMakeRule(const std::string& path, std::string& escaped);

// The rule "OUTPUT: FILE ...\n" for an output made from filesRead (the input first), each file
// once (paths that name the same file lexically count once). False with error set when a path
// cannot be written in a rule.
bool MakeDepfileRule(const std::string& output, const std::vector<std::string>& filesRead, std::string& rule,
                     std::string& error);

// Opens target and writes the rule of output and filesRead into its temporary, to be made the
// file by Commit once the output is made (Abort, or destroying target, drops it). False with
// error set when the rule cannot be made or the file cannot be written.
bool StageDepfile(AtomicFileTarget& target, const std::string& output,
                  const std::vector<std::string>& filesRead, std::string& error);

}  // namespace cvm::tools
