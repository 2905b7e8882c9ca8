#pragma once
// What the event report and its properties window decide without a window:
// which events carry a path to show, how a shell window's location becomes
// a folder, and the Explorer command lines that select a file.
#include <string>

#include "uReportEvent.h"

// Events whose path field means nothing to open: the MBR, the copies of
// userinit/taskmgr/ctfmon, the two blocked tools, and a hosts event without
// a file.
bool EventHidesPath(int kind, const std::string& data);

// A shell window's location URL as a folder with a trailing "\":
// "file:///C:/a%20b" gives "C:\a b\"; any other location stays as it is.
std::string LocationUrlToFolder(const std::string& url);

// "/select," and the quoted full path: a name with a comma or a blank must
// reach Explorer as one argument.
std::string ExplorerSelectParameters(const std::string& path);
// The folder itself to open, given with or without its trailing "\": quoted
// without the "\", which would escape the closing quote; a drive's root
// keeps it unquoted ("C:" alone names the current folder of the drive).
std::string ExplorerFolderParameters(const std::string& folder);
// The plain command line used when the shell's window list cannot be used:
// the program (quoted when it holds a blank), then the parameters.
std::string ExplorerCommandLineWith(const std::string& program, const std::string& parameters);

