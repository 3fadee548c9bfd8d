// Naming the program that owns the clipboard, on a private Xvfb.
#include "platform/x11/x11_selection_owner.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include "x11/support/clipboard_clients.h"
#include "x11/support/unavailable.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using x11test::ClipboardOwner;
using xsession::XSession;

class X11SelectionOwnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    session = XSession::start(&why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    owners = X11SelectionOwner::open(session->displayName().c_str());
    ASSERT_NE(owners, nullptr);
  }
  std::unique_ptr<XSession> session;
  std::unique_ptr<X11SelectionOwner> owners;
};

TEST_F(X11SelectionOwnerTest, AWindowThatSaysNothingIsNamedByItsClientsProcess) {
  EXPECT_EQ(owners->ownerWindow(), std::nullopt);
  EXPECT_EQ(owners->selectionOwner(), std::nullopt);
  std::string why;
  // Plain Xlib, no WM_CLASS and no _NET_WM_PID on its selection window.
  auto other = ClipboardOwner::start(*session, ClipboardOwner::Selection::clipboard, "copied", {}, &why);
  ASSERT_NE(other, nullptr) << why;
  auto app = owners->selectionOwner();
  ASSERT_TRUE(app.has_value()) << "the server's X-Resource extension gives the owner's process";
  EXPECT_GT(app->pid, 0);
  EXPECT_NE(app->pid, ::getpid());
  EXPECT_EQ(app->bundleID, "tessavinor-clipowner");
  EXPECT_EQ(app->name, "tessavinor-clip") << "the kernel's 15-character process name";
}

// xclip goes to the background once it owns the selection: the process
// that connected ends and its child carries the connection on, while the
// server still names the one that connected. Nothing was named, and the copy
// was credited to whatever program had the focus.
TEST_F(X11SelectionOwnerTest, AnOwnerThatWentToTheBackgroundIsNamedByTheProcessCarryingItsConnection) {
  std::string why;
  auto other = ClipboardOwner::startInBackground(*session, "copied", {}, &why);
  ASSERT_NE(other, nullptr) << why;
  auto app = owners->selectionOwner();
  ASSERT_TRUE(app.has_value());
  EXPECT_EQ(app->pid, other->servingPid());
  EXPECT_EQ(app->bundleID, "tessavinor-clipowner");
  EXPECT_EQ(app->name, "tessavinor-clip");
}

TEST_F(X11SelectionOwnerTest, AWindowClassNamesTheProgramBeforeItsProcess) {
  xcb_connection_t* c = xcb_connect(session->displayName().c_str(), nullptr);
  ASSERT_FALSE(xcb_connection_has_error(c));
  const xcb_setup_t* setup = xcb_get_setup(c);
  xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
  xcb_window_t w = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    screen->root_visual, 0, nullptr);
  const char cls[] = "gedit\0Gedit";
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof(cls), cls);
  xcb_intern_atom_reply_t* clip = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 9, "CLIPBOARD"), nullptr);
  ASSERT_NE(clip, nullptr);
  xcb_set_selection_owner(c, w, clip->atom, XCB_CURRENT_TIME);
  std::free(clip);
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));  // the server has done it all

  ASSERT_EQ(owners->ownerWindow(), std::optional<uint32_t>(w));
  auto app = owners->selectionOwner();
  ASSERT_TRUE(app.has_value());
  EXPECT_EQ(app->bundleID, "Gedit");
  EXPECT_EQ(app->name, "Gedit");
  EXPECT_EQ(app->pid, ::getpid());
  xcb_disconnect(c);
  // The server drops the client's selection when it notices the closed
  // connection, which our own connection cannot be ordered after.
  for (int i = 0; i < 200 && owners->ownerWindow(); ++i) usleep(10000);
  EXPECT_EQ(owners->selectionOwner(), std::nullopt) << "the owner went with its client";
}

}  // namespace
}  // namespace tessa
