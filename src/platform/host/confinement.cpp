#include "platform/host/confinement.hpp"

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

// Access rights and scopes newer than the kernel headers this may be built with.
#ifndef LANDLOCK_ACCESS_FS_REFER
#define LANDLOCK_ACCESS_FS_REFER (1ULL << 13)
#endif
#ifndef LANDLOCK_ACCESS_FS_TRUNCATE
#define LANDLOCK_ACCESS_FS_TRUNCATE (1ULL << 14)
#endif
#ifndef LANDLOCK_ACCESS_FS_IOCTL_DEV
#define LANDLOCK_ACCESS_FS_IOCTL_DEV (1ULL << 15)
#endif
#ifndef LANDLOCK_ACCESS_NET_BIND_TCP
#define LANDLOCK_ACCESS_NET_BIND_TCP (1ULL << 0)
#define LANDLOCK_ACCESS_NET_CONNECT_TCP (1ULL << 1)
#endif
#ifndef LANDLOCK_SCOPE_ABSTRACT_UNIX_SOCKET
#define LANDLOCK_SCOPE_ABSTRACT_UNIX_SOCKET (1ULL << 0)
#define LANDLOCK_SCOPE_SIGNAL (1ULL << 1)
#endif

#if defined(__SANITIZE_ADDRESS__)
#define HALYARD_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HALYARD_SANITIZED 1
#endif
#endif

namespace halyard::host {

namespace {

// The ruleset attribute as ABI 6 reads it; older kernels read its start and require the rest
// to be zero.
struct RulesetAttr {
  std::uint64_t handledAccessFs = 0;
  std::uint64_t handledAccessNet = 0;  // ABI 4
  std::uint64_t scoped = 0;            // ABI 6
};

int createRuleset(const RulesetAttr* attr, std::size_t size, std::uint32_t flags) {
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

ConfinementResult notEnforced(Confinement state, int abi, const std::string& what, int error) {
  return {state, abi, what + ": " + std::strerror(error)};
}

// A rule: what may be done with the file or folder open on `fd`. A rule that may be left out
// is left out when the kernel cannot take it (a file of an internal file system): leaving a
// grant out only narrows what is allowed.
struct Rule {
  int fd;
  std::uint64_t rights;
  bool mayBeLeftOut = false;
};

// Builds a ruleset that handles what `files`, `network` and `scopes` ask for, adds `rules`
// and enforces it on the calling thread. Any step that fails leaves the thread as it was
// (the caller decides whether to go on).
ConfinementResult enforce(bool files, bool network, bool scopes, const std::vector<Rule>& rules) {
  const int abi = createRuleset(nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  if (abi < 0) {
    return notEnforced(Confinement::unsupported, 0, "Landlock is not available", errno);
  }
  RulesetAttr attr;
  if (files) attr.handledAccessFs = fileSystemRights(abi);
  if (network && abi >= 4)
    attr.handledAccessNet = LANDLOCK_ACCESS_NET_BIND_TCP | LANDLOCK_ACCESS_NET_CONNECT_TCP;
  if (scopes && abi >= 6) attr.scoped = LANDLOCK_SCOPE_ABSTRACT_UNIX_SOCKET | LANDLOCK_SCOPE_SIGNAL;
  if (attr.handledAccessFs == 0 && attr.handledAccessNet == 0 && attr.scoped == 0) {
    return {Confinement::unsupported, abi, "this kernel's Landlock cannot restrict TCP"};
  }
  const int ruleset = createRuleset(&attr, sizeof attr, 0);
  if (ruleset < 0) return notEnforced(Confinement::failed, abi, "landlock_create_ruleset", errno);
  const auto fail = [&](const char* what) {
    const int error = errno;
    ::close(ruleset);
    return notEnforced(Confinement::failed, abi, what, error);
  };
  for (const Rule& rule : rules) {
    landlock_path_beneath_attr attribute{};
    attribute.allowed_access = rule.rights;
    attribute.parent_fd = rule.fd;
    if (addRule(ruleset, &attribute) != 0 && !rule.mayBeLeftOut) return fail("landlock_add_rule");
  }
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return fail("prctl(PR_SET_NO_NEW_PRIVS)");
  if (restrictSelf(ruleset) != 0) return fail("landlock_restrict_self");
  ::close(ruleset);
  return {Confinement::enforced, abi, {}};
}

}  // namespace

int landlockAbi() {
  const int abi = createRuleset(nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  return abi > 0 ? abi : 0;
}

ConfinementResult confineToOpenFile(int fd) {
  // The one grant: reading that file, when there is one. Without a file there is no rule,
  // and the process can open nothing at all.
  std::vector<Rule> rules;
  if (fd >= 0) rules.push_back({fd, LANDLOCK_ACCESS_FS_READ_FILE});
  return enforce(true, true, true, rules);
}

ConfinementResult confineTo(const std::vector<PathGrant>& grants) {
  const int abi = landlockAbi();
  std::vector<Rule> rules;
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
    rules.push_back({target, rights, true});
  }
  const ConfinementResult result = enforce(true, true, true, rules);
  for (const Rule& rule : rules)
    ::close(rule.fd);
  return result;
}

ConfinementResult confineNetwork() {
  return enforce(false, true, false, {});
}

namespace {

// The extension's filter as libseccomp compiles it; empty when it cannot.
std::string compileFilter() {
  // Anything not named below fails with EPERM, which the code that reads, decodes and answers
  // never meets.
  scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_ERRNO(EPERM));
  if (filter == nullptr) return {};
  int status = 0;
  const auto rule = [&](std::uint32_t action, int number) {
    if (status == 0 && number >= 0) status = ::seccomp_rule_add(filter, action, number, 0);
  };
  // Allowed: what reading the granted descriptor, decoding and answering was seen to need
  // (strace -f of forked and started extensions, also with a 7 MB document and under
  // AddressSanitizer): the descriptor's size and contents, memory, the clock for the entry's
  // date (usually without a system call), writing the answer, ending.
  for (const int number :
       {SCMP_SYS(fstat), SCMP_SYS(newfstatat), SCMP_SYS(read), SCMP_SYS(pread64), SCMP_SYS(write),
        SCMP_SYS(close), SCMP_SYS(brk), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(madvise),
        SCMP_SYS(futex), SCMP_SYS(clock_gettime), SCMP_SYS(gettimeofday), SCMP_SYS(rt_sigreturn),
        SCMP_SYS(exit), SCMP_SYS(exit_group)}) {
    rule(SCMP_ACT_ALLOW, number);
  }
#if defined(HALYARD_SANITIZED)
  // A sanitizer's checks probe whether memory is readable by writing it into a pipe, and its
  // exit path asks for its signal stack and thread.
  for (const int number :
       {SCMP_SYS(pipe2), SCMP_SYS(sigaltstack), SCMP_SYS(gettid), SCMP_SYS(getpid)}) {
    rule(SCMP_ACT_ALLOW, number);
  }
#endif
  // Memory, but never executable memory: no code can be brought in. (The comparisons are
  // spelled out: libseccomp's SCMP_A* macros are C compound literals.)
  for (const int number : {SCMP_SYS(mmap), SCMP_SYS(mprotect)}) {
    if (status == 0) {
      status = ::seccomp_rule_add(
          filter, SCMP_ACT_ALLOW, number, 1,
          scmp_arg_cmp{.arg = 2, .op = SCMP_CMP_MASKED_EQ, .datum_a = PROT_EXEC, .datum_b = 0});
    }
  }
  // Killed at once: what only an exploit would try (networking, typing into a terminal,
  // tracing, running code, changing the modes, owners, attributes or times of the user's
  // files, new namespaces). Newer calls of these families (fchmodat2, setxattrat, ...) are
  // unknown to this libseccomp and fail with EPERM.
  for (const int number : {SCMP_SYS(socket),
                           SCMP_SYS(socketpair),
                           SCMP_SYS(ptrace),
                           SCMP_SYS(process_vm_readv),
                           SCMP_SYS(process_vm_writev),
                           SCMP_SYS(execve),
                           SCMP_SYS(execveat),
                           SCMP_SYS(memfd_create),
                           SCMP_SYS(chmod),
                           SCMP_SYS(fchmod),
                           SCMP_SYS(fchmodat),
                           SCMP_SYS(chown),
                           SCMP_SYS(fchown),
                           SCMP_SYS(lchown),
                           SCMP_SYS(fchownat),
                           SCMP_SYS(setxattr),
                           SCMP_SYS(lsetxattr),
                           SCMP_SYS(fsetxattr),
                           SCMP_SYS(removexattr),
                           SCMP_SYS(lremovexattr),
                           SCMP_SYS(fremovexattr),
                           SCMP_SYS(utime),
                           SCMP_SYS(utimes),
                           SCMP_SYS(futimesat),
                           SCMP_SYS(utimensat),
                           SCMP_SYS(unshare),
                           SCMP_SYS(setns)}) {
    rule(SCMP_ACT_KILL_PROCESS, number);
  }
  // ioctl: only TIOCSTI is named (it kills); every other request fails with EPERM.
  if (status == 0) {
    status = ::seccomp_rule_add(
        filter, SCMP_ACT_KILL_PROCESS, SCMP_SYS(ioctl), 1,
        scmp_arg_cmp{
            .arg = 1, .op = SCMP_CMP_MASKED_EQ, .datum_a = 0xffffffffU, .datum_b = TIOCSTI});
  }
  // The program, through a pipe (it is a few hundred bytes).
  std::string program;
  int fds[2];
  if (status == 0 && ::pipe2(fds, O_CLOEXEC) == 0) {
    if (::seccomp_export_bpf(filter, fds[1]) == 0) {
      ::close(fds[1]);
      char buffer[4096];
      for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        program.append(buffer, static_cast<std::size_t>(n));
    } else {
      ::close(fds[1]);
    }
    ::close(fds[0]);
  }
  ::seccomp_release(filter);
  return program;
}

}  // namespace

const std::string& systemCallFilter() {
  static const std::string program = compileFilter();
  return program;
}

ConfinementResult installSystemCallFilter(std::string_view program) {
  if (program.empty() || program.size() % sizeof(sock_filter) != 0) {
    return {Confinement::failed, 0, "seccomp: the filter could not be compiled"};
  }
  std::vector<sock_filter> instructions(program.size() / sizeof(sock_filter));
  std::memcpy(instructions.data(), program.data(), program.size());
  const sock_fprog filter{static_cast<unsigned short>(instructions.size()), instructions.data()};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
      ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_SPEC_ALLOW, &filter) !=
          0) {
    return notEnforced(errno == EINVAL ? Confinement::unsupported : Confinement::failed, 0,
                       "seccomp", errno);
  }
  return {Confinement::enforced, 0, {}};
}

ConfinementResult filterSystemCalls() {
  return installSystemCallFilter(systemCallFilter());
}

}  // namespace halyard::host
