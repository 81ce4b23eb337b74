#pragma once
// Reads rendered PNG bytes back as pixels, for checking what was drawn.

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/color.hpp"

namespace halyard::render::testing {

struct Pixel {
  int r = 0;
  int g = 0;
  int b = 0;
  int a = 0;  // 0..255; r, g, b not premultiplied
};

class ImageProbe {
 public:
  // From a PNG file's bytes.
  static ImageProbe fromPng(const std::string& png) {
    struct Reader {
      const std::string* data;
      std::size_t offset;
    } reader{&png, 0};
    auto read = [](void* closure, unsigned char* out, unsigned int length) {
      auto* r = static_cast<Reader*>(closure);
      if (r->data->size() - r->offset < length) return CAIRO_STATUS_READ_ERROR;
      std::memcpy(out, r->data->data() + r->offset, length);
      r->offset += length;
      return CAIRO_STATUS_SUCCESS;
    };
    return ImageProbe(cairo_image_surface_create_from_png_stream(read, &reader));
  }

  // Takes ownership of an image surface.
  explicit ImageProbe(cairo_surface_t* surface) : surface_(surface, cairo_surface_destroy) {
    cairo_surface_flush(surface);
  }

  bool ok() const { return cairo_surface_status(surface_.get()) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(surface_.get()); }
  int height() const { return cairo_image_surface_get_height(surface_.get()); }

  Pixel at(int x, int y) const {
    const unsigned char* row = cairo_image_surface_get_data(surface_.get()) +
                               y * cairo_image_surface_get_stride(surface_.get());
    std::uint32_t argb = 0;
    std::memcpy(&argb, row + 4 * x, sizeof argb);
    Pixel p;
    p.a = static_cast<int>(argb >> 24);
    auto unpremultiply = [&](std::uint32_t c) {
      return p.a == 0 ? 0
                      : static_cast<int>((c * 255 + static_cast<std::uint32_t>(p.a) / 2) /
                                         static_cast<std::uint32_t>(p.a));
    };
    p.r = unpremultiply((argb >> 16) & 0xff);
    p.g = unpremultiply((argb >> 8) & 0xff);
    p.b = unpremultiply(argb & 0xff);
    return p;
  }

  // The pixel under a point given in points, at `scale` pixels per point.
  Pixel atPoint(double x, double y, double scale) const {
    return at(static_cast<int>(x * scale), static_cast<int>(y * scale));
  }

  // The smallest box of pixels whose alpha is above `threshold`, or nothing.
  struct Box {
    int minX, minY, maxX, maxY;
  };
  std::optional<Box> inkBox(int threshold = 0) const {
    std::optional<Box> box;
    for (int y = 0; y < height(); ++y) {
      for (int x = 0; x < width(); ++x) {
        if (at(x, y).a <= threshold) continue;
        if (!box) box = Box{x, y, x, y};
        box->minX = std::min(box->minX, x);
        box->minY = std::min(box->minY, y);
        box->maxX = std::max(box->maxX, x);
        box->maxY = std::max(box->maxY, y);
      }
    }
    return box;
  }

 private:
  std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface_;
};

// Whether `p` shows the opaque colour `c` (to within rounding).
inline bool showsColor(const Pixel& p, const ui::RGBA& c, int tolerance = 2) {
  auto near = [&](int v, double f) {
    return std::abs(v - static_cast<int>(f * 255 + 0.5)) <= tolerance;
  };
  return near(p.r, c.r) && near(p.g, c.g) && near(p.b, c.b) && near(p.a, c.a);
}

}  // namespace halyard::render::testing
