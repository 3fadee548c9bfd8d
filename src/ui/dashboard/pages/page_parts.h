#pragma once
// Small pieces the dashboard's settings pages share: titled boxes, text in
// the system's text styles and colours, symbols and link-style buttons.
#include <string>

#include <QColor>
#include <QScrollArea>
#include <QString>

class QBoxLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace tessa {

// A vertically scrolling page whose content is as tall as its wrapped text
// needs at the width it is given (a plain scroll area sizes it by its
// unwrapped size hint, which squeezes wrapped lines into each other).
class PageScrollArea : public QScrollArea {
 public:
  explicit PageScrollArea(QWidget* parent = nullptr);
  // Sets the content's height from its layout at the viewport's width; call
  // after anything inside is shown, hidden or changes its text.
  void fitContent();

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

namespace page_parts {

inline QString qs(const std::string& s) { return QString::fromStdString(s); }

// Pixel sizes of the text styles the pages use.
inline constexpr int kTitle2 = 20;
inline constexpr int kTitle3 = 17;
inline constexpr int kHeadline = 14;
inline constexpr int kSubheadline = 13;
inline constexpr int kCallout = 13;
inline constexpr int kCaption = 12;
inline constexpr int kCaption2 = 11;

QColor secondaryColor(const QWidget* widget);

// A plain-text label in `pixelSize`, wrapping when `wrap`.
QLabel* label(const QString& text, QWidget* parent, const char* name, int pixelSize, bool wrap = false);
void setTextColor(QLabel* label, const QColor& color);
void setWeight(QLabel* label, int weight);
QLabel* symbol(const std::string& name, double pointSize, const QColor& color, QWidget* parent,
               const char* objectName = "");

// A titled group box (an empty title draws none) whose content is a column
// with `spacing`; the column is returned through `content`.
QGroupBox* box(const QString& title, QWidget* parent, const char* name, int spacing, QVBoxLayout** content);

// A borderless button drawn like a link, with a symbol before its text and
// the pointing hand over it.
QPushButton* linkButton(const QString& text, const std::string& symbolName, QWidget* parent, const char* name,
                        int pixelSize = kCaption);

// `text` with **…** shown bold, as rich text safe to put in a label.
QString withBoldMarks(const QString& text);

}  // namespace page_parts

}  // namespace tessa
