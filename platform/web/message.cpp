// The modal message box as a <dialog> on the page, and the display a page always has.
#include "platform/platform.h"
#include "platform/web/web.h"

#include <emscripten.h>

// The caption, the message and one OK button; the flight waits until the dialog is closed (OK, Esc, or the page
// closing Module.glideDialog as it stops the flight). A flight asked to stop shows no more.
EM_ASYNC_JS(int, ShowDialog, (const char* text, const char* caption), {
  if (typeof HTMLDialogElement != 'function' || Module.glideStop) return 0;
  var dialog = document.createElement('dialog');
  dialog.id = 'glide-message';
  var title = document.createElement('h2');
  title.textContent = UTF8ToString(caption);
  var message = document.createElement('p');
  message.textContent = UTF8ToString(text);
  message.style.whiteSpace = 'pre-wrap';
  var form = document.createElement('form');
  form.method = 'dialog';
  var ok = document.createElement('button');
  ok.textContent = 'OK';
  form.appendChild(ok);
  dialog.append(title, message, form);
  document.body.appendChild(dialog);
  var closed = new Promise((resolve) => dialog.addEventListener('close', resolve));
  try {
    dialog.showModal();
  } catch (refused) {
    dialog.remove();
    return 0;
  }
  Module.glideDialog = dialog;
  await closed;
  Module.glideDialog = null;
  dialog.remove();
  return 1;
});

int SystemMessageBox(HWND, const char* text, const char* caption, UINT) {
  ModalDialog(true);
  const int answer = ShowDialog(text, caption);
  ModalDialog(false);
  return answer;
}

bool HasDisplay() { return true; }
