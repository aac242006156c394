// What the web backend's files share.
#pragma once

// Set while a message box's dialog is up, which then has the keys (message: SystemMessageBox).
extern bool modalDialog;
