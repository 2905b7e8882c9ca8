#pragma once
// The jail: the quarantine folder ("jail" in the data folder) where the
// guards and the killer move the program files of what they ended. A file
// moves there as "<time stamp><name>.zlo", and the move is recorded.
#include <string>

#include "Trust.h"

std::string JailFolder();  // data folder + "jail"

// Moves the file into the jail, unless it is missing or approved (good list
// or signature), or a link lies on the way to it or to the jail.
void JailFile(const std::string& path);
void JailFileW(const std::wstring& path);  // a file named in any script
// A file whose digest the caller has read: judged and recorded with it.
void JailFile(const TFileDigest& file);
