// What the program needs of the system: the Win32 window, GDI and WGL calls, and glide's own services below.
//
// A backend is one folder, chosen by the build: win32/ on Windows (the system's own <windows.h>); sdl/ with
// posix/ on Linux; web/ with posix/ in a browser. The last two implement win32api.h, the Win32 subset the
// program calls, under its names. Each backend defines `keys` and every function declared here but MessageBox
// (platform/message.cpp, shared; the two imitating Win32 also share its message queue and fonts, imitation.h),
// and its process entry calls the program's WinMain, or is WinMain itself where the system starts programs there.
// README.md here is the whole contract: the message stream's rules and the GL subset a backend must draw.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The program's message box, below, honours batch mode; the system's is MessageBoxA.
#undef MessageBox
// An extension of the driver, asked for through wglGetProcAddress; false where the driver has none.
bool wglSwapIntervalEXT(int interval);
#else
#include "platform/win32api.h"
#endif

// The end of a line in a text file, as the system's text streams write it.
#ifdef _WIN32
constexpr char LineEnd[] = "\r\n";
#else
constexpr char LineEnd[] = "\n";
#endif

// printf-style checking of a function's format argument, where the compiler offers it.
#if defined(__GNUC__)
#define GLIDE_PRINTF(formatArg, firstArg) __attribute__((format(printf, formatArg, firstArg)))
#else
#define GLIDE_PRINTF(formatArg, firstArg)
#endif

// Set by app options (or the fuzzers): 0 shows message boxes, 1 writes them to stderr, 2 drops them.
extern int bBatchMode;
// Set by the scene tools: when set, every message box goes to it instead, whatever bBatchMode says.
extern void (*MessageSink)(const char* caption, const char* text);
// Indexed by virtual-key code, 1 while the key is down (app main: WinProc). It lives here, below both the
// window procedure that writes it and the glider controls that read it.
extern int keys[256];

// The modal message box with an OK button, or a line on stderr as bBatchMode says.
int MessageBox(HWND owner, const char* text, const char* caption, UINT type);
// The backend's modal message box: the button pressed, or 0 where none could be shown.
int SystemMessageBox(HWND owner, const char* text, const char* caption, UINT type);
// Whether message boxes can be shown at all: false where no display can be reached.
bool HasDisplay();
// The process's arguments, UTF-8; standard streams that were handed over (redirected) are ready for them.
char** CommandArguments(int* count);

// Whole-file read-only mapping; null for a missing, unreadable or empty file, and at once for anything but a
// regular file (a FIFO, a device, a socket or a folder).
const uint8_t* MapFile(const char* name, size_t* size);
// Appends to a regular file, made if missing; false, without waiting, where that cannot be done.
bool AppendFile(const char* name, const char* text, size_t size);
void UnmapFile(const uint8_t* view, size_t size);
// Memory for realloc() and free(); where the system allows, blocks of some megabytes ask for huge pages,
// whose first touch costs far less.
void* AllocateBlock(size_t size);
// Keeps the C heap from handing large freed blocks back to the system: the GL driver allocates and frees
// copies of the client arrays in every draw, and a block handed back costs all its page faults again.
void TuneAllocator();
