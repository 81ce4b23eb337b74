#include "platform/host/desktop/widget_window.hpp"

#include <gtk-layer-shell.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "platform/host/desktop_appearance.hpp"
#include "platform/host/glib_support.hpp"
#include "platform/host/widget_renderer.hpp"
#include "platform/host/window_state.hpp"
#include "platform/render/renderer.hpp"
#include "platform/ui/placed_tree_json.hpp"
#include "platform/ui/text.hpp"

namespace halyard::host {

namespace {

// What a menu item does; kept alive by the window for the menu's lifetime.
struct MenuAction {
  std::function<void()> run;
};

void onMenuActivate(GtkMenuItem*, gpointer data) {
  static_cast<MenuAction*>(data)->run();
}

void onRadioToggled(GtkCheckMenuItem* item, gpointer data) {
  if (gtk_check_menu_item_get_active(item)) static_cast<MenuAction*>(data)->run();
}

bool isWaylandDisplay(GdkDisplay* display) {
  return std::strcmp(G_OBJECT_TYPE_NAME(display), "GdkWaylandDisplay") == 0;
}

// The menu's texts, in Spanish like the widget's (localisable keys of its text domain).
const char* familyLabel(WidgetFamily family) {
  switch (family) {
    case WidgetFamily::systemSmall:
      return "Pequeño";
    case WidgetFamily::systemMedium:
      return "Mediano";
    case WidgetFamily::systemLarge:
      return "Grande";
    case WidgetFamily::systemExtraLarge:
      return "Muy grande";
    default:
      return nullptr;
  }
}

const char* cornerLabel(Corner corner) {
  switch (corner) {
    case Corner::topLeft:
      return "Arriba a la izquierda";
    case Corner::topRight:
      return "Arriba a la derecha";
    case Corner::bottomLeft:
      return "Abajo a la izquierda";
    case Corner::bottomRight:
      return "Abajo a la derecha";
  }
  return "";
}

}  // namespace

struct WidgetWindow::State {
  WindowOptions options;
  RunLoop& loop;
  const DesktopAppearance* desktop;
  const ui::TextMeasurer& measurer;

  GtkWidget* window = nullptr;
  GtkWidget* area = nullptr;
  GtkWidget* menu = nullptr;
  std::vector<std::unique_ptr<MenuAction>> actions;
  bool layer = false;
  bool wayland = false;
  bool rgba = false;
  WindowState remembered;

  std::function<ui::View()> view;
  std::optional<ui::PlacedNode> tree;
  std::string treeJson;
  std::optional<WidgetFamily> sizedFor;
  std::size_t redraws = 0;
  bool presented = false;

  State(WindowOptions o, RunLoop& l, const DesktopAppearance* d, const ui::TextMeasurer& m)
      : options(std::move(o)), loop(l), desktop(d), measurer(m) {}

  ui::Appearance appearance() const {
    if (options.appearance) return *options.appearance;
    return desktop != nullptr ? desktop->appearance() : ui::Appearance::light;
  }

  void create() {
    if (!options.statePath.empty()) remembered = loadWindowState(options.statePath);
    GdkDisplay* display = gdk_display_get_default();
    wayland = isWaylandDisplay(display);
    layer = wayland && gtk_layer_is_supported();

    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(window);
    gtk_window_set_title(GTK_WINDOW(window), options.title.c_str());
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_accept_focus(GTK_WINDOW(window), FALSE);
    gtk_window_set_focus_on_map(GTK_WINDOW(window), FALSE);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), TRUE);
    gtk_window_set_skip_pager_hint(GTK_WINDOW(window), TRUE);

    // Transparent corners need a compositor and a visual with alpha.
    GdkScreen* screen = gtk_widget_get_screen(window);
    if (GdkVisual* visual = gdk_screen_get_rgba_visual(screen);
        visual != nullptr && gdk_screen_is_composited(screen)) {
      gtk_widget_set_visual(window, visual);
      rgba = true;
    }
    gtk_widget_set_app_paintable(window, TRUE);

    if (layer) {
      gtk_layer_init_for_window(GTK_WINDOW(window));
      gtk_layer_set_namespace(GTK_WINDOW(window), options.program.c_str());
      gtk_layer_set_layer(GTK_WINDOW(window), GTK_LAYER_SHELL_LAYER_BACKGROUND);
      gtk_layer_set_keyboard_mode(GTK_WINDOW(window), GTK_LAYER_SHELL_KEYBOARD_MODE_NONE);
      gtk_layer_set_exclusive_zone(GTK_WINDOW(window), 0);
      placeLayer();
    } else if (!wayland) {
      gtk_window_set_keep_below(GTK_WINDOW(window), TRUE);
      gtk_window_stick(GTK_WINDOW(window));
      if (options.desktopType)
        gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DESKTOP);
    }

    area = gtk_drawing_area_new();
    gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK);
    gtk_container_add(GTK_CONTAINER(window), area);
    AtkObject* accessible = gtk_widget_get_accessible(area);
    atk_object_set_name(accessible, options.title.c_str());
    atk_object_set_role(accessible, ATK_ROLE_IMAGE);

    connectSignal(area, "draw", &State::onDraw, this);
    connectSignal(area, "notify::scale-factor", &State::onScaleFactor, this);
    connectSignal(screen, "composited-changed", &State::onComposited, this);
    connectSignal(window, "delete-event", &State::onDelete, this);
    connectSignal(window, "configure-event", &State::onConfigure, this);
    if (!options.clickThrough) {
      connectSignal(area, "button-press-event", &State::onButton, this);
      buildMenu();
    }
    resize(loop.family());
  }

  void buildMenu() {
    menu = gtk_menu_new();
    g_object_ref_sink(menu);
    GSList* group = nullptr;
    for (auto family : options.families) {
      const char* label = familyLabel(family);
      if (label == nullptr) continue;
      GtkWidget* item = gtk_radio_menu_item_new_with_label(group, text(label).c_str());
      group = gtk_radio_menu_item_get_group(GTK_RADIO_MENU_ITEM(item));
      gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), family == loop.family());
      addAction(item, "toggled", [this, family] {
        if (family == loop.family()) return;
        loop.setFamily(family);
        save();
      });
    }
    if (layer) {
      gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
      GSList* corners = nullptr;
      for (auto corner :
           {Corner::topLeft, Corner::topRight, Corner::bottomLeft, Corner::bottomRight}) {
        GtkWidget* item =
            gtk_radio_menu_item_new_with_label(corners, text(cornerLabel(corner)).c_str());
        corners = gtk_radio_menu_item_get_group(GTK_RADIO_MENU_ITEM(item));
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), corner == remembered.corner);
        addAction(item, "toggled", [this, corner] {
          remembered.corner = corner;
          placeLayer();
          save();
        });
      }
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
    addAction(gtk_menu_item_new_with_label(text("Salir").c_str()), "activate",
              [this] { loop.quit(); });
    gtk_widget_show_all(menu);
  }

  std::string text(const char* key) const { return ui::localizedString(options.textDomain, key); }

  void addAction(GtkWidget* item, const char* signal, std::function<void()> run) {
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    actions.push_back(std::make_unique<MenuAction>(MenuAction{std::move(run)}));
    if (std::strcmp(signal, "toggled") == 0) {
      connectSignal(item, signal, &onRadioToggled, actions.back().get());
    } else {
      connectSignal(item, signal, &onMenuActivate, actions.back().get());
    }
  }

  void placeLayer() {
    const Corner corner = remembered.corner;
    const bool top = corner == Corner::topLeft || corner == Corner::topRight;
    const bool left = corner == Corner::topLeft || corner == Corner::bottomLeft;
    auto* w = GTK_WINDOW(window);
    gtk_layer_set_anchor(w, GTK_LAYER_SHELL_EDGE_TOP, top);
    gtk_layer_set_anchor(w, GTK_LAYER_SHELL_EDGE_BOTTOM, !top);
    gtk_layer_set_anchor(w, GTK_LAYER_SHELL_EDGE_LEFT, left);
    gtk_layer_set_anchor(w, GTK_LAYER_SHELL_EDGE_RIGHT, !left);
    gtk_layer_set_margin(w, top ? GTK_LAYER_SHELL_EDGE_TOP : GTK_LAYER_SHELL_EDGE_BOTTOM,
                         remembered.marginY);
    gtk_layer_set_margin(w, left ? GTK_LAYER_SHELL_EDGE_LEFT : GTK_LAYER_SHELL_EDGE_RIGHT,
                         remembered.marginX);
  }

  // Where an X11 window first stands: where it stood last time, else at the top-right corner
  // of the primary monitor's work area.
  void placeWindow() {
    if (layer || wayland) return;
    if (remembered.x && remembered.y) {
      gtk_window_move(GTK_WINDOW(window), *remembered.x, *remembered.y);
      return;
    }
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr) return;
    GdkRectangle workarea{};
    gdk_monitor_get_workarea(monitor, &workarea);
    const DisplaySize size = familySize(loop.family());
    gtk_window_move(GTK_WINDOW(window),
                    workarea.x + workarea.width - static_cast<int>(size.width) - remembered.marginX,
                    workarea.y + remembered.marginY);
  }

  void resize(WidgetFamily family) {
    if (sizedFor == family) return;
    sizedFor = family;
    const DisplaySize size = familySize(family);
    const int width = static_cast<int>(size.width);
    const int height = static_cast<int>(size.height);
    gtk_widget_set_size_request(area, width, height);
    gtk_window_resize(GTK_WINDOW(window), width, height);
  }

  void relayout() {
    if (!view) return;
    WidgetRenderSettings settings;
    settings.family = loop.family();
    settings.appearance = appearance();
    settings.scale = gtk_widget_get_scale_factor(area);
    settings.textDomain = options.textDomain;
    ui::PlacedNode next = layoutWidget(view(), settings, measurer);
    std::string json = ui::toJson(next).dump();
    if (tree && json == treeJson) return;
    tree = std::move(next);
    treeJson = std::move(json);
    atk_object_set_description(gtk_widget_get_accessible(area), textSummary(*tree).c_str());
    resize(settings.family);
    gtk_widget_queue_draw(area);
    ++redraws;
    present();
  }

  bool transparent() const {
    return rgba && gdk_screen_is_composited(gtk_widget_get_screen(window));
  }

  void save() {
    if (options.statePath.empty()) return;
    remembered.family = std::string(familyShortName(loop.family()));
    if (auto error = saveWindowState(options.statePath, remembered))
      g_printerr("%s: %s\n", options.program.c_str(), error->c_str());
  }

  static gboolean onDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    auto* self = static_cast<State*>(data);
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    if (self->transparent()) {
      cairo_set_source_rgba(cr, 0, 0, 0, 0);
    } else {
      const ui::RGBA base = ui::resolve(ui::StyleName::windowBackground, self->appearance());
      cairo_set_source_rgb(cr, base.r, base.g, base.b);
    }
    cairo_paint(cr);
    cairo_restore(cr);
    // The context is in points already: GTK scales it for the monitor.
    if (self->tree) render::paint(cr, *self->tree, 1);
    return FALSE;
  }

  static void onScaleFactor(GObject*, GParamSpec*, gpointer data) {
    static_cast<State*>(data)->relayout();
  }

  static void onComposited(GdkScreen*, gpointer data) {
    gtk_widget_queue_draw(static_cast<State*>(data)->area);
  }

  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<State*>(data)->loop.quit();
    return TRUE;
  }

  static gboolean onConfigure(GtkWidget*, GdkEventConfigure*, gpointer data) {
    auto* self = static_cast<State*>(data);
    if (!self->layer && !self->wayland && gtk_widget_get_mapped(self->window)) {
      int x = 0;
      int y = 0;
      gtk_window_get_position(GTK_WINDOW(self->window), &x, &y);
      self->remembered.x = x;
      self->remembered.y = y;
    }
    return FALSE;
  }

  static gboolean onButton(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* self = static_cast<State*>(data);
    if (event->type != GDK_BUTTON_PRESS) return FALSE;
    if (event->button == GDK_BUTTON_SECONDARY && self->menu != nullptr) {
      gtk_menu_popup_at_pointer(GTK_MENU(self->menu), reinterpret_cast<GdkEvent*>(event));
      return TRUE;
    }
    if (event->button == GDK_BUTTON_PRIMARY && !self->layer) {
      gtk_window_begin_move_drag(GTK_WINDOW(self->window), static_cast<int>(event->button),
                                 static_cast<int>(event->x_root), static_cast<int>(event->y_root),
                                 event->time);
      return TRUE;
    }
    return FALSE;
  }

  // Shown once there is something to show.
  void present() {
    if (presented) return;
    presented = true;
    if (options.clickThrough) {
      // An empty input region: every pointer event goes to what lies below.
      cairo_region_t* empty = cairo_region_create();
      gtk_widget_input_shape_combine_region(window, empty);
      cairo_region_destroy(empty);
    }
    placeWindow();
    gtk_widget_show_all(window);
  }

  ~State() {
    save();
    if (menu != nullptr) {
      gtk_widget_destroy(menu);
      g_object_unref(menu);
    }
    if (window != nullptr) {
      g_signal_handlers_disconnect_by_data(gtk_widget_get_screen(window), this);
      gtk_widget_destroy(window);
      g_object_unref(window);
    }
  }
};

WidgetWindow::WidgetWindow(WindowOptions options, RunLoop& loop,
                           const DesktopAppearance* appearance, const ui::TextMeasurer& measurer)
    : state_(std::make_unique<State>(std::move(options), loop, appearance, measurer)) {
  state_->create();
}

WidgetWindow::~WidgetWindow() = default;

void WidgetWindow::show(const HostEntry& entry) {
  state_->view = entry.view;
  state_->relayout();
}

void WidgetWindow::appearanceChanged() {
  state_->relayout();
}

bool WidgetWindow::layerShell() const {
  return state_->layer;
}

std::size_t WidgetWindow::redraws() const {
  return state_->redraws;
}

void provideGtkDesktopWindows() {
  DesktopWindows windows;
  windows.open = [](const std::string& program) -> std::optional<std::string> {
    g_set_prgname(program.c_str());
    if (gtk_init_check(nullptr, nullptr)) return std::nullopt;
    for (const char* variable : {"WAYLAND_DISPLAY", "DISPLAY"}) {
      if (const char* value = std::getenv(variable); value && *value)
        return std::string("cannot open a display: ") + variable + "=" + value;
    }
    return std::string("cannot open a display: neither WAYLAND_DISPLAY nor DISPLAY is set");
  };
  windows.followToolkitAppearance = [](DesktopAppearance& appearance) {
    appearance.followPreferDarkSetting(G_OBJECT(gtk_settings_get_default()));
  };
  windows.create = [](WindowOptions options, RunLoop& loop, const DesktopAppearance* appearance,
                      const ui::TextMeasurer& measurer) -> std::unique_ptr<DesktopWindow> {
    return std::make_unique<WidgetWindow>(std::move(options), loop, appearance, measurer);
  };
  provideDesktopWindows(std::move(windows));
}

}  // namespace halyard::host
