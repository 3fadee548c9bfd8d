#pragma once
// The community statistics box: the public totals or a blurred placeholder,
// and the buttons that switch the sharing of this user's anonymous usage
// statistics on and off. It shows the state its page hands it and keeps none.
#include <QFrame>

#include <string>

#include "base/observable.h"
#include "engine/engine_settings.h"
#include "engine/hud_notice_sink.h"

#include "app_core/dashboard/community_share_state.h"

class QVBoxLayout;

namespace tessa {

class SymbolLabel;

class CommunityStatsWidget final : public QFrame {
  Q_OBJECT

 public:
  CommunityStatsWidget(EngineSettings settings, HudNotices hud, CommunityShareState state, QWidget* parent = nullptr);
  const CommunityShareState& state() const { return state_; }
  // Redraws for `state` (and the engine's language); the same state in the
  // same language leaves the box as it is.
  void setState(const CommunityShareState& state);

 private:
  void rebuild();
  QWidget* cellRow(QWidget* parent);

  EngineSettings settings_;
  HudNotices hud_;
  CommunityShareState state_;
  std::string language_;
  SymbolLabel* title_ = nullptr;
  QWidget* section_ = nullptr;
  QVBoxLayout* layout_ = nullptr;
  Subscription languageChanged_;
};

}  // namespace tessa
