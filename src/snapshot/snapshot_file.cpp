#include "snapshot/snapshot_file.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace halyard {

namespace {

constexpr std::string_view kRelativeDirectory = "Library/Application Support/Halyard";
constexpr std::string_view kFileName = "widget-snapshot.json";

// Closes a descriptor on every path out of a scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::error_code lastError() {
  return {errno, std::generic_category()};
}

std::string directoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

std::optional<std::string> userDatabaseHome() {
  // getpwuid_r rather than getpwuid: the lookup may run on several threads at once.
  long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 1024);
  passwd entry{};
  passwd* result = nullptr;
  for (;;) {
    const int rc = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result);
    if (rc == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc != 0 || result == nullptr || entry.pw_dir == nullptr || entry.pw_dir[0] == '\0') {
      return std::nullopt;
    }
    return std::string(entry.pw_dir);
  }
}

std::string snapshotFilePath(const HomeLookup& databaseHome) {
  std::optional<std::string> home = databaseHome ? databaseHome() : std::nullopt;
  if (!home) {
    const char* variable = std::getenv("HOME");
    home = (variable != nullptr && variable[0] != '\0') ? std::string(variable) : std::string("/");
  }
  std::string path = std::move(*home);
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  if (path.back() != '/') path += '/';
  path += kRelativeDirectory;
  path += '/';
  path += kFileName;
  return path;
}

std::string ReadError::message() const {
  if (code == std::errc::invalid_argument) return "not a regular file";
  return code.message();
}

namespace {

// Room the JSON parser needs after a document, so that decoding in place does not copy it.
constexpr std::size_t kParserPadding = 64;

// Reads a whole regular file into `out`, leaving room for the JSON parser's padding.
std::optional<ReadError> readInto(const std::string& path, std::string& out, std::size_t slack) {
  // O_NONBLOCK: opening a FIFO without a writer must not wait; anything but a regular file is
  // refused right after opening, before a single read.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) return ReadError{lastError()};
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return ReadError{lastError()};
  if (!S_ISREG(info.st_mode)) return ReadError{std::make_error_code(std::errc::invalid_argument)};

  const auto expected = static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 0);
  out.clear();
  try {
    // One byte more than the size fstat saw, so that the read meeting the end of the file
    // needs no new buffer; a file that grows meanwhile is read to its end all the same.
    out.reserve(expected + 1 + slack);
    out.resize(expected + 1);
    std::size_t used = 0;
    for (;;) {
      if (used == out.size()) out.resize(out.size() * 2);
      const ssize_t n = ::read(fd.get(), out.data() + used, out.size() - used);
      if (n < 0) {
        if (errno == EINTR) continue;
        return ReadError{lastError()};
      }
      if (n == 0) break;
      used += static_cast<std::size_t>(n);
    }
    out.resize(used);
  } catch (const std::bad_alloc&) {
    return ReadError{std::make_error_code(std::errc::not_enough_memory)};
  }
  return std::nullopt;
}

}  // namespace

std::variant<std::string, ReadError> readRegularFile(const std::string& path) {
  std::string data;
  if (auto error = readInto(path, data, kParserPadding)) return *error;
  return data;
}

std::optional<WidgetSnapshot> loadSnapshot(const std::string& path) {
  std::string data;
  if (readInto(path, data, kParserPadding)) return std::nullopt;
  DecodeResult result = decodeSnapshotInPlace(data);
  if (!result) return std::nullopt;
  return std::move(result).snapshot();
}

std::optional<WidgetSnapshot> loadSnapshot() {
  return loadSnapshot(WidgetSnapshot::fileURL());
}

std::error_code writeSnapshot(const WidgetSnapshot& snapshot, const std::string& path) {
  const std::string text = encodeSnapshotText(snapshot) + "\n";
  const std::string directory = directoryOf(path);
  const auto slash = path.rfind('/');
  std::string temporary =
      directory + "/." + (slash == std::string::npos ? path : path.substr(slash + 1)) + ".XXXXXX";

  Descriptor fd(::mkstemp(temporary.data()));
  if (fd.get() < 0) return lastError();
  auto discard = [&](std::error_code error) {
    ::unlink(temporary.c_str());
    return error;
  };

  // Keep the mode of the file being replaced; a new file is readable by its owner's group too.
  struct stat existing {};
  const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
  if (::fchmod(fd.get(), mode) != 0) return discard(lastError());

  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd.get(), text.data() + written, text.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return discard(lastError());
    }
    written += static_cast<std::size_t>(n);
  }
  if (::fsync(fd.get()) != 0) return discard(lastError());
  if (::close(fd.release()) != 0) return discard(lastError());
  if (::rename(temporary.c_str(), path.c_str()) != 0) return discard(lastError());

  // Make the rename itself durable.
  Descriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return {};
}

}  // namespace halyard
