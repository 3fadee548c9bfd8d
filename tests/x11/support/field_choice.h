#pragma once
// The cases that read and convert text run in each toolkit's field: GTK
// answers over AT-SPI otherwise than Qt (it offers the library a cache of its
// tree and states, and takes a keyboard grab for a loss of focus), and a
// multi-line field is another widget again.
#include <gtest/gtest.h>

#include <string>

#include "x11/support/unavailable.h"
#include "x11_session/x11_session.h"

namespace tessa::test {

struct FieldChoice {
  xsession::Toolkit toolkit;
  xsession::TestField::Kind kind;
};

// "qtLine", "gtk4MultiLine", ...
inline std::string fieldName(const ::testing::TestParamInfo<FieldChoice>& info) {
  return std::string(xsession::toolkitName(info.param.toolkit)) +
         (info.param.kind == xsession::TestField::Kind::multiLine ? "MultiLine" : "Line");
}

// Each toolkit's field of `kind`.
inline auto everyToolkit(xsession::TestField::Kind kind) {
  return ::testing::Values(FieldChoice{xsession::Toolkit::qt, kind}, FieldChoice{xsession::Toolkit::gtk3, kind},
                           FieldChoice{xsession::Toolkit::gtk4, kind});
}

// Each toolkit's single-line and multi-line field.
inline auto everyTextField() {
  using Kind = xsession::TestField::Kind;
  return ::testing::Values(
      FieldChoice{xsession::Toolkit::qt, Kind::line}, FieldChoice{xsession::Toolkit::qt, Kind::multiLine},
      FieldChoice{xsession::Toolkit::gtk3, Kind::line}, FieldChoice{xsession::Toolkit::gtk3, Kind::multiLine},
      FieldChoice{xsession::Toolkit::gtk4, Kind::line}, FieldChoice{xsession::Toolkit::gtk4, Kind::multiLine});
}

}  // namespace tessa::test

// Skips (fails in CI, where scripts/install-deps has installed every
// toolkit) a case whose toolkit's field this build does not have.
#define TESSA_X11_NEEDS_FIELD(toolkit)                                                                  \
  do {                                                                                                  \
    if (!::tessa::xsession::TestField::built(toolkit))                                                  \
      TESSA_X11_UNAVAILABLE(std::string("this build has no ") + ::tessa::xsession::toolkitName(toolkit) + \
                            " test field (its development package was missing at configure time)");     \
  } while (0)
