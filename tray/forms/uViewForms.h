#pragma once
// Registers the tray's viewing windows with the form classes: the status
// window, the event report and its properties, the splash and the browser.
// At program start, before anything may open them.
void RegisterViewForms();
