#pragma once
// The sheet that asks whether anonymous usage statistics may be sent. Either
// answer closes it; closing it any other way writes nothing, so the usage
// page asks again the next time it is shown.
#include <QDialog>

#include "engine/engine_settings.h"
#include "engine/hud_notice_sink.h"

namespace tessa {

class ShareInvitationSheet final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 380;
  ShareInvitationSheet(EngineSettings settings, HudNotices hud, QWidget* parent = nullptr);

 private:
  EngineSettings settings_;
  HudNotices hud_;
};

}  // namespace tessa
