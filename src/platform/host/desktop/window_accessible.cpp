// The window's accessible object and its elements, as GObject types of ATK and GTK.
#include "platform/host/desktop/window_accessible.hpp"

#include <gtk/gtk-a11y.h>

#include <algorithm>
#include <cmath>

namespace halyard::host {

namespace {

// What an element object holds besides its ATK name and role.
struct ElementData {
  ui::AccessibilityElement element;  // its children are objects of their own
  std::vector<AtkObject*> children;  // one reference each
  int index = 0;                     // in its parent
  bool defunct = false;              // removed: no longer on the screen
  bool focused = false;              // the reader's focus (the window's keyboard) is here
};

struct HalyardElement {
  AtkObject parent;
  ElementData* data;
};
struct HalyardElementClass {
  AtkObjectClass parentClass;
};

struct HalyardWindowAccessible {
  GtkWindowAccessible parent;
  std::vector<AtkObject*>* children;  // one reference each
  AtkObject* notice;                  // what announce() shows; null before the first
  int focus;                          // the focused child; -1: none
};
struct HalyardWindowAccessibleClass {
  GtkWindowAccessibleClass parentClass;
};

struct HalyardWindow {
  GtkWindow parent;
};
struct HalyardWindowClass {
  GtkWindowClass parentClass;
};

void halyardElementComponentInit(AtkComponentIface* iface);
void halyardElementTextInit(AtkTextIface* iface);

// GObject's type macros cast C-style.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
G_DEFINE_TYPE_WITH_CODE(HalyardElement, halyard_element, ATK_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_COMPONENT, halyardElementComponentInit)
                            G_IMPLEMENT_INTERFACE(ATK_TYPE_TEXT, halyardElementTextInit))
G_DEFINE_TYPE(HalyardWindowAccessible, halyard_window_accessible, GTK_TYPE_WINDOW_ACCESSIBLE)
G_DEFINE_TYPE(HalyardWindow, halyard_window, GTK_TYPE_WINDOW)
#pragma GCC diagnostic pop

ElementData& dataOf(gpointer object) {
  return *reinterpret_cast<HalyardElement*>(object)->data;
}

bool isElement(gpointer object) {
  return G_TYPE_CHECK_INSTANCE_TYPE(object, halyard_element_get_type());
}

AtkRole atkRole(ui::AccessibilityRole role) {
  switch (role) {
    case ui::AccessibilityRole::heading:
      return ATK_ROLE_HEADING;
    case ui::AccessibilityRole::image:
      return ATK_ROLE_IMAGE;
    case ui::AccessibilityRole::group:
      return ATK_ROLE_PANEL;
    case ui::AccessibilityRole::text:
      break;
  }
  return ATK_ROLE_LABEL;
}

// ---- Elements -------------------------------------------------------------------------------

void halyard_element_init(HalyardElement* self) {
  self->data = new ElementData;
}

void elementFinalize(GObject* object) {
  ElementData* data = reinterpret_cast<HalyardElement*>(object)->data;
  for (AtkObject* child : data->children)
    g_object_unref(child);
  delete data;
  G_OBJECT_CLASS(halyard_element_parent_class)->finalize(object);
}

gint elementChildCount(AtkObject* object) {
  return static_cast<gint>(dataOf(object).children.size());
}

AtkObject* elementChild(AtkObject* object, gint index) {
  const auto& children = dataOf(object).children;
  if (index < 0 || static_cast<std::size_t>(index) >= children.size()) return nullptr;
  return ATK_OBJECT(g_object_ref(children[static_cast<std::size_t>(index)]));
}

gint elementIndex(AtkObject* object) {
  return dataOf(object).defunct ? -1 : dataOf(object).index;
}

AtkStateSet* elementStates(AtkObject* object) {
  AtkStateSet* states = ATK_OBJECT_CLASS(halyard_element_parent_class)->ref_state_set(object);
  if (dataOf(object).defunct) {
    atk_state_set_add_state(states, ATK_STATE_DEFUNCT);
  } else {
    for (const AtkStateType state : {ATK_STATE_ENABLED, ATK_STATE_SENSITIVE, ATK_STATE_VISIBLE,
                                     ATK_STATE_SHOWING, ATK_STATE_FOCUSABLE})
      atk_state_set_add_state(states, state);
    if (dataOf(object).focused) atk_state_set_add_state(states, ATK_STATE_FOCUSED);
  }
  return states;
}

void halyard_element_class_init(HalyardElementClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = elementFinalize;
  AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
  atk->get_n_children = elementChildCount;
  atk->ref_child = elementChild;
  atk->get_index_in_parent = elementIndex;
  atk->ref_state_set = elementStates;
}

// The widget whose accessible object holds `object`, up its parents; null once it is gone.
GtkWidget* widgetOf(AtkObject* object) {
  while (object != nullptr && isElement(object))
    object = atk_object_get_parent(object);
  return object != nullptr && GTK_IS_ACCESSIBLE(object)
             ? gtk_accessible_get_widget(GTK_ACCESSIBLE(object))
             : nullptr;
}

// The element's extents in `coordinates`, whole pixels covering its frame.
AtkRectangle elementExtents(AtkObject* object, AtkCoordType coordinates) {
  const ui::Rect& frame = dataOf(object).element.frame;
  double originX = 0;
  double originY = 0;
  if (coordinates == ATK_XY_SCREEN) {
    GtkWidget* widget = widgetOf(object);
    GdkWindow* window = widget != nullptr ? gtk_widget_get_window(widget) : nullptr;
    if (window != nullptr) {
      int x = 0;
      int y = 0;
      gdk_window_get_origin(window, &x, &y);
      originX = x;
      originY = y;
    }
  } else if (coordinates == ATK_XY_PARENT) {
    AtkObject* parent = atk_object_get_parent(object);
    if (parent != nullptr && isElement(parent)) {
      originX = -dataOf(parent).element.frame.x;
      originY = -dataOf(parent).element.frame.y;
    }
  }
  const int x = static_cast<int>(std::floor(originX + frame.x));
  const int y = static_cast<int>(std::floor(originY + frame.y));
  return {x, y, static_cast<int>(std::ceil(originX + frame.maxX())) - x,
          static_cast<int>(std::ceil(originY + frame.maxY())) - y};
}

void componentExtents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height,
                      AtkCoordType coordinates) {
  const AtkRectangle extents = elementExtents(ATK_OBJECT(component), coordinates);
  if (x != nullptr) *x = extents.x;
  if (y != nullptr) *y = extents.y;
  if (width != nullptr) *width = extents.width;
  if (height != nullptr) *height = extents.height;
}

void halyardElementComponentInit(AtkComponentIface* iface) {
  iface->get_extents = componentExtents;
}

// The text of an element is its label. Character extents split the element evenly: the label
// is read in full where the screen may show it shortened.

const std::string& labelOf(AtkText* text) {
  return dataOf(text).element.label;
}

gint characterCount(AtkText* text) {
  return static_cast<gint>(g_utf8_strlen(labelOf(text).c_str(), -1));
}

gchar* textBetween(AtkText* text, gint start, gint end) {
  const gint count = characterCount(text);
  if (end < 0 || end > count) end = count;
  start = std::clamp(start, 0, end);
  return g_utf8_substring(labelOf(text).c_str(), start, end);
}

gunichar characterAt(AtkText* text, gint offset) {
  if (offset < 0 || offset >= characterCount(text)) return 0;
  return g_utf8_get_char(g_utf8_offset_to_pointer(labelOf(text).c_str(), offset));
}

// The character, the word (between spaces) or the whole label (one line) at `offset`.
gchar* textAround(AtkText* text, gint offset, bool character, bool word, gint* start, gint* end) {
  const gint count = characterCount(text);
  offset = std::clamp(offset, 0, count);
  gint from = 0;
  gint to = count;
  if (character) {
    from = offset;
    to = std::min(offset + 1, count);
  } else if (word) {
    from = offset;
    to = offset;
    while (from > 0 && characterAt(text, from - 1) != ' ')
      --from;
    while (to < count && characterAt(text, to) != ' ')
      ++to;
    while (to < count && characterAt(text, to) == ' ')
      ++to;
  }
  if (start != nullptr) *start = from;
  if (end != nullptr) *end = to;
  return textBetween(text, from, to);
}

gchar* textAtOffset(AtkText* text, gint offset, AtkTextBoundary boundary, gint* start, gint* end) {
  return textAround(
      text, offset, boundary == ATK_TEXT_BOUNDARY_CHAR,
      boundary == ATK_TEXT_BOUNDARY_WORD_START || boundary == ATK_TEXT_BOUNDARY_WORD_END, start,
      end);
}

gchar* stringAtOffset(AtkText* text, gint offset, AtkTextGranularity granularity, gint* start,
                      gint* end) {
  return textAround(text, offset, granularity == ATK_TEXT_GRANULARITY_CHAR,
                    granularity == ATK_TEXT_GRANULARITY_WORD, start, end);
}

gint caretOffset(AtkText*) {
  return 0;
}

gint selectionCount(AtkText*) {
  return 0;
}

void characterExtents(AtkText* text, gint offset, gint* x, gint* y, gint* width, gint* height,
                      AtkCoordType coordinates) {
  const AtkRectangle extents = elementExtents(ATK_OBJECT(text), coordinates);
  const gint count = std::max(characterCount(text), 1);
  offset = std::clamp(offset, 0, count - 1);
  if (x != nullptr) *x = extents.x + extents.width * offset / count;
  if (y != nullptr) *y = extents.y;
  if (width != nullptr)
    *width = extents.width * (offset + 1) / count - extents.width * offset / count;
  if (height != nullptr) *height = extents.height;
}

void rangeExtents(AtkText* text, gint start, gint end, AtkCoordType coordinates,
                  AtkTextRectangle* rectangle) {
  const AtkRectangle extents = elementExtents(ATK_OBJECT(text), coordinates);
  const gint count = std::max(characterCount(text), 1);
  start = std::clamp(start, 0, count);
  end = std::clamp(end, start, count);
  rectangle->x = extents.x + extents.width * start / count;
  rectangle->y = extents.y;
  rectangle->width = extents.x + extents.width * end / count - rectangle->x;
  rectangle->height = extents.height;
}

gint offsetAtPoint(AtkText* text, gint x, gint y, AtkCoordType coordinates) {
  const AtkRectangle extents = elementExtents(ATK_OBJECT(text), coordinates);
  if (x < extents.x || y < extents.y || x >= extents.x + extents.width ||
      y >= extents.y + extents.height)
    return -1;
  return (x - extents.x) * characterCount(text) / std::max(extents.width, 1);
}

void halyardElementTextInit(AtkTextIface* iface) {
  iface->get_text = textBetween;
  iface->get_character_count = characterCount;
  iface->get_character_at_offset = characterAt;
  iface->get_text_at_offset = textAtOffset;
  iface->get_string_at_offset = stringAtOffset;
  iface->get_caret_offset = caretOffset;
  iface->get_n_selections = selectionCount;
  iface->get_character_extents = characterExtents;
  iface->get_range_extents = rangeExtents;
  iface->get_offset_at_point = offsetAtPoint;
}

// ---- The window's accessible object -----------------------------------------------------------

std::vector<AtkObject*>& childrenOf(AtkObject* object) {
  if (isElement(object)) return dataOf(object).children;
  return *reinterpret_cast<HalyardWindowAccessible*>(object)->children;
}

void halyard_window_accessible_init(HalyardWindowAccessible* self) {
  self->children = new std::vector<AtkObject*>;
  self->focus = -1;
}

void setFocused(AtkObject* object, bool focused) {
  ElementData& data = dataOf(object);
  if (data.focused == focused) return;
  data.focused = focused;
  atk_object_notify_state_change(object, ATK_STATE_FOCUSED, focused);
}

// Gives the focus to child `index` (clamped to the children; -1: none).
void focusChild(HalyardWindowAccessible* self, int index) {
  const auto& children = *self->children;
  if (index >= 0) index = std::min(index, static_cast<int>(children.size()) - 1);
  if (self->focus >= 0 && self->focus != index &&
      static_cast<std::size_t>(self->focus) < children.size())
    setFocused(children[static_cast<std::size_t>(self->focus)], false);
  self->focus = index;
  if (index >= 0) setFocused(children[static_cast<std::size_t>(index)], true);
}

// Takes `objects` away from `parent`, telling the reader, last first.
void removeAll(AtkObject* parent, std::vector<AtkObject*>& objects) {
  while (!objects.empty()) {
    AtkObject* object = objects.back();
    objects.pop_back();
    dataOf(object).defunct = true;
    removeAll(object, dataOf(object).children);
    atk_object_notify_state_change(object, ATK_STATE_DEFUNCT, TRUE);
    g_signal_emit_by_name(parent, "children-changed::remove", static_cast<guint>(objects.size()),
                          object);
    g_object_unref(object);
  }
}

// Lets the notice go (it holds its parent).
void dropNotice(HalyardWindowAccessible* self) {
  if (self->notice == nullptr) return;
  dataOf(self->notice).defunct = true;
  atk_object_set_parent(self->notice, nullptr);
  g_object_unref(self->notice);
  self->notice = nullptr;
}

void windowAccessibleFinalize(GObject* object) {
  auto* self = reinterpret_cast<HalyardWindowAccessible*>(object);
  for (AtkObject* child : *self->children)
    g_object_unref(child);
  delete self->children;
  dropNotice(self);
  G_OBJECT_CLASS(halyard_window_accessible_parent_class)->finalize(object);
}

gint windowChildCount(AtkObject* object) {
  return static_cast<gint>(childrenOf(object).size());
}

AtkObject* windowChild(AtkObject* object, gint index) {
  const auto& children = childrenOf(object);
  if (index < 0 || static_cast<std::size_t>(index) >= children.size()) return nullptr;
  return ATK_OBJECT(g_object_ref(children[static_cast<std::size_t>(index)]));
}

// The window is gone: so are its elements.
void windowUnset(GtkAccessible* accessible) {
  removeAll(ATK_OBJECT(accessible), childrenOf(ATK_OBJECT(accessible)));
  dropNotice(reinterpret_cast<HalyardWindowAccessible*>(accessible));
  GTK_ACCESSIBLE_CLASS(halyard_window_accessible_parent_class)->widget_unset(accessible);
}

void halyard_window_accessible_class_init(HalyardWindowAccessibleClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = windowAccessibleFinalize;
  AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
  atk->get_n_children = windowChildCount;
  atk->ref_child = windowChild;
  GTK_ACCESSIBLE_CLASS(klass)->widget_unset = windowUnset;
}

void halyard_window_init(HalyardWindow*) {}

void halyard_window_class_init(HalyardWindowClass* klass) {
  gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass),
                                       halyard_window_accessible_get_type());
}

// ---- Updates --------------------------------------------------------------------------------

bool sameShape(const std::vector<AtkObject*>& objects,
               const std::vector<ui::AccessibilityElement>& elements) {
  if (objects.size() != elements.size()) return false;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const ElementData& data = dataOf(objects[i]);
    if (data.element.role != elements[i].role || !sameShape(data.children, elements[i].children))
      return false;
  }
  return true;
}

void addAll(AtkObject* parent, std::vector<AtkObject*>& objects,
            const std::vector<ui::AccessibilityElement>& elements) {
  for (const ui::AccessibilityElement& element : elements) {
    auto* object = ATK_OBJECT(g_object_new(halyard_element_get_type(), nullptr));
    ElementData& data = dataOf(object);
    data.element = element;
    data.element.children.clear();
    data.index = static_cast<int>(objects.size());
    atk_object_set_role(object, atkRole(element.role));
    atk_object_set_name(object, element.label.c_str());
    atk_object_set_parent(object, parent);
    addAll(object, data.children, element.children);
    objects.push_back(object);
    g_signal_emit_by_name(parent, "children-changed::add", static_cast<guint>(data.index), object);
  }
}

void updateInPlace(const std::vector<AtkObject*>& objects,
                   const std::vector<ui::AccessibilityElement>& elements) {
  for (std::size_t i = 0; i < objects.size(); ++i) {
    AtkObject* object = objects[i];
    ElementData& data = dataOf(object);
    const ui::AccessibilityElement& element = elements[i];
    const bool moved = data.element.frame != element.frame;
    data.element.frame = element.frame;
    data.element.announcement = element.announcement;
    if (data.element.label != element.label) {
      data.element.label = element.label;
      atk_object_set_name(object, element.label.c_str());
    }
    if (moved) {
      AtkRectangle extents = elementExtents(object, ATK_XY_SCREEN);
      g_signal_emit_by_name(object, "bounds-changed", &extents);
    }
    updateInPlace(data.children, element.children);
  }
}

}  // namespace

GtkWidget* accessibleWindowNew() {
  return GTK_WIDGET(g_object_new(halyard_window_get_type(), "type", GTK_WINDOW_TOPLEVEL, nullptr));
}

void setAccessibleElements(GtkWidget* window,
                           const std::vector<ui::AccessibilityElement>& elements) {
  AtkObject* accessible = gtk_widget_get_accessible(window);
  if (!G_TYPE_CHECK_INSTANCE_TYPE(accessible, halyard_window_accessible_get_type())) return;
  std::vector<AtkObject*>& children = childrenOf(accessible);
  if (sameShape(children, elements)) {
    updateInPlace(children, elements);
    return;
  }
  removeAll(accessible, children);
  addAll(accessible, children, elements);
  // The focus stays where it was, as far as there are elements.
  auto* self = reinterpret_cast<HalyardWindowAccessible*>(accessible);
  const int focus = self->focus;
  self->focus = -1;
  focusChild(self, focus);
}

int focusAccessibleElement(GtkWidget* window, int index) {
  AtkObject* accessible = gtk_widget_get_accessible(window);
  if (!G_TYPE_CHECK_INSTANCE_TYPE(accessible, halyard_window_accessible_get_type())) return -1;
  auto* self = reinterpret_cast<HalyardWindowAccessible*>(accessible);
  focusChild(self, std::max(index, -1));
  return self->focus;
}

int focusedAccessibleElement(GtkWidget* window) {
  AtkObject* accessible = gtk_widget_get_accessible(window);
  if (!G_TYPE_CHECK_INSTANCE_TYPE(accessible, halyard_window_accessible_get_type())) return -1;
  return reinterpret_cast<HalyardWindowAccessible*>(accessible)->focus;
}

void announce(GtkWidget* window, const std::string& text) {
  AtkObject* accessible = gtk_widget_get_accessible(window);
  if (!G_TYPE_CHECK_INSTANCE_TYPE(accessible, halyard_window_accessible_get_type())) return;
  auto* self = reinterpret_cast<HalyardWindowAccessible*>(accessible);
  // A notification that shows: screen readers speak it whatever has their attention (Orca
  // 43, Debian 12's, does not listen to ATK's newer announcement signal). It is not one of
  // the window's elements: flat review does not find it.
  if (self->notice == nullptr) {
    self->notice = ATK_OBJECT(g_object_new(halyard_element_get_type(), nullptr));
    dataOf(self->notice).index = -1;
    atk_object_set_role(self->notice, ATK_ROLE_NOTIFICATION);
    atk_object_set_parent(self->notice, accessible);
  }
  dataOf(self->notice).element.label = text;
  atk_object_set_name(self->notice, text.c_str());
  atk_object_notify_state_change(self->notice, ATK_STATE_SHOWING, TRUE);
}

}  // namespace halyard::host
