#include "fmBrowser.h"

#include <memory>
#include <vector>

namespace {

// A BSTR owned for one call.
class Bstr {
public:
    explicit Bstr(const std::string& text)
    {
        const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
        std::vector<wchar_t> wide(static_cast<size_t>(length) + 1);
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), wide.data(), length);
        value_ = SysAllocStringLen(wide.data(), static_cast<UINT>(length));
    }
    Bstr() = default;
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return value_; }
    BSTR* Put()
    {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    std::string Ansi() const
    {
        if (!value_) return {};
        const int wideLength = static_cast<int>(SysStringLen(value_));
        const int length = WideCharToMultiByte(CP_ACP, 0, value_, wideLength, nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<size_t>(length), '\0');
        WideCharToMultiByte(CP_ACP, 0, value_, wideLength, text.data(), length, nullptr, nullptr);
        return text;
    }

private:
    BSTR value_ = nullptr;
};

}  // namespace

HRESULT TBrowserSite::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
        *object = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite))
        *object = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame))
        *object = static_cast<IOleInPlaceFrame*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT TBrowserSite::GetContainer(IOleContainer** container)
{
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT TBrowserSite::GetWindow(HWND* window)
{
    if (!window) return E_POINTER;
    *window = window_;
    return S_OK;
}

HRESULT TBrowserSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                       LPRECT clip, LPOLEINPLACEFRAMEINFO info)
{
    if (frame) {
        *frame = this;
        AddRef();
    }
    if (document) *document = nullptr;
    RECT client{};
    GetClientRect(window_, &client);
    if (position) *position = client;
    if (clip) *clip = client;
    if (info) {
        info->fMDIApp = FALSE;
        info->hwndFrame = window_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
    }
    return S_OK;
}

TfmBrowser::TfmBrowser() : TForm(kBrowserForm) {}

TfmBrowser::~TfmBrowser() { FreeControl(); }

void TfmBrowser::CreateParams(gui::TCreateParams& params)
{
    params.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    params.ExStyle = WS_EX_TOPMOST;
    params.Caption = kBrowserCaption;
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    params.Width = 800;
    params.Height = 500;
    params.Left = work.left + (work.right - work.left - params.Width) / 2;
    params.Top = work.top + (work.bottom - work.top - params.Height) / 2;
}

void TfmBrowser::OnCreate() { CreateControl(); }

void TfmBrowser::CreateControl()
{
    if (!ole_.Initialized()) return;
    site_ = std::make_unique<TBrowserSite>(Handle());
    createResult_ = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                     object_.PutVoid());
    if (FAILED(createResult_)) return;
    object_->SetClientSite(site_.get());
    OleSetContainedObject(object_.Get(), TRUE);
    RECT client{};
    GetClientRect(Handle(), &client);
    createResult_ = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, Handle(), &client);
    if (FAILED(createResult_)) {
        FreeControl();
        return;
    }
    createResult_ = object_->QueryInterface(IID_IWebBrowser2, browser_.PutVoid());
    if (FAILED(createResult_)) FreeControl();
}

void TfmBrowser::FreeControl()
{
    browser_.Reset();
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_.Reset();
    }
    site_.reset();
}

void TfmBrowser::FitControl()
{
    if (!object_) return;
    ComPtr<IOleInPlaceObject> inPlace;
    if (FAILED(object_->QueryInterface(IID_IOleInPlaceObject, inPlace.PutVoid()))) return;
    RECT client{};
    GetClientRect(Handle(), &client);
    inPlace->SetObjectRects(&client, &client);
}

void TfmBrowser::Navigate(const std::string& address)
{
    address_ = address;
    if (!browser_) return;
    Bstr url(address);
    VARIANT empty;
    VariantInit(&empty);
    browser_->Navigate(url.Get(), &empty, &empty, &empty, &empty);
}

std::string TfmBrowser::ControlLocation() const
{
    if (!browser_) return {};
    Bstr location;
    if (FAILED(browser_->get_LocationURL(location.Put()))) return {};
    return location.Ansi();
}

void TfmBrowser::OnClose(gui::TCloseAction& action)
{
    FreeControl();  // before the window goes: the control holds child windows of it
    action = gui::TCloseAction::Free;
}

bool TfmBrowser::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result)
{
    if (message == WM_SIZE) {
        FitControl();
        result = 0;
        return true;
    }
    return false;
}

void RegisterBrowserForm()
{
    gui::RegisterFormClass(kBrowserForm, [] { return std::make_unique<TfmBrowser>(); });
}
