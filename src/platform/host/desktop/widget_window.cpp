#include "platform/host/desktop/widget_window.hpp"

#include <X11/Xatom.h>
#include <gdk/gdkx.h>
#include <gtk-layer-shell.h>
#include <gtk/gtk.h>
#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>

#include "platform/host/desktop/window_accessible.hpp"
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

bool environmentSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Whether the Wayland compositor that WAYLAND_DISPLAY names offers layer-shell; nothing when
// it cannot be reached. Asked with a connection of its own, before GTK opens its display.
std::optional<bool> compositorHasLayerShell() {
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return std::nullopt;
  bool found = false;
  static const wl_registry_listener listener{
      [](void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
        if (std::strcmp(interface, "zwlr_layer_shell_v1") == 0) *static_cast<bool*>(data) = true;
      },
      [](void*, wl_registry*, uint32_t) {}};
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &listener, &found);
  const bool answered = wl_display_roundtrip(display) >= 0;
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  if (!answered) return std::nullopt;
  return found;
}

// What the probe found before GTK started: whether the compositor offers layer-shell;
// nothing when it was not asked.
std::optional<bool>& probedLayerShell() {
  static std::optional<bool> found;
  return found;
}

// Where the Wayland compositor has no layer-shell (GNOME's) but an X display is there
// (XWayland), the window goes through X11: the compositor honours the keep-below, sticky and
// skip-taskbar hints of X11 windows, while a plain Wayland window stacks like any other. A
// backend the user chose is kept.
void chooseBackend() {
  // A compositor handed over as a descriptor is left to GTK: probing would use it up.
  if (!environmentSet("WAYLAND_DISPLAY") || environmentSet("WAYLAND_SOCKET")) return;
  probedLayerShell() = compositorHasLayerShell();
  if (environmentSet("GDK_BACKEND") || !environmentSet("DISPLAY")) return;
  if (probedLayerShell() != true) gdk_set_allowed_backends("x11");
}

// The window manager's list of the windows it manages, bottom to top.
constexpr const char* kStackingList = "_NET_CLIENT_LIST_STACKING";

// Quiet after a move or a menu choice before the state file is written.
constexpr std::chrono::milliseconds kSaveDelay{500};

// From the window's getting the keyboard to its first element's getting the reader's focus.
constexpr std::chrono::milliseconds kFirstFocusDelay{300};

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
  // An X11 window that no window manager manages (click-through on an X server): it keeps
  // itself at the bottom of the stack, above desktop windows.
  bool unmanaged = false;
  bool rgba = false;
  WindowState remembered;
  guint saveTimer = 0;
  GdkWindow* root = nullptr;
  guint stackingIdle = 0;

  std::function<ui::View()> view;
  std::optional<ui::PlacedNode> tree;
  std::string treeJson;
  std::optional<WidgetFamily> sizedFor;
  std::size_t redraws = 0;
  bool presented = false;
  std::vector<std::string> announced;  // by the elements shown
  // The keyboard was asked for (`run --focus`) and not yet given back; on X11, the window
  // that had it then.
  bool focusAsked = false;
  Window previousFocus = 0;
  guint focusIdle = 0;
  guint firstFocus = 0;
  guint menuIdle = 0;

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
    layer = wayland && probedLayerShell().value_or(true) && gtk_layer_is_supported();
    // Under a reparenting window manager the frame would take the clicks whatever input
    // shape the window has. A Wayland compositor running X11 windows (GNOME's) honours the
    // input shape, and there an unmanaged window would stand above every other.
    unmanaged = options.clickThrough && !wayland && !environmentSet("WAYLAND_DISPLAY");

    window = accessibleWindowNew();
    g_object_ref_sink(window);
    gtk_window_set_title(GTK_WINDOW(window), options.title.c_str());
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_accept_focus(GTK_WINDOW(window), FALSE);
    gtk_window_set_focus_on_map(GTK_WINDOW(window), FALSE);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), TRUE);
    gtk_window_set_skip_pager_hint(GTK_WINDOW(window), TRUE);
    gtk_widget_set_app_paintable(window, TRUE);
    chooseVisual();

    if (layer) {
      gtk_layer_init_for_window(GTK_WINDOW(window));
      gtk_layer_set_namespace(GTK_WINDOW(window), options.program.c_str());
      // Above the wallpaper, below every window.
      gtk_layer_set_layer(GTK_WINDOW(window), GTK_LAYER_SHELL_LAYER_BOTTOM);
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
    // A screen reader finds the window by this name, and in it the widget's elements.
    atk_object_set_name(gtk_widget_get_accessible(window), options.accessibleName.c_str());

    connectSignal(area, "draw", &State::onDraw, this);
    connectSignal(area, "notify::scale-factor", &State::onScaleFactor, this);
    connectSignal(gtk_widget_get_screen(window), "composited-changed", &State::onComposited, this);
    connectSignal(window, "delete-event", &State::onDelete, this);
    connectSignal(window, "configure-event", &State::onConfigure, this);
    connectSignal(window, "realize", &State::onRealize, this);
    connectSignal(window, "key-press-event", &State::onKey, this);
    connectSignal(window, "popup-menu", &State::onPopupMenu, this);
    connectSignal(window, "focus-out-event", &State::onFocusOut, this);
    connectSignal(window, "focus-in-event", &State::onFocusIn, this);
    if (unmanaged) connectSignal(window, "map-event", &State::onMap, this);
    if (options.clickThrough) {
      // An empty input region (GTK sets it on every X window the widget gets): every pointer
      // event goes to what lies below.
      cairo_region_t* empty = cairo_region_create();
      gtk_widget_input_shape_combine_region(window, empty);
      cairo_region_destroy(empty);
    } else {
      connectSignal(area, "button-press-event", &State::onButton, this);
    }
    resize(loop.family());
  }

  // Transparent corners need a compositor and a visual with alpha. The visual is chosen
  // before the window is realized; a compositor that starts later gets it then.
  void chooseVisual() {
    GdkScreen* screen = gtk_widget_get_screen(window);
    GdkVisual* visual = gdk_screen_get_rgba_visual(screen);
    rgba = visual != nullptr && gdk_screen_is_composited(screen);
    gtk_widget_set_visual(window, rgba ? visual : gdk_screen_get_system_visual(screen));
  }

  void buildMenu() {
    menu = gtk_menu_new();
    g_object_ref_sink(menu);
    const std::vector<std::string> name{options.title};
    atk_object_set_name(gtk_widget_get_accessible(menu),
                        ui::formatLocalized(text("%@: tamaño"), name).c_str());
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
        scheduleSave();
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
          scheduleSave();
        });
      }
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
    addAction(gtk_menu_item_new_with_label(text("Salir").c_str()), "activate",
              [this] { loop.quit(); });
    gtk_widget_show_all(menu);
    connectSignal(menu, "deactivate", &State::onMenuClosed, this);
  }

  // The menu closed with the keyboard still here: the reader goes back to the element it
  // was on (once GTK has given the window its focus back).
  static void onMenuClosed(GtkMenuShell*, gpointer data) {
    auto* self = static_cast<State*>(data);
    if (!self->focusAsked || self->menuIdle != 0) return;
    self->menuIdle = addIdle([self] {
      self->menuIdle = 0;
      const int focus = focusedAccessibleElement(self->window);
      if (!self->focusAsked || focus < 0) return;
      focusAccessibleElement(self->window, -1);
      focusAccessibleElement(self->window, focus);
    });
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

  // The first monitor's work area (its whole area on Wayland); nothing before there is one.
  std::optional<ScreenArea> workArea() const {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr) return std::nullopt;
    GdkRectangle bounds{};
    gdk_monitor_get_workarea(monitor, &bounds);
    if (bounds.width <= 0 || bounds.height <= 0) return std::nullopt;
    return ScreenArea{bounds.x, bounds.y, bounds.width, bounds.height};
  }

  void placeLayer() {
    const Corner corner = remembered.corner;
    const bool top = corner == Corner::topLeft || corner == Corner::topRight;
    const bool left = corner == Corner::topLeft || corner == Corner::bottomLeft;
    // Margins that would push the widget off the screen are cut to what fits.
    if (const auto screen = workArea()) {
      const DisplaySize size = familySize(loop.family());
      remembered.marginX =
          clampMargin(remembered.marginX, static_cast<int>(size.width), screen->width);
      remembered.marginY =
          clampMargin(remembered.marginY, static_cast<int>(size.height), screen->height);
    }
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
  // of the primary monitor's work area; always wholly inside that area.
  void placeWindow() {
    if (layer || wayland) return;
    const auto screen = workArea();
    const DisplaySize size = familySize(loop.family());
    const int width = static_cast<int>(size.width);
    const int height = static_cast<int>(size.height);
    long long x = remembered.x.value_or(0);
    long long y = remembered.y.value_or(0);
    if ((!remembered.x || !remembered.y) && screen) {
      x = static_cast<long long>(screen->x) + screen->width - width - remembered.marginX;
      y = static_cast<long long>(screen->y) + remembered.marginY;
    }
    const WindowPosition position = screen
                                        ? clampToArea(x, y, width, height, *screen)
                                        : WindowPosition{static_cast<int>(x), static_cast<int>(y)};
    gtk_window_move(GTK_WINDOW(window), position.x, position.y);
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
    showElements(ui::accessibilityTree(*tree));
    resize(settings.family);
    gtk_widget_queue_draw(area);
    ++redraws;
    present();
  }

  // The elements become the window's accessible children; an announcement that the elements
  // shown before did not have is said.
  void showElements(std::vector<ui::AccessibilityElement> next) {
    std::vector<std::string> said;
    collectAnnouncements(next, said);
    setAccessibleElements(window, next);
    for (const std::string& text : said)
      if (std::find(announced.begin(), announced.end(), text) == announced.end())
        announce(window, text);
    announced = std::move(said);
  }

  static void collectAnnouncements(const std::vector<ui::AccessibilityElement>& elements,
                                   std::vector<std::string>& out) {
    for (const auto& element : elements) {
      if (!element.announcement.empty()) out.push_back(element.announcement);
      collectAnnouncements(element.children, out);
    }
  }

  bool transparent() const {
    return rgba && gdk_screen_is_composited(gtk_widget_get_screen(window));
  }

  void save() {
    if (saveTimer != 0) g_source_remove(saveTimer);
    saveTimer = 0;
    if (options.statePath.empty()) return;
    remembered.family = std::string(familyShortName(loop.family()));
    if (auto error = saveWindowState(options.statePath, remembered))
      g_printerr("%s: %s\n", options.program.c_str(), error->c_str());
  }

  // Written shortly after a move or a choice ends, so that neither a crash nor the X server
  // going away at logout loses it.
  void scheduleSave() {
    if (saveTimer != 0) g_source_remove(saveTimer);
    saveTimer = addTimeout(kSaveDelay, [this] {
      saveTimer = 0;
      save();
    });
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

  // A compositor started or stopped: with one, the window needs a visual with alpha, which
  // only a new X window can have; without one, it is drawn square and opaque.
  static void onComposited(GdkScreen*, gpointer data) {
    auto* self = static_cast<State*>(data);
    const bool wasRgba = self->rgba;
    self->chooseVisual();
    if (self->rgba != wasRgba && gtk_widget_get_realized(self->window)) {
      const bool shown = gtk_widget_get_visible(self->window);
      gtk_widget_hide(self->window);
      gtk_widget_unrealize(self->window);
      if (shown) {
        self->placeWindow();
        gtk_widget_show_all(self->window);
      }
    }
    gtk_widget_queue_draw(self->area);
  }

  // Set on each new X window (a new visual makes one).
  static void onRealize(GtkWidget* widget, gpointer data) {
    auto* self = static_cast<State*>(data);
    if (self->unmanaged) gdk_window_set_override_redirect(gtk_widget_get_window(widget), TRUE);
  }

  // An unmanaged window is stacked by no one but itself: just above the topmost desktop
  // window (a file manager's desktop), else at the very bottom; again whenever the window
  // manager restacks its windows.
  void keepBelow() {
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    if (gdkWindow == nullptr || !GDK_IS_X11_WINDOW(gdkWindow)) return;
    Display* x = GDK_WINDOW_XDISPLAY(gdkWindow);
    const Window self = GDK_WINDOW_XID(gdkWindow);
    const Window rootWindow = DefaultRootWindow(x);
    const std::optional<Window> desktopFrame = topmostDesktopFrame(x, rootWindow);
    gdk_x11_display_error_trap_push(gdk_window_get_display(gdkWindow));
    if (desktopFrame) {
      XWindowChanges changes{};
      changes.sibling = *desktopFrame;
      changes.stack_mode = Above;
      XConfigureWindow(x, self, CWSibling | CWStackMode, &changes);
    } else {
      XLowerWindow(x, self);
    }
    gdk_x11_display_error_trap_pop_ignored(gdk_window_get_display(gdkWindow));
  }

  // The child of the root that holds the topmost client window of the desktop type, from the
  // window manager's stacking list (bottom to top).
  static std::optional<Window> topmostDesktopFrame(Display* x, Window rootWindow) {
    GdkDisplay* display = gdk_x11_lookup_xdisplay(x);
    const Atom stacking = gdk_x11_get_xatom_by_name_for_display(display, kStackingList);
    const Atom typeAtom = gdk_x11_get_xatom_by_name_for_display(display, "_NET_WM_WINDOW_TYPE");
    const Atom desktopType =
        gdk_x11_get_xatom_by_name_for_display(display, "_NET_WM_WINDOW_TYPE_DESKTOP");
    std::optional<Window> found;
    for (const unsigned long client : windowProperty(x, rootWindow, stacking, XA_WINDOW)) {
      for (const unsigned long type : windowProperty(x, client, typeAtom, XA_ATOM)) {
        if (type == desktopType) found = client;
      }
    }
    if (!found) return std::nullopt;
    Window frame = *found;
    for (;;) {
      Window rootReturn = 0;
      Window parent = 0;
      Window* children = nullptr;
      unsigned count = 0;
      if (XQueryTree(x, frame, &rootReturn, &parent, &children, &count) == 0) return std::nullopt;
      if (children != nullptr) XFree(children);
      if (parent == rootWindow || parent == 0) return frame;
      frame = parent;
    }
  }

  // A property of 32-bit items (windows, atoms) of `window`; empty when it has none.
  static std::vector<unsigned long> windowProperty(Display* x, Window window, Atom property,
                                                   Atom type) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> items;
    if (XGetWindowProperty(x, window, property, 0, 4096, False, type, &actualType, &format, &count,
                           &remaining, &data) == Success &&
        data != nullptr && format == 32) {
      const auto* values = reinterpret_cast<const unsigned long*>(data);
      items.assign(values, values + count);
    }
    if (data != nullptr) XFree(data);
    return items;
  }

  static gboolean onMap(GtkWidget*, GdkEvent*, gpointer data) {
    auto* self = static_cast<State*>(data);
    self->keepBelow();
    if (self->root == nullptr) {
      // The root window tells when the window manager restacks, and when any window is
      // mapped, moved or restacked.
      self->root = gdk_screen_get_root_window(gtk_widget_get_screen(self->window));
      gdk_window_set_events(
          self->root, GdkEventMask(gdk_window_get_events(self->root) | GDK_PROPERTY_CHANGE_MASK |
                                   GDK_SUBSTRUCTURE_MASK));
      gdk_window_add_filter(self->root, &State::onRootEvent, self);
    }
    return FALSE;
  }

  static GdkFilterReturn onRootEvent(GdkXEvent* event, GdkEvent*, gpointer data) {
    auto* self = static_cast<State*>(data);
    const auto* x = static_cast<XEvent*>(event);
    GdkWindow* own = gtk_widget_get_window(self->window);
    const bool restacked =
        (x->type == PropertyNotify &&
         x->xproperty.atom == gdk_x11_get_xatom_by_name_for_display(
                                  gdk_window_get_display(self->root), kStackingList)) ||
        (own != nullptr &&
         ((x->type == MapNotify && x->xmap.window != GDK_WINDOW_XID(own)) ||
          (x->type == ConfigureNotify && x->xconfigure.window != GDK_WINDOW_XID(own))));
    // Once per burst of events (a drag moves a window many times).
    if (restacked && self->stackingIdle == 0) {
      self->stackingIdle = addIdle([self] {
        self->stackingIdle = 0;
        self->keepBelow();
      });
    }
    return GDK_FILTER_CONTINUE;
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
      if (self->remembered.x == x && self->remembered.y == y) return FALSE;
      self->remembered.x = x;
      self->remembered.y = y;
      self->scheduleSave();
    }
    return FALSE;
  }

  static gboolean onButton(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* self = static_cast<State*>(data);
    if (event->type != GDK_BUTTON_PRESS) return FALSE;
    if (event->button == GDK_BUTTON_SECONDARY) {
      self->openMenu(reinterpret_cast<GdkEvent*>(event));
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

  // At the pointer for a click; at the widget's corner, its first item chosen, for a key.
  void openMenu(const GdkEvent* click) {
    // Made when first asked for: a menu makes GTK look for a keyboard, which a compositor
    // with no seat at all (Weston without input devices) does not have.
    if (menu == nullptr) buildMenu();
    if (click != nullptr) {
      gtk_menu_popup_at_pointer(GTK_MENU(menu), click);
      return;
    }
    gtk_menu_popup_at_widget(GTK_MENU(menu), area, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST,
                             nullptr);
    gtk_menu_shell_select_first(GTK_MENU_SHELL(menu), FALSE);
  }

  // The Menu key and Shift+F10, once the window has the keyboard.
  static gboolean onPopupMenu(GtkWidget*, gpointer data) {
    auto* self = static_cast<State*>(data);
    if (self->options.clickThrough) return FALSE;
    self->openMenu(nullptr);
    return TRUE;
  }

  // With the keyboard: Escape gives it back; the arrows, Tab, Home and End move the reader's
  // focus through the elements (a screen reader reads each as it gets there).
  static gboolean onKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<State*>(data);
    if (!self->focusAsked) return FALSE;
    const int focus = focusedAccessibleElement(self->window);
    const bool shift = (event->state & GDK_SHIFT_MASK) != 0;
    switch (event->keyval) {
      case GDK_KEY_Escape:
        self->giveBackFocus();
        return TRUE;
      case GDK_KEY_Down:
      case GDK_KEY_Right:
        focusAccessibleElement(self->window, focus + 1);
        return TRUE;
      case GDK_KEY_Tab:
      case GDK_KEY_ISO_Left_Tab:
        focusAccessibleElement(self->window, shift || event->keyval == GDK_KEY_ISO_Left_Tab
                                                 ? std::max(focus - 1, 0)
                                                 : focus + 1);
        return TRUE;
      case GDK_KEY_Up:
      case GDK_KEY_Left:
        focusAccessibleElement(self->window, std::max(focus - 1, 0));
        return TRUE;
      case GDK_KEY_Home:
        focusAccessibleElement(self->window, 0);
        return TRUE;
      case GDK_KEY_End:
        focusAccessibleElement(self->window, std::numeric_limits<int>::max());
        return TRUE;
      default:
        return FALSE;
    }
  }

  // The keyboard arrived: the reader's focus goes to the first element, a moment after the
  // reader has heard of the window (so that it says the window's name first).
  static gboolean onFocusIn(GtkWidget*, GdkEventFocus*, gpointer data) {
    auto* self = static_cast<State*>(data);
    if (self->focusAsked && self->firstFocus == 0 && focusedAccessibleElement(self->window) < 0) {
      self->firstFocus = addTimeout(kFirstFocusDelay, [self] {
        self->firstFocus = 0;
        if (self->focusAsked && focusedAccessibleElement(self->window) < 0)
          focusAccessibleElement(self->window, 0);
      });
    }
    return FALSE;
  }

  // The keyboard went elsewhere (not to the window's own menu): the window takes no focus
  // again until asked.
  static gboolean onFocusOut(GtkWidget*, GdkEventFocus*, gpointer data) {
    auto* self = static_cast<State*>(data);
    if (self->focusAsked && self->focusIdle == 0) {
      self->focusIdle = addIdle([self] {
        self->focusIdle = 0;
        const bool menuOpen = self->menu != nullptr && gtk_widget_get_visible(self->menu);
        if (!menuOpen && !gtk_window_is_active(GTK_WINDOW(self->window))) self->dropFocus();
      });
    }
    return FALSE;
  }

  // Asked for the keyboard: the window accepts the focus and takes it, remembering (on X11)
  // which window had it.
  void takeFocus() {
    if (options.clickThrough || !presented) return;  // nothing there to use
    const bool again = focusAsked;
    focusAsked = true;
    auto* w = GTK_WINDOW(window);
    if (layer) {
      // wlroots compositors give the keyboard only to surfaces of the layers above the
      // windows: while it has the keyboard, the widget stands there, until Escape.
      gtk_layer_set_layer(w, GTK_LAYER_SHELL_LAYER_TOP);
      gtk_layer_set_keyboard_mode(w, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
      return;
    }
    gtk_window_set_accept_focus(w, TRUE);
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    guint32 time = GDK_CURRENT_TIME;
    if (gdkWindow != nullptr && GDK_IS_X11_WINDOW(gdkWindow)) {
      if (!again) previousFocus = focusedWindow(gdkWindow);
      time = gdk_x11_get_server_time(gdkWindow);
    }
    gtk_window_present_with_time(w, time);
  }

  void dropFocus() {
    focusAsked = false;
    focusAccessibleElement(window, -1);
    if (layer) {
      gtk_layer_set_keyboard_mode(GTK_WINDOW(window), GTK_LAYER_SHELL_KEYBOARD_MODE_NONE);
      gtk_layer_set_layer(GTK_WINDOW(window), GTK_LAYER_SHELL_LAYER_BOTTOM);
    } else {
      gtk_window_set_accept_focus(GTK_WINDOW(window), FALSE);
    }
  }

  // Escape: the keyboard goes back to the window that had it (on X11; elsewhere the
  // compositor chooses).
  void giveBackFocus() {
    dropFocus();
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    if (layer || gdkWindow == nullptr || !GDK_IS_X11_WINDOW(gdkWindow)) return;
    GdkDisplay* display = gdk_window_get_display(gdkWindow);
    const guint32 time = gdk_x11_get_server_time(gdkWindow);
    if (previousFocus != 0 && previousFocus != GDK_WINDOW_XID(gdkWindow)) {
      if (GdkWindow* previous = gdk_x11_window_foreign_new_for_display(display, previousFocus)) {
        gdk_window_focus(previous, time);
        g_object_unref(previous);
        return;
      }
    }
    // No window had it: to whatever lies under the pointer.
    gdk_x11_display_error_trap_push(display);
    XSetInputFocus(GDK_WINDOW_XDISPLAY(gdkWindow), PointerRoot, RevertToPointerRoot, time);
    gdk_x11_display_error_trap_pop_ignored(display);
  }

  // The window with the keyboard: the window manager's active window, else the X server's
  // focus; 0 when none.
  static Window focusedWindow(GdkWindow* gdkWindow) {
    Display* x = GDK_WINDOW_XDISPLAY(gdkWindow);
    const Atom active = gdk_x11_get_xatom_by_name_for_display(gdk_window_get_display(gdkWindow),
                                                              "_NET_ACTIVE_WINDOW");
    const auto windows = windowProperty(x, DefaultRootWindow(x), active, XA_WINDOW);
    if (!windows.empty() && windows.front() != 0) return windows.front();
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(x, &focus, &revert);
    return focus > PointerRoot ? focus : 0;
  }

  // Shown once there is something to show.
  void present() {
    if (presented) return;
    presented = true;
    placeWindow();
    gtk_widget_show_all(window);
  }

  ~State() {
    if (root != nullptr) gdk_window_remove_filter(root, &State::onRootEvent, this);
    if (stackingIdle != 0) g_source_remove(stackingIdle);
    if (focusIdle != 0) g_source_remove(focusIdle);
    if (firstFocus != 0) g_source_remove(firstFocus);
    if (menuIdle != 0) g_source_remove(menuIdle);
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

void WidgetWindow::takeFocus() {
  state_->takeFocus();
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
    chooseBackend();
    // The window takes no keyboard input, so it has no use for the keyboard's modifier map.
    // Fixed before the display opens, GTK does not ask for it: a compositor with no seat at
    // all (Weston without input devices) has no keyboard to answer.
    gtk_accelerator_set_default_mod_mask(GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK |
                                                         GDK_MOD1_MASK | GDK_SUPER_MASK |
                                                         GDK_HYPER_MASK | GDK_META_MASK));
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
