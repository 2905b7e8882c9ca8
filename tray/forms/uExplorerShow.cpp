#include "uExplorerShow.h"

#include <windows.h>
#include <exdisp.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "qvFiles.h"
#include "qvHandles.h"
#include "qvStrings.h"
#include "uCommonUtils.h"
#include "uReportModel.h"

std::string gExplorerProgram = "explorer.exe";

namespace {

std::string BstrToAnsi(BSTR text)
{
    if (!text) return {};
    const int wideLength = static_cast<int>(SysStringLen(text));
    const int length = WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, wideLength, result.data(), length, nullptr, nullptr);
    SysFreeString(text);
    return result;
}

// Closes the first shell window that shows `folder` (upper case, trailing
// "\"); false when the window list cannot be had at all.
bool CloseWindowShowingFolder(const std::string& folder)
{
    ComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows, windows.PutVoid())))
        return false;
    long count = 0;
    if (FAILED(windows->get_Count(&count))) return false;
    for (long i = 0; i < count; ++i) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        ComPtr<IDispatch> item;
        if (FAILED(windows->Item(index, item.Put())) || !item) continue;
        ComPtr<IWebBrowserApp> browser;
        if (FAILED(item->QueryInterface(IID_IWebBrowserApp, browser.PutVoid()))) continue;
        BSTR location = nullptr;
        if (FAILED(browser->get_LocationURL(&location))) continue;
        if (UpperCase(LocationUrlToFolder(BstrToAnsi(location))) != folder) continue;
        SHANDLE_PTR window = 0;
        if (SUCCEEDED(browser->get_HWND(&window)) && window)
            SendMessageA(reinterpret_cast<HWND>(window), WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
    return true;
}

}  // namespace

TExplorerRoute ShowInExplorer(const std::string& path)
{
    if (!FileExists(path) && !DirectoryExists(path)) return TExplorerRoute::Missing;
    const std::string folder = ExtractFilePath(path);
    bool listed = false;
    {
        ComScope com;
        if (com.Initialized()) listed = CloseWindowShowingFolder(UpperCase(folder));
    }
    if (listed) {
        const std::string parameters = ExplorerSelectParameters(path);
        const auto started = reinterpret_cast<INT_PTR>(ShellExecuteA(
            nullptr, "open", gExplorerProgram.c_str(), parameters.c_str(), folder.c_str(), SW_SHOWNORMAL));
        if (started > 32) return TExplorerRoute::Shell;
    }
    const std::string command = ExplorerCommandLine(gExplorerProgram, path);
    WinExec(command.c_str(), SW_SHOW);
    return TExplorerRoute::CommandLine;
}

TExplorerRoute ShowPathOrFolder(const std::string& path)
{
    Wow64RedirectionOff unredirected;
    const std::string target = FileExists(path) ? path : ExcludeTrailingBackslash(ExtractFilePath(path));
    return ShowInExplorer(target);
}
