#pragma once
// Text helpers on 8-bit ANSI strings, free of any system call.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using TStringList = std::vector<std::string>;

// Letter case in code page 1251: ASCII plus the Cyrillic letters (0xC0-0xDF
// upper, 0xE0-0xFF lower; Ё 0xA8 / ё 0xB8).
char LowerChar(char c);
char UpperChar(char c);
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
bool StartsText(std::string_view prefix, std::string_view text);  // ignores case
bool ContainsText(std::string_view text, std::string_view part);  // ignores case
bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWith(std::string_view text, std::string_view suffix);

std::string Trim(std::string_view text);       // blanks and control characters at both ends
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// Path parts as the runtime splits them: the folder ends at the last "\", "/" or ":".
std::string ExtractFileName(std::string_view path);
std::string ExtractFilePath(std::string_view path);  // with its trailing separator
std::string ExtractFileDir(std::string_view path);   // without it (a root keeps its "\")
std::string ExtractFileExt(std::string_view path);   // from the last "." of the name, with the "."
std::string ExtractFileDrive(std::string_view path); // "C:" or "\\server\share"
std::string IncludeTrailingBackslash(std::string_view path);
std::string ExcludeTrailingBackslash(std::string_view path);

std::string IntToStr(int64_t value);
// Text lines split at CR LF, LF or CR; a final line break adds no empty line.
TStringList SplitLines(std::string_view text);
// Lines joined with CR LF after each one.
std::string JoinLines(const TStringList& lines);
std::string JoinList(const TStringList& list, std::string_view separator);
int IndexOfText(const TStringList& list, std::string_view text);  // ignores case, -1 when absent
int IndexOf(const TStringList& list, std::string_view text);      // exact, -1 when absent
// Entries that are stored one per line or one per string: 32 hex digits (an
// MD5 digest as text), and a non-empty text without CR, LF or NUL.
bool IsMd5Hex(std::string_view text);
bool IsOneLineEntry(std::string_view text);
