// cvmdump: prints what a .cvm file holds, as a summary or as JSON, or where it is broken; with
// --diff, where two files first differ.
// Exit codes: 0 done (with --diff: the files hold the same content), 1 a file cannot be read or
// is not valid (with --diff: also when the files differ), 2 usage error.
#include <CLI/CLI.hpp>
#include <iostream>
#include <vector>

#include "reader/cvm_reader.h"
#include "tools/cvmdump/cvm_diff.h"
#include "tools/cvmdump/cvm_json.h"
#include "tools/cvmdump/summary.h"

namespace {

bool ReadOrReport(const std::string& path, cvm::reader::CvmFile& file) {
  cvm::reader::ReadError error;
  if (cvm::reader::ReadCvmFile(path, file, error)) return true;
  std::cerr << path << ": " << cvm::reader::FormatReadError(error) << "\n";
  return false;
}

// Prints the first difference of two files; 0 when they hold the same content, else 1.
int Diff(const std::string& pathA, const std::string& pathB) {
  cvm::reader::CvmFile a, b;
  if (!ReadOrReport(pathA, a) || !ReadOrReport(pathB, b)) return 1;
  const auto difference = cvm::reader::FirstCvmDifference(a, b);
  if (!difference) return 0;
  std::cout << "first difference at " << difference->path << ": " << difference->first << " in " << pathA
            << ", " << difference->second << " in " << pathB << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Prints the content of a Corvane Model (.cvm) file, or compares two.\n"
      "Exit status: 0 done (--diff: same content), 1 a file cannot be read or is invalid "
      "(--diff: or the files differ), 2 usage error.",
      "cvmdump"};
  std::string path;
  std::vector<std::string> diffPaths;
  bool asJson = false;
  auto* file = app.add_option("FILE", path, "the .cvm file");
  auto* diff =
      app.add_option("--diff", diffPaths, "compare two files field by field and name the first difference")
          ->expected(2)
          ->type_name("A.cvm B.cvm");
  auto* json = app.add_flag("--json", asJson, "print every decoded field as JSON");
  diff->excludes(file)->excludes(json);
  app.set_version_flag("--version", CVM_VERSION);
  try {
    app.parse(argc, argv);
    if (diffPaths.empty() && path.empty()) throw CLI::RequiredError("FILE");
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }
  if (!diffPaths.empty()) {
    const int status = Diff(diffPaths[0], diffPaths[1]);
    std::cout.flush();
    return status;
  }

  cvm::reader::CvmFile decoded;
  if (!ReadOrReport(path, decoded)) return 1;
  if (asJson) {
    cvm::reader::WriteCvmJson(decoded, std::cout);
    std::cout << "\n";
  } else {
    std::cout << cvm::reader::FormatSummary(decoded);
  }
  std::cout.flush();
  if (!std::cout) {
    std::cerr << path << ": cannot write the output\n";
    return 1;
  }
  return 0;
}
