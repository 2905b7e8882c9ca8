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
#include "uTrayApplication.h"

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

namespace {

// Explorer started in `folder` with `parameters`, after closing a window that
// shows that folder already (`folder` ends in "\").
TExplorerRoute StartExplorer(const std::string& folder, const std::string& parameters)
{
    bool listed = false;
    {
        ComScope com;
        if (com.Initialized()) listed = CloseWindowShowingFolder(UpperCase(folder));
    }
    if (listed) {
        const auto started = reinterpret_cast<INT_PTR>(ShellExecuteA(
            nullptr, "open", TrayApp().Session.ExplorerProgram.c_str(), parameters.c_str(), folder.c_str(), SW_SHOWNORMAL));
        if (started > 32) return TExplorerRoute::Shell;
    }
    const std::string command = ExplorerCommandLineWith(TrayApp().Session.ExplorerProgram, parameters);
    WinExec(command.c_str(), SW_SHOW);
    return TExplorerRoute::CommandLine;
}

}  // namespace

TExplorerRoute ShowInExplorer(const std::string& path)
{
    if (!FileExists(path) && !DirectoryExists(path)) return TExplorerRoute::Missing;
    return StartExplorer(ExtractFilePath(path), ExplorerSelectParameters(path));
}

TExplorerRoute ShowPathOrFolder(const std::string& path)
{
    Wow64RedirectionOff unredirected;
    if (FileExists(path)) return ShowInExplorer(path);
    // The file is gone: its folder itself opens, not its parent with the
    // folder selected.
    const std::string folder = ExtractFilePath(path);
    if (folder.empty() || !DirectoryExists(folder)) return TExplorerRoute::Missing;
    return StartExplorer(folder, ExplorerFolderParameters(folder));
}
