#pragma once
// Every text a user can read in a window as it stands: what labels, buttons,
// fields, group boxes, lists and menus show, their tool tips and the names a
// screen reader speaks. Widgets hidden in the window's current state are
// left out, so a text counts only once something shows it.
#include <vector>

#include <QString>

class QMenu;
class QWidget;

namespace tessa::test {

struct ShownText {
  QString where;  // the screen, then the object name of what shows it
  QString text;
};

void appendShownTexts(const QWidget& root, const QString& screen, std::vector<ShownText>& out);
// Each action's text and tool tip, submenus included.
void appendMenuTexts(const QMenu& menu, const QString& screen, std::vector<ShownText>& out);

}  // namespace tessa::test
