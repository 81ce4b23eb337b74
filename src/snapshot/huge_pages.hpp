#pragma once
// Large buffers of a large document in huge pages.

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace halyard::detail {

// From this size on, a document's buffers are worth huge pages: a buffer of several megabytes
// that is written once otherwise costs a page fault for every 4 KiB, which on a virtual
// machine is most of the time that reading and decoding it takes.
inline constexpr std::size_t kHugePagesFrom = std::size_t{4} << 20;

// Asks the kernel for huge pages behind the not yet touched memory at `data` (a hint: nothing
// changes where it says no). Only whole pages inside the buffer are named.
inline void adviseHugePages(const void* data, std::size_t bytes) {
  if (data == nullptr || bytes < kHugePagesFrom) return;
  constexpr std::uintptr_t kPage = 4096;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kPage - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace halyard::detail
