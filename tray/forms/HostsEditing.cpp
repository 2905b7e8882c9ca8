#include "HostsEditing.h"

#include <algorithm>

void SplitHostPair(const std::string& pair, std::string& host, std::string& address)
{
    const size_t at = pair.find('@');
    if (at == std::string::npos) {
        host.clear();
        address = pair;
        return;
    }
    host = pair.substr(0, at);
    address = pair.substr(at + 1);
}

std::string HostPair(const std::string& host, const std::string& address) { return Trim(host + "@" + address); }

std::string AllowEntry(const std::string& host, const std::string& address)
{
    const std::string h = Trim(host);
    const std::string a = Trim(address);
    if (h.empty() || a.empty()) return {};
    return h + "@" + a;
}

std::string HostsLineFor(const std::string& host, const std::string& address)
{
    return Trim(address) + "  " + Trim(host);
}

TAllowList::TAllowList(const TStringList& lines)
{
    keys_.reserve(lines.size());
    for (const std::string& line : lines) keys_.insert(LowerCase(line));
}

bool TAllowList::Contains(const std::string& pair) const { return keys_.count(LowerCase(pair)) != 0; }

std::vector<THostsRow> RedirectRows(const TStringList& pairs, const TAllowList& allowed)
{
    std::vector<THostsRow> rows;
    rows.reserve(pairs.size());
    for (const std::string& pair : pairs) {
        THostsRow row;
        SplitHostPair(pair, row.Host, row.Address);
        row.Allowed = allowed.Contains(pair);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<THostsRow> AllowListRows(const TStringList& lines)
{
    std::vector<THostsRow> rows;
    rows.reserve(lines.size());
    for (const std::string& line : lines) {
        THostsRow row;
        SplitHostPair(line, row.Host, row.Address);
        row.Allowed = true;
        rows.push_back(std::move(row));
    }
    return rows;
}

namespace {

// The tokens of a hosts line as the service reads it: comment cut, tabs to
// blanks, split at single blanks (runs of blanks give empty tokens).
TStringList LineTokens(const std::string& line)
{
    std::string text = Trim(line.substr(0, line.find('#')));
    std::replace(text.begin(), text.end(), '\t', ' ');
    text = Trim(text);
    TStringList tokens;
    if (text.empty()) return tokens;
    for (size_t start = 0;;) {
        const size_t blank = text.find(' ', start);
        tokens.push_back(Trim(text.substr(start, blank == std::string::npos ? std::string::npos : blank - start)));
        if (blank == std::string::npos) break;
        start = blank + 1;
    }
    return tokens;
}

bool LineMapsPair(const std::string& line, const std::string& pair)
{
    const TStringList tokens = LineTokens(line);
    for (size_t i = 1; i < tokens.size(); ++i)
        if (!tokens[i].empty() && SameText(Trim(tokens[i] + "@" + tokens[0]), pair)) return true;
    return false;
}

}  // namespace

int CommentOutPair(TStringList& lines, const std::string& pair)
{
    int changed = 0;
    for (std::string& line : lines) {
        if (!LineMapsPair(line, pair)) continue;
        line = "#" + line;
        ++changed;
    }
    return changed;
}

bool FindInText(const std::string& text, const std::string& what, size_t& position)
{
    if (what.empty()) return false;
    const size_t at = text.find(what);
    if (at == std::string::npos) return false;
    position = at;
    return true;
}

bool IsDeletableHostsCopy(const std::string& path, const std::string& tempFolder)
{
    if (tempFolder.empty()) return false;
    const std::string name = ExtractFileName(path);
    if (name.size() <= std::char_traits<char>::length(kHostsCopySuffix)) return false;
    if (!EndsWith(LowerCase(name), kHostsCopySuffix)) return false;
    return SameText(ExtractFilePath(path), IncludeTrailingBackslash(tempFolder));
}

void THostsCopyWait::Start(uint32_t nowMs)
{
    state_ = TState::Waiting;
    started_ = nowMs;
    answer_ = 0;
}

void THostsCopyWait::Answer(int32_t code)
{
    if (state_ == TState::Waiting) answer_ = code;
}

THostsCopyWait::TState THostsCopyWait::Poll(uint32_t nowMs, bool copyExists)
{
    if (state_ != TState::Waiting) return state_;
    if (copyExists && answer_ != 1 && answer_ != 666)
        state_ = TState::Ready;
    else if (answer_ == 1)
        state_ = TState::Failed;
    else if (answer_ == 666)
        state_ = TState::NoHostsFile;
    else if (nowMs - started_ >= kLimitMs)
        state_ = TState::TimedOut;
    return state_;
}
