#include "tools/cvmexport/html_page.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <filesystem>
#include <kainjow/mustache.hpp>
#include <system_error>
#include <thread>

#include "reader/cvm_reader.h"
#include "tools/cvmdump/render_scene.h"

namespace cvm::tools {
namespace {

using Data = kainjow::mustache::data;

// Styles and layout of the page; every {{name}} is HTML-escaped by the template engine.
constexpr const char* kPageTemplate = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>cvmexport: {{summary}}</title>
<style>
body { font-family: sans-serif; margin: 1.5em; background: #f3f4f6; color: #1f2329; }
h1 { font-size: 1.25em; margin: 0 0 1em; }
.inputs { display: grid; grid-template-columns: repeat(auto-fill, minmax(34em, 1fr)); gap: 1em; }
.input { display: flex; gap: 1em; padding: 0.8em; background: #fff; border: 1px solid #d4d8de;
  border-radius: 6px; }
.picture { flex: none; width: {{width}}px; height: {{height}}px; border-radius: 4px;
  background: rgb({{background}}); }
.facts { min-width: 0; }
h2 { font-size: 1em; margin: 0 0 0.4em; overflow-wrap: anywhere; }
.status { display: inline-block; padding: 0.05em 0.5em; border-radius: 3px; font-size: 0.85em; }
.written { background: #d6efd9; color: #1d5e24; }
.failed { background: #f7d6d9; color: #86202b; }
.nodata { background: #fbefc6; color: #634b00; }
.output { margin: 0.4em 0; font-size: 0.9em; overflow-wrap: anywhere; }
.counts { display: grid; grid-template-columns: repeat(2, auto 5em); gap: 0.1em 0.6em; margin: 0;
  font-size: 0.9em; justify-content: start; }
.counts dt { color: #5b626c; }
.counts dd { margin: 0; text-align: right; font-variant-numeric: tabular-nums; }
.reason { color: #86202b; white-space: pre-wrap; overflow-wrap: anywhere; }
.warnings { margin: 0.4em 0 0; padding-left: 1.2em; color: #7a4b00; font-size: 0.9em; }
</style>
</head>
<body>
<h1>{{summary}}</h1>
<div class="inputs">
{{#inputs}}
<section class="input">
{{#hasPicture}}<img class="picture" src="data:image/png;base64,{{picture}}" width="{{width}}" height="{{height}}" alt="{{name}}">{{/hasPicture}}
{{^hasPicture}}<div class="picture"></div>{{/hasPicture}}
<div class="facts">
<h2>{{name}}</h2>
<span class="status {{statusClass}}">{{status}}</span>
{{#hasOutput}}<p class="output">{{output}}: {{size}} bytes</p>{{/hasOutput}}
{{#hasCounts}}<dl class="counts">
{{#counts}}<dt>{{label}}</dt><dd>{{value}}</dd>
{{/counts}}</dl>{{/hasCounts}}
{{#hasReason}}<p class="reason">{{reason}}</p>{{/hasReason}}
{{#hasWarnings}}<ul class="warnings">
{{#warnings}}<li>{{.}}</li>
{{/warnings}}</ul>{{/hasWarnings}}
</div>
</section>
{{/inputs}}
</div>
</body>
</html>
)";

std::string Base64(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    uint32_t group = uint32_t{bytes[i]} << 16;
    if (n > 1) group |= uint32_t{bytes[i + 1]} << 8;
    if (n > 2) group |= bytes[i + 2];
    for (size_t k = 0; k < 4; ++k) text += k <= n ? kDigits[(group >> (18 - 6 * k)) & 63] : '=';
  }
  return text;
}

Data Count(const char* label, size_t value) {
  Data row;
  row.set("label", label);
  row.set("value", std::to_string(value));
  return row;
}

Data CountsOf(const reader::CvmFile& file) {
  size_t faces = 0, positions = 0, uvs = 0, normals = 0;
  for (const reader::CvmMesh& mesh : file.meshes) {
    faces += mesh.faceCount;
    positions += mesh.positions.size();
    uvs += mesh.uvs.size();
    normals += mesh.normals.size();
  }
  Data counts(Data::type::list);
  counts.push_back(Count("meshes", file.meshes.size()));
  counts.push_back(Count("faces", faces));
  counts.push_back(Count("positions", positions));
  counts.push_back(Count("UVs", uvs));
  counts.push_back(Count("normals", normals));
  counts.push_back(Count("materials", file.materials.size()));
  counts.push_back(Count("textures", file.textures.size()));
  counts.push_back(Count("lights", file.lights.size()));
  counts.push_back(Count("helpers", file.helpers.size()));
  counts.push_back(Count("splines", file.splines.size()));
  return counts;
}

// What the page shows of the written file: its size, its counts and its picture. A file that
// no longer reads gives the reason instead.
void DescribeOutput(const std::string& output, Data& item, std::string& reason) {
  reader::CvmFile file;
  reader::ReadError readError;
  if (!reader::ReadCvmFile(output, file, readError)) {
    reason = output + ": " + reader::FormatReadError(readError);
    return;
  }
  std::error_code sizeError;
  const auto size = std::filesystem::file_size(output, sizeError);
  item.set("hasOutput", true);
  item.set("output", output);
  item.set("size", sizeError ? std::string("?") : std::to_string(size));
  item.set("hasCounts", true);
  item.set("counts", CountsOf(file));
  const render::Image image =
      render::RenderCvm(file, kThumbnailWidth, kThumbnailHeight, render::View::ThreeQuarter);
  std::vector<uint8_t> png;
  std::string pngError;
  if (render::EncodePng(image, png, pngError)) {
    item.set("hasPicture", true);
    item.set("picture", Base64(png));
  } else {
    reason = output + ": no picture: " + pngError;
  }
}

Data InputItem(const std::string& input, const ConvertResult& result) {
  Data item;
  item.set("name", input);
  static const char* const kStatus[] = {"written", "failed", "failed", "no data"};
  static const char* const kStatusClass[] = {"written", "failed", "failed", "nodata"};
  const int status = result.status >= 0 && result.status <= kExitNoData ? result.status : kExitError;
  item.set("status", status == kExitWritten && result.unchanged ? "unchanged" : kStatus[status]);
  item.set("statusClass", kStatusClass[status]);

  std::string reason = status == kExitWritten ? std::string() : result.message;
  const auto output = result.report.find("output");
  if (status == kExitWritten && output != result.report.end() && output->is_string()) {
    // The standard output's bytes are gone to whoever reads them: no file to draw.
    if (*output == kStandardStream)
      reason = "written to the standard output, so not shown here";
    else
      DescribeOutput(output->get<std::string>(), item, reason);
  }
  item.set("hasReason", !reason.empty());
  item.set("reason", reason);

  Data warnings(Data::type::list);
  const auto listed = result.report.find("warnings");
  if (listed != result.report.end() && listed->is_array())
    for (const auto& warning : *listed)
      if (warning.is_string()) warnings.push_back(Data(warning.get<std::string>()));
  item.set("hasWarnings", !warnings.is_empty_list());
  item.set("warnings", warnings);
  return item;
}

std::string Summary(const std::vector<ConvertResult>& results) {
  size_t written = 0, failed = 0, noData = 0;
  for (const ConvertResult& result : results) {
    if (result.status == kExitWritten)
      ++written;
    else if (result.status == kExitNoData)
      ++noData;
    else
      ++failed;
  }
  std::string text = std::to_string(results.size()) + (results.size() == 1 ? " input: " : " inputs: ") +
                     std::to_string(written) + " written, " + std::to_string(failed) + " failed";
  if (noData > 0) text += ", " + std::to_string(noData) + " with nothing to export";
  return text;
}

}  // namespace

std::string BuildHtmlPage(const std::vector<std::string>& inputs, const std::vector<ConvertResult>& results,
                          unsigned jobs) {
  Data page;
  page.set("summary", Summary(results));
  page.set("width", std::to_string(kThumbnailWidth));
  page.set("height", std::to_string(kThumbnailHeight));
  page.set("background", std::to_string(render::kBackground[0]) + ", " +
                             std::to_string(render::kBackground[1]) + ", " +
                             std::to_string(render::kBackground[2]));
  // Reading the outputs back and drawing them is most of the work; each input is on its own.
  std::vector<Data> described(std::min(inputs.size(), results.size()));
  std::atomic<size_t> next{0};
  std::vector<std::exception_ptr> failures(described.size());
  const auto work = [&] {
    for (size_t i = next++; i < described.size(); i = next++) {
      try {
        described[i] = InputItem(inputs[i], results[i]);
      } catch (...) {
        failures[i] = std::current_exception();
      }
    }
  };
  std::vector<std::thread> workers;
  for (size_t t = 1; t < std::min<size_t>(jobs, described.size()); ++t) workers.emplace_back(work);
  work();
  for (std::thread& worker : workers) worker.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
  Data items(Data::type::list);
  for (const Data& item : described) items.push_back(item);
  page.set("inputs", items);
  kainjow::mustache::mustache tmpl(kPageTemplate);
  return tmpl.render(page);
}

bool WriteHtmlPage(const std::string& path, const std::vector<std::string>& inputs,
                   const std::vector<ConvertResult>& results, unsigned jobs, std::string& error) {
  std::string page;
  try {
    page = BuildHtmlPage(inputs, results, jobs);
  } catch (const std::exception& e) {
    error = path + ": cannot build the page: " + e.what();
    return false;
  }
  return WriteTextOutput(path, page, error);
}

}  // namespace cvm::tools
