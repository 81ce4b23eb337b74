// Light or dark as a stand-in portal on a private session bus says, at start and on change.
#include "platform/host/desktop_appearance.hpp"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "child_process.hpp"
#include "test_support.hpp"

namespace halyard::host {
namespace {

using namespace std::chrono_literals;

constexpr const char* kPortalXml =
    "<node><interface name='org.freedesktop.portal.Settings'><method name='Read'>"
    "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='v' direction='out'/>"
    "</method></interface></node>";

// A portal whose colour scheme reads "prefer dark", served from a thread of its own (the
// widget reads it synchronously) through the context that was default at registration.
struct StandInPortal {
  explicit StandInPortal(const std::string& address)
      : connection(g_dbus_connection_new_for_address_sync(
            address.c_str(),
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr)) {
    if (connection == nullptr) return;
    // Read answers a variant holding a variant, as the real portal does.
    static const GDBusInterfaceVTable vtable{
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
           GDBusMethodInvocation* invocation, gpointer) {
          g_dbus_method_invocation_return_value(
              invocation, g_variant_new("(v)", g_variant_new_variant(g_variant_new_uint32(1))));
        },
        nullptr,
        nullptr,
        {}};
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kPortalXml, nullptr);
    g_main_context_push_thread_default(context);
    g_dbus_connection_register_object(connection, "/org/freedesktop/portal/desktop",
                                      node->interfaces[0], &vtable, nullptr, nullptr, nullptr);
    g_main_context_pop_thread_default(context);
    g_dbus_node_info_unref(node);
    if (GVariant* reply = g_dbus_connection_call_sync(
            connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", "org.freedesktop.portal.Desktop", 0u),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr))
      g_variant_unref(reply);
    serving = std::jthread([this](std::stop_token stop) {
      while (!stop.stop_requested())
        g_main_context_iteration(context, TRUE);
    });
  }
  ~StandInPortal() {
    serving.request_stop();
    g_main_context_wakeup(context);
    if (serving.joinable()) serving.join();
    if (connection != nullptr) g_object_unref(connection);
    g_main_context_unref(context);
  }

  GMainContext* context = g_main_context_new();
  GDBusConnection* connection;
  std::jthread serving;
};

TEST(DesktopAppearance, FollowsThePortalsColourScheme) {
  if (::access("/usr/bin/dbus-daemon", X_OK) != 0) GTEST_SKIP() << "no dbus-daemon";
  testing::TempDir dir;
  testing::ChildProcess bus({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, {},
                            dir.file("bus"));
  std::string address;
  ASSERT_TRUE(testing::eventually([&] { return (address = bus.out()).ends_with('\n'); }, 10s));
  address.pop_back();
  StandInPortal portal(address);
  ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);

  int changes = 0;
  DesktopAppearance appearance([&changes] { ++changes; });
  EXPECT_EQ(appearance.appearance(), ui::Appearance::dark);

  // To "prefer light".
  g_dbus_connection_emit_signal(
      portal.connection, nullptr, "/org/freedesktop/portal/desktop",
      "org.freedesktop.portal.Settings", "SettingChanged",
      g_variant_new("(ssv)", "org.freedesktop.appearance", "color-scheme", g_variant_new_uint32(2)),
      nullptr);
  EXPECT_TRUE(testing::eventually(
      [&] { return g_main_context_iteration(nullptr, FALSE) && changes > 0; }, 5s));
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
