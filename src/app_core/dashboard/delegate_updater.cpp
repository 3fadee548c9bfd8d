#include "app_core/dashboard/delegate_updater.h"

#include "app_core/app_delegate.h"

namespace tessa {

namespace {

class DelegateUpdater final : public AboutModel::Updater {
 public:
  explicit DelegateUpdater(std::weak_ptr<AppDelegate> delegate) : delegate_(std::move(delegate)) {}
  bool automaticallyChecksForUpdates() const override {
    auto d = delegate_.lock();
    return d && d->automaticallyChecksForUpdates();
  }
  void setAutomaticallyChecksForUpdates(bool on) override {
    if (auto d = delegate_.lock()) d->setAutomaticallyChecksForUpdates(on);
  }
  void checkForUpdates() override {
    if (auto d = delegate_.lock()) d->checkForUpdates();
  }
  bool alive() const { return !delegate_.expired(); }

 private:
  std::weak_ptr<AppDelegate> delegate_;
};

}  // namespace

AboutModel::UpdaterLookup delegateUpdater(std::weak_ptr<AppDelegate> delegate) {
  auto updater = std::make_shared<DelegateUpdater>(std::move(delegate));
  return [updater]() -> AboutModel::Updater* { return updater->alive() ? updater.get() : nullptr; };
}

}  // namespace tessa
