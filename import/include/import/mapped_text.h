// A regular file's text mapped into memory for a parser, followed by zero bytes that it may read
// past the end. A mapped file that another program shortens, or whose pages cannot be read (an
// I/O error), would end the process with SIGBUS at the next read of a lost page; here the lost
// pages read as zeros instead and Lost() says so, so that the reader throws away what it made of
// the text and reads the file again by read(2), which sees what the file holds then.
//
// POSIX systems only: elsewhere Text() is always null and the caller reads the file.
#pragma once

#include <cstddef>
#include <string>

namespace cvm::import {

class MappedText {
 public:
  // Maps the file at path, which must be a regular file of exactly size bytes, with padding
  // readable zero bytes after it. Text() is null when it cannot: no such file, another size, a
  // file system that does not map, or more mapped texts open at once than the guard follows.
  MappedText(const std::string& path, size_t size, size_t padding);
  ~MappedText();
  MappedText(const MappedText&) = delete;
  MappedText& operator=(const MappedText&) = delete;

  const char* Text() const { return text_; }
  size_t Size() const { return size_; }
  // The size of the pages it is mapped in.
  size_t PageSize() const { return pageSize_; }

  // Whether any page of the file was lost while it was mapped (and read as zeros since).
  bool Lost() const;

 private:
  const char* text_ = nullptr;
  size_t size_ = 0;
  size_t length_ = 0;  // of the mapping: the file's pages and one page of zeros or more
  size_t pageSize_ = 0;
  int guard_ = -1;  // the slot that the SIGBUS handler knows this text by
};

}  // namespace cvm::import
