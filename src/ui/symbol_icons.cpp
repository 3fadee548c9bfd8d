#include "ui/symbol_icons.h"

#include <cmath>
#include <string_view>
#include <unordered_map>

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

namespace tessa {

namespace {

// A drawing on a 24 by 24 grid: `body` is painted in the symbol's colour,
// `cutout` is then erased from it (the knocked-out check of a filled circle).
// Strokes are black; `%1` is the stroke width.
struct SymbolDrawing {
  std::string_view body;
  std::string_view cutout;
};

constexpr std::string_view kKeyboardBody =
    R"(<rect x="2" y="5.5" width="20" height="13" rx="2.5"/>)"
    R"(<g fill="#000" stroke="none"><circle cx="6" cy="9.5" r="1"/><circle cx="9.3" cy="9.5" r="1"/>)"
    R"(<circle cx="12.6" cy="9.5" r="1"/><circle cx="15.9" cy="9.5" r="1"/><circle cx="18.2" cy="9.5" r="1"/>)"
    R"(<circle cx="7.6" cy="12.5" r="1"/><circle cx="10.9" cy="12.5" r="1"/><circle cx="14.2" cy="12.5" r="1"/>)"
    R"(<circle cx="17.2" cy="12.5" r="1"/></g><path d="M8 15.6 H16"/>)";

const std::unordered_map<std::string_view, SymbolDrawing>& drawings() {
  static const std::unordered_map<std::string_view, SymbolDrawing> table = {
      {"keyboard", {kKeyboardBody, ""}},
      // The quick-paste panel's marks.
      {"magnifyingglass", {R"(<circle cx="10.5" cy="10.5" r="6.5"/><path d="M15.3 15.3 L20.5 20.5"/>)", ""}},
      {"tray.full.fill",
       {R"(<path d="M2.5 13 L5 4.5 H19 L21.5 13 V19 A1.5 1.5 0 0 1 20 20.5 H4 A1.5 1.5 0 0 1 2.5 19 Z" )"
        R"(fill="#000" stroke="none"/>)",
        R"(<path d="M3 13 H8.5 A3.5 3 0 0 0 15.5 13 H21 M7 7.5 H17 M6.5 10 H17.5" stroke-width="1.4"/>)"}},
      {"doc.text.fill",
       {R"(<path d="M5 2.5 H14 L19.5 8 V21.5 H5 Z" fill="#000" stroke="none"/>)",
        R"(<path d="M8 12 H16 M8 15 H16 M8 18 H13" stroke-width="1.4"/>)"}},
      {"doc.fill", {R"(<path d="M5 2.5 H14 L19.5 8 V21.5 H5 Z" fill="#000" stroke="none"/>)", ""}},
      {"photo.fill",
       {R"(<rect x="2" y="4" width="20" height="16" rx="2.5" fill="#000" stroke="none"/>)",
        R"(<circle cx="8" cy="9" r="1.8" fill="#000" stroke="none"/>)"
        R"(<path d="M3 18 L9 12 L13 15.5 L16 13 L21 17.5 V19 H3 Z" fill="#000" stroke="none"/>)"}},
      {"photo",
       {R"(<rect x="2.5" y="4.5" width="19" height="15" rx="2.5"/><circle cx="8" cy="9.5" r="1.6"/>)"
        R"(<path d="M3 18 L9 12.5 L13 16 L16 13.5 L21 17.5"/>)",
        ""}},
      {"folder.fill",
       {R"(<path d="M2 6 A1.5 1.5 0 0 1 3.5 4.5 H9.5 L11.5 7 H20.5 A1.5 1.5 0 0 1 22 8.5 V18.5 )"
        R"(A1.5 1.5 0 0 1 20.5 20 H3.5 A1.5 1.5 0 0 1 2 18.5 Z" fill="#000" stroke="none"/>)",
        ""}},
      {"paintpalette.fill",
       {R"(<path d="M12 2.5 C6.5 2.5 2.5 6.5 2.5 11.5 C2.5 17 6.5 21.5 11.5 21.5 C13.5 21.5 13.8 19.8 13 18.5 )"
        R"(C12 17 12.8 15.5 14.5 15.5 H17 C19.8 15.5 21.5 13.5 21.5 11 C21.5 6.3 17.3 2.5 12 2.5 Z" )"
        R"(fill="#000" stroke="none"/>)",
        R"(<g fill="#000" stroke="none"><circle cx="7.5" cy="11" r="1.6"/><circle cx="10" cy="6.8" r="1.6"/>)"
        R"(<circle cx="14.8" cy="6.8" r="1.6"/><circle cx="17.6" cy="10.5" r="1.6"/></g>)"}},
      {"eye.fill",
       {R"(<path d="M1.5 12 C4 7 8 4.5 12 4.5 C16 4.5 20 7 22.5 12 C20 17 16 19.5 12 19.5 C8 19.5 4 17 1.5 12 Z" )"
        R"(fill="#000" stroke="none"/>)",
        R"(<circle cx="12" cy="12" r="3.6" fill="#000" stroke="none"/>)"}},
      {"pin.fill",
       {R"(<path d="M8 2.5 H16 L15 4.5 V10 L18.5 14 H5.5 L9 10 V4.5 Z" fill="#000" stroke="none"/>)"
        R"(<path d="M12 14 V21.5"/>)",
        ""}},
      {"pin.slash.fill",
       {R"(<path d="M8 2.5 H16 L15 4.5 V10 L18.5 14 H5.5 L9 10 V4.5 Z" fill="#000" stroke="none"/>)"
        R"(<path d="M12 14 V21.5 M3.5 3.5 L20.5 20.5"/>)",
        ""}},
      {"trash.fill",
       {R"(<path d="M3.5 5.5 H20.5 M9 5.5 V3 H15 V5.5"/>)"
        R"(<path d="M5.5 7.5 H18.5 L17.3 21 H6.7 Z" fill="#000" stroke="none"/>)",
        R"(<path d="M10 10.5 V18 M14 10.5 V18" stroke-width="1.4"/>)"}},
      {"shield.fill",
       {R"(<path d="M12 2 L20 5 V11.5 C20 16.5 16.5 20.3 12 22 C7.5 20.3 4 16.5 4 11.5 V5 Z" )"
        R"(fill="#000" stroke="none"/>)",
        ""}},
      {"keyboard.badge.ellipsis",
       {R"(<rect x="1.5" y="8" width="16" height="11" rx="2"/>)"
        R"(<g fill="#000" stroke="none"><circle cx="5" cy="11.5" r="0.9"/><circle cx="8" cy="11.5" r="0.9"/>)"
        R"(<circle cx="11" cy="11.5" r="0.9"/><circle cx="14" cy="11.5" r="0.9"/>)"
        R"(<circle cx="18.5" cy="6" r="5"/></g><path d="M6 15.5 H13"/>)",
        R"(<g fill="#000"><circle cx="16.2" cy="6" r="1"/><circle cx="18.5" cy="6" r="1"/>)"
        R"(<circle cx="20.8" cy="6" r="1"/></g>)"}},
      {"text.magnifyingglass",
       {R"(<path d="M2.5 5 H13 M2.5 9.5 H8.5 M2.5 14 H6.5"/><circle cx="14.5" cy="13.5" r="4.5"/>)"
        R"(<path d="M17.8 16.8 L21.5 20.5"/>)",
        ""}},
      {"arrow.right", {R"(<path d="M4 12 H19.5 M13.5 6 L19.5 12 L13.5 18"/>)", ""}},
      {"checkmark.circle", {R"(<circle cx="12" cy="12" r="9.5"/><path d="M7.5 12.5 L10.5 15.5 L16.5 9"/>)", ""}},
      {"checkmark.circle.fill",
       {R"(<circle cx="12" cy="12" r="10.5" fill="#000" stroke="none"/>)",
        R"(<path d="M7.3 12.4 L10.5 15.6 L16.7 8.9"/>)"}},
      {"xmark.circle",
       {R"(<circle cx="12" cy="12" r="9.5"/><path d="M8.6 8.6 L15.4 15.4 M15.4 8.6 L8.6 15.4"/>)", ""}},
      {"xmark.circle.fill",
       {R"(<circle cx="12" cy="12" r="10.5" fill="#000" stroke="none"/>)",
        R"(<path d="M8.6 8.6 L15.4 15.4 M15.4 8.6 L8.6 15.4"/>)"}},
      {"plus.circle",
       {R"(<circle cx="12" cy="12" r="9.5"/><path d="M12 7.5 V16.5 M7.5 12 H16.5"/>)", ""}},
      {"delete.left",
       {R"(<path d="M8.5 5 H19.5 A2.5 2.5 0 0 1 22 7.5 V16.5 A2.5 2.5 0 0 1 19.5 19 H8.5 L2 12 Z"/>)"
        R"(<path d="M11.5 9 L17 14.5 M17 9 L11.5 14.5"/>)",
        ""}},
      // About page and report sheets.
      {"checkmark", {R"(<path d="M5 12.5 L10 17.5 L19.5 7"/>)", ""}},
      {"checkmark.seal.fill",
       {R"(<path d="M12 1.8 L14.6 4 L18 3.7 L18.6 7.1 L21.4 9.1 L19.9 12.2 L21.4 15.3 L18.6 17.3 L18 20.7 )"
        R"(L14.6 20.4 L12 22.6 L9.4 20.4 L6 20.7 L5.4 17.3 L2.6 15.3 L4.1 12.2 L2.6 9.1 L5.4 7.1 L6 3.7 )"
        R"(L9.4 4 Z" fill="#000" stroke-width="1"/>)",
        R"(<path d="M7.6 12.3 L10.7 15.4 L16.4 9.2"/>)"}},
      {"checkmark.shield.fill",
       {R"(<path d="M12 2 L20.5 5.2 V11.5 C20.5 16.8 16.8 20.5 12 22 C7.2 20.5 3.5 16.8 3.5 11.5 V5.2 Z" )"
        R"(fill="#000" stroke-width="1"/>)",
        R"(<path d="M8.2 11.8 L11 14.6 L16 9.2"/>)"}},
      {"lock.shield",
       {R"(<path d="M12 2.5 L20 5.5 V11.5 C20 16.5 16.5 20 12 21.5 C7.5 20 4 16.5 4 11.5 V5.5 Z"/>)"
        R"(<rect x="8.8" y="11" width="6.4" height="5" rx="1" fill="#000" stroke-width="1"/>)"
        R"(<path d="M10.2 11 V9.6 A1.8 1.8 0 0 1 13.8 9.6 V11" stroke-width="1.4"/>)",
        ""}},
      {"moon.zzz",
       {R"(<path d="M14 5.5 A8 8 0 1 0 20.5 15.5 A6.5 6.5 0 0 1 14 5.5 Z"/>)"
        R"(<path d="M15.5 2.5 H19 L15.5 6.5 H19 M19.5 8.5 H22 L19.5 11.5 H22" stroke-width="1.3"/>)",
        ""}},
      {"exclamationmark.bubble",
       {R"(<path d="M4.5 3.5 H19.5 A2.5 2.5 0 0 1 22 6 V15 A2.5 2.5 0 0 1 19.5 17.5 H10 L5.5 21 V17.5 H4.5 )"
        R"(A2.5 2.5 0 0 1 2 15 V6 A2.5 2.5 0 0 1 4.5 3.5 Z"/><path d="M12 6.8 V11.5"/>)"
        R"(<circle cx="12" cy="14.3" r="1.2" fill="#000" stroke="none"/>)",
        ""}},
      {"link",
       {R"(<path d="M10.5 13.5 A3.5 3.5 0 0 0 15.5 13.5 L18.8 10.2 A3.5 3.5 0 0 0 13.8 5.2 L12.3 6.7"/>)"
        R"(<path d="M13.5 10.5 A3.5 3.5 0 0 0 8.5 10.5 L5.2 13.8 A3.5 3.5 0 0 0 10.2 18.8 L11.7 17.3"/>)",
        ""}},
      {"envelope",
       {R"(<rect x="2.5" y="5" width="19" height="14" rx="2"/><path d="M3 6 L12 13 L21 6"/>)", ""}},
      {"arrow.triangle.2.circlepath",
       {R"(<path d="M19.5 10 A7.8 7.8 0 0 0 5.5 7.5 M4.5 14 A7.8 7.8 0 0 0 18.5 16.5"/>)"
        R"(<path d="M17.2 10 H20 V7.2" /><path d="M6.8 14 H4 V16.8"/>)",
        ""}},
      {"stethoscope",
       {R"(<path d="M5 3 H4 V9 A5 5 0 0 0 14 9 V3 H13"/><path d="M9 14 V16.5 A4.5 4.5 0 0 0 18 16.5 V13.5"/>)"
        R"(<circle cx="18" cy="11" r="2.5"/>)",
        ""}},
      {"doc.on.doc",
       {R"(<rect x="8" y="7" width="12" height="15" rx="2"/><path d="M5 17 H4.5 A1.5 1.5 0 0 1 3 15.5 V3.5 )"
        R"(A1.5 1.5 0 0 1 4.5 2 H14.5 A1.5 1.5 0 0 1 16 3.5 V4"/>)",
        ""}},
      {"nosign", {R"(<circle cx="12" cy="12" r="9.5"/><path d="M5.3 5.3 L18.7 18.7"/>)", ""}},
      {"arrow.uturn.backward", {R"(<path d="M9 4.5 L4 9.5 L9 14.5 M4 9.5 H15 A5 5 0 0 1 15 19.5 H11"/>)", ""}},
      {"arrow.uturn.forward", {R"(<path d="M15 4.5 L20 9.5 L15 14.5 M20 9.5 H9 A5 5 0 0 0 9 19.5 H13"/>)", ""}},
      {"exclamationmark.triangle",
       {R"(<path d="M12 3 L22 20.5 H2 Z"/><path d="M12 9.5 V14"/>)"
        R"(<circle cx="12" cy="17.2" r="1.2" fill="#000" stroke="none"/>)",
        ""}},
      {"exclamationmark.triangle.fill",
       {R"(<path d="M12 2.5 L22.5 21 H1.5 Z" fill="#000"/>)",
        R"(<path d="M12 9.5 V14"/><circle cx="12" cy="17.2" r="1.2" fill="#000" stroke="none"/>)"}},
      {"book",
       {R"(<path d="M12 6.5 C10 4.8 6 4.3 2.5 4.8 V19 C6 18.5 10 19 12 20.5 C14 19 18 18.5 21.5 19 V4.8 )"
        R"(C18 4.3 14 4.8 12 6.5 Z M12 6.5 V20.5"/>)",
        ""}},
      {"book.fill",
       {R"(<path d="M12 6.5 C10 4.8 6 4.3 2.5 4.8 V19 C6 18.5 10 19 12 20.5 C14 19 18 18.5 21.5 19 V4.8 )"
        R"(C18 4.3 14 4.8 12 6.5 Z" fill="#000"/>)",
        R"(<path d="M12 7.5 V19.5" stroke-width="1.4"/>)"}},
      {"wand.and.stars",
       {R"(<path d="M3 21 L14 10" stroke-width="2.6"/>)"
        R"(<g fill="#000" stroke="none"><path d="M17 1.8 L18 5 L21.2 6 L18 7 L17 10.2 L16 7 L12.8 6 L16 5 Z"/>)"
        R"(<path d="M8 2.5 L8.6 4.4 L10.5 5 L8.6 5.6 L8 7.5 L7.4 5.6 L5.5 5 L7.4 4.4 Z"/>)"
        R"(<path d="M19.5 12.5 L20.1 14.4 L22 15 L20.1 15.6 L19.5 17.5 L18.9 15.6 L17 15 L18.9 14.4 Z"/></g>)",
        ""}},
      {"play.circle.fill",
       {R"(<circle cx="12" cy="12" r="10.5" fill="#000" stroke="none"/>)",
        R"(<path d="M9.8 7.6 L16.6 12 L9.8 16.4 Z" fill="#000" stroke="none"/>)"}},
      {"pause.circle.fill",
       {R"(<circle cx="12" cy="12" r="10.5" fill="#000" stroke="none"/>)",
        R"(<g fill="#000" stroke="none"><rect x="8.3" y="7.5" width="2.6" height="9" rx="0.8"/>)"
        R"(<rect x="13.1" y="7.5" width="2.6" height="9" rx="0.8"/></g>)"}},
      {"doc.badge.gearshape",
       {R"(<path d="M12 21 H6 A2 2 0 0 1 4 19 V4 A2 2 0 0 1 6 2 H13 L18 7 V11"/><path d="M13 2 V7 H18"/>)"
        R"(<circle cx="17.5" cy="17.5" r="2.4"/><path d="M17.5 12.8 V14.2 M17.5 20.8 V22.2 M12.8 17.5 H14.2 )"
        R"(M20.8 17.5 H22.2 M14.2 14.2 L15.1 15.1 M19.9 19.9 L20.8 20.8 M14.2 20.8 L15.1 19.9 M19.9 15.1 L20.8 14.2"/>)",
        ""}},
      {"hourglass",
       {R"(<path d="M6 2.5 H18 M6 21.5 H18 M7 2.5 C7 8 12 10 12 12 C12 14 7 16 7 21.5 )"
        R"(M17 2.5 C17 8 12 10 12 12 C12 14 17 16 17 21.5"/>)",
        ""}},
      {"info.circle",
       {R"(<circle cx="12" cy="12" r="9.5"/><path d="M12 11 V17"/>)"
        R"(<circle cx="12" cy="7.6" r="1.2" fill="#000" stroke="none"/>)",
        ""}},
      {"lock.fill",
       {R"(<path d="M7.5 10.5 V7.5 A4.5 4.5 0 0 1 16.5 7.5 V10.5"/>)"
        R"(<rect x="4.5" y="10.5" width="15" height="11" rx="2" fill="#000" stroke="none"/>)",
        ""}},
      {"keyboard.fill",
       {R"(<rect x="1.5" y="5" width="21" height="14" rx="2.5" fill="#000" stroke="none"/>)",
        R"(<g fill="#000" stroke="none"><rect x="4.6" y="8.2" width="2.2" height="2.2" rx="0.5"/>)"
        R"(<rect x="8.1" y="8.2" width="2.2" height="2.2" rx="0.5"/><rect x="11.6" y="8.2" width="2.2" height="2.2" rx="0.5"/>)"
        R"(<rect x="15.1" y="8.2" width="2.2" height="2.2" rx="0.5"/><rect x="6.3" y="11.6" width="2.2" height="2.2" rx="0.5"/>)"
        R"(<rect x="9.8" y="11.6" width="2.2" height="2.2" rx="0.5"/><rect x="13.3" y="11.6" width="2.2" height="2.2" rx="0.5"/>)"
        R"(<rect x="16.8" y="11.6" width="2.2" height="2.2" rx="0.5"/><rect x="7.5" y="15" width="9" height="1.8" rx="0.6"/></g>)"}},
      {"bolt.slash.fill",
       {R"(<path d="M13.5 1.5 L4.5 13.5 H11 L9.5 22.5 L19.5 10 H13 Z" fill="#000" stroke-width="1.2"/>)"
        R"(<path d="M3 3 L21 21"/>)",
        R"(<path d="M4.5 1.5 L22.5 19.5" stroke-width="1.5"/>)"}},
      {"checkmark.shield",
       {R"(<path d="M12 2.5 L20 5.5 V11.5 C20 16.5 16.5 20 12 21.5 C7.5 20 4 16.5 4 11.5 V5.5 Z"/>)"
        R"(<path d="M8.3 11.8 L11 14.5 L15.9 9.2"/>)",
        ""}},
      {"speedometer",
       {R"(<path d="M4.2 18.5 A9.5 9.5 0 1 1 19.8 18.5"/>)"
        R"(<path d="M12 13.5 L16.2 8.6" stroke-width="2.4"/><circle cx="12" cy="13.5" r="1.7" fill="#000" stroke="none"/>)"
        R"(<path d="M5.4 12.5 H6.8 M17.2 12.5 H18.6 M7.3 7.6 L8.3 8.6 M12 5.4 V6.8"/>)",
        ""}},
      {"globe",
       {R"(<circle cx="12" cy="12" r="9.5"/><ellipse cx="12" cy="12" rx="4" ry="9.5"/>)"
        R"(<path d="M2.5 12 H21.5 M4 7 H20 M4 17 H20"/>)",
        ""}},
      // The walk-through's keys and points.
      {"capslock.fill",
       {R"(<path d="M12 3 L21 12 H16.5 V15.5 H7.5 V12 H3 Z" fill="#000"/><rect x="7.5" y="18" width="9" height="3" rx="0.5" fill="#000"/>)",
        ""}},
      {"option", {R"(<path d="M3 6 H8.5 L15 18 H21 M14 6 H21"/>)", ""}},
      {"control", {R"(<path d="M5 13 L12 6 L19 13"/>)", ""}},
      {"command",
       {R"(<path d="M9 9 V15 M15 9 V15 M9 9 H15 M9 15 H15 M9 9 H6.5 A2.5 2.5 0 1 1 9 6.5 Z M15 9 V6.5 A2.5 2.5 0 1 1 17.5 9 Z)"
        R"( M9 15 V17.5 A2.5 2.5 0 1 1 6.5 15 Z M15 15 H17.5 A2.5 2.5 0 1 1 15 17.5 Z"/>)",
        ""}},
      {"power.circle.fill",
       {R"(<circle cx="12" cy="12" r="10.5" fill="#000" stroke="none"/>)",
        R"(<path d="M12 6.5 V11.5 M8.4 8.6 A5 5 0 1 0 15.6 8.6"/>)"}},
      {"chart.bar.xaxis",
       {R"(<path d="M3 20.5 H21"/><g fill="#000" stroke="none"><rect x="4.5" y="12" width="3.5" height="6.5" rx="0.8"/>)"
        R"(<rect x="10.2" y="6" width="3.5" height="12.5" rx="0.8"/><rect x="16" y="9" width="3.5" height="9.5" rx="0.8"/></g>)",
        ""}},
      {"chart.pie.fill",
       {R"(<path d="M11 3.5 A8.5 8.5 0 1 0 19.5 12 H11 Z" fill="#000" stroke="none"/>)"
        R"(<path d="M13.5 1.5 A8.5 8.5 0 0 1 21.5 9.5 H13.5 Z" fill="#000" stroke="none"/>)",
        ""}},
      {"hand.raised.fill",
       {R"(<path d="M7 12 V5.5 A1.5 1.5 0 0 1 10 5.5 V11 V3.8 A1.5 1.5 0 0 1 13 3.8 V11 V5 A1.5 1.5 0 0 1 16 5 V12 V8.5)"
        R"( A1.5 1.5 0 0 1 19 8.5 V14.5 C19 18.5 16.5 21.5 12.5 21.5 C9.5 21.5 7.8 20 6.2 17.5 L3.6 13.3)"
        R"( A1.4 1.4 0 0 1 5.9 11.8 L7 13.2 Z" fill="#000" stroke-width="1"/>)",
        ""}},
      {"shield.lefthalf.filled",
       {R"(<path d="M12 2.5 L20 5.5 V11.5 C20 16.5 16.5 20 12 21.5 C7.5 20 4 16.5 4 11.5 V5.5 Z"/>)"
        R"(<path d="M12 2.5 V21.5 C7.5 20 4 16.5 4 11.5 V5.5 Z" fill="#000"/>)",
        ""}},
      {"doc.on.clipboard.fill",
       {R"(<rect x="4" y="4" width="13" height="17" rx="2" fill="#000" stroke="none"/>)"
        R"(<rect x="8" y="2" width="5" height="3.5" rx="1" fill="#000" stroke-width="1"/>)"
        R"(<rect x="10" y="9" width="10.5" height="13" rx="1.8" fill="#000" stroke-width="1.2"/>)",
        R"(<path d="M10.8 9.8 H19.7 V21.2 H10.8 Z" stroke-width="0.8"/>)"}},
      {"delete.backward.fill",
       {R"(<path d="M8.5 5 H19.5 A2.5 2.5 0 0 1 22 7.5 V16.5 A2.5 2.5 0 0 1 19.5 19 H8.5 L2 12 Z" fill="#000"/>)",
        R"(<path d="M11.5 9 L17 14.5 M17 9 L11.5 14.5"/>)"}},
      // Usage page, community box, share invitation and milestone card.
      {"clock", {R"(<circle cx="12" cy="12" r="9.5"/><path d="M12 6.5 V12 L15.5 14"/>)", ""}},
      {"timer",
       {R"(<circle cx="12" cy="13.5" r="8"/><path d="M12 13.5 L15 10 M10 2.5 H14 M12 2.5 V5.5"/>)", ""}},
      {"person.3",
       {R"(<circle cx="12" cy="8" r="3"/><path d="M6.5 19 A5.5 5.5 0 0 1 17.5 19"/>)"
        R"(<circle cx="5" cy="10" r="2.2"/><circle cx="19" cy="10" r="2.2"/>)"
        R"(<path d="M1.5 18 A3.5 3.5 0 0 1 5 14.5 M22.5 18 A3.5 3.5 0 0 0 19 14.5"/>)",
        ""}},
      {"person.badge.plus",
       {R"(<circle cx="9" cy="8" r="3.5"/><path d="M2.5 20 A6.5 6.5 0 0 1 15.5 20 M19 8 V14 M16 11 H22"/>)", ""}},
      {"arrow.clockwise", {R"(<path d="M19.5 12 A7.5 7.5 0 1 1 16.5 6 M17 2 V6.5 H12.5"/>)", ""}},
      {"chart.pie", {R"(<circle cx="12" cy="12" r="9.5"/><path d="M12 2.5 V12 H21.5"/>)", ""}},
      {"hand.raised",
       {R"(<path d="M7 12 V5.5 A1.5 1.5 0 0 1 10 5.5 V11 V3.5 A1.5 1.5 0 0 1 13 3.5 V11 V5 A1.5 1.5 0 0 1 16 5 )"
        R"(V12 V8 A1.5 1.5 0 0 1 19 8 V15 A6.5 6.5 0 0 1 12.5 21.5 A6 6 0 0 1 7.5 19 L4 14 )"
        R"(A1.5 1.5 0 0 1 6.5 12.5 Z"/>)",
        ""}},
      {"sparkles",
       {R"(<g fill="#000" stroke="none"><path d="M10 3 L11.6 8.4 L17 10 L11.6 11.6 L10 17 L8.4 11.6 L3 10 )"
        R"(L8.4 8.4 Z"/><path d="M18 14 L18.8 16.2 L21 17 L18.8 17.8 L18 20 L17.2 17.8 L15 17 L17.2 16.2 Z"/></g>)",
        ""}},
      {"heart.circle.fill",
       {R"(<circle cx="12" cy="12" r="10.5" fill="#000" stroke="none"/>)",
        R"(<path d="M12 17 L7.6 12.6 A2.6 2.6 0 0 1 12 9 A2.6 2.6 0 0 1 16.4 12.6 Z" fill="#000"/>)"}},
      // Radio marks, help and info marks, and the outward link of the
      // dashboard's settings pages.
      {"circle", {R"(<circle cx="12" cy="12" r="9.5"/>)", ""}},
      {"largecircle.fill.circle",
       {R"(<circle cx="12" cy="12" r="9.5"/><circle cx="12" cy="12" r="5" fill="#000" stroke="none"/>)", ""}},
      {"questionmark.circle",
       {R"(<circle cx="12" cy="12" r="9.5"/><path d="M9.3 9.4 A2.8 2.8 0 1 1 12 12.6 V14"/>)"
        R"(<circle cx="12" cy="17.2" r="0.9" fill="#000" stroke="none"/>)",
        ""}},
      {"info.circle.fill",
       {R"(<circle cx="12" cy="12" r="10.5" fill="#000" stroke="none"/>)",
        R"(<path d="M12 11 V17"/><circle cx="12" cy="7.6" r="1.1" fill="#000" stroke="none"/>)"}},
      {"arrow.up.forward.app",
       {R"(<path d="M10 3.5 H6 A2.5 2.5 0 0 0 3.5 6 V18 A2.5 2.5 0 0 0 6 20.5 H18 A2.5 2.5 0 0 0 20.5 18 V14"/>)"
        R"(<path d="M11 13 L20.5 3.5 M14 3.5 H20.5 V10"/>)",
        ""}},
      // The clipboard settings page: pins, trash and the row kinds.
      {"pin",
       {R"(<path d="M9 3 H15 M10 3 V9.5 L6.5 13.5 H17.5 L14 9.5 V3 M12 13.5 V21"/>)", ""}},
      {"plus", {R"(<path d="M12 5 V19 M5 12 H19"/>)", ""}},
      {"trash",
       {R"(<path d="M4 6.5 H20 M9.5 6.5 V4 H14.5 V6.5 M6 6.5 L7 20.5 H17 L18 6.5 M10 10.5 V16.5 M14 10.5 V16.5"/>)",
        ""}},
      {"lock.shield.fill",
       {R"(<path d="M12 2 L20.5 5.2 V11.5 C20.5 16.8 16.8 20.5 12 22 C7.2 20.5 3.5 16.8 3.5 11.5 V5.2 Z" )"
        R"(fill="#000" stroke-width="1"/>)",
        R"(<rect x="8.8" y="11" width="6.4" height="5" rx="1" fill="#000" stroke-width="1"/>)"
        R"(<path d="M10.2 11 V9.6 A1.8 1.8 0 0 1 13.8 9.6 V11" stroke-width="1.4"/>)"}},
  };
  return table;
}

// A name without a drawing: a plain dot.
constexpr SymbolDrawing kFallback{R"(<circle cx="12" cy="12" r="5" fill="#000" stroke="none"/>)", ""};

QImage renderLayer(std::string_view elements, double strokeWidth, const QSize& pixels) {
  QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  if (elements.empty()) return image;
  QString svg = QStringLiteral(
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 24 24\" width=\"24\" height=\"24\">"
                    "<g fill=\"none\" stroke=\"#000\" stroke-width=\"%1\" stroke-linecap=\"round\" "
                    "stroke-linejoin=\"round\">%2</g></svg>")
                    .arg(strokeWidth)
                    .arg(QString::fromUtf8(elements.data(), static_cast<qsizetype>(elements.size())));
  QSvgRenderer renderer(svg.toUtf8());
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
  return image;
}

}  // namespace

bool hasSymbol(const std::string& name) { return drawings().count(name) > 0; }

int symbolExtent(double pointSize) { return static_cast<int>(std::lround(pointSize * 1.25)); }

QPixmap symbolPixmap(const std::string& name, double pointSize, const QColor& color, bool bold,
                     qreal devicePixelRatio) {
  // Pages draw the same few marks many times over; rendering an SVG each
  // time is what made building a page slow.
  QString key = QStringLiteral("symbol:%1:%2:%3:%4:%5")
                    .arg(QString::fromStdString(name))
                    .arg(pointSize)
                    .arg(color.rgba(), 8, 16)
                    .arg(bold ? 1 : 0)
                    .arg(devicePixelRatio);
  QPixmap cached;
  if (QPixmapCache::find(key, &cached)) return cached;

  auto it = drawings().find(name);
  const SymbolDrawing& drawing = it != drawings().end() ? it->second : kFallback;
  int extent = static_cast<int>(std::ceil(symbolExtent(pointSize) * devicePixelRatio));
  QSize pixels(extent, extent);
  // Small symbols need relatively heavier strokes to stay legible.
  double stroke = (bold ? 2.4 : 2.0) * (pointSize < 12 ? 1.2 : 1.0);

  QImage body = renderLayer(drawing.body, stroke, pixels);
  {
    QPainter painter(&body);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(body.rect(), color);
    if (!drawing.cutout.empty()) {
      painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
      painter.drawImage(0, 0, renderLayer(drawing.cutout, stroke, pixels));
    }
  }
  QPixmap pixmap = QPixmap::fromImage(body);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  QPixmapCache::insert(key, pixmap);
  return pixmap;
}

QPixmap applicationIconPixmap(int side, qreal devicePixelRatio) {
  QIcon icon = QApplication::windowIcon();
  if (!icon.isNull()) {
    QPixmap pixmap = icon.pixmap(QSize(side, side), devicePixelRatio);
    if (!pixmap.isNull()) return pixmap;
  }
  QPixmap pixmap(QSize(side, side) * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QRectF tile(side * 0.06, side * 0.06, side * 0.88, side * 0.88);
  QLinearGradient gradient(tile.topLeft(), tile.bottomLeft());
  gradient.setColorAt(0, QColor(64, 156, 255));
  gradient.setColorAt(1, QColor(0, 100, 224));
  QPainterPath path;
  path.addRoundedRect(tile, side * 0.22, side * 0.22);
  painter.fillPath(path, gradient);
  QPixmap mark = symbolPixmap("keyboard.fill", side * 0.45, Qt::white, false, devicePixelRatio);
  QSizeF markSize = QSizeF(mark.size()) / devicePixelRatio;
  painter.drawPixmap(QRectF(tile.center() - QPointF(markSize.width() / 2, markSize.height() / 2), markSize), mark,
                     QRectF(mark.rect()));
  return pixmap;
}

}  // namespace tessa
