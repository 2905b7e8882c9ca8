#pragma once
// The tray's reach to the internet: opening an address and testing whether
// the internet can be reached (WinINet).
#include <string>

// The shell's "open" of the address (the user's browser), or the tray's own
// browser window when `inBrowser` (mode 0 maximised, 1 normal 800 x 500).
// Only web addresses are opened: the addresses come from settings and
// messages that any local program can set. False when refused, or when the
// browser window is asked for before the program set its opener.
bool OpenAddress(const std::string& address, int mode, bool inBrowser = false);
// WinINet online, then a forced connection test of a well-known address.
bool CheckInternet();
// The address CheckInternet tests; empty gives back the built-in one (tests
// point it at a listener of their own).
void SetInternetCheckAddress(const std::string& address);
// WinINet's connected state for the whole process.
void SetInternetOffline(bool offline);
// The connected state (1 online, 16 offline by the user) that WinINet last
// took from SetInternetOffline; 0 before any. WinINet itself may not say:
// Wine's answers "connected" whatever was set.
unsigned long LastInternetStateSet();
// An address of the web, the only kind the tray opens for a message from
// outside: anything else (a program path, a share) would run on one click.
bool IsWebAddress(const std::string& address);
