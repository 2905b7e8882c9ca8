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
// The path with every short (8.3) name made long; the path itself when the
// object does not exist.
std::string LongPathName(const std::string& path);
// Whether the open object is the one the path names, by the system's own name
// for it; true where this Windows cannot tell (XP lacks the call).
bool OpenObjectIsNamed(HANDLE object, const std::string& path);
bool OpenObjectIsNamedW(HANDLE object, const std::wstring& path);
// A program with system rights works in a user's folder only where no link
// can send it elsewhere. The folder opened only when it is a plain folder
// with no link on the way: the open object is a folder, not a reparse point,
// the system's own name for it is the path itself (some links show no
// reparse attribute), and no folder above it, from the drive root down, is a
// reparse point. While the handle is held nobody can rename or remove the
// folder, or one above it, to put a link in its place. An empty handle
// otherwise.
UniqueHandle OpenPlainFolder(const std::string& folder);
UniqueHandle OpenPlainFolderW(const std::wstring& folder);
// The check of OpenPlainFolder, for a folder already open.
bool IsPlainFolderHandle(HANDLE folder, const std::string& path);
// The path lies below the folder (not the folder itself) by its name, with no
// ".." part; short names are made long on both sides first.
bool LiesInside(const std::string& path, const std::string& folder);
// A folder inside `outer` (LiesInside) that opens as a plain folder.
bool IsPlainFolderInside(const std::string& folder, const std::string& outer);
bool CreateDir(const std::string& path);
bool ForceDirectories(const std::string& path);
bool RemoveFile(const std::string& path);
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

std::string ExpandEnvironment(const std::string& text);  // the text itself when expansion fails
std::wstring ExpandEnvironmentW(const std::wstring& text);
std::string ModuleFileName();   // full path of the running program
std::string ModuleFolder();     // its folder with a trailing "\"
