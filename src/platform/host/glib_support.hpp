#pragma once
// Small C++ handles on GLib: owning pointers for GObjects, signal connection with typed
// handlers, and timers that call a C++ function.

#include <glib-object.h>

#include <chrono>
#include <functional>
#include <memory>

namespace halyard::host {

struct GObjectUnref {
  void operator()(gpointer object) const {
    if (object != nullptr) g_object_unref(object);
  }
};

// Owns one reference to a GObject.
template <class T>
using GObjectHandle = std::unique_ptr<T, GObjectUnref>;

// Connects `handler` (a plain function whose parameters match the signal's) to `signal` of
// `instance`; returns the handler id.
template <class Function>
gulong connectSignal(gpointer instance, const char* signal, Function* handler, gpointer data) {
  return g_signal_connect_data(instance, signal, reinterpret_cast<GCallback>(handler), data,
                               nullptr, G_CONNECT_DEFAULT);
}

// Calls `function` once after `delay` on the default main context; returns the source
// id, which g_source_remove cancels.
guint addTimeout(std::chrono::milliseconds delay, std::function<void()> function);

// Calls `function` once from the main context as soon as it is idle.
guint addIdle(std::function<void()> function);

}  // namespace halyard::host
