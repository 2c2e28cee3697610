// The folder of --out-dir, made when it is missing.
#pragma once

#include <string>

namespace cvm::tools {

// Makes folder, and the folders above it, where they are missing. False with error naming the
// folder and the reason when it cannot be made or is not a folder.
bool MakeOutputFolder(const std::string& folder, std::string& error);

}  // namespace cvm::tools
