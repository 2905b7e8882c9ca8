#pragma once
// Shows a file selected in an Explorer window: an Explorer window already
// showing its folder is closed first (a new one opens with the file
// selected), through the shell's window list; when that list cannot be
// used, or the shell refuses to start Explorer, the plain command line runs.
#include <string>

enum class TExplorerRoute { Missing, Shell, CommandLine };

// Nothing for a path that does not exist (file or folder).
TExplorerRoute ShowInExplorer(const std::string& path);

// The event's path selected in its folder, or, when the file is gone, that
// folder itself opened; looked at with the 64-bit system folder unredirected
// (the path was written by the service).
TExplorerRoute ShowPathOrFolder(const std::string& path);
