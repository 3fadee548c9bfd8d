// tessavinor-testfield: a window whose one widget has the focus, for the X11
// tests. `tessavinor-testfield line|password|button|multiLine [TEXT]`. Prints
// READY once the widget holds the focus in the active window; answers each
// "state" line on standard input with "STATE <caret> <text>" (caret in UTF-16
// units, a newline in the text written as \n), and sets the field's text,
// caret at its end, on "text <TEXT>", answering "TEXT" (the application
// changing its own text, as an autocompletion would), and on "textOnDelete
// <TEXT>" does so at the next Backspace instead (a program rewriting its text
// while someone deletes in it), answering "ARMED"; "focus" is answered with
// "FOCUS 1" while the widget has the focus in the active window, else
// "FOCUS 0". On "refocus" the widget gives up the focus and takes it again
// ("REFOCUSED"); on "busy <MS>" the field renames itself and replaces its text
// every MS milliseconds from then on, as a busy program does ("BUSY"). On
// "announce <TEXT>" ("ANNOUNCING") it prints "SHOWN <seconds>", once, the
// moment its text is TEXT, in seconds of the monotonic clock. On "hide" the
// line field starts hiding its text as a password field does ("HIDDEN").
#include <QAbstractButton>
#include <QKeyEvent>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <unistd.h>

#include "x11_session/field_lines.h"

namespace {

// The one text widget, whichever kind it is.
struct Text {
  QLineEdit* line = nullptr;
  QPlainTextEdit* area = nullptr;

  QString text() const { return line ? line->text() : area ? area->toPlainText() : QString(); }
  int caret() const { return line ? line->cursorPosition() : area ? area->textCursor().position() : 0; }
  void set(const QString& text) {
    if (line) line->setText(text);
    if (area) {
      area->setPlainText(text);
      area->moveCursor(QTextCursor::End);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::string kind = argc > 1 ? argv[1] : "line";
  QWidget window;
  window.setWindowTitle("tessavinor-testfield");
  auto* layout = new QVBoxLayout(&window);
  Text field;
  QWidget* focus = nullptr;
  if (kind == "button") {
    auto* button = new QPushButton("OK");
    button->setAccessibleName("button");
    focus = button;
  } else if (kind == "multiLine") {
    field.area = new QPlainTextEdit;
    field.area->setAccessibleName("field");
    focus = field.area;
  } else {
    field.line = new QLineEdit;
    field.line->setAccessibleName("field");
    if (kind == "password") field.line->setEchoMode(QLineEdit::Password);
    focus = field.line;
  }
  if (argc > 2) field.set(QString::fromUtf8(argv[2]));
  // The text the next Backspace puts in place of its own deletion.
  std::optional<QString> textOnDelete;
  struct DeleteWatcher : QObject {
    std::optional<QString>* text = nullptr;
    Text* field = nullptr;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() != QEvent::KeyPress || !*text) return false;
      if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Backspace) return false;
      field->set(**text);
      text->reset();
      return true;
    }
  } watcher;
  watcher.text = &textOnDelete;
  watcher.field = &field;
  if (field.line || field.area) focus->installEventFilter(&watcher);
  layout->addWidget(focus);
  window.resize(320, field.area ? 120 : 60);
  window.show();
  window.activateWindow();
  focus->setFocus();

  QTimer ready;
  QObject::connect(&ready, &QTimer::timeout, [&] {
    if (!window.isActiveWindow() || QApplication::focusWidget() != focus) {
      window.activateWindow();
      focus->setFocus();
      return;
    }
    ready.stop();
    std::printf("READY\n");
    std::fflush(stdout);
  });
  ready.start(5);

  QTimer busy;
  int busyRound = 0;
  QObject::connect(&busy, &QTimer::timeout, [&] {
    if (!field.line && !field.area) return;
    ++busyRound;
    focus->setAccessibleName(QString("field %1").arg(busyRound));
    field.set(QString("busy %1").arg(busyRound));
  });

  std::optional<QString> announced;
  auto announceIfShown = [&] {
    if (!announced || field.text() != *announced) return;
    announced.reset();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("SHOWN %.9f\n", static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9);
    std::fflush(stdout);
  };
  if (field.line) QObject::connect(field.line, &QLineEdit::textChanged, announceIfShown);
  if (field.area) QObject::connect(field.area, &QPlainTextEdit::textChanged, announceIfShown);

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  std::string pending;
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char chunk[512];
    ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
    if (n <= 0) {
      QApplication::quit();
      return;
    }
    pending.append(chunk, static_cast<size_t>(n));
    size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
      std::string command = pending.substr(0, nl);
      pending.erase(0, nl + 1);
      if (command == "state") {
        std::printf("STATE %d %s\n", field.caret(), tessa::xsession::escapedLine(field.text().toStdString()).c_str());
        std::fflush(stdout);
      } else if (command.rfind("text ", 0) == 0) {
        field.set(QString::fromStdString(tessa::xsession::unescapedLine(command.substr(5))));
        std::printf("TEXT\n");
        std::fflush(stdout);
      } else if (command.rfind("textOnDelete ", 0) == 0) {
        textOnDelete = QString::fromStdString(tessa::xsession::unescapedLine(command.substr(13)));
        std::printf("ARMED\n");
        std::fflush(stdout);
      } else if (command.rfind("announce ", 0) == 0) {
        announced = QString::fromStdString(tessa::xsession::unescapedLine(command.substr(9)));
        std::printf("ANNOUNCING\n");
        std::fflush(stdout);
        announceIfShown();
      } else if (command == "hide") {
        if (field.line) field.line->setEchoMode(QLineEdit::Password);
        std::printf("HIDDEN\n");
        std::fflush(stdout);
      } else if (command == "focus") {
        const bool focused = window.isActiveWindow() && QApplication::focusWidget() == focus;
        std::printf("FOCUS %d\n", focused ? 1 : 0);
        std::fflush(stdout);
      } else if (command == "refocus") {
        focus->clearFocus();
        focus->setFocus();
        std::printf("REFOCUSED\n");
        std::fflush(stdout);
      } else if (command.rfind("busy ", 0) == 0) {
        busy.start(std::max(1, std::atoi(command.substr(5).c_str())));
        std::printf("BUSY\n");
        std::fflush(stdout);
      } else if (command == "quit") {
        QApplication::quit();
      }
    }
  });
  return app.exec();
}
