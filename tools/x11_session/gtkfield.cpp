// tessavinor-gtkfield (GTK 3) and tessavinor-gtk4field (GTK 4): the GTK
// counterparts of tessavinor-testfield, for the X11 tests, with the same
// arguments and the same lines on standard input and output:
// `line|password|button|multiLine [TEXT]`; READY once the widget holds the
// focus in the active window; "state" answered with "STATE <caret> <text>"
// (caret in UTF-16 units, a newline in the text written as \n); "text <TEXT>"
// sets the text, caret at its end, answering TEXT; "textOnDelete <TEXT>" does
// so at the next Backspace instead, answering ARMED; "focus" answered with
// "FOCUS 1" while the widget has the focus in the active window, else
// "FOCUS 0"; "churn" answered with "CHURN <active changes> <focus outs>"
// (how often the window stopped or started being the active one, and the
// widget lost the focus, since READY); "quit". Kind `headerLine` is a line
// under a header bar (the window draws its own title bar). "announce
// <TEXT>" ("ANNOUNCING") prints "SHOWN <seconds>" once the text is TEXT, as
// the Qt field does.
//
// Started as a user's program starts: GTK loads its accessibility bridge by
// itself, with no variable of ours to turn it on.
#include <gtk/gtk.h>

#include <glib-unix.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "x11_session/field_lines.h"

#if GTK_MAJOR_VERSION >= 4
#define TESSA_GTK4 1
#else
#define TESSA_GTK4 0
#endif

namespace {

struct Field {
  GtkWidget* window = nullptr;
  GtkWidget* focus = nullptr;
  GtkWidget* entry = nullptr;     // line and password
  GtkTextBuffer* buffer = nullptr;  // multiLine
  std::optional<std::string> textOnDelete;
  std::string pending;
  GMainLoop* loop = nullptr;
  bool ready = false;
  int activeChanges = 0, focusOuts = 0;
  std::optional<std::string> announced;
};

std::string text(const Field& f) {
  if (f.buffer) {
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(f.buffer, &start, &end);
    gchar* s = gtk_text_buffer_get_text(f.buffer, &start, &end, TRUE);
    std::string out = s ? s : "";
    g_free(s);
    return out;
  }
  if (!f.entry) return "";
#if TESSA_GTK4
  return gtk_editable_get_text(GTK_EDITABLE(f.entry));
#else
  return gtk_entry_get_text(GTK_ENTRY(f.entry));
#endif
}

// The moment the text becomes the one asked for, on the monotonic clock,
// once: as the Qt field tells it.
void announceIfShown(Field& f) {
  if (!f.announced || text(f) != *f.announced) return;
  f.announced.reset();
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  std::printf("SHOWN %.9f\n", static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9);
  std::fflush(stdout);
}

// The caret in characters, as GTK counts.
int caretCharacters(const Field& f) {
  if (f.buffer) {
    GtkTextIter at;
    gtk_text_buffer_get_iter_at_mark(f.buffer, &at, gtk_text_buffer_get_insert(f.buffer));
    return gtk_text_iter_get_offset(&at);
  }
  return f.entry ? gtk_editable_get_position(GTK_EDITABLE(f.entry)) : 0;
}

// UTF-16 units before the `characters`-th character of `s`.
long utf16Units(const std::string& s, int characters) {
  const char* end = g_utf8_offset_to_pointer(s.c_str(), characters);
  long units = 0;
  for (const char* p = s.c_str(); p < end; p = g_utf8_next_char(p)) units += g_utf8_get_char(p) > 0xffff ? 2 : 1;
  return units;
}

void setText(Field& f, const std::string& value) {
  if (f.buffer) {
    gtk_text_buffer_set_text(f.buffer, value.c_str(), -1);
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(f.buffer, &end);
    gtk_text_buffer_place_cursor(f.buffer, &end);
  } else if (f.entry) {
#if TESSA_GTK4
    gtk_editable_set_text(GTK_EDITABLE(f.entry), value.c_str());
#else
    gtk_entry_set_text(GTK_ENTRY(f.entry), value.c_str());
#endif
    gtk_editable_set_position(GTK_EDITABLE(f.entry), -1);
  }
}

void quit(Field& f) {
  if (f.loop) g_main_loop_quit(f.loop);
}

void answer(const char* line) {
  std::printf("%s\n", line);
  std::fflush(stdout);
}

bool focusedInActiveWindow(const Field& f) {
#if TESSA_GTK4
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(f.window));
  const bool inside = focus && (focus == f.focus || gtk_widget_is_ancestor(focus, f.focus));
  return gtk_window_is_active(GTK_WINDOW(f.window)) && inside;
#else
  return gtk_window_is_active(GTK_WINDOW(f.window)) && gtk_widget_has_focus(f.focus);
#endif
}

void command(Field& f, const std::string& line) {
  if (line == "state") {
    const std::string t = text(f);
    std::printf("STATE %ld %s\n", utf16Units(t, caretCharacters(f)), tessa::xsession::escapedLine(t).c_str());
    std::fflush(stdout);
  } else if (line.rfind("text ", 0) == 0) {
    setText(f, tessa::xsession::unescapedLine(line.substr(5)));
    answer("TEXT");
  } else if (line.rfind("textOnDelete ", 0) == 0) {
    f.textOnDelete = tessa::xsession::unescapedLine(line.substr(13));
    answer("ARMED");
  } else if (line == "focus") {
    answer(focusedInActiveWindow(f) ? "FOCUS 1" : "FOCUS 0");
  } else if (line.rfind("announce ", 0) == 0) {
    f.announced = tessa::xsession::unescapedLine(line.substr(9));
    answer("ANNOUNCING");
    announceIfShown(f);
  } else if (line == "churn") {
    std::printf("CHURN %d %d\n", f.activeChanges, f.focusOuts);
    std::fflush(stdout);
  } else if (line == "quit") {
    quit(f);
  }
}

gboolean readInput(gint fd, GIOCondition, gpointer data) {
  auto& f = *static_cast<Field*>(data);
  char chunk[512];
  const ssize_t n = read(fd, chunk, sizeof chunk);
  if (n <= 0) {
    quit(f);
    return G_SOURCE_REMOVE;
  }
  f.pending.append(chunk, static_cast<size_t>(n));
  size_t nl;
  while ((nl = f.pending.find('\n')) != std::string::npos) {
    const std::string line = f.pending.substr(0, nl);
    f.pending.erase(0, nl + 1);
    command(f, line);
  }
  return G_SOURCE_CONTINUE;
}

// A Backspace while a text is armed puts that text in place and deletes
// nothing: a program rewriting its text while someone deletes in it.
bool takeBackspace(Field& f, guint keyval) {
  if (keyval != GDK_KEY_BackSpace || !f.textOnDelete) return false;
  const std::string t = *f.textOnDelete;
  f.textOnDelete.reset();
  setText(f, t);
  return true;
}

gboolean untilReady(gpointer data) {
  auto& f = *static_cast<Field*>(data);
  if (!focusedInActiveWindow(f)) {
    gtk_window_present(GTK_WINDOW(f.window));
    gtk_widget_grab_focus(f.focus);
    return G_SOURCE_CONTINUE;
  }
  // Taking the focus selected the entry's text: the caret goes to its end
  // instead, as in the Qt field.
  if (f.entry) gtk_editable_set_position(GTK_EDITABLE(f.entry), -1);
  f.ready = true;
  answer("READY");
  return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kind = argc > 1 ? argv[1] : "line";
  const std::string initial = argc > 2 ? argv[2] : "";
  Field f;
#if TESSA_GTK4
  gtk_init();
  f.window = gtk_window_new();
#else
  gtk_init(&argc, &argv);
  f.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
#endif
  gtk_window_set_title(GTK_WINDOW(f.window), "tessavinor-gtkfield");
  gtk_window_set_default_size(GTK_WINDOW(f.window), 320, kind == "multiLine" ? 120 : 60);
  if (kind == "button") {
    f.focus = gtk_button_new_with_label("OK");
  } else if (kind == "multiLine") {
    f.focus = gtk_text_view_new();
    f.buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(f.focus));
  } else if (kind == "password") {
    // Each toolkit's own password field: GTK 4 has a widget of its own.
#if TESSA_GTK4
    f.focus = f.entry = gtk_password_entry_new();
#else
    f.focus = f.entry = gtk_entry_new();
    gtk_entry_set_visibility(GTK_ENTRY(f.entry), FALSE);
#endif
  } else {
    f.focus = f.entry = gtk_entry_new();  // line, headerLine
  }
  setText(f, initial);
  if (f.entry)
    g_signal_connect_swapped(f.entry, "changed", G_CALLBACK(+[](Field* field) { announceIfShown(*field); }), &f);
  if (f.buffer)
    g_signal_connect_swapped(f.buffer, "changed", G_CALLBACK(+[](Field* field) { announceIfShown(*field); }), &f);
  if (kind == "headerLine") {
    GtkWidget* bar = gtk_header_bar_new();
#if !TESSA_GTK4
    gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(bar), TRUE);
#endif
    gtk_window_set_titlebar(GTK_WINDOW(f.window), bar);
  }
  g_signal_connect(f.window, "notify::is-active", G_CALLBACK(+[](GObject*, GParamSpec*, gpointer data) {
                     auto& field = *static_cast<Field*>(data);
                     if (field.ready) ++field.activeChanges;
                   }),
                   &f);
#if TESSA_GTK4
  GtkEventController* focusWatch = gtk_event_controller_focus_new();
  g_signal_connect(focusWatch, "leave", G_CALLBACK(+[](GtkEventControllerFocus*, gpointer data) {
                     auto& field = *static_cast<Field*>(data);
                     if (field.ready) ++field.focusOuts;
                   }),
                   &f);
  gtk_widget_add_controller(f.focus, focusWatch);
#else
  g_signal_connect(f.focus, "focus-out-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer data) -> gboolean {
                     auto& field = *static_cast<Field*>(data);
                     if (field.ready) ++field.focusOuts;
                     return FALSE;
                   }),
                   &f);
#endif
#if TESSA_GTK4
  gtk_window_set_child(GTK_WINDOW(f.window), f.focus);
  GtkEventController* keys = gtk_event_controller_key_new();
  gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_CAPTURE);
  g_signal_connect(keys, "key-pressed",
                   G_CALLBACK(+[](GtkEventControllerKey*, guint keyval, guint, GdkModifierType, gpointer data) -> gboolean {
                     return takeBackspace(*static_cast<Field*>(data), keyval);
                   }),
                   &f);
  gtk_widget_add_controller(f.window, keys);
  g_signal_connect_swapped(f.window, "close-request", G_CALLBACK(+[](Field* field) -> gboolean {
                             quit(*field);
                             return FALSE;
                           }),
                           &f);
#else
  gtk_container_add(GTK_CONTAINER(f.window), f.focus);
  g_signal_connect(f.focus, "key-press-event", G_CALLBACK(+[](GtkWidget*, GdkEventKey* event, gpointer data) -> gboolean {
                     return takeBackspace(*static_cast<Field*>(data), event->keyval);
                   }),
                   &f);
  g_signal_connect_swapped(f.window, "destroy", G_CALLBACK(+[](Field* field) { quit(*field); }), &f);
  gtk_widget_show_all(f.window);
#endif
  gtk_window_present(GTK_WINDOW(f.window));
  gtk_widget_grab_focus(f.focus);
  g_timeout_add(5, untilReady, &f);
  g_unix_fd_add(STDIN_FILENO, G_IO_IN, readInput, &f);
  f.loop = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(f.loop);
  g_main_loop_unref(f.loop);
  return 0;
}
