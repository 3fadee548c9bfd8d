#pragma once
// The system clipboard through QClipboard, in clipboard mode only: the
// selection (what the user merely highlights) is never read. The change count
// is bumped on each change of the clipboard, ours included; every write of
// ours carries the own-write marker type, so the history never records it.
//
// On X11 the contents are read on a thread and server connection of their
// own (X11ClipboardReader), so that an owner that never answers cannot hold
// up the main thread; elsewhere (Wayland, offscreen) through QClipboard.
//
// Where the desktop reports changes only to the focused application (Wayland,
// which gives an unfocused client no clipboard events), the history is taken
// when its panel opens: reportsChangesInBackground() answers false there.
#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <string>

#include "platform/pasteboard.h"

class QMimeData;

namespace tessa {

class X11ClipboardReader;

class QtPasteboard final : public QObject, public Pasteboard {
  Q_OBJECT
 public:
  // Needs the QGuiApplication to exist; `platformName` is the Qt platform
  // plug-in's ("xcb", "wayland", "offscreen"), empty for the running one.
  explicit QtPasteboard(QString platformName = {});
  ~QtPasteboard() override;

  int64_t changeCount() const override { return changeCount_; }
  std::vector<PasteboardItem> items() const override;
  void readContents(const PasteboardReadLimits& limits, std::function<void(PasteboardRead)> done) override;
  Subscription observeChanges(std::function<void()> onChange) override;
  bool write(const std::vector<PasteboardItem>& items) override;
  bool reportsChangesInBackground() const override { return !foregroundOnly_; }
  // On X11, the owner of the CLIPBOARD selection (X11SelectionOwner).
  std::optional<RunningApplication> contentsOwner() const override;
  bool namesContentsOwners() const override;

  // The contents of a clipboard as one item, for tests of the conversion.
  static PasteboardItem itemFrom(const QMimeData& data);
  // The same for what an X11 owner sent, by target name.
  static PasteboardItem itemFromTargets(const std::map<std::string, std::string>& targets);
  // Whether reads go through the X11 reader (false: through QClipboard).
  bool readsOnItsOwnConnection() const { return reader_ != nullptr; }
  // The clipboard data a pasteboard item becomes (the own-write marker added).
  static std::unique_ptr<QMimeData> mimeDataFor(const PasteboardItem& item);

 private:
  void clipboardChanged();

  int64_t changeCount_ = 0;
  bool foregroundOnly_ = false;
  bool isX11_ = false;
  mutable std::shared_ptr<class X11SelectionOwner> owners_;  // opened on first use
  std::vector<std::weak_ptr<std::function<void()>>> observers_;
  std::unique_ptr<X11ClipboardReader> reader_;
};

}  // namespace tessa
