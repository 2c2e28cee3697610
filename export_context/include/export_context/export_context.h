// What one export hands to its section writers: the output stream, the collected nodes and
// their kind lists, the options, the progress window and the runner of work handed out. A section that must
// refuse the export (a count that does not fit its field) calls Refuse; the driver then discards the output
// and reports the message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export_context/export_options.h"
#include "export_context/progress_text.h"
#include "export_context/task_runner.h"
#include "format/binary_writer.h"
#include "host/host_scene.h"

namespace cvm {

// Positions into the collected node list, in increasing order.
using KindList = std::vector<uint32_t>;

struct KindLists {
  KindList meshes;
  KindList lights;
  KindList helpers;
  KindList splines;
};

struct ExportContext {
  OutputStream& stream;
  const ExportOptions& options;
  ProgressWindow progress;
  const std::vector<HostNode*>& nodes;  // the collected node list
  const KindLists& lists;
  TaskRunner* runner = nullptr;  // none: everything on the calling thread
  std::string refusal;           // empty while the export may go on

  HostNode* NodeAt(uint32_t position) const { return nodes[position]; }
  // Stops the export with message (which names the node or material concerned).
  void Refuse(std::string message) {
    if (refusal.empty()) refusal = std::move(message);
  }
  bool Refused() const { return !refusal.empty(); }
};

}  // namespace cvm
