#include "maxsdk/assert1.h"

#include <cstdio>
#include <cstring>

#include "maxsdk/standin_counters.h"

int assert1(int line, const char* file) {
  ++maxstandin::assertionCount;
  maxstandin::lastAssertion.line = line;
  const char* name = file != nullptr ? file : "";
  std::strncpy(maxstandin::lastAssertion.file, name, sizeof maxstandin::lastAssertion.file - 1);
  maxstandin::lastAssertion.file[sizeof maxstandin::lastAssertion.file - 1] = '\0';
  if (maxstandin::echoAssertions) std::fprintf(stderr, "Assertion failed: %s, line %d\n", name, line);
  return 0;
}
