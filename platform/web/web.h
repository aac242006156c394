// What the web backend's files share.
#pragma once

// A message box's dialog opens (true) or closes (false); meanwhile it has the keys (window).
void ModalDialog(bool up);
