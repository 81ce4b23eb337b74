// Light or dark as the desktop portal says, read from a stand-in portal on a private session
// bus: the value at start and its changes.
#include "platform/host/desktop_appearance.hpp"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "child_process.hpp"
#include "platform/host/glib_support.hpp"

namespace halyard::host {
namespace {

using namespace std::chrono_literals;

constexpr const char* kPortalXml = R"(<node>
  <interface name="org.freedesktop.portal.Settings">
    <method name="Read">
      <arg type="s" name="namespace" direction="in"/>
      <arg type="s" name="key" direction="in"/>
      <arg type="v" name="value" direction="out"/>
    </method>
    <signal name="SettingChanged">
      <arg type="s"/><arg type="s"/><arg type="v"/>
    </signal>
  </interface>
</node>)";

// A session bus of the test's own, and a portal on it that answers `scheme` from a thread of
// its own (the widget's side reads it synchronously).
class StandInPortal {
 public:
  explicit StandInPortal(unsigned scheme) : scheme_(scheme) {
    FILE* daemon = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
    if (daemon == nullptr) return;
    char address[512] = {};
    long pid = 0;
    if (std::fscanf(daemon, "%511s %ld", address, &pid) == 2) {
      address_ = address;
      pid_ = static_cast<pid_t>(pid);
    }
    ::pclose(daemon);
    if (address_.empty()) return;
    thread_ = std::thread([this] { serve(); });
    while (!ready_.load())
      std::this_thread::sleep_for(10ms);
  }
  ~StandInPortal() {
    if (context_ != nullptr) {
      g_main_context_invoke(
          context_,
          [](gpointer loop) -> gboolean {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return G_SOURCE_REMOVE;
          },
          loop_);
    }
    if (thread_.joinable()) thread_.join();
    if (pid_ > 0) ::kill(pid_, SIGTERM);
  }
  const std::string& address() const { return address_; }
  bool owned() const { return owned_.load(); }

  // Says that the colour scheme is now `scheme`.
  void change(unsigned scheme) {
    g_dbus_connection_emit_signal(connection_, nullptr, "/org/freedesktop/portal/desktop",
                                  "org.freedesktop.portal.Settings", "SettingChanged",
                                  g_variant_new("(ssv)", "org.freedesktop.appearance",
                                                "color-scheme", g_variant_new_uint32(scheme)),
                                  nullptr);
    g_dbus_connection_flush_sync(connection_, nullptr, nullptr);
  }

 private:
  void serve() {
    context_ = g_main_context_new();
    g_main_context_push_thread_default(context_);
    loop_ = g_main_loop_new(context_, FALSE);
    connection_ = g_dbus_connection_new_for_address_sync(
        address_.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kPortalXml, nullptr);
    static const GDBusInterfaceVTable vtable{&StandInPortal::onCall, nullptr, nullptr, {}};
    if (connection_ != nullptr && node != nullptr) {
      g_dbus_connection_register_object(connection_, "/org/freedesktop/portal/desktop",
                                        node->interfaces[0], &vtable, this, nullptr, nullptr);
      GVariant* reply = g_dbus_connection_call_sync(
          connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
          "RequestName", g_variant_new("(su)", "org.freedesktop.portal.Desktop", 0u),
          G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
      if (reply != nullptr) {
        owned_ = true;
        g_variant_unref(reply);
      }
    }
    ready_ = true;
    g_main_loop_run(loop_);
    if (node != nullptr) g_dbus_node_info_unref(node);
    if (connection_ != nullptr) g_object_unref(connection_);
    g_main_loop_unref(loop_);
    g_main_context_pop_thread_default(context_);
    g_main_context_unref(context_);
  }

  // Read answers a variant holding a variant, as the real portal does.
  static void onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                     GVariant*, GDBusMethodInvocation* invocation, gpointer data) {
    auto* self = static_cast<StandInPortal*>(data);
    g_dbus_method_invocation_return_value(
        invocation,
        g_variant_new("(v)", g_variant_new_variant(g_variant_new_uint32(self->scheme_))));
  }

  unsigned scheme_;
  std::string address_;
  pid_t pid_ = 0;
  std::thread thread_;
  std::atomic<bool> ready_{false};
  std::atomic<bool> owned_{false};
  GMainContext* context_ = nullptr;
  GMainLoop* loop_ = nullptr;
  GDBusConnection* connection_ = nullptr;
};

TEST(DesktopAppearance, FollowsThePortalsColourScheme) {
  if (!testing::executableExists("/usr/bin/dbus-daemon")) GTEST_SKIP() << "no dbus-daemon";
  StandInPortal portal(1);  // prefer dark
  ASSERT_TRUE(portal.owned()) << "the stand-in portal is not on the bus";
  ::setenv("DBUS_SESSION_BUS_ADDRESS", portal.address().c_str(), 1);

  int changes = 0;
  DesktopAppearance appearance([&changes] { ++changes; });
  EXPECT_EQ(appearance.appearance(), ui::Appearance::dark);

  portal.change(2);  // prefer light
  bool expired = false;
  const guint timer = addTimeout(5s, [&expired] { expired = true; });
  while (changes == 0 && !expired)
    g_main_context_iteration(nullptr, TRUE);
  if (!expired) g_source_remove(timer);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(appearance.appearance(), ui::Appearance::light);
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

TEST(DesktopAppearance, KnowsADarkThemeByItsName) {
  for (const char* dark : {"Adwaita:dark", "Adwaita-dark", "Arc-Dark", "x:dark"})
    EXPECT_TRUE(themeIsDark(dark)) << dark;
  for (const char* light : {"", "Adwaita", "Adwaita:light", "dark:light", "Darkly", "-dar"})
    EXPECT_FALSE(themeIsDark(light)) << light;
}

}  // namespace
}  // namespace halyard::host
