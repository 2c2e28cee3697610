// A regular file mapped into memory for reading, for the importers and the tools: no copy of
// the file, whose pages the system's cache holds already. A mapped file that another program
// shortens, or whose pages cannot be read (an I/O error), would end the process with SIGBUS at
// the next read of a lost page; here the lost pages read as zeros instead and Lost() says so,
// so that the caller throws away what it read and reports the file as changed. Only for
// readers that check every read against the size, which zeros cannot lead astray: it installs
// a process-wide SIGBUS handler, which a library dropped into other programs must not do.
//
// Where the handler cannot follow a file (another handler took its place, or too many files
// are mapped at once) the file is mapped unguarded; where the system has no mapping (Windows)
// it is read whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cvm::files {

class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  // Maps the regular file at path whole. False with error ("cannot open the file: <cause>",
  // "cannot map the file: <cause>") when it cannot be opened, is not a regular file, or cannot
  // be mapped; an empty file maps to no bytes.
  bool Open(const std::string& path, std::string& error);

  std::string_view Bytes() const { return {static_cast<const char*>(data_), size_}; }

  // Whether any page of the file was lost while it was mapped (and read as zeros since).
  bool Lost() const;

 private:
  void Release();

  void* data_ = nullptr;
  size_t size_ = 0;
  size_t length_ = 0;       // of the mapping, in whole pages; 0 when data_ is no mapping
  int guard_ = -1;          // the slot that the SIGBUS handler knows this file by
  std::vector<char> read_;  // the bytes, where the file was read instead of mapped
};

}  // namespace cvm::files
