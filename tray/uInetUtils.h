#pragma once
// The tray's reach to the internet: opening an address and testing whether
// the internet can be reached (WinINet).
#include <string>

// The shell's "open" of the address (the user's browser), or the tray's own
// browser window when `inBrowser` (mode 0 maximised, 1 normal 800 x 500).
void OpenAddress(const std::string& address, int mode, bool inBrowser = false);
// WinINet online, then a forced connection test of a well-known address.
bool CheckInternet();
// WinINet's connected state for the whole process.
void SetInternetOffline(bool offline);
// An address of the web, the only kind the tray opens for a message from
// outside: anything else (a program path, a share) would run on one click.
bool IsWebAddress(const std::string& address);
