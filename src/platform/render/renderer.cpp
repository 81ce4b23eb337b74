#include "platform/render/renderer.hpp"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <fcntl.h>
#include <pango/pangocairo.h>
#include <png.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

#include "platform/render/paths.hpp"
#include "platform/render/symbols.hpp"

namespace halyard::render {
namespace {

// Cairo's limit for an image surface's side.
constexpr double kMaxSide = 32767;

bool isFinite(const ui::Rect& r) {
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) &&
         std::isfinite(r.height);
}

double unit(double v) {
  return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
}

void setSource(cairo_t* cr, const ui::RGBA& c) {
  cairo_set_source_rgba(cr, unit(c.r), unit(c.g), unit(c.b), unit(c.a));
}

std::string systemReason(int error) {
  return std::generic_category().message(error);
}

std::optional<RenderError> cairoError(cairo_status_t status) {
  if (status == CAIRO_STATUS_SUCCESS) return std::nullopt;
  return RenderError{{}, std::string("cairo: ") + cairo_status_to_string(status)};
}

class TreePainter {
 public:
  TreePainter(cairo_t* cr, const TextContext& text) : cr_(cr), text_(text) {}

  void draw(const ui::PlacedNode& node) {
    // Zero, negative and NaN opacity hide the whole subtree.
    if (!(node.opacity > 0)) return;
    // A single filled shape fades by its colour's alpha alone; anything more is drawn into a
    // group first, so that overlapping parts do not show through each other (a group as large
    // as the clip, which costs a whole image's memory and compositing).
    const bool translucent = node.opacity < 1;
    const bool group = translucent && !isSingleFill(node);
    const double fade = fade_;
    if (translucent && !group) fade_ *= node.opacity;
    const bool validFrame = isFinite(node.frame);
    cairo_save(cr_);
    if (node.clips && validFrame) {
      cairo_rectangle(cr_, node.frame.x, node.frame.y, node.frame.width, node.frame.height);
      cairo_clip(cr_);
    }
    if (group) cairo_push_group(cr_);
    drawContent(node, validFrame);
    for (const ui::PlacedNode& child : node.children)
      draw(child);
    if (group) {
      cairo_pop_group_to_source(cr_);
      cairo_paint_with_alpha(cr_, node.opacity);
    }
    cairo_restore(cr_);
    fade_ = fade;
  }

 private:
  void drawContent(const ui::PlacedNode& node, bool validFrame) {
    if (node.sector && isDrawableSector(*node.sector)) {
      addSector(cr_, *node.sector);
      setSource(cr_, faded(node.sector->fill.rgba));
      cairo_fill(cr_);
    }
    if (!validFrame || node.frame.width < 0 || node.frame.height < 0) return;
    if (node.shape) drawShape(*node.shape, node.frame);
    if (node.symbol) drawSymbol(cr_, node.symbol->name, node.frame, faded(node.symbol->color.rgba));
    if (node.text) drawText(*node.text, node.frame);
  }

  void drawShape(const ui::PlacedShape& shape, const ui::Rect& frame) {
    if (frame.width <= 0 || frame.height <= 0) return;
    switch (shape.shape) {
      case ui::ShapeKind::capsule:
        addCapsule(cr_, frame);
        break;
      case ui::ShapeKind::circle:
        addCircle(cr_, frame);
        break;
      case ui::ShapeKind::rectangle:
        if (shape.cornerRadius > 0) {
          addRoundedRect(cr_, frame, shape.cornerRadius);
        } else {
          cairo_rectangle(cr_, frame.x, frame.y, frame.width, frame.height);
        }
        break;
    }
    setSource(cr_, faded(shape.fill.rgba));
    cairo_fill(cr_);
  }

  // The layout is built exactly as for measuring; its logical box goes at the frame's origin.
  void drawText(const ui::PlacedText& text, const ui::Rect& frame) {
    const LayoutPtr layout = text_.set(text.spec, text.width).layout;
    PangoRectangle logical{};
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    cairo_move_to(cr_, frame.x - static_cast<double>(logical.x) / PANGO_SCALE,
                  frame.y - static_cast<double>(logical.y) / PANGO_SCALE);
    setSource(cr_, faded(text.color.rgba));
    pango_cairo_show_layout(cr_, layout.get());
  }

  // A leaf that draws one shape, sector or symbol: one fill, which nothing overlaps.
  static bool isSingleFill(const ui::PlacedNode& node) {
    const int parts = int(node.sector.has_value()) + int(node.shape.has_value()) +
                      int(node.symbol.has_value()) + int(node.text.has_value());
    return node.children.empty() && !node.text && parts <= 1;
  }

  ui::RGBA faded(ui::RGBA color) const {
    color.a = unit(color.a) * fade_;
    return color;
  }

  cairo_t* cr_;
  const TextContext& text_;
  double fade_ = 1;  // the opacity of translucent single-fill leaves, folded into their colour
};

// Pixel memory for an image: fresh from the kernel, in huge pages where it allows them. A
// widget-sized image at scale 2 is a few megabytes that are written once; touching them page
// by page costs a fault per 4 KiB, which is a large part of drawing into a new image.
class PixelBuffer {
 public:
  explicit PixelBuffer(std::size_t bytes) : size_(bytes) {
    constexpr std::size_t kHuge = std::size_t{2} << 20;
    if (bytes < kHuge) {
      data_ = static_cast<unsigned char*>(std::calloc(bytes, 1));
      return;
    }
    // Map a huge page's worth more, and keep the part that starts on a huge-page boundary.
    const std::size_t mapped = bytes + kHuge;
    void* raw = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHuge - 1) & ~(kHuge - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    const std::uintptr_t end = aligned + bytes;
    const std::uintptr_t mappedEnd = start + mapped;
    if (mappedEnd > end) ::munmap(reinterpret_cast<void*>(end), mappedEnd - end);
    data_ = reinterpret_cast<unsigned char*>(aligned);
    mapped_ = true;
    ::madvise(data_, bytes & ~(kHuge - 1), MADV_HUGEPAGE);  // a hint: fine if refused
  }
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;
  ~PixelBuffer() {
    if (mapped_)
      ::munmap(data_, size_);
    else
      std::free(data_);
  }
  unsigned char* data() const { return data_; }

 private:
  std::size_t size_;
  unsigned char* data_ = nullptr;
  bool mapped_ = false;
};

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// PNG encoding with libpng. Cairo's own encoder uses libpng's defaults (zlib level 6, a filter
// chosen per row), which spend about three quarters of a render on compression. Rendered views
// are mostly flat colour, where filtering does not help: no filter at zlib level 3 (its fast
// matcher) writes them three to four times faster, and smaller.
constexpr int kPngCompressionLevel = 3;

struct PngContext {
  std::string* out;
  char error[160] = "";
};

// libpng reports errors by jumping back to the setjmp in writePng; only C frames and these
// callbacks, which own nothing by then, lie in between.
[[noreturn]] void pngError(png_structp png, png_const_charp message) {
  auto* context = static_cast<PngContext*>(png_get_error_ptr(png));
  std::snprintf(context->error, sizeof context->error, "%s", message);
  png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

void pngWrite(png_structp png, png_bytep data, png_size_t length) {
  auto* context = static_cast<PngContext*>(png_get_io_ptr(png));
  bool ok = true;
  try {
    context->out->append(reinterpret_cast<const char*>(data), length);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (!ok) png_error(png, "out of memory");
}

void pngFlush(png_structp) {}

// One row of Cairo's ARGB32 (native-endian words, colour premultiplied by alpha) as PNG's
// RGBA bytes, colour divided back out with rounding; fully transparent pixels become zero.
void unpremultiplyRow(const unsigned char* src, int width, png_bytep dst) {
  for (int x = 0; x < width; ++x, src += 4, dst += 4) {
    std::uint32_t argb = 0;
    std::memcpy(&argb, src, sizeof argb);
    const std::uint32_t a = argb >> 24;
    const std::uint32_t r = (argb >> 16) & 0xff;
    const std::uint32_t g = (argb >> 8) & 0xff;
    const std::uint32_t b = argb & 0xff;
    if (a == 255) {
      dst[0] = static_cast<png_byte>(r);
      dst[1] = static_cast<png_byte>(g);
      dst[2] = static_cast<png_byte>(b);
    } else if (a == 0) {
      dst[0] = dst[1] = dst[2] = 0;
    } else {
      dst[0] = static_cast<png_byte>((r * 255 + a / 2) / a);
      dst[1] = static_cast<png_byte>((g * 255 + a / 2) / a);
      dst[2] = static_cast<png_byte>((b * 255 + a / 2) / a);
    }
    dst[3] = static_cast<png_byte>(a);
  }
}

// Appends an ARGB32 image surface to `out` as an 8-bit RGBA PNG. Returns libpng's complaint
// on failure.
std::optional<std::string> writePng(cairo_surface_t* surface, std::string& out) {
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  if (data == nullptr || cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
    return "not an ARGB32 image";
  }
  // Everything that owns memory is made before the setjmp, so that a jump skips no
  // destructor.
  std::vector<png_byte> row(4 * static_cast<std::size_t>(width));
  PngContext context{&out};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &context, pngError, pngWarning);
  if (png == nullptr) return "libpng: out of memory";
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return std::string("libpng: ") + (context.error[0] != 0 ? context.error : "out of memory");
  }
  png_set_write_fn(png, &context, pngWrite, pngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_compression_level(png, kPngCompressionLevel);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    unpremultiplyRow(data + static_cast<std::ptrdiff_t>(y) * stride, width, row.data());
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::nullopt;
}

std::optional<std::string> invalidTarget(ui::Size size, double scale) {
  if (!std::isfinite(scale) || scale <= 0) return "the scale must be a positive number";
  if (!std::isfinite(size.width) || !std::isfinite(size.height) || size.width <= 0 ||
      size.height <= 0) {
    return "the widget size must be positive";
  }
  if (std::round(size.width * scale) < 1 || std::round(size.height * scale) < 1) {
    return "the image would be smaller than one pixel";
  }
  if (size.width * scale > kMaxSide || size.height * scale > kMaxSide) {
    return "the image would be larger than 32767 pixels on a side";
  }
  return std::nullopt;
}

// Closes a file descriptor and removes the temporary file unless released.
class TemporaryFile {
 public:
  TemporaryFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }
  void release() { path_.clear(); }

 private:
  int fd_;
  std::string path_;
};

}  // namespace

std::string RenderError::message() const {
  return path.empty() ? reason : path + ": " + reason;
}

std::optional<ImageFormat> imageFormatForPath(std::string_view path) {
  const auto dot = path.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  std::string ext(path.substr(dot + 1));
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == "png") return ImageFormat::png;
  if (ext == "svg") return ImageFormat::svg;
  if (ext == "pdf") return ImageFormat::pdf;
  return std::nullopt;
}

std::optional<RenderError> paint(cairo_t* cr, const ui::PlacedNode& tree, double scale) {
  return paint(cr, tree, scale, threadTextContext());
}

std::optional<RenderError> paint(cairo_t* cr, const ui::PlacedNode& tree, double scale,
                                 const TextContext& text) {
  if (cr == nullptr) return RenderError{{}, "no drawing context"};
  if (!std::isfinite(scale) || scale <= 0) {
    return RenderError{{}, "the scale must be a positive number"};
  }
  if (auto error = cairoError(cairo_status(cr))) return error;
  cairo_save(cr);
  cairo_scale(cr, scale, scale);
  TreePainter(cr, text).draw(tree);
  cairo_restore(cr);
  return cairoError(cairo_status(cr));
}

std::variant<std::string, RenderError> renderBytes(ImageFormat format, const ui::PlacedNode& tree,
                                                   ui::Size widgetSize, double scale,
                                                   const TextContext& text) {
  if (auto reason = invalidTarget(widgetSize, scale)) return RenderError{{}, *reason};
  const double width = widgetSize.width * scale;
  const double height = widgetSize.height * scale;

  std::string out;
  std::unique_ptr<PixelBuffer> pixels;  // outlives the surface below
  CairoSurfacePtr surface;
  switch (format) {
    case ImageFormat::png: {
      const int pixelWidth = static_cast<int>(std::round(width));
      const int pixelHeight = static_cast<int>(std::round(height));
      const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, pixelWidth);
      pixels = std::make_unique<PixelBuffer>(static_cast<std::size_t>(stride) *
                                             static_cast<std::size_t>(pixelHeight));
      if (pixels->data() == nullptr) return RenderError{{}, "out of memory"};
      surface.reset(cairo_image_surface_create_for_data(pixels->data(), CAIRO_FORMAT_ARGB32,
                                                        pixelWidth, pixelHeight, stride));
      break;
    }
    case ImageFormat::svg:
      surface.reset(cairo_svg_surface_create_for_stream(appendBytes, &out, width, height));
      cairo_svg_surface_set_document_unit(surface.get(), CAIRO_SVG_UNIT_PT);
      break;
    case ImageFormat::pdf:
      surface.reset(cairo_pdf_surface_create_for_stream(appendBytes, &out, width, height));
      break;
  }
  if (auto error = cairoError(cairo_surface_status(surface.get()))) return *error;
  {
    const CairoPtr cr(cairo_create(surface.get()));
    if (auto error = paint(cr.get(), tree, scale, text)) return *error;
  }
  if (format == ImageFormat::png) {
    cairo_surface_flush(surface.get());
    if (auto reason = writePng(surface.get(), out)) return RenderError{{}, std::move(*reason)};
  } else {
    // Vector surfaces write their document when finished.
    cairo_surface_finish(surface.get());
    if (auto error = cairoError(cairo_surface_status(surface.get()))) return *error;
  }
  return out;
}

std::optional<RenderError> renderFile(ImageFormat format, const ui::PlacedNode& tree,
                                      ui::Size widgetSize, double scale, const std::string& path,
                                      const TextContext& text) {
  auto bytes = renderBytes(format, tree, widgetSize, scale, text);
  if (auto* error = std::get_if<RenderError>(&bytes)) {
    error->path = path;
    return std::move(*error);
  }
  return writeFileAtomically(path, std::get<std::string>(bytes));
}

std::optional<RenderError> writeFileAtomically(const std::string& path, std::string_view bytes) {
  const std::filesystem::path target(path);
  if (path.empty() || !target.has_filename()) return RenderError{path, "not a file name"};
  const std::filesystem::path folder =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");

  // A hidden sibling, so that the rename stays within one file system.
  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    return RenderError{path,
                       "cannot create a file in " + folder.string() + ": " + systemReason(errno)};
  }
  TemporaryFile temp(fd, name.data());

  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(temp.fd(), data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return RenderError{path, "cannot write: " + systemReason(errno)};
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  // mkstemp makes the file private; a picture is meant to be read by others.
  if (::fchmod(temp.fd(), 0644) != 0 || temp.close() != 0) {
    return RenderError{path, "cannot write: " + systemReason(errno)};
  }
  if (::rename(temp.path().c_str(), path.c_str()) != 0) {
    return RenderError{path, "cannot replace the file: " + systemReason(errno)};
  }
  temp.release();
  return std::nullopt;
}

}  // namespace halyard::render
