#include "uLanguageFile.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "qvStrings.h"

namespace {

struct LanguageKey {
    const char* Section;
    const char* Key;
};

// Generated from the list the language files are checked against.
const LanguageKey kProgramKeys[] = {
#include "LanguageKeyList.inc"
};

std::string Trimmed(const std::string& text, size_t begin, size_t end)
{
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r')) --end;
    return text.substr(begin, end - begin);
}

// The section name of a header line ("[gui]"), or nothing for other lines.
std::optional<std::string> HeaderName(const std::string& line)
{
    if (line.empty() || line[0] != '[') return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string::npos) return std::nullopt;
    return Trimmed(line, 1, close);
}

// The key of a "key=value" line, or empty.
std::string KeyOf(const std::string& line)
{
    const size_t equals = line.find('=');
    if (equals == std::string::npos || line[0] == ';') return {};
    return Trimmed(line, 0, equals);
}

}  // namespace

bool IsProgramLanguageKey(const std::string& section, const std::string& key)
{
    return std::any_of(std::begin(kProgramKeys), std::end(kProgramKeys), [&](const LanguageKey& entry) {
        return SameText(entry.Section, section) && SameText(entry.Key, key);
    });
}

std::optional<std::string> WithEmptyIniKey(const std::string& text, const std::string& section,
                                           const std::string& key)
{
    std::optional<size_t> insertAt;  // just behind the section's header line
    bool inSection = false;
    size_t lineStart = 0;
    while (lineStart < text.size()) {
        size_t lineEnd = text.find('\n', lineStart);
        const size_t next = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
        if (lineEnd == std::string::npos) lineEnd = text.size();
        const std::string line = Trimmed(text, lineStart, lineEnd);
        if (auto name = HeaderName(line)) {
            inSection = SameText(*name, section);
            if (inSection && !insertAt) insertAt = next;
        } else if (inSection && SameText(KeyOf(line), key)) {
            return std::nullopt;
        }
        lineStart = next;
    }
    const bool endsOpen = !text.empty() && text.back() != '\n';
    std::string result = text;
    if (insertAt && *insertAt < text.size()) {
        result.insert(*insertAt, key + "=\r\n");
    } else if (insertAt) {  // the header is the last line
        result += (endsOpen ? "\r\n" : "") + key + "=\r\n";
    } else {
        result += (endsOpen ? "\r\n" : "") + std::string("[") + section + "]\r\n" + key + "=\r\n";
    }
    return result;
}
