#pragma once
// The usage page: how long the page has been open, the all-time total, the
// milestone card while the engine raises it, and the community statistics
// box. The share invitation opens over it 0.6 s after it appears while the
// invitation has not been answered.
#include <memory>
#include <optional>
#include <string>

#include <QPointer>
#include <QScrollArea>

#include "engine/engine_context.h"
#include "engine/engine_settings.h"
#include "engine/engine_stats.h"
#include "engine/hud_notice_sink.h"
#include "ui/dashboard/widgets/share_invitation_sheet.h"

class QLabel;
class QVBoxLayout;

namespace tessa {

class CommunityStatsWidget;
class MilestoneNudgeCard;
class SymbolLabel;
class UptimeDashboardModel;

class UptimeDashboardView final : public QScrollArea {
  Q_OBJECT

 public:
  // `totalsURL` replaces the public totals endpoint (tests).
  UptimeDashboardView(EngineSettings settings, EngineStats stats, HudNotices hud, EngineContext context,
                      QWidget* parent = nullptr, std::optional<std::string> totalsURL = std::nullopt);
  ~UptimeDashboardView() override;

  UptimeDashboardModel& model() const { return *model_; }
  CommunityStatsWidget* communityWidget() const { return community_; }
  MilestoneNudgeCard* nudgeCard() const { return nudge_; }
  ShareInvitationSheet* invitationSheet() const { return sheet_; }
  // Redraws from the model and the engine.
  void refresh();

 signals:
  // The milestone card asked for the payload inspector.
  void payloadInspectorRequested();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QWidget* card(const char* name, const std::string& symbol, QLabel*& label, QLabel*& time, int pixelSize,
                bool secondary, SymbolLabel*& caption);

  EngineSettings settings_;
  EngineStats stats_;
  HudNotices hud_;
  std::shared_ptr<UptimeDashboardModel> model_;
  QVBoxLayout* stack_ = nullptr;
  QLabel* title_ = nullptr;
  QLabel* subtitle_ = nullptr;
  SymbolLabel* sessionCaption_ = nullptr;
  SymbolLabel* totalCaption_ = nullptr;
  QLabel* sessionLabel_ = nullptr;
  QLabel* sessionTime_ = nullptr;
  QLabel* totalLabel_ = nullptr;
  QLabel* totalTime_ = nullptr;
  MilestoneNudgeCard* nudge_ = nullptr;
  CommunityStatsWidget* community_ = nullptr;
  QPointer<ShareInvitationSheet> sheet_;
};

}  // namespace tessa
