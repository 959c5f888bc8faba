#include "platform/linux/X11EventSource.h"

#include <X11/Xlib.h>
#include <glib.h>

#include <new>

namespace linuxport {

namespace {

struct Source {
  GSource base;
  Display* display;
  gpointer socket;
  std::function<void()>* ready;
};

bool queued(GSource* s) {
  return XEventsQueued(reinterpret_cast<Source*>(s)->display, QueuedAlready) > 0;
}

gboolean prepare(GSource* s, gint* timeout) {
  *timeout = -1;
  return queued(s);
}

gboolean check(GSource* s) {
  auto* source = reinterpret_cast<Source*>(s);
  return queued(s) || (g_source_query_unix_fd(s, source->socket) & G_IO_IN);
}

gboolean dispatch(GSource* s, GSourceFunc, gpointer) {
  (*reinterpret_cast<Source*>(s)->ready)();
  return G_SOURCE_CONTINUE;
}

void finalize(GSource* s) {
  delete reinterpret_cast<Source*>(s)->ready;
}

GSourceFuncs funcs{prepare, check, dispatch, finalize, nullptr, nullptr};

}  // namespace

GSource* X11EventSource::attach(Display* display, std::function<void()> ready) {
  GSource* s = g_source_new(&funcs, sizeof(Source));
  auto* source = reinterpret_cast<Source*>(s);
  source->display = display;
  source->ready = new std::function<void()>(std::move(ready));
  source->socket = g_source_add_unix_fd(s, ConnectionNumber(display), G_IO_IN);
  g_source_attach(s, nullptr);
  return s;
}

void X11EventSource::detach(GSource* source) {
  g_source_destroy(source);
  g_source_unref(source);
}

}  // namespace linuxport
