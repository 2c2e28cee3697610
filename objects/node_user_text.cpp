#include "objects/node_user_text.h"

namespace cvm {

void WriteNodeUserText(const char* text, OutputStream& stream) {
  if (text[0] == '\0') {
    WriteU16(0, stream);
    return;
  }
  WriteU16(1, stream);
  WriteString(text, stream);
}

}  // namespace cvm
