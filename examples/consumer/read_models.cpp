// Reads converted models with the cvm reader and prints what each holds, one line per file:
//   tile.cvm: 1 meshes (2 faces, 4 vertices to draw), 1 materials, 0 lights, 0 helpers, 0 splines
#include <cstdio>
#include <string>

#include "reader/cvm_reader.h"
#include "reader/render_mesh.h"

int main(int argc, char** argv) {
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    cvm::reader::CvmFile file;
    cvm::reader::ReadError error;
    if (!cvm::reader::ReadCvmFile(argv[i], file, error)) {
      std::fprintf(stderr, "%s: %s\n", argv[i], cvm::reader::FormatReadError(error).c_str());
      status = 1;
      continue;
    }
    size_t faces = 0, vertices = 0;
    for (const cvm::reader::CvmMesh& mesh : file.meshes) {
      faces += mesh.faceCount;
      vertices += cvm::reader::BuildRenderMesh(mesh).vertexCount;
    }
    const std::string path = argv[i];
    std::printf(
        "%s: %zu meshes (%zu faces, %zu vertices to draw), %zu materials, %zu lights, %zu helpers, "
        "%zu splines\n",
        path.substr(path.find_last_of('/') + 1).c_str(), file.meshes.size(), faces, vertices,
        file.materials.size(), file.lights.size(), file.helpers.size(), file.splines.size());
  }
  return status;
}
