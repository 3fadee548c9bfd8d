// What the AT-SPI back end learns without asking: the desktop's switch as the
// launcher announces it, and the focus moving as the programs announce it.
#include <dbus/dbus.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "base/task_runner.h"
#include "platform/x11/atspi_accessibility.h"
#include "x11/support/unavailable.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using Signal = AtspiDesktopSwitch::Signal;
using xsession::TestField;
using xsession::waitUntil;
using xsession::XSession;

// A PropertiesChanged signal of `iface` at `path` with one boolean property
// changed (none: an empty dictionary) and the names in `invalidated`.
std::unique_ptr<DBusMessage, void (*)(DBusMessage*)> propertiesChanged(
    const char* path, const char* iface, const char* property, bool value,
    const std::vector<const char*>& invalidated = {}) {
  DBusMessage* m = dbus_message_new_signal(path, DBUS_INTERFACE_PROPERTIES, "PropertiesChanged");
  DBusMessageIter it, dict, entry, variant, names;
  dbus_message_iter_init_append(m, &it);
  dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &iface);
  dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "{sv}", &dict);
  if (property) {
    dbus_bool_t v = value;
    dbus_message_iter_open_container(&dict, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &property);
    dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, "b", &variant);
    dbus_message_iter_append_basic(&variant, DBUS_TYPE_BOOLEAN, &v);
    dbus_message_iter_close_container(&entry, &variant);
    dbus_message_iter_close_container(&dict, &entry);
  }
  dbus_message_iter_close_container(&it, &dict);
  dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "s", &names);
  for (const char* name : invalidated) dbus_message_iter_append_basic(&names, DBUS_TYPE_STRING, &name);
  dbus_message_iter_close_container(&it, &names);
  return {m, dbus_message_unref};
}

std::unique_ptr<DBusMessage, void (*)(DBusMessage*)> nameOwnerChanged(const char* name) {
  DBusMessage* m = dbus_message_new_signal(DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "NameOwnerChanged");
  const char* none = "";
  dbus_message_append_args(m, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &none, DBUS_TYPE_STRING, &none,
                           DBUS_TYPE_INVALID);
  return {m, dbus_message_unref};
}

TEST(AtspiSwitchSignals, OnlyTheSwitchsOwnChangesCountAndAnUnreadableOneIsReadAgain) {
  bool value = false;
  EXPECT_EQ(AtspiDesktopSwitch::interpret(propertiesChanged("/org/a11y/bus", "org.a11y.Status", "IsEnabled", true).get(),
                                          value),
            Signal::value);
  EXPECT_TRUE(value);
  EXPECT_EQ(AtspiDesktopSwitch::interpret(
                propertiesChanged("/org/a11y/bus", "org.a11y.Status", "IsEnabled", false).get(), value),
            Signal::value);
  EXPECT_FALSE(value);
  // Named without its value: read it.
  EXPECT_EQ(AtspiDesktopSwitch::interpret(
                propertiesChanged("/org/a11y/bus", "org.a11y.Status", nullptr, false, {"IsEnabled"}).get(), value),
            Signal::readAgain);
  // The launcher gone or back, or our connection lost: read it.
  EXPECT_EQ(AtspiDesktopSwitch::interpret(nameOwnerChanged("org.a11y.Bus").get(), value), Signal::readAgain);
  auto lost = std::unique_ptr<DBusMessage, void (*)(DBusMessage*)>(
      dbus_message_new_signal(DBUS_PATH_LOCAL, DBUS_INTERFACE_LOCAL, "Disconnected"), dbus_message_unref);
  EXPECT_EQ(AtspiDesktopSwitch::interpret(lost.get(), value), Signal::readAgain);

  // The screen reader's switch, another interface, another object, another name.
  EXPECT_EQ(AtspiDesktopSwitch::interpret(
                propertiesChanged("/org/a11y/bus", "org.a11y.Status", "ScreenReaderEnabled", true).get(), value),
            Signal::unrelated);
  EXPECT_EQ(AtspiDesktopSwitch::interpret(
                propertiesChanged("/org/a11y/bus", "org.example.Other", "IsEnabled", true).get(), value),
            Signal::unrelated);
  EXPECT_EQ(AtspiDesktopSwitch::interpret(
                propertiesChanged("/org/example", "org.a11y.Status", "IsEnabled", true).get(), value),
            Signal::unrelated);
  EXPECT_EQ(AtspiDesktopSwitch::interpret(nameOwnerChanged("org.example.Other").get(), value), Signal::unrelated);
}

class AtspiWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    session = XSession::start(&why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    if (!session->startAccessibilityBus(&why)) TESSA_X11_UNAVAILABLE(why);
    ax = std::make_unique<AtspiAccessibility>(main);
  }

  SerialQueue main{"main"};
  std::unique_ptr<XSession> session;
  std::unique_ptr<AtspiAccessibility> ax;
};

TEST_F(AtspiWatchTest, TheSwitchTurnedOnElsewhereIsAnnouncedAndThenAnsweredWithoutAsking) {
  ASSERT_EQ(session->accessibilityOn(), std::optional<bool>(false));
  std::atomic<int> calls{0};
  std::atomic<bool> seenOn{false};
  auto watch = ax->observeTrust([&] {
    ++calls;
    if (ax->isProcessTrusted(false)) seenOn = true;
  });
  ASSERT_TRUE(waitUntil([&] { return calls.load() >= 1; }, 5.0)) << "the answer as the watch begins";
  EXPECT_FALSE(seenOn.load());

  std::string why;
  ASSERT_TRUE(session->turnAccessibilityOn(&why)) << why;  // on another connection, as the desktop's settings do
  ASSERT_TRUE(waitUntil([&] { return seenOn.load(); }, 5.0));
  EXPECT_TRUE(ax->isProcessTrusted(false));
  EXPECT_EQ(ax->trustProblem(), AXTrustProblem::none);
}

TEST_F(AtspiWatchTest, EachMoveOfTheFocusIsAnnouncedAndItsFieldFoundAtOnce) {
  std::string why;
  ASSERT_TRUE(session->turnAccessibilityOn(&why)) << why;
  std::atomic<int> moves{0};
  auto watch = ax->observeFocus([&] { ++moves; });
  auto field = TestField::start(*session, TestField::Kind::password, "", &why);
  ASSERT_TRUE(field) << why;
  // A program learns who listens when its bridge comes up, a moment after
  // its window: once it answers (on the worker, after the listener is in
  // place), it announces.
  ASSERT_TRUE(waitUntil([&] { return ax->focusedElement(0.2).ok(); }, 5.0, 0.01));

  const int before = moves.load();
  ASSERT_TRUE(field->refocus());
  ASSERT_TRUE(waitUntil([&] { return moves.load() > before; }, 5.0));
  // The element that gained the focus is the focused one.
  auto focused = ax->focusedElement(0.2);
  ASSERT_TRUE(focused.ok());
  EXPECT_EQ(focused.value->pid, field->pid());
  EXPECT_EQ(ax->subrole(*focused.value).value, std::optional<std::string>("AXSecureTextField"));
}

}  // namespace
}  // namespace tessa
