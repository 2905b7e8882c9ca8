#pragma once
// Folders a program with system rights keeps as its own (the data folder and
// the folders inside it). It makes them with a protected descriptor of its
// own: owner SYSTEM, full control for SYSTEM and Administrators, read and
// execute for users, nothing inherited. A folder it finds already there is
// used only when it is a plain folder (no link on the way) that SYSTEM or
// Administrators own; a folder a user made is moved aside, never deleted.
#include <string>

#include "qvHandles.h"

// The descriptor given to every own folder, in SDDL.
extern const char* const kOwnFolderSddl;

enum class TFolderOwner { Trusted, Other, Unknown };
// The owner of the open folder: SYSTEM or Administrators, someone else, or
// unknown where the file system keeps no owners (FAT, Wine).
TFolderOwner FolderOwnerOf(HANDLE folder);
// Tests answer the owner themselves (Wine keeps none); null restores.
using FolderOwnerLookup = TFolderOwner (*)(HANDLE folder);
void SetFolderOwnerLookup(FolderOwnerLookup lookup);

// What TakeOwnFolder found and did, in words for the log (empty when the
// folder was simply there and already ours).
struct TOwnFolderResult {
    bool Usable = false;
    std::string Note;
};

// Makes the folder, or checks the one that is there and gives it the own
// descriptor; a folder that is not fit (a user's, a link, not a folder) is
// renamed to "<name>.untrusted-<time stamp>" and a fresh one is made.
TOwnFolderResult TakeOwnFolder(const std::string& folder);
