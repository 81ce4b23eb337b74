#include "snapshot/snapshot_file.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
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
  if (code == std::errc::file_too_large)
    return "larger than " + std::to_string(kSnapshotSizeLimit >> 20) + " MiB";
  return code.message();
}

namespace {

// Reads the whole regular file open on `fd` into `out`, from its start, leaving room for the
// JSON parser's padding. Anything but a regular file of at most kSnapshotSizeLimit bytes is
// refused before a single read, so that a huge or sparse file costs nothing.
std::optional<ReadError> readOpenFile(int fd, std::string& out, std::size_t slack) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return ReadError{lastError()};
  if (!S_ISREG(info.st_mode)) return ReadError{std::make_error_code(std::errc::invalid_argument)};
  const auto expected = static_cast<std::uint64_t>(info.st_size > 0 ? info.st_size : 0);
  if (expected > kSnapshotSizeLimit) {
    return ReadError{std::make_error_code(std::errc::file_too_large)};
  }
  out.clear();
  try {
    // One byte more than the size fstat saw, so that the read meeting the end of the file
    // needs no new buffer; a file that grows meanwhile is read to its end, up to the limit.
    out.reserve(expected + 1 + slack);
    out.resize(expected + 1);
    std::size_t used = 0;
    for (;;) {
      if (used == out.size()) {
        if (used > kSnapshotSizeLimit)
          return ReadError{std::make_error_code(std::errc::file_too_large)};
        out.resize(std::min<std::size_t>(out.size() * 2, kSnapshotSizeLimit + 1));
      }
      const ssize_t n = ::pread(fd, out.data() + used, out.size() - used, static_cast<off_t>(used));
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

std::optional<ReadError> readInto(const std::string& path, std::string& out, std::size_t slack) {
  // O_NONBLOCK: opening a FIFO without a writer must not wait.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) return ReadError{lastError()};
  return readOpenFile(fd.get(), out, slack);
}

// The descriptor loadSnapshot() reads instead of the path, once a process has set one.
constexpr int kUsePath = -2;
std::atomic<int> openedSnapshot{kUsePath};

thread_local LoadReport lastReport;

std::optional<WidgetSnapshot> decodeAndReport(std::optional<ReadError> readError,
                                              std::string& data) {
  if (readError) {
    const bool missing = readError->code == std::errc::no_such_file_or_directory ||
                         readError->code == std::errc::not_a_directory;
    lastReport = {missing ? LoadReport::Outcome::missing : LoadReport::Outcome::refused,
                  missing ? std::string() : readError->message()};
    return std::nullopt;
  }
  DecodeResult result = decodeSnapshotInPlace(data);
  if (!result) {
    lastReport = {LoadReport::Outcome::refused, result.error().message()};
    return std::nullopt;
  }
  lastReport = {LoadReport::Outcome::decoded, {}};
  return std::move(result).snapshot();
}

}  // namespace

std::variant<std::string, ReadError> readRegularFile(const std::string& path) {
  std::string data;
  if (auto error = readInto(path, data, kSnapshotParserPadding)) return *error;
  return data;
}

std::optional<WidgetSnapshot> loadSnapshot(const std::string& path) {
  std::string data;
  auto error = readInto(path, data, kSnapshotParserPadding);
  return decodeAndReport(std::move(error), data);
}

std::optional<WidgetSnapshot> loadSnapshot() {
  const int fd = openedSnapshot.load();
  if (fd == kUsePath) return loadSnapshot(WidgetSnapshot::fileURL());
  std::string data;
  auto error =
      fd == kNoSnapshotFile
          ? std::optional(ReadError{std::make_error_code(std::errc::no_such_file_or_directory)})
          : readOpenFile(fd, data, kSnapshotParserPadding);
  return decodeAndReport(std::move(error), data);
}

void readSnapshotFrom(int fd) {
  openedSnapshot.store(fd);
}

LoadReport lastLoadReport() {
  return lastReport;
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
