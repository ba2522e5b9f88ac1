// Transparent huge pages for large buffers that are about to be filled.
//
// A 24-megapixel bitmap is 96 MB of fresh memory: 24,000 page faults in 4 KiB pages, which on
// some machines (virtual machines that back guest memory lazily, above all) cost more than
// decoding the picture; in 2 MiB pages it is fifty. Where the kernel gives huge pages only on
// request (transparent_hugepage "madvise", a common default), this makes the request.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

// Advises huge pages over [data, data + bytes), memory that has not been touched yet. Only
// whole 2 MiB stretches can use them, so small buffers are left alone. Advice only: it never
// fails and never changes the contents.
inline void AdviseHugePages(void* data, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr size_t MinBytes = size_t(4) << 20;
  if (!data || bytes < MinBytes) return;
  const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(page - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}
