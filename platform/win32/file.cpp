// Whole-file mappings and appends through the Win32 file calls; the heap as Windows keeps it.
#include "platform/platform.h"

#include <cstdlib>

// Opens without waiting and keeps only files on disk: a folder fails to open, and a device or pipe name
// (NUL, CON, COM1, \\.\pipe\...) is closed again at once.
static HANDLE OpenDiskFile(const char* name, DWORD access, DWORD disposition) {
  HANDLE file = CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

const uint8_t* MapFile(const char* name, size_t* size) {
  if (!name || !size) return nullptr;
  HANDLE file = OpenDiskFile(name, GENERIC_READ, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER length{};
  void* view = nullptr;
  if (GetFileSizeEx(file, &length) && length.QuadPart > 0 &&
      static_cast<unsigned long long>(length.QuadPart) <= SIZE_MAX) {
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping) {
      view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
      CloseHandle(mapping);
    }
  }
  CloseHandle(file);
  if (!view) return nullptr;
  *size = static_cast<size_t>(length.QuadPart);
  return static_cast<const uint8_t*>(view);
}

bool AppendFile(const char* name, const char* text, size_t size) {
  if (!name || (!text && size)) return false;
  HANDLE file = OpenDiskFile(name, FILE_APPEND_DATA, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return false;
  size_t done = 0;
  while (done < size) {
    DWORD written = 0;
    const DWORD chunk = size - done > 1u << 30 ? 1u << 30 : static_cast<DWORD>(size - done);
    if (!WriteFile(file, text + done, chunk, &written, nullptr) || written == 0) break;
    done += written;
  }
  CloseHandle(file);
  return done == size;
}

void UnmapFile(const uint8_t* view, size_t) {
  if (view) UnmapViewOfFile(view);
}

// Large pages need a privilege that programs are not given, so every block comes from the C heap.
void* AllocateBlock(size_t size) { return std::malloc(size); }

// Windows's heap gives large blocks their own mappings and has no threshold to raise.
void TuneAllocator() {}
