#include "support/shown_texts.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace tessa::test {

namespace {

void add(std::vector<ShownText>& out, const QString& where, const QString& text) {
  if (!text.trimmed().isEmpty()) out.push_back({where, text});
}

// A button's, a group box's or an action's text as drawn: "&&" is one
// ampersand and a single "&" only marks the shortcut letter.
QString withoutMnemonics(const QString& text) {
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

void appendOwnTexts(const QWidget& w, const QString& where, std::vector<ShownText>& out) {
  if (w.isWindow()) add(out, where, w.windowTitle());
  add(out, where, w.toolTip());
  add(out, where, w.accessibleName());
  add(out, where, w.accessibleDescription());
  if (auto* label = qobject_cast<const QLabel*>(&w)) add(out, where, label->text());
  if (auto* button = qobject_cast<const QAbstractButton*>(&w)) add(out, where, withoutMnemonics(button->text()));
  if (auto* box = qobject_cast<const QGroupBox*>(&w)) add(out, where, withoutMnemonics(box->title()));
  if (auto* line = qobject_cast<const QLineEdit*>(&w)) {
    add(out, where, line->text());
    add(out, where, line->placeholderText());
  }
  if (auto* plain = qobject_cast<const QPlainTextEdit*>(&w)) {
    add(out, where, plain->toPlainText());
    add(out, where, plain->placeholderText());
  }
  if (auto* rich = qobject_cast<const QTextEdit*>(&w)) {
    add(out, where, rich->toPlainText());
    add(out, where, rich->placeholderText());
  }
  if (auto* combo = qobject_cast<const QComboBox*>(&w))
    for (int i = 0; i < combo->count(); ++i) add(out, where, combo->itemText(i));
  for (const QAction* action : w.actions()) {
    add(out, where, withoutMnemonics(action->text()));
    add(out, where, action->toolTip() == action->text() ? QString() : action->toolTip());
  }
}

}  // namespace

void appendShownTexts(const QWidget& root, const QString& screen, std::vector<ShownText>& out) {
  appendOwnTexts(root, screen + " / " + root.objectName(), out);
  for (const QWidget* w : root.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&root)) continue;
    appendOwnTexts(*w, screen + " / " + w->objectName(), out);
  }
}

void appendMenuTexts(const QMenu& menu, const QString& screen, std::vector<ShownText>& out) {
  add(out, screen, menu.title());
  for (const QAction* action : menu.actions()) {
    if (action->isSeparator() || !action->isVisible()) continue;
    add(out, screen, withoutMnemonics(action->text()));
    if (action->toolTip() != action->text()) add(out, screen, action->toolTip());
    if (action->menu()) appendMenuTexts(*action->menu(), screen + " / " + action->text(), out);
  }
}

}  // namespace tessa::test
