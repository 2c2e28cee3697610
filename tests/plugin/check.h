// A minimal self-checking test harness for the Windows test programs (no test framework
// is available to the cross-build). A failed check prints its place and values and marks
// the program failed; the program goes on to its next check.
#pragma once

#include <sstream>
#include <string>

namespace cvm::wintest {

void ReportFailure(const char* file, int line, const std::string& what);
// Prints a summary and gives the program's exit status: 0 when every check passed.
int FinishChecks(const char* program);

template <typename A, typename B>
void CheckEqual(const A& actual, const B& expected, const char* actualText, const char* expectedText,
                const char* file, int line, const std::string& context) {
  if (actual == expected) return;
  std::ostringstream what;
  what << actualText << " == " << expectedText << ": got " << actual << ", want " << expected;
  if (!context.empty()) what << " [" << context << "]";
  ReportFailure(file, line, what.str());
}

}  // namespace cvm::wintest

#define CHECK(condition) \
  ((condition) ? (void)0 : ::cvm::wintest::ReportFailure(__FILE__, __LINE__, "CHECK(" #condition ")"))
#define CHECK_EQ(actual, expected) \
  ::cvm::wintest::CheckEqual((actual), (expected), #actual, #expected, __FILE__, __LINE__, std::string())
// CHECK_EQ for table rows: context names the row.
#define CHECK_EQ_AT(actual, expected, context) \
  ::cvm::wintest::CheckEqual((actual), (expected), #actual, #expected, __FILE__, __LINE__, (context))
