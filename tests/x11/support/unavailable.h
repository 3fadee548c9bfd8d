#pragma once
// A case that cannot get its X server or accessibility bus is skipped on a
// developer's machine, but fails in CI, where the packages are installed and
// a skip would hide a broken set-up.
#include <gtest/gtest.h>

#include <cstdlib>

#define TESSA_X11_UNAVAILABLE(why)    \
  do {                                \
    if (std::getenv("CI")) FAIL() << (why); \
    GTEST_SKIP() << (why);            \
  } while (0)
