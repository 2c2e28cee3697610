#include "tools/cvmexport/output_folder.h"

#include <filesystem>
#include <system_error>

namespace cvm::tools {

bool MakeOutputFolder(const std::string& folder, std::string& error) {
  std::error_code code;
  std::filesystem::create_directories(folder, code);
  if (!code && std::filesystem::is_directory(folder, code)) return true;
  error =
      "cannot make the output folder '" + folder + "': " + (code ? code.message() : "a file is in the way");
  return false;
}

}  // namespace cvm::tools
