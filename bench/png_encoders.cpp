// One widget picture encoded by libpng (as the renderer does: 8-bit RGBA, no filter, zlib
// level 3) and by libspng with the same settings, in turns: time and size of each.
// Built only where libspng-dev is installed; the renderer does not use it.
// Usage: png_encoders PICTURE.png [ROUNDS]
#include <png.h>
#include <spng.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kLevel = 3;

struct Image {
  unsigned width = 0, height = 0;
  std::vector<unsigned char> rgba;
};

Image readPicture(const char* path) {
  Image image;
  png_image in{};
  in.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&in, path)) return image;
  in.format = PNG_FORMAT_RGBA;
  image.rgba.resize(std::size_t{in.width} * in.height * 4);
  if (!png_image_finish_read(&in, nullptr, image.rgba.data(), 0, nullptr)) return {};
  image.width = in.width;
  image.height = in.height;
  return image;
}

void append(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), length);
}

std::string withLibpng(const Image& image) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, append, nullptr);
  png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_compression_level(png, kLevel);
  png_write_info(png, info);
  for (unsigned y = 0; y < image.height; ++y)
    png_write_row(png, image.rgba.data() + std::size_t{y} * image.width * 4);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::string withLibspng(const Image& image) {
  spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
  spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, kLevel);
  spng_set_option(ctx, SPNG_FILTER_CHOICE, SPNG_DISABLE_FILTERING);
  spng_ihdr ihdr{};
  ihdr.width = image.width;
  ihdr.height = image.height;
  ihdr.bit_depth = 8;
  ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  spng_set_ihdr(ctx, &ihdr);
  std::string out;
  if (spng_encode_image(ctx, image.rgba.data(), image.rgba.size(), SPNG_FMT_PNG,
                        SPNG_ENCODE_FINALIZE) == 0) {
    std::size_t length = 0;
    int error = 0;
    void* buffer = spng_get_png_buffer(ctx, &length, &error);
    if (buffer != nullptr) out.assign(static_cast<const char*>(buffer), length);
    std::free(buffer);
  }
  spng_ctx_free(ctx);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: png_encoders PICTURE.png [ROUNDS]\n");
    return 2;
  }
  const Image image = readPicture(argv[1]);
  if (image.rgba.empty()) {
    std::fprintf(stderr, "png_encoders: %s does not decode\n", argv[1]);
    return 1;
  }
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 31;
  using Clock = std::chrono::steady_clock;
  std::vector<double> times[2];
  std::size_t sizes[2] = {0, 0};
  for (int round = 0; round < rounds; ++round) {
    for (int which = 0; which < 2; ++which) {
      const auto start = Clock::now();
      const std::string png = which == 0 ? withLibpng(image) : withLibspng(image);
      times[which].push_back(
          std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      sizes[which] = png.size();
    }
  }
  const char* names[2] = {"libpng", "libspng"};
  for (int which = 0; which < 2; ++which) {
    auto& t = times[which];
    std::sort(t.begin(), t.end());
    std::printf("%-8s %ux%u, %d rounds: median %.2f ms (best %.2f), %zu bytes\n", names[which],
                image.width, image.height, rounds, t[t.size() / 2], t.front(), sizes[which]);
  }
  return 0;
}
