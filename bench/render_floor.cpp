// The least a one-shot picture of text can cost here: a process that links Pango and Cairo,
// sets one bold 22-point string on a 728 × 764 image (a large widget at scale 2) and writes it
// with Cairo's own PNG writer. bench/host_render.py runs it beside `halyard-widget render`.
// Usage: render_floor OUT.png
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: render_floor OUT.png\n");
    return 2;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 728, 764);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, 2, 2);

  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_from_string("Inter, sans-serif Bold");
  pango_font_description_set_absolute_size(font, 22 * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_text(layout, "1,2 TB", -1);
  cairo_move_to(cr, 16, 16);
  pango_cairo_show_layout(cr, layout);

  const cairo_status_t status = cairo_surface_write_to_png(surface, argv[1]);
  pango_font_description_free(font);
  g_object_unref(layout);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "render_floor: %s: %s\n", argv[1], cairo_status_to_string(status));
    return 1;
  }
  return 0;
}
