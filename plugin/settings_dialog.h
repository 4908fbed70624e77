// The settings dialog of the package library (Windows): opened from the
// client's plugin list and from the plugin's menu.
#pragma once

// Shows the dialog, or brings the open one to the front, and returns at
// once. OK saves the choices for this user and applies them at once. Does
// nothing where there is no dialog (Linux: the environment is read).
void OpenSettingsDialog();

// Closes the dialog, if open, and waits for its thread: before unloading.
void CloseSettingsDialog();
