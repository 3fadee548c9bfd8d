#pragma once
// The sheet that asks whether anonymous usage statistics may be sent. Either
// answer closes it; closing it any other way writes nothing, so the usage
// page asks again the next time it is shown.
#include <QDialog>

namespace tessa {

class KeyboardEngine;

class ShareInvitationSheet final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 380;
  ShareInvitationSheet(KeyboardEngine& engine, QWidget* parent = nullptr);

 private:
  KeyboardEngine& engine_;
};

}  // namespace tessa
