#include "platform/host/desktop_appearance.hpp"

#include <gio/gio.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/host/glib_support.hpp"

namespace halyard::host {

namespace {

constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kSettingsInterface = "org.freedesktop.portal.Settings";
constexpr const char* kAppearanceNamespace = "org.freedesktop.appearance";
constexpr const char* kColorSchemeKey = "color-scheme";
// The portal is asked once at start-up and must not hold it up.
constexpr int kReadTimeoutMs = 500;

// Variants nest (Read answers a variant in a variant): the innermost value, if a uint32.
std::optional<unsigned> colorSchemeValue(GVariant* value) {
  GVariant* inner = g_variant_ref(value);
  while (g_variant_is_of_type(inner, G_VARIANT_TYPE_VARIANT)) {
    GVariant* next = g_variant_get_variant(inner);
    g_variant_unref(inner);
    inner = next;
  }
  std::optional<unsigned> out;
  if (g_variant_is_of_type(inner, G_VARIANT_TYPE_UINT32)) out = g_variant_get_uint32(inner);
  g_variant_unref(inner);
  return out;
}

// Only a bus that is already there is used: without an address GLib would try to launch one.
bool sessionBusAvailable() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
    return true;
  const std::string bus = std::string(g_get_user_runtime_dir()) + "/bus";
  return g_file_test(bus.c_str(), G_FILE_TEST_EXISTS);
}

}  // namespace

std::optional<ui::Appearance> appearanceForColorScheme(unsigned value) {
  switch (value) {
    case 1:
      return ui::Appearance::dark;
    case 2:
      return ui::Appearance::light;
    default:
      return std::nullopt;
  }
}

bool themeIsDark(std::string_view theme) {
  // GTK_THEME names a theme and, after a colon, its variant ("Adwaita:dark"); many themes
  // also ship their dark form as "<name>-dark".
  if (const auto colon = theme.find(':'); colon != std::string_view::npos)
    return theme.substr(colon + 1) == "dark";
  constexpr std::string_view kSuffix = "-dark";
  if (theme.size() < kSuffix.size()) return false;
  const std::string_view tail = theme.substr(theme.size() - kSuffix.size());
  return std::equal(tail.begin(), tail.end(), kSuffix.begin(),
                    [](char a, char b) { return g_ascii_tolower(a) == b; });
}

struct DesktopAppearance::State {
  std::function<void()> changed;
  GObjectHandle<GDBusConnection> bus;
  guint subscription = 0;
  std::optional<ui::Appearance> portal;
  GObject* settings = nullptr;
  gulong settingsHandlers[2] = {0, 0};
  ui::Appearance current = ui::Appearance::light;

  ui::Appearance compute() const {
    if (portal) return *portal;
    if (settings == nullptr) return ui::Appearance::light;
    gboolean dark = FALSE;
    g_object_get(settings, "gtk-application-prefer-dark-theme", &dark, nullptr);
    if (dark) return ui::Appearance::dark;
    // The theme in use: GTK_THEME overrides the setting.
    std::string theme;
    if (const char* forced = std::getenv("GTK_THEME"); forced != nullptr && *forced != '\0') {
      theme = forced;
    } else {
      gchar* name = nullptr;
      g_object_get(settings, "gtk-theme-name", &name, nullptr);
      theme = name != nullptr ? name : "";
      g_free(name);
    }
    return themeIsDark(theme) ? ui::Appearance::dark : ui::Appearance::light;
  }

  void update() {
    const ui::Appearance next = compute();
    if (next == current) return;
    current = next;
    if (changed) changed();
  }

  void connectPortal() {
    if (!sessionBusAvailable()) return;
    bus.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    if (!bus) return;
    subscription = g_dbus_connection_signal_subscribe(
        bus.get(), kPortalName, kSettingsInterface, "SettingChanged", kPortalPath,
        kAppearanceNamespace, G_DBUS_SIGNAL_FLAGS_NONE, &State::onSettingChanged, this, nullptr);
    GVariant* reply = g_dbus_connection_call_sync(
        bus.get(), kPortalName, kPortalPath, kSettingsInterface, "Read",
        g_variant_new("(ss)", kAppearanceNamespace, kColorSchemeKey), nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kReadTimeoutMs, nullptr, nullptr);
    if (reply != nullptr) {
      // Read answers a tuple (v) whose value is itself a variant.
      GVariant* value = g_variant_get_child_value(reply, 0);
      if (auto scheme = colorSchemeValue(value)) portal = appearanceForColorScheme(*scheme);
      g_variant_unref(value);
      g_variant_unref(reply);
    }
    current = compute();
  }

  static void onSettingChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                               const gchar*, GVariant* parameters, gpointer data) {
    auto* self = static_cast<State*>(data);
    const gchar* nameSpace = nullptr;
    const gchar* key = nullptr;
    GVariant* value = nullptr;
    g_variant_get(parameters, "(&s&sv)", &nameSpace, &key, &value);
    if (std::string(nameSpace) == kAppearanceNamespace && std::string(key) == kColorSchemeKey) {
      if (auto scheme = colorSchemeValue(value)) self->portal = appearanceForColorScheme(*scheme);
      self->update();
    }
    g_variant_unref(value);
  }

  static void onSetting(GObject*, GParamSpec*, gpointer data) {
    static_cast<State*>(data)->update();
  }

  ~State() {
    if (subscription != 0) g_dbus_connection_signal_unsubscribe(bus.get(), subscription);
    for (const gulong handler : settingsHandlers)
      if (handler != 0) g_signal_handler_disconnect(settings, handler);
  }
};

DesktopAppearance::DesktopAppearance(std::function<void()> changed)
    : state_(std::make_unique<State>()) {
  state_->changed = std::move(changed);
  state_->connectPortal();
}

DesktopAppearance::~DesktopAppearance() = default;

void DesktopAppearance::followPreferDarkSetting(GObject* settings) {
  State& state = *state_;
  if (state.settings != nullptr || settings == nullptr) return;
  state.settings = settings;
  state.settingsHandlers[0] = connectSignal(settings, "notify::gtk-application-prefer-dark-theme",
                                            &State::onSetting, &state);
  state.settingsHandlers[1] =
      connectSignal(settings, "notify::gtk-theme-name", &State::onSetting, &state);
  state.current = state.compute();
}

ui::Appearance DesktopAppearance::appearance() const {
  return state_->current;
}

}  // namespace halyard::host
