#pragma once
// Owning handles for the C objects of Cairo, Pango and GLib, so that every exit path
// releases them.

#include <cairo.h>
#include <glib-object.h>
#include <pango/pango.h>

#include <memory>

namespace halyard::render {

struct GObjectUnref {
  void operator()(gpointer object) const {
    if (object != nullptr) g_object_unref(object);
  }
};
struct CairoDestroy {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct CairoSurfaceDestroy {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoFontOptionsDestroy {
  void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
};
struct FontDescriptionFree {
  void operator()(PangoFontDescription* desc) const { pango_font_description_free(desc); }
};
struct AttrListUnref {
  void operator()(PangoAttrList* list) const { pango_attr_list_unref(list); }
};

template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;
using LayoutPtr = GObjectPtr<PangoLayout>;
using CairoPtr = std::unique_ptr<cairo_t, CairoDestroy>;
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceDestroy>;
using CairoFontOptionsPtr = std::unique_ptr<cairo_font_options_t, CairoFontOptionsDestroy>;
using FontDescriptionPtr = std::unique_ptr<PangoFontDescription, FontDescriptionFree>;
using AttrListPtr = std::unique_ptr<PangoAttrList, AttrListUnref>;

}  // namespace halyard::render
