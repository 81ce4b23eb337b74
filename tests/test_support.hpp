#pragma once
// Small helpers shared by the test programs.

#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace halyard::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "halyard-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The size of a PNG file decoded whole (every chunk, every pixel) by libpng; {0, 0} if it fails.
inline std::pair<unsigned, unsigned> decodedPngFileSize(const std::string& path) {
  const std::string bytes = readFile(path);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {0, 0};
  image.format = PNG_FORMAT_RGBA;
  std::vector<unsigned char> pixels(std::size_t{image.width} * image.height * 4);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {0, 0};
  return {image.width, image.height};
}

inline std::string sourcePath(const std::string& relative) {
  return std::string(HALYARD_SOURCE_DIR) + "/" + relative;
}

// A shell prefix: the rest runs with `home` mounted over the account's own home folder.
inline std::string withHome(const std::string& home) {
  return "unshare --mount --map-root-user sh -c 'mount --bind \"$0\" \"$(getent passwd \"$(id "
         "-u)\" | cut -d: -f6)\" && exec \"$@\"' '" +
         home + "' ";
}

struct ProgramRun {
  int status = -1;  // -1 when a signal ended it
  std::string out, err;
};

// Runs halyard-widget with `arguments` after `prefix` (variables, a wrapper); stderr without
// a coverage build's complaints from confined processes, which are not the program's.
inline ProgramRun runWidget(const std::string& arguments, const std::string& prefix = "") {
  TempDir dir;
  const std::string command = prefix + HALYARD_WIDGET_BINARY + " " + arguments + " >" +
                              dir.file("out") + " 2>" + dir.file("err") + " </dev/null";
  const int raw = std::system(command.c_str());
  std::string err;
  std::istringstream lines(readFile(dir.file("err")));
  for (std::string line; std::getline(lines, line);)
    if (!line.starts_with("profiling:")) err += line + "\n";
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(dir.file("out")), err};
}

}  // namespace halyard::testing
