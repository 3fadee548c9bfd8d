#pragma once
// The card that celebrates a usage milestone and asks a user who does not
// share statistics whether to start. Each answer clears the engine's nudge
// flag, and the page then removes the card.
#include <QFrame>

#include "engine/engine_settings.h"
#include "engine/engine_stats.h"
#include "engine/hud_notice_sink.h"

class QLabel;
class QPushButton;

namespace tessa {

class SymbolLabel;

class MilestoneNudgeCard final : public QFrame {
  Q_OBJECT

 public:
  MilestoneNudgeCard(EngineSettings settings, EngineStats stats, HudNotices hud, QWidget* parent = nullptr);
  // Texts and counts afresh from the engine.
  void refresh();
  bool showInspector() const { return showInspector_; }
  // The payload inspector sheet closed.
  void inspectorClosed() { showInspector_ = false; }

 signals:
  // The user asked to see the exact payload that sharing would send.
  void inspectRequested();

 private:
  EngineSettings settings_;
  EngineStats stats_;
  HudNotices hud_;
  bool showInspector_ = false;
  SymbolLabel* title_ = nullptr;
  QLabel* subtitle_ = nullptr;
  QPushButton* join_ = nullptr;
  QPushButton* remind_ = nullptr;
  QPushButton* decline_ = nullptr;
  QPushButton* inspect_ = nullptr;
};

}  // namespace tessa
