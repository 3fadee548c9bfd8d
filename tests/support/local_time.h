#pragma once
#include <ctime>

namespace tessa::test {

// Wall time of local noon on a date; noon keeps daylight-saving shifts from
// moving the day.
inline double localNoon(int y, int m, int d) {
  struct tm p {};
  p.tm_year = y - 1900;
  p.tm_mon = m - 1;
  p.tm_mday = d;
  p.tm_hour = 12;
  p.tm_isdst = -1;
  return static_cast<double>(mktime(&p));
}

}  // namespace tessa::test
