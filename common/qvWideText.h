#pragma once
// Names in any script. The guards and the path, registry and file units keep
// names as wide strings and act through the W API; the ANSI code page is only
// the form records, logs and mailslot texts carry, made here and nowhere else.
#include <string>
#include <string_view>

std::wstring AnsiToWide(std::string_view text);
// Best fit: a letter the code page lacks becomes its nearest look-alike or "?".
std::string WideToAnsi(std::wstring_view text);
// Whether the text survives the trip through the ANSI code page unchanged.
bool FitsCodePage(std::wstring_view text);
// The one ANSI form of a file's path for records and messages: the path
// itself when it fits the code page, else its short (8.3) form where the
// file has one (the ANSI API then still reaches it), else the best-fit text.
std::string WideToAnsiForRecord(const std::wstring& path);
// The path with every short name made long; the path itself when the object
// does not exist.
std::wstring LongPathNameW(const std::wstring& path);
bool SameTextW(std::wstring_view a, std::wstring_view b);  // ignores case, any script
// Path parts split as ExtractFileName, ExtractFileDir, ExcludeTrailingBackslash do.
std::wstring ExtractFileNameW(std::wstring_view path);
std::wstring ExtractFileDirW(std::wstring_view path);
std::wstring ExcludeTrailingBackslashW(std::wstring_view path);
