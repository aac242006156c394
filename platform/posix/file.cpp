// Whole-file mappings and appends that never wait on a FIFO, huge-page blocks, the heap policy for large blocks.
#include "platform/platform.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

// Opening without waiting: a FIFO would otherwise hold the open until a writer comes. What was opened is
// then checked, not the name, which could have been replaced in between.
static int OpenWithoutWaiting(const char* name, int flags) {
  const int fd = open(name, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  struct stat st;
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(fd);
    return -1;
  }
  return fd;
}

const uint8_t* MapFile(const char* name, size_t* size) {
  if (!name || !size) return nullptr;
  int fd = OpenWithoutWaiting(name, O_RDONLY);
  if (fd < 0) return nullptr;
  struct stat st;
  void* view = MAP_FAILED;
  if (fstat(fd, &st) == 0 && st.st_size > 0)
    view = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  close(fd);
  if (view == MAP_FAILED) return nullptr;
  *size = static_cast<size_t>(st.st_size);
  return static_cast<const uint8_t*>(view);
}

bool AppendFile(const char* name, const char* text, size_t size) {
  if (!name || (!text && size)) return false;
  const int fd = OpenWithoutWaiting(name, O_WRONLY | O_APPEND | O_CREAT);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, text + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  return done == size;
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
