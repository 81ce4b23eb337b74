#include "platform/host/glib_support.hpp"

#include <algorithm>
#include <limits>

namespace halyard::host {

namespace {

using Function = std::function<void()>;

gboolean callOnce(gpointer data) {
  (*static_cast<Function*>(data))();
  return G_SOURCE_REMOVE;
}

void destroy(gpointer data) {
  delete static_cast<Function*>(data);
}

}  // namespace

guint addTimeout(std::chrono::milliseconds delay, std::function<void()> function) {
  const auto milliseconds = std::clamp<std::chrono::milliseconds::rep>(
      delay.count(), 0, std::numeric_limits<guint>::max());
  return g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(milliseconds), callOnce,
                            new Function(std::move(function)), destroy);
}

guint addIdle(std::function<void()> function) {
  return g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, callOnce, new Function(std::move(function)),
                         destroy);
}

}  // namespace halyard::host
