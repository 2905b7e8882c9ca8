#pragma once
// File-system helpers over the Win32 calls (Windows rules: names ignore
// case, folders do not count as files).
#include <cstdint>
#include <string>

#include "qvHandles.h"
#include "qvStrings.h"

bool FileExists(const std::string& path);
bool FileExistsW(const std::wstring& path);
bool DirectoryExists(const std::string& path);
bool IsReparsePoint(const std::string& path);
// The path with every short (8.3) name made long; the path itself when the
// object does not exist.
std::string LongPathName(const std::string& path);
// Whether the open object is the one the path names, by the system's own name
// for it; true where this Windows cannot tell (XP lacks the call).
bool OpenObjectIsNamed(HANDLE object, const std::string& path);
bool OpenObjectIsNamedW(HANDLE object, const std::wstring& path);
// A program with system rights works on a user's files only where no link
// can send it elsewhere: no component of the path, from the drive root down,
// is a reparse point (junction or symbolic link), and the existing object's
// own name, as the system reports it for the open object, is the path itself
// (some links show no reparse attribute).
bool HasNoLinkOnTheWay(const std::string& path);
bool HasNoLinkOnTheWayW(const std::wstring& path);
// The folder opened only when it is a plain folder with no link on the way;
// while the handle is held nobody can rename or remove the folder to put a
// link in its place. An empty handle otherwise.
UniqueHandle OpenPlainFolder(const std::string& folder);
UniqueHandle OpenPlainFolderW(const std::wstring& folder);
// The path lies inside the folder (below it, not the folder itself), with no
// ".." part and no link on the way (HasNoLinkOnTheWay).
bool LiesInsideWithoutLinks(const std::string& path, const std::string& folder);
bool CreateDir(const std::string& path);
bool ForceDirectories(const std::string& path);
bool RemoveFile(const std::string& path);
bool RenameFile(const std::string& from, const std::string& to);
int64_t FileSizeOf(const std::string& path);  // -1 when it cannot be read
// Size and last write time: what changes when a file is replaced or updated.
struct TFileStamp {
    int64_t Size = -1;  // -1 when the file cannot be read
    uint64_t WriteTime = 0;
    bool operator==(const TFileStamp&) const = default;
};
TFileStamp FileStampOf(const std::string& path);

// Everything from the handle's position on, and all the bytes written at it.
bool ReadAllBytes(HANDLE file, std::string& bytes);
bool WriteAllBytes(HANDLE file, const std::string& bytes);
// Whole file as bytes; false when it cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::string& bytes);
// Writes the bytes as the whole file (created or truncated).
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Text lines of a file; false when it cannot be read (the list is then empty).
bool LoadLines(const std::string& path, TStringList& lines);
// Lines with CR LF after each one.
bool SaveLines(const std::string& path, const TStringList& lines);
// Appends bytes at the end of the file, creating it when missing.
bool AppendBytes(const std::string& path, const std::string& bytes);

std::string ExpandEnvironment(const std::string& text);  // the text itself when expansion fails
std::wstring ExpandEnvironmentW(const std::wstring& text);
std::string ModuleFileName();   // full path of the running program
std::string ModuleFolder();     // its folder with a trailing "\"
