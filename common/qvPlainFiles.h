#pragma once
// Files that a program with system rights reads, writes, moves or deletes in
// places where someone else may have put a link or a hard link. Each file is
// opened without following links, checked through its handle (a plain file,
// one hard link, the very object its path names) and then read, written,
// renamed or deleted through that same handle: a check by name followed by a
// use by name would be a race. A refusal leaves kNotPlainError in
// GetLastError, so a caller can tell it from a missing or locked file.
#include <cstdint>
#include <string>

#include "qvHandles.h"
#include "qvStrings.h"

// A link, a reparse point, a second hard link or another object than the one
// the path names.
constexpr DWORD kNotPlainError = ERROR_CANT_ACCESS_FILE;

enum class TCreate { Never, IfMissing, AlwaysNew };

// The plain file the path names, opened with `access` (the check's own rights
// are added). IfMissing creates it only where nothing at all has the name, so
// a dangling link is never followed to create its target; AlwaysNew creates
// or fails. An empty handle otherwise.
UniqueHandle OpenPlainFile(const std::string& path, DWORD access, DWORD share, TCreate create);
UniqueHandle OpenPlainFileW(const std::wstring& path, DWORD access, DWORD share, TCreate create);
// The open object is a plain file of one link, and the path names it.
bool IsPlainFileHandle(HANDLE file, const std::string& path);
bool IsPlainFileHandleW(HANDLE file, const std::wstring& path);
// Nothing has the name, or a plain file has it: a name that may be written
// over. Anything else there (a link, a second hard link) refuses.
bool IsMissingOrPlainFile(const std::string& path);
bool IsMissingOrPlainFileW(const std::wstring& path);

// Through a handle opened with DELETE.
bool DeleteThroughHandle(HANDLE object);
bool RenameThroughHandle(HANDLE object, const std::string& newPath, bool replace);
bool RenameThroughHandleW(HANDLE object, const std::wstring& newPath, bool replace);

bool ReadPlainFile(const std::string& path, std::string& bytes);     // false when missing or refused
// The whole file: written into a new file beside it and moved over it.
bool WritePlainFile(const std::string& path, const std::string& bytes);
bool WriteNewPlainFile(const std::string& path, const std::string& bytes);  // only a name nobody uses
bool WriteNewPlainFileW(const std::wstring& path, const std::string& bytes);
bool AppendPlainFile(const std::string& path, const std::string& bytes);
bool LoadPlainLines(const std::string& path, TStringList& lines);
bool SavePlainLines(const std::string& path, const TStringList& lines);
// True when nothing has the name any more (also when nothing had it).
bool DeletePlainFile(const std::string& path);
// A plain file at `to` is replaced; anything else there refuses the rename.
bool RenamePlainFile(const std::string& from, const std::string& to);

// Moves, copies and deletes on someone else's behalf: the folders on both
// sides are opened as plain folders (OpenPlainFolder) and held without delete
// sharing, so neither can be swapped for a link until the act is done, and
// the file itself must be plain. `why` tells a refusal in words for the log
// (paths in their record form, WideToAnsiForRecord).
bool MoveFileHeldW(const std::wstring& source, const std::wstring& target, std::string& why);
bool DeleteFileHeldW(const std::wstring& path, std::string& why);
// The target is written over when it exists (it must be plain too).
bool CopyFileHeld(const std::string& source, const std::string& target, std::string& why);
