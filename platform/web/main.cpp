// The process entry in the page: callMain's arguments are kept for CommandArguments, then the program starts.
#include "platform/imitation.h"

#include <emscripten.h>

#include <cstdlib>

// main is suspended at every frame, so its return reaches no one: exit ends the run and tells the page
// (onExit). Once main has been suspended, exit's unwinding ends in the promise of the last resumption, taken
// here as the end it is; a fault there (a trap, a stack overflow) aborts the run, which tells the page
// (onAbort) instead of leaving it on a frozen frame.
int main(int argc, char** argv) {
  KeepArguments(argc, argv);
  EM_ASM({
    Module.glideResumed = performance.now();
    // An aborted run stops listening to the page, as an exited one does.
    var onAbort = Module.onAbort;
    Module.onAbort = (what) => {
      JSEvents.removeAllEventListeners();
      if (onAbort) onAbort(what);
    };
    Asyncify.whenDone().catch((e) => {
      if (e instanceof ExitStatus) return;
      try {
        abort(e);
      } catch (aborted) {
        // abort throws what it has already reported.
      }
    });
  });
  std::exit(WinMain(nullptr, nullptr, argc > 0 ? argv[0] : nullptr, SW_SHOWNORMAL));
}
