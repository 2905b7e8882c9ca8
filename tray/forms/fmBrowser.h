#pragma once
// TfmBrowser: the tray's own browser window, a form hosting the system's web
// browser control (CLSID_WebBrowser) in place. The OLE container is the
// small site object below: it gives the control its window, frame and
// rectangle and asks for nothing more (no menus, tool space or documents).
// The form manager opens it (OpenBrowser) and hands it the address; the
// window is freed once its close has finished, with the control released
// first. Main thread only; that thread runs OLE while a window exists.
#include <windows.h>
#include <exdisp.h>
#include <ole2.h>

#include <string>

#include "qvForms.h"
#include "qvHandles.h"
#include "uFormUtils.h"

// The container side of the in-place control. Lives inside the form; its
// reference count is kept for the control's sake but never frees it.
class TBrowserSite : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    explicit TBrowserSite(HWND window) : window_(window) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow (both the site and the frame)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }
    // IOleInPlaceUIWindow / IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }


private:
    HWND window_;
    ULONG references_ = 0;
};

// OLE for the calling thread, paired with its release.
class OleScope {
public:
    OleScope() : initialized_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleScope()
    {
        if (initialized_) OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;
    bool Initialized() const { return initialized_; }

private:
    bool initialized_;
};

class TfmBrowser : public gui::TForm, public TBrowserNavigation {
public:
    TfmBrowser();
    ~TfmBrowser() override;

    void Navigate(const std::string& address) override;

    // For the tests and the log: whether the control is in place, the
    // address last handed to it, and the address it reports.
    bool ControlActive() const { return static_cast<bool>(browser_); }
    const std::string& NavigatedAddress() const { return address_; }
    std::string ControlLocation() const;
    HRESULT CreateResult() const { return createResult_; }

protected:
    void CreateParams(gui::TCreateParams& params) override;
    void OnCreate() override;
    void OnClose(gui::TCloseAction& action) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void CreateControl();
    void FreeControl();
    void FitControl();

    OleScope ole_;
    std::unique_ptr<TBrowserSite> site_;
    ComPtr<IOleObject> object_;
    ComPtr<IWebBrowser2> browser_;
    std::string address_;
    HRESULT createResult_ = E_FAIL;
};

// Registers TfmBrowser with the form classes (at program start).
void RegisterBrowserForm();
