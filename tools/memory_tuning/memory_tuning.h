// How the C library's allocator is set up for the tools: a conversion, a scene document's
// reading or a dump makes a few arrays of tens of megabytes each and touches every page of them
// once, and on a machine where the first touch of a 4 KiB page is dear (a virtual machine: some
// microseconds a page) that costs more than the work done in them. Backing the large arrays
// with transparent huge pages (2 MiB) and keeping a single heap arena cuts that cost down; the
// bytes written are the same either way.
//
// glibc reads these settings only when a process starts (its tunables, GLIBC_TUNABLES), so a
// tool that is not yet running with them starts itself again, in place, with them added to its
// environment (RestartTuned, first thing in main); the children it starts inherit them. The
// tools' --no-memory-tuning leaves them out. Nothing changes a running process's allocator.
#pragma once

#include <string>
#include <vector>

namespace cvm::tools {

// The glibc tunables the tools run with: huge pages for the heap's large blocks
// (glibc.malloc.hugetlb=1, which asks the kernel with madvise and so needs transparent huge
// pages in "always" or "madvise" mode) and one arena (glibc.malloc.arena_max=1).
constexpr const char* kConversionTunables = "glibc.malloc.hugetlb=1:glibc.malloc.arena_max=1";

// The switch that leaves the tunables out, and what the tools' help says of it.
constexpr const char* kNoMemoryTuningFlag = "--no-memory-tuning";
constexpr const char* kNoMemoryTuningHelp =
    "Run with the C library's default allocator settings instead of huge pages for large arrays and one "
    "heap arena (the output is the same)";

// environment (NAME=VALUE entries, as environ holds them) with the conversion tunables added:
// ahead of a GLIBC_TUNABLES already there, whose own settings come later and so win, or as a
// new entry. An environment whose GLIBC_TUNABLES already starts with them is given back as it is.
std::vector<std::string> TunedEnvironment(const char* const* environment);

// Whether a process started with environment runs with the conversion tunables.
bool IsTuned(const char* const* environment);

// Whether the arguments (argv[1] on, up to a "--" that ends the options) hold the switch.
bool TuningSwitchedOff(int argc, const char* const* argv);

// Starts this program again in place (same process, arguments, descriptors) with the tunables,
// unless it already runs with them or the arguments switch them off. Returns only when it does
// not restart: then, or when the restart cannot be made (no /proc/self/exe, exec failed), the
// program goes on with the allocator as it is. A no-op on Windows.
void RestartTuned(int argc, char** argv);

}  // namespace cvm::tools
