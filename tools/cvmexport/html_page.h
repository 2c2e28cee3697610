// The page of a conversion (cvmexport --html): one HTML file that shows, per input, its name,
// its status, a picture of the written file, what the file holds, its size, the warnings and,
// for an input that failed or had nothing to export, why.
#pragma once

#include <string>
#include <vector>

#include "tools/cvmexport/convert.h"

namespace cvm::tools {

// The size of the pictures on the page, in pixels.
constexpr uint32_t kThumbnailWidth = 240;
constexpr uint32_t kThumbnailHeight = 180;

// The page's text for inputs[i] converted into results[i]. The results must carry their
// reports (ConvertRequest::wantReport): the page takes each input's output and warnings from
// it. Each written output is read back from the disk for its counts, its size and its picture.
// The page is self-contained: its styles and pictures (PNG data URIs) are inside it, it loads
// nothing and runs no script; every text from the inputs is HTML-escaped. Up to `jobs` inputs
// are read back and drawn at once, each on its own thread. Throws when memory or a thread cannot
// be had; WriteHtmlPage reports that as an error instead.
std::string BuildHtmlPage(const std::vector<std::string>& inputs, const std::vector<ConvertResult>& results,
                          unsigned jobs);

// Builds the page and writes it to path atomically (see WriteTextOutput); false with error set
// when it cannot be written, and then nothing at path has changed.
bool WriteHtmlPage(const std::string& path, const std::vector<std::string>& inputs,
                   const std::vector<ConvertResult>& results, unsigned jobs, std::string& error);

}  // namespace cvm::tools
