#include "platform/host/instance_requests.hpp"

#include <glib-unix.h>
#include <glib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace halyard::host {

namespace {

// The longest request read; longer ones are cut and so not understood.
constexpr std::size_t kRequestLimit = 64;

std::string socketPath(const std::string& name) {
  return std::string(g_get_user_runtime_dir()) + "/" + name + ".sock";
}

// The address of `path`; nothing when the path is too long for one.
std::optional<sockaddr_un> addressOf(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return std::nullopt;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

// One waiting datagram: nothing when none waits; its text when its sender is this user, an
// empty request otherwise (dropped).
std::optional<std::optional<std::string>> receive(int fd) {
  char text[kRequestLimit];
  iovec part{text, sizeof text};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t got = ::recvmsg(fd, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
  if (got < 0) return std::nullopt;
  for (cmsghdr* item = CMSG_FIRSTHDR(&message); item != nullptr;
       item = CMSG_NXTHDR(&message, item)) {
    if (item->cmsg_level != SOL_SOCKET || item->cmsg_type != SCM_CREDENTIALS) continue;
    ucred sender{};
    std::memcpy(&sender, CMSG_DATA(item), sizeof sender);
    if (sender.uid == ::getuid()) return std::string(text, static_cast<std::size_t>(got));
  }
  return std::optional<std::string>();  // from someone else, or without credentials
}

}  // namespace

InstanceRequests::InstanceRequests(const std::string& name,
                                   std::function<void(const std::string&)> onRequest)
    : path_(socketPath(name)), onRequest_(std::move(onRequest)) {
  const auto address = addressOf(path_);
  if (!address) {
    error_ = path_ + ": the path is too long for a socket";
    return;
  }
  fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const int on = 1;
  if (fd_ < 0 || ::setsockopt(fd_, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) {
    error_ = path_ + ": " + std::strerror(errno);
    return;
  }
  ::unlink(path_.c_str());
  // Only this user may send to it, whatever the folder allows.
  const mode_t mask = ::umask(0177);
  const int bound = ::bind(fd_, reinterpret_cast<const sockaddr*>(&*address), sizeof(sockaddr_un));
  ::umask(mask);
  if (bound != 0) {
    error_ = path_ + ": " + std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    return;
  }
  source_ = g_unix_fd_add(
      fd_, G_IO_IN,
      [](int fd, GIOCondition, gpointer data) -> gboolean {
        auto* self = static_cast<InstanceRequests*>(data);
        while (const auto request = receive(fd))
          if (*request) self->onRequest_(**request);
        return G_SOURCE_CONTINUE;
      },
      this);
}

InstanceRequests::~InstanceRequests() {
  if (source_ != 0) g_source_remove(source_);
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(path_.c_str());
  }
}

std::optional<std::string> sendInstanceRequest(const std::string& name,
                                               const std::string& request) {
  const std::string path = socketPath(name);
  const auto address = addressOf(path);
  if (!address) return path + ": the path is too long for a socket";
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::string("cannot make a socket: ") + std::strerror(errno);
  const ssize_t sent = ::sendto(fd, request.data(), request.size(), MSG_DONTWAIT,
                                reinterpret_cast<const sockaddr*>(&*address), sizeof(sockaddr_un));
  const int error = errno;
  ::close(fd);
  if (sent == static_cast<ssize_t>(request.size())) return std::nullopt;
  if (error == ENOENT || error == ECONNREFUSED) return std::string("no instance is running");
  return path + ": " + std::strerror(error);
}

}  // namespace halyard::host
