#include "uReportModel.h"

namespace {

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

bool EventHidesPath(int kind, const std::string& data)
{
    switch (kind) {
    case evkMbr:
    case evkChangeUserinit:
    case evkChangeTaskmgr:
    case evkChangeCtfmon:
    case evkUserBlockRegedit:
    case evkUserBlockTaskmgr: return true;
    case evkHosts: return data.empty();
    default: return false;
    }
}

std::string LocationUrlToFolder(const std::string& url)
{
    constexpr const char* kFilePrefix = "file:///";
    if (url.compare(0, 8, kFilePrefix) != 0) return url;
    std::string folder = ReplaceAll(url.substr(8), "/", "\\");
    folder = ReplaceAll(folder, "%20", " ");
    return folder + "\\";
}

std::string ExplorerSelectParameters(const std::string& path) { return "/select,\"" + path + "\""; }

std::string ExplorerFolderParameters(const std::string& folder)
{
    std::string bare = folder;
    while (!bare.empty() && bare.back() == '\\') bare.pop_back();
    if (bare.size() == 2 && bare[1] == ':') return bare + "\\";
    return "\"" + bare + "\"";
}

std::string ExplorerCommandLineWith(const std::string& program, const std::string& parameters)
{
    const std::string quoted = program.find(' ') == std::string::npos ? program : "\"" + program + "\"";
    return quoted + " " + parameters;
}

