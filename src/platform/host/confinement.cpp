#include "platform/host/confinement.hpp"

#include <fcntl.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

// Access rights newer than the kernel headers this may be built with.
#ifndef LANDLOCK_ACCESS_FS_REFER
#define LANDLOCK_ACCESS_FS_REFER (1ULL << 13)
#endif
#ifndef LANDLOCK_ACCESS_FS_TRUNCATE
#define LANDLOCK_ACCESS_FS_TRUNCATE (1ULL << 14)
#endif
#ifndef LANDLOCK_ACCESS_FS_IOCTL_DEV
#define LANDLOCK_ACCESS_FS_IOCTL_DEV (1ULL << 15)
#endif

namespace halyard::host {

namespace {

int createRuleset(const landlock_ruleset_attr* attr, std::size_t size, std::uint32_t flags) {
  return static_cast<int>(::syscall(SYS_landlock_create_ruleset, attr, size, flags));
}

int addRule(int ruleset, const landlock_path_beneath_attr* rule) {
  return static_cast<int>(
      ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, rule, 0));
}

int restrictSelf(int ruleset) {
  return static_cast<int>(::syscall(SYS_landlock_restrict_self, ruleset, 0));
}

// Every file-system access right of a Landlock ABI.
std::uint64_t fileSystemRights(int abi) {
  std::uint64_t rights =
      LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_READ_FILE |
      LANDLOCK_ACCESS_FS_READ_DIR | LANDLOCK_ACCESS_FS_REMOVE_DIR | LANDLOCK_ACCESS_FS_REMOVE_FILE |
      LANDLOCK_ACCESS_FS_MAKE_CHAR | LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG |
      LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO | LANDLOCK_ACCESS_FS_MAKE_BLOCK |
      LANDLOCK_ACCESS_FS_MAKE_SYM;
  if (abi >= 2) rights |= LANDLOCK_ACCESS_FS_REFER;
  if (abi >= 3) rights |= LANDLOCK_ACCESS_FS_TRUNCATE;
  if (abi >= 5) rights |= LANDLOCK_ACCESS_FS_IOCTL_DEV;
  return rights;
}

ConfinementResult notEnforced(Confinement state, int abi, const char* what) {
  return {state, abi, std::string(what) + ": " + std::strerror(errno)};
}

}  // namespace

int landlockAbi() {
  const int abi = createRuleset(nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  return abi > 0 ? abi : 0;
}

ConfinementResult confineToReadOnlyFile(const std::optional<std::string>& readable) {
  // The one grant: reading that file, when there is one. A file that does not exist gets no
  // rule, so the process can open nothing at all.
  std::vector<PathGrant> grants;
  if (readable) grants.push_back({*readable, PathAccess::readFile});
  return confineTo(grants);
}

ConfinementResult confineTo(const std::vector<PathGrant>& grants) {
  const int abi = createRuleset(nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  if (abi < 0) {
    return notEnforced(Confinement::unsupported, 0, "Landlock is not available");
  }

  landlock_ruleset_attr attr{};
  attr.handled_access_fs = fileSystemRights(abi);
  const int ruleset = createRuleset(&attr, sizeof attr, 0);
  if (ruleset < 0) return notEnforced(Confinement::failed, abi, "landlock_create_ruleset");

  for (const PathGrant& grant : grants) {
    const int target = ::open(grant.path.c_str(), O_PATH | O_CLOEXEC);
    if (target < 0) continue;
    struct stat info {};
    const bool folder = ::fstat(target, &info) != 0 || S_ISDIR(info.st_mode);
    if (folder && grant.access == PathAccess::readFile) {
      ::close(target);
      continue;
    }
    // Rights on a file rule may only be those that concern files.
    std::uint64_t rights = LANDLOCK_ACCESS_FS_READ_FILE;
    if (grant.access == PathAccess::update) {
      rights |= LANDLOCK_ACCESS_FS_WRITE_FILE;
      if (abi >= 3) rights |= LANDLOCK_ACCESS_FS_TRUNCATE;
    }
    if (folder) {
      rights |= LANDLOCK_ACCESS_FS_READ_DIR;
      if (grant.access == PathAccess::update)
        rights |= LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_REMOVE_FILE;
    }
    landlock_path_beneath_attr rule{};
    rule.allowed_access = rights;
    rule.parent_fd = target;
    const int added = addRule(ruleset, &rule);
    const int error = errno;
    ::close(target);
    if (added != 0) {
      errno = error;
      ::close(ruleset);
      return notEnforced(Confinement::failed, abi, "landlock_add_rule");
    }
  }

  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
    ::close(ruleset);
    return notEnforced(Confinement::failed, abi, "prctl(PR_SET_NO_NEW_PRIVS)");
  }
  if (restrictSelf(ruleset) != 0) {
    ::close(ruleset);
    return notEnforced(Confinement::failed, abi, "landlock_restrict_self");
  }
  ::close(ruleset);
  return {Confinement::enforced, abi, {}};
}

}  // namespace halyard::host
