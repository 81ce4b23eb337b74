#pragma once
// Draws onto image surfaces and reads the pixels back, for checking what was rendered.

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/ui/color.hpp"

namespace halyard::render::testing {

struct Pixel {
  int r = 0, g = 0, b = 0, a = 0;  // 0..255, colour not premultiplied
};

class ImageProbe {
 public:
  explicit ImageProbe(cairo_surface_t* surface) : surface_(surface, cairo_surface_destroy) {
    cairo_surface_flush(surface);
  }

  int width() const { return cairo_image_surface_get_width(surface_.get()); }
  int height() const { return cairo_image_surface_get_height(surface_.get()); }

  Pixel at(int x, int y) const {
    std::uint32_t argb = 0;
    std::memcpy(&argb,
                cairo_image_surface_get_data(surface_.get()) +
                    y * cairo_image_surface_get_stride(surface_.get()) + 4 * x,
                sizeof argb);
    const auto a = argb >> 24;
    auto channel = [a](std::uint32_t c) {
      return a == 0 ? 0 : static_cast<int>((c * 255 + a / 2) / a);
    };
    return {channel((argb >> 16) & 0xff), channel((argb >> 8) & 0xff), channel(argb & 0xff),
            static_cast<int>(a)};
  }

  Pixel atPoint(double x, double y, double scale) const {
    return at(static_cast<int>(x * scale), static_cast<int>(y * scale));
  }

  // The smallest box holding every pixel with some ink, or nothing.
  struct Box {
    int minX, minY, maxX, maxY;
  };
  std::optional<Box> inkBox() const {
    std::optional<Box> box;
    for (int y = 0; y < height(); ++y) {
      for (int x = 0; x < width(); ++x) {
        if (at(x, y).a == 0) continue;
        if (!box) box = Box{x, y, x, y};
        *box = {std::min(box->minX, x), std::min(box->minY, y), std::max(box->maxX, x),
                std::max(box->maxY, y)};
      }
    }
    return box;
  }

 private:
  std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface_;
};

// What `draw` leaves on a transparent image; the context must come out without an error.
template <typename Draw>
ImageProbe drawnWith(int width, int height, Draw draw) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  draw(cr);
  EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
  cairo_destroy(cr);
  return ImageProbe(surface);
}

inline bool showsColor(const Pixel& p, const ui::RGBA& c) {
  auto near = [](int v, double f) { return std::abs(v - static_cast<int>(f * 255 + 0.5)) <= 2; };
  return near(p.r, c.r) && near(p.g, c.g) && near(p.b, c.b) && near(p.a, c.a);
}

}  // namespace halyard::render::testing
