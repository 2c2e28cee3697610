// A file name in the test temporary folder that no other test process uses at the same time
// (ctest runs the tests of one program in parallel processes).
#pragma once

#include <gtest/gtest.h>

#include <string>
#ifdef _WIN32
#include <process.h>
#define CVM_TEST_PID _getpid
#else
#include <unistd.h>
#define CVM_TEST_PID getpid
#endif

namespace cvm::reader::test {

inline std::string UniqueTempPath(const std::string& name) {
  return ::testing::TempDir() + "cvm" + std::to_string(CVM_TEST_PID()) + "_" + name;
}

}  // namespace cvm::reader::test
