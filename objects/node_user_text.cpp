#include "objects/node_user_text.h"

namespace cvm {

std::optional<std::string> NodeUserTextField(const char* text) {
  if (text[0] == '\0') return std::nullopt;
  return std::string(text);
}

}  // namespace cvm
