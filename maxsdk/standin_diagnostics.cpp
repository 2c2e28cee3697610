#include "maxsdk/standin_diagnostics.h"

#include "maxsdk/standin_counters.h"

namespace maxstandin {

int initCustomControlsCount = 0;
int assertionCount = 0;
MaxStandinAssertion lastAssertion{};
bool echoAssertions = true;

}  // namespace maxstandin

int MaxStandinInitCustomControlsCount() {
  return maxstandin::initCustomControlsCount;
}

int MaxStandinAssertionCount() {
  return maxstandin::assertionCount;
}

MaxStandinAssertion MaxStandinLastAssertion() {
  return maxstandin::lastAssertion;
}

void MaxStandinSetAssertionEcho(bool echo) {
  maxstandin::echoAssertions = echo;
}
