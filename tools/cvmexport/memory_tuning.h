// How the C library's allocator is set up for a model file's conversion: a conversion makes a
// few arrays of tens of megabytes each and touches every page of them once, and on a machine
// where the first touch of a 4 KiB page is dear (a virtual machine: some microseconds a page)
// that costs more than the work done in them. Backing the large arrays with transparent huge
// pages (2 MiB) and keeping a single heap arena cuts that cost down; the bytes written are the
// same either way.
//
// glibc reads these settings only when a process starts (its tunables, GLIBC_TUNABLES), so
// they are given to the child each model file is converted in (child_conversion.h), never
// changed in a running process. The converter's --no-memory-tuning leaves them out.
#pragma once

#include <string>
#include <vector>

namespace cvm::tools {

// The glibc tunables a conversion runs with: huge pages for the heap's large blocks
// (glibc.malloc.hugetlb=1, which asks the kernel with madvise and so needs transparent huge
// pages in "always" or "madvise" mode) and one arena (glibc.malloc.arena_max=1).
constexpr const char* kConversionTunables = "glibc.malloc.hugetlb=1:glibc.malloc.arena_max=1";

// environment (NAME=VALUE entries, as environ holds them) with the conversion tunables added
// when tune is set: appended to a GLIBC_TUNABLES already there, whose own settings come later
// and so win, or as a new entry. Without tune, the environment as it is.
std::vector<std::string> ConversionEnvironment(const char* const* environment, bool tune);

}  // namespace cvm::tools
