// cvmdump: prints what a .cvm file holds, as a summary or as JSON, or where it is broken.
// Exit codes: 0 done, 1 the file cannot be read or is not valid, 2 usage error.
#include <CLI/CLI.hpp>
#include <iostream>

#include "reader/cvm_reader.h"
#include "tools/cvmdump/cvm_json.h"
#include "tools/cvmdump/summary.h"

int main(int argc, char** argv) {
  CLI::App app{"Prints the content of a Corvane Model (.cvm) file.", "cvmdump"};
  std::string path;
  bool asJson = false;
  app.add_option("FILE", path, "the .cvm file")->required();
  app.add_flag("--json", asJson, "print every decoded field as JSON");
  app.set_version_flag("--version", CVM_VERSION);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }

  cvm::reader::CvmFile file;
  cvm::reader::ReadError error;
  if (!cvm::reader::ReadCvmFile(path, file, error)) {
    std::cerr << path << ": " << cvm::reader::FormatReadError(error) << "\n";
    return 1;
  }
  if (asJson) {
    std::cout << cvm::reader::CvmToJson(file).dump(2) << "\n";
  } else {
    std::cout << cvm::reader::FormatSummary(file);
  }
  std::cout.flush();
  if (!std::cout) {
    std::cerr << path << ": cannot write the output\n";
    return 1;
  }
  return 0;
}
