// cvmdump: prints what a .cvm file holds, as a summary or as JSON, or where it is broken; with
// --diff, where two files first differ; with --render, draws it into a PNG file.
// Exit codes: 0 done (with --diff: the files hold the same content), 1 a file cannot be read or
// is not valid (with --diff: also when the files differ; with --render: also when the picture
// cannot be written), 2 usage error.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <vector>

#include "files/mapped_file.h"
#include "reader/cvm_reader.h"
#include "tools/cvmdump/cvm_diff.h"
#include "tools/cvmdump/cvm_json.h"
#include "tools/cvmdump/render_scene.h"
#include "tools/cvmdump/summary.h"
#include "tools/memory_tuning/memory_tuning.h"

namespace {

// A regular file is read mapped, where it can be (no copy of it: its pages are in the system's
// cache), otherwise by ReadCvmFile, which also gives the message for a file it cannot open, an
// empty one and one that is too large.
bool ReadOrReport(const std::string& path, cvm::reader::CvmFile& file) {
  cvm::reader::ReadError error;
  cvm::files::MappedFile mapped;
  std::string reason;
  const std::string_view bytes = mapped.Open(path, reason) ? mapped.Bytes() : std::string_view();
  if (!bytes.empty() && bytes.size() <= cvm::reader::kMaxCvmFileBytes) {
    const bool read =
        cvm::reader::ReadCvm(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error);
    if (mapped.Lost()) {
      file = cvm::reader::CvmFile();
      std::cerr << path << ": cannot read: the file was shortened, or could not be read, while it was read\n";
      return false;
    }
    if (read) return true;
  } else if (cvm::reader::ReadCvmFile(path, file, error)) {
    return true;
  }
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

// "WxH" with both sides from 1 to kMaxImageSide.
bool ParseSize(const std::string& text, uint32_t& width, uint32_t& height) {
  unsigned w = 0, h = 0;
  char x = 0, extra = 0;
  if (std::sscanf(text.c_str(), "%u%c%u%c", &w, &x, &h, &extra) != 3 || x != 'x') return false;
  if (w < 1 || h < 1 || w > cvm::render::kMaxImageSide || h > cvm::render::kMaxImageSide) return false;
  width = w;
  height = h;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  cvm::tools::RestartTuned(argc, argv);
  CLI::App app{
      "Prints the content of a Corvane Model (.cvm) file, or compares two.\n"
      "Exit status: 0 done (--diff: same content), 1 a file cannot be read or is invalid "
      "(--diff: or the files differ), 2 usage error.",
      "cvmdump"};
  std::string path;
  std::vector<std::string> diffPaths;
  bool asJson = false;
  std::string renderPath, sizeText, viewName = "three-quarter";
  uint32_t width = cvm::render::kDefaultWidth, height = cvm::render::kDefaultHeight;
  auto* file = app.add_option("FILE", path, "the .cvm file");
  auto* diff =
      app.add_option("--diff", diffPaths, "compare two files field by field and name the first difference")
          ->expected(2)
          ->type_name("A.cvm B.cvm");
  auto* json = app.add_flag("--json", asJson, "print every decoded field as JSON");
  auto* render =
      app.add_option("--render", renderPath, "draw the model into this PNG file")->type_name("OUT.png");
  auto* size =
      app.add_option("--size", sizeText, "with --render: the picture's size in pixels (default 640x480)")
          ->type_name("WxH")
          ->needs(render);
  app.add_option("--view", viewName, std::string("with --render: ") + cvm::render::kViewNames)
      ->type_name("NAME")
      ->needs(render);
  app.add_flag(cvm::tools::kNoMemoryTuningFlag, cvm::tools::kNoMemoryTuningHelp);
  diff->excludes(file)->excludes(json);
  render->excludes(json)->excludes(diff);
  app.set_version_flag("--version", CVM_VERSION);
  try {
    app.parse(argc, argv);
    if (diffPaths.empty() && path.empty()) throw CLI::RequiredError("FILE");
    if (!cvm::render::ViewNamed(viewName))
      throw CLI::ValidationError("--view",
                                 "unknown view '" + viewName + "' (" + cvm::render::kViewNames + ")");
    if (*size && !ParseSize(sizeText, width, height))
      throw CLI::ValidationError("--size", "'" + sizeText + "' is not WxH with sides from 1 to " +
                                               std::to_string(cvm::render::kMaxImageSide));
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
  if (!renderPath.empty()) {
    std::string error;
    const cvm::render::Image image =
        cvm::render::RenderCvm(decoded, width, height, *cvm::render::ViewNamed(viewName));
    if (!cvm::render::WritePngFile(renderPath, image, error)) {
      std::cerr << error << "\n";
      return 1;
    }
    return 0;
  }
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
