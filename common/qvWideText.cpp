#include "qvWideText.h"

#include <windows.h>

#include <vector>

std::wstring AnsiToWide(std::string_view text)
{
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], n);
    return wide;
}

std::string WideToAnsi(std::wstring_view text)
{
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), size, &ansi[0], n, nullptr, nullptr);
    return ansi;
}

bool FitsCodePage(std::wstring_view text)
{
    // A best-fit letter ("a" for "α") uses no default character, so only the
    // way back tells that the text changed.
    return AnsiToWide(WideToAnsi(text)) == text;
}

std::string WideToAnsiForRecord(const std::wstring& path)
{
    if (FitsCodePage(path)) return WideToAnsi(path);
    const DWORD need = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (need > 0) {
        std::vector<wchar_t> buffer(need + 1);
        const DWORD len = GetShortPathNameW(path.c_str(), buffer.data(), need + 1);
        const std::wstring shortPath(buffer.data(), len <= need ? len : 0);
        if (!shortPath.empty() && FitsCodePage(shortPath)) return WideToAnsi(shortPath);
    }
    return WideToAnsi(path);
}

std::wstring LongPathNameW(const std::wstring& path)
{
    const DWORD need = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (need == 0) return path;
    std::vector<wchar_t> buffer(need + 1);
    const DWORD len = GetLongPathNameW(path.c_str(), buffer.data(), need + 1);
    return len == 0 || len > need ? path : std::wstring(buffer.data(), len);
}

bool SameTextW(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size()) return false;
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::wstring ExtractFileNameW(std::wstring_view path)
{
    const size_t pos = path.find_last_of(L"\\/:");
    return std::wstring(pos == std::wstring_view::npos ? path : path.substr(pos + 1));
}

std::wstring ExtractFileDirW(std::wstring_view path)
{
    const size_t pos = path.find_last_of(L"\\/:");
    if (pos == std::wstring_view::npos) return {};
    // A root such as "C:\" keeps its separator.
    if (pos > 0 && path[pos] != L':' && path[pos - 1] != L':' && path[pos - 1] != L'\\')
        return std::wstring(path.substr(0, pos));
    return std::wstring(path.substr(0, pos + 1));
}

std::wstring ExcludeTrailingBackslashW(std::wstring_view path)
{
    std::wstring out(path);
    if (!out.empty() && out.back() == L'\\') out.pop_back();
    return out;
}
