#include "tools/cvmexport/depfile.h"

#include <algorithm>
#include <filesystem>

namespace cvm::tools {

bool EscapeForMakeRule(const std::string& path, std::string& escaped) {
  escaped.clear();
  size_t backslashes = 0;  // in a row, right before the current character
  for (const char c : path) {
    if (c == '\n' || c == '\r') return false;
    if (c == ' ' || c == '\t') {
      escaped.append(backslashes + 1, '\\');
    } else if (c == '#') {
      escaped += '\\';
    } else if (c == '$') {
      escaped += '$';
    }
    escaped += c;
    backslashes = c == '\\' ? backslashes + 1 : 0;
  }
  return true;
}

bool MakeDepfileRule(const std::string& output, const std::vector<std::string>& filesRead, std::string& rule,
                     std::string& error) {
  std::string escaped;
  const auto append = [&](const std::string& path) {
    if (!EscapeForMakeRule(path, escaped)) {
      error = "cannot name '" + path + "' in a dependency file: the path holds a line break";
      return false;
    }
    rule += escaped;
    return true;
  };
  rule.clear();
  if (!append(output)) return false;
  rule += ":";
  std::vector<std::filesystem::path> seen;
  for (const std::string& file : filesRead) {
    const std::filesystem::path normal = std::filesystem::path(file).lexically_normal();
    if (std::find(seen.begin(), seen.end(), normal) != seen.end()) continue;
    seen.push_back(normal);
    rule += " ";
    if (!append(file)) return false;
  }
  rule += "\n";
  return true;
}

bool StageDepfile(AtomicFileTarget& target, const std::string& output,
                  const std::vector<std::string>& filesRead, std::string& error) {
  std::string rule;
  if (!MakeDepfileRule(output, filesRead, rule, error) || !target.Open(error)) return false;
  if (!target.Sink().Append(reinterpret_cast<const uint8_t*>(rule.data()), rule.size(), error)) {
    target.Abort();
    return false;
  }
  return true;
}

}  // namespace cvm::tools
