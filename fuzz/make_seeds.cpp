// cvm_make_seeds: makes the reader fuzzer's seed files from readable sources.
//
//   cvm_make_seeds OUT-DIR SOURCE...
//
// A source is either the JSON form of a .cvm file (what cvmdump --json prints), encoded as it
// stands, or a scene document, exported with the default options; a document that is refused
// or has nothing to export makes no seed. Each seed is OUT-DIR/NAME.cvm after its source's
// name, a scene document's with "scene_" in front. The .cvm files already in OUT-DIR are
// removed first. Exit status 1 when a source cannot be read.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "export/run_export.h"
#include "format/output_target.h"
#include "format/record_writer.h"
#include "import/scene_document.h"
#include "standin/standin_scene.h"
#include "tests/support/recording_ui.h"
#include "tools/cvmdump/cvm_json.h"

namespace {

namespace fs = std::filesystem;

bool ReadText(const fs::path& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  text = contents.str();
  return static_cast<bool>(in);
}

bool WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// The bytes of a decoded file's JSON form; false with error when it is not of that form.
bool Encode(const nlohmann::ordered_json& document, std::vector<uint8_t>& bytes, std::string& error) {
  cvm::reader::CvmFile file;
  if (!cvm::reader::CvmFromJson(document, file, error)) return false;
  bytes = cvm::format::EncodeCvm(file);
  return true;
}

// The export of a scene document with the default options; false when it makes no file.
bool Export(const std::string& text, std::vector<uint8_t>& bytes) {
  std::string error;
  std::unique_ptr<cvm::standin::StandinScene> scene = cvm::import::LoadStandinScene(text, error);
  if (scene == nullptr) return false;
  cvm::MemoryTarget target;
  cvm::test::RecordingUi ui;
  cvm::ExportOptions options;
  const cvm::ExportOutcome outcome = cvm::RunExport(target, *scene, ui, options, 0, true);
  if (outcome.result != cvm::kExportDone || outcome.noData) return false;
  bytes = target.Bytes();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: cvm_make_seeds OUT-DIR SOURCE...\n");
    return 2;
  }
  const fs::path out = argv[1];
  std::error_code ignored;
  fs::create_directories(out, ignored);
  for (const auto& entry : fs::directory_iterator(out, ignored))
    if (entry.path().extension() == ".cvm") fs::remove(entry.path(), ignored);

  int status = 0;
  for (int i = 2; i < argc; ++i) {
    const fs::path source = argv[i];
    std::string text;
    if (!ReadText(source, text)) {
      std::fprintf(stderr, "cvm_make_seeds: cannot read %s\n", source.string().c_str());
      status = 1;
      continue;
    }
    const nlohmann::ordered_json document = nlohmann::ordered_json::parse(text, nullptr, false);
    std::vector<uint8_t> bytes;
    std::string name = source.stem().string();
    if (document.is_object() && document.contains("header")) {
      std::string error;
      if (!Encode(document, bytes, error)) {
        std::fprintf(stderr, "cvm_make_seeds: %s: %s\n", source.string().c_str(), error.c_str());
        status = 1;
        continue;
      }
    } else if (Export(text, bytes)) {
      name = "scene_" + name;
    } else {
      continue;
    }
    if (!WriteBytes(out / (name + ".cvm"), bytes)) {
      std::fprintf(stderr, "cvm_make_seeds: cannot write %s\n", (out / (name + ".cvm")).string().c_str());
      status = 1;
    }
  }
  return status;
}
