#include "qvStrings.h"

#include <algorithm>
#include <cctype>

char LowerChar(char c)
{
    auto u = static_cast<unsigned char>(c);
    if (u >= 'A' && u <= 'Z') return static_cast<char>(u + 32);
    if (u >= 0xC0 && u <= 0xDF) return static_cast<char>(u + 32);
    if (u == 0xA8) return static_cast<char>(0xB8);
    return c;
}

char UpperChar(char c)
{
    auto u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
    if (u >= 0xE0) return static_cast<char>(u - 32);
    if (u == 0xB8) return static_cast<char>(0xA8);
    return c;
}

std::string LowerCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = LowerChar(c);
    return out;
}

std::string UpperCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = UpperChar(c);
    return out;
}

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    return true;
}

bool StartsText(std::string_view prefix, std::string_view text)
{
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

bool ContainsText(std::string_view text, std::string_view part)
{
    return LowerCase(text).find(LowerCase(part)) != std::string::npos;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

static bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string TrimLeft(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && IsTrimmed(text[i])) ++i;
    return std::string(text.substr(i));
}

std::string TrimRight(std::string_view text)
{
    size_t n = text.size();
    while (n > 0 && IsTrimmed(text[n - 1])) --n;
    return std::string(text.substr(0, n));
}

std::string Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

static size_t LastDelimiter(std::string_view path, std::string_view delims)
{
    size_t pos = path.find_last_of(delims);
    return pos;
}

std::string ExtractFileName(std::string_view path)
{
    size_t pos = LastDelimiter(path, "\\/:");
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string ExtractFilePath(std::string_view path)
{
    size_t pos = LastDelimiter(path, "\\/:");
    return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

std::string ExtractFileDir(std::string_view path)
{
    size_t pos = LastDelimiter(path, "\\/:");
    if (pos == std::string_view::npos) return {};
    // keep the separator of a root such as "C:\"
    if (pos > 0 && (path[pos] == '\\' || path[pos] == '/') && path[pos - 1] != ':' && path[pos - 1] != '\\')
        return std::string(path.substr(0, pos));
    return std::string(path.substr(0, pos + 1));
}

std::string ExtractFileExt(std::string_view path)
{
    size_t pos = LastDelimiter(path, ".\\/:");
    if (pos == std::string_view::npos || path[pos] != '.') return {};
    return std::string(path.substr(pos));
}

std::string ExtractFileDrive(std::string_view path)
{
    if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        size_t server = path.find('\\', 2);
        if (server == std::string_view::npos) return std::string(path);
        size_t share = path.find('\\', server + 1);
        return std::string(share == std::string_view::npos ? path : path.substr(0, share));
    }
    return {};
}

std::string IncludeTrailingBackslash(std::string_view path)
{
    std::string out(path);
    if (out.empty() || out.back() != '\\') out += '\\';
    return out;
}

std::string ExcludeTrailingBackslash(std::string_view path)
{
    std::string out(path);
    if (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

TStringList SplitLines(std::string_view text)
{
    TStringList lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::string JoinLines(const TStringList& lines)
{
    std::string out;
    for (const auto& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

std::string JoinList(const TStringList& list, std::string_view separator)
{
    std::string out;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i) out += separator;
        out += list[i];
    }
    return out;
}

int IndexOfText(const TStringList& list, std::string_view text)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (SameText(list[i], text)) return static_cast<int>(i);
    return -1;
}

int IndexOf(const TStringList& list, std::string_view text)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == text) return static_cast<int>(i);
    return -1;
}

bool EndsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool IsMd5Hex(std::string_view text)
{
    return text.size() == 32 &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

bool IsOneLineEntry(std::string_view text)
{
    return !text.empty() && text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}
