// The node's free text, the last field of every light, helper and spline record.
#pragma once

#include <optional>
#include <string>

namespace cvm {

// The user text as the records hold it: none for an empty text (written as u16 0 alone),
// otherwise the text (u16 1, its bytes and one 0 byte). text is never null.
std::optional<std::string> NodeUserTextField(const char* text);

}  // namespace cvm
