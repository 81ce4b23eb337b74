#pragma once
// What a screen reader finds in the widget's window: the elements of the accessibility tree
// it shows, as the window's accessible children (ATK), each with its role, its label as its
// name and its text, and its place on the screen, so that a reader can walk them, review them
// flat and read the one under the pointer.

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "platform/ui/accessibility.hpp"

namespace halyard::host {

// A new top-level window whose accessible object has the elements as children (a floating
// reference, as gtk_window_new gives).
GtkWidget* accessibleWindowNew();

// Makes `elements` the children of `window`'s accessible object; their frames are in the
// window's coordinates, in points. Elements of the same roles in the same shape as before are
// changed in place (names, texts, extents); otherwise the old ones are removed and the new
// ones added, each change told to the reader.
void setAccessibleElements(GtkWidget* window,
                           const std::vector<ui::AccessibilityElement>& elements);

// Gives the reader's focus (which follows the window's keyboard focus) to element `index` of
// the window's elements, clamped to them; -1 to none. Returns the index that has it.
int focusAccessibleElement(GtkWidget* window, int index);
// The element with the reader's focus; -1: none.
int focusedAccessibleElement(GtkWidget* window);

// Has the screen reader say `text` at once, whatever it is busy with: a notification of the
// window's that shows.
void announce(GtkWidget* window, const std::string& text);

}  // namespace halyard::host
