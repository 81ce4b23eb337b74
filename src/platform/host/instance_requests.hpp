#pragma once
// Requests to the running instance (the one that holds the InstanceLock of the same name),
// such as "take the keyboard focus": one word in a datagram to a socket beside the lock, in
// the user's runtime folder. Only the user's own processes can reach it, and the instance
// takes requests from its own user only.

#include <functional>
#include <optional>
#include <string>

namespace halyard::host {

class InstanceRequests {
 public:
  // Listens at <user runtime folder>/<name>.sock on the default main context and hands each
  // request to `onRequest`. Call it while holding the instance's lock: a socket left there by
  // an instance that ended without removing it is replaced.
  InstanceRequests(const std::string& name, std::function<void(const std::string&)> onRequest);
  ~InstanceRequests();
  InstanceRequests(const InstanceRequests&) = delete;
  InstanceRequests& operator=(const InstanceRequests&) = delete;

  // Why it cannot listen; empty when it does.
  const std::string& error() const { return error_; }

 private:
  std::string path_;
  int fd_ = -1;
  unsigned source_ = 0;
  std::function<void(const std::string&)> onRequest_;
  std::string error_;
};

// Sends `request` to the running instance `name`; a message saying why it could not (no
// instance runs) otherwise.
std::optional<std::string> sendInstanceRequest(const std::string& name, const std::string& request);

}  // namespace halyard::host
