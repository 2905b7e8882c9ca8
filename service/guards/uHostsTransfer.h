#pragma once
// The files through which hosts contents travel between the tray and the
// service: 13/15 copies the hosts file out to one, 13/17 installs one as the
// hosts file. Any local user can write to the service's slot, so the service
// only makes new files and reads plain ones, named as the tray's temporary
// files, lying directly in the console user's temporary folder or its own.
#include <cstdint>
#include <string>

#include "qvStrings.h"

// A file larger than this is never taken for a hosts file.
constexpr int64_t kMaxHostsTransferSize = 16 * 1024 * 1024;

// The console user's TEMP folder when it lies inside the user's profile
// folder with no link on the way, and the service's own unless it is the data
// folder; without trailing "\".
TStringList HostsTransferFolders();

// A local absolute path ("X:\...") without "." or ".." parts, streams or
// wildcards, whose name ends in "qrv.~tmp" and whose folder is one of
// HostsTransferFolders; no link on its way.
bool IsHostsTransferPath(const std::string& path);

// Creates the file (never opening an existing one, a link included) and
// writes the bytes. False, with nothing left behind, when the new file is not
// where the path says or a write fails.
bool WriteNewTransferFile(const std::string& path, const std::string& bytes);

enum class TTransferRead { Read, Missing, Refused };
// Reads the whole file when it is a plain file with a single link whose final
// path is the path given and whose size is within the limit.
TTransferRead ReadTransferFile(const std::string& path, std::string& bytes);
