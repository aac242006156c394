// Read-only whole-file mappings, large blocks backed by huge pages, and the heap policy for large blocks.
#include "platform/platform.h"

#include <cstdlib>

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

const uint8_t* MapFile(const char* name, size_t* size) {
  if (!name || !size) return nullptr;
  int fd = open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  void* view = MAP_FAILED;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    view = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  close(fd);
  if (view == MAP_FAILED) return nullptr;
  *size = static_cast<size_t>(st.st_size);
  return static_cast<const uint8_t*>(view);
}

void UnmapFile(const uint8_t* view, size_t size) {
  if (view) munmap(const_cast<uint8_t*>(view), size);
}

void* AllocateBlock(size_t size) {
  constexpr size_t huge = size_t{2} << 20;
  if (size < 2 * huge) return std::malloc(size);
  const size_t rounded = (size + huge - 1) & ~(huge - 1);
  void* block = std::aligned_alloc(huge, rounded);
  if (block) madvise(block, rounded, MADV_HUGEPAGE);
  return block;
}

void TuneAllocator() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
}
