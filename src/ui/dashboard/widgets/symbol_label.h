#pragma once
// A symbol followed by a text, as the dashboard's labels and buttons pair
// them. The text wraps when it is longer than the room it has.
#include <string>

#include <QColor>
#include <QLabel>
#include <QWidget>

namespace tessa {

class SymbolLabel final : public QWidget {
  Q_OBJECT

 public:
  SymbolLabel(const std::string& symbol, const QString& text, int pixelSize, const QColor& color,
              QWidget* parent = nullptr, bool bold = false);
  QString text() const { return text_->text(); }
  void setText(const QString& text) { text_->setText(text); }
  QLabel* textLabel() const { return text_; }
  const std::string& symbol() const { return symbol_; }

 private:
  std::string symbol_;
  QLabel* icon_ = nullptr;
  QLabel* text_ = nullptr;
};

// Shared look of the dashboard's boxes and texts.
namespace dashboard_style {
QFont font(const QWidget* reference, int pixelSize, QFont::Weight weight = QFont::Normal, bool monospace = false);
QColor secondaryText(const QPalette& palette);
QColor green();
// A label that wraps and draws plain text.
QLabel* label(const QString& text, const char* name, QWidget* parent, int pixelSize,
              QFont::Weight weight = QFont::Normal);
void setTextColor(QWidget* widget, const QColor& color);
// The rounded, lightly filled box behind a card's content.
void makeGroupBox(QWidget* box);
}  // namespace dashboard_style

}  // namespace tessa
