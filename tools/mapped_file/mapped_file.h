// A regular file mapped into memory for reading, for the tools: no copy of the file, whose
// pages the system's cache holds already. A mapped file that another program shortens, or
// whose pages cannot be read (an I/O error), would end the process with SIGBUS at the next read
// of a lost page; here the lost pages read as zeros instead and Lost() says so, so that the tool
// throws away what it read and reports the file as changed. Only for readers that check every
// read against the size, which zeros cannot lead astray: a process-wide SIGBUS handler, which
// a library dropped into other programs must not install.
//
// POSIX systems only: elsewhere Data() is always null and the caller reads the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cvm::tools {

class MappedFile {
 public:
  // Maps the regular file at path whole. Data() is null when it cannot: no such file, not a
  // regular file, an empty one, a file system that does not map, the handler not in place, or
  // more files mapped at once than the handler follows.
  explicit MappedFile(const std::string& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }

  // Whether any page of the file was lost while it was mapped (and read as zeros since).
  bool Lost() const;

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t length_ = 0;  // of the mapping, in whole pages
  int guard_ = -1;     // the slot that the SIGBUS handler knows this file by
};

}  // namespace cvm::tools
