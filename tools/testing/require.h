#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant ends the fuzz run as a crash, so that libFuzzer keeps the input.
inline void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}
