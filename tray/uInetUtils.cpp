#include "uInetUtils.h"

#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include "cryptograph.h"
#include "qvStrings.h"
#include "uTrayApplication.h"

namespace {

// The address CheckInternet connects to, kept scrambled.
constexpr const char* kCheckAddress =
    "2376780889772582097329622579442606559098483235314410939187154157239185916317611908989798451857210913007129904752"
    "8779872685569132879002316999425547561029889033722958281969103953251033452096715941749396693848378517223305347243"
    "26567332233529086157782005314124";

constexpr DWORD kAfterOnlineMs = 200;

}  // namespace

bool OpenAddress(const std::string& address, int mode, bool inBrowser)
{
    if (!IsWebAddress(address)) return false;
    if (!inBrowser) {
        ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return true;
    }
    const auto& openInBrowser = TrayApp().Session.OpenInBrowser;
    if (!openInBrowser) return false;
    openInBrowser(address, mode);
    return true;
}

void SetInternetCheckAddress(const std::string& address) { TrayApp().Session.InternetCheckAddress = address; }

void SetInternetOffline(bool offline)
{
    INTERNET_CONNECTED_INFO state{};
    state.dwConnectedState = offline ? INTERNET_STATE_DISCONNECTED_BY_USER : INTERNET_STATE_CONNECTED;
    state.dwFlags = offline ? ISO_FORCE_DISCONNECTED : 0;
    if (InternetSetOptionA(nullptr, INTERNET_OPTION_CONNECTED_STATE, &state, sizeof(state)))
        TrayApp().Session.LastInternetStateSet = state.dwConnectedState;
}

unsigned long LastInternetStateSet() { return TrayApp().Session.LastInternetStateSet.load(); }

bool CheckInternet()
{
    SetInternetOffline(false);
    Sleep(kAfterOnlineMs);
    const std::string address = TrayApp().Session.InternetCheckAddress.empty() ? UnscrambleText(kCheckAddress) : TrayApp().Session.InternetCheckAddress;
    return InternetCheckConnectionA(address.c_str(), FLAG_ICC_FORCE_CONNECTION, 0) != FALSE;
}

bool IsWebAddress(const std::string& address)
{
    return StartsText("http://", address) || StartsText("https://", address);
}
