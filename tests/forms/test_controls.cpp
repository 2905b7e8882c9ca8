// The control layer under Wine: forms freed with their windows, modal loops,
// dialog keys, values set from code against values set by the user, the
// enabled state of containers, layout, and the notifications of the list
// controls and menus.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "fmMessage.h"
#include "qvApplication.h"
#include "qvControls.h"
#include "qvForms.h"
#include "qvListControls.h"
#include "qvMenus.h"
#include "qvPageControl.h"
#include "uFormUtils.h"
#include "uTrayApplication.h"

namespace {

// A form whose layout the test gives, counting its own destruction.
class TestForm : public gui::TForm {
public:
    explicit TestForm(int* destroyed = nullptr, const char* name = "TQvTestForm")
        : TForm(name), destroyed_(destroyed) {}
    gui::TCreateParams Params;

protected:
    void CreateParams(gui::TCreateParams& params) override
    {
        params = Params;
        params.ShowCommand = SW_SHOWNA;
    }
    void OnDestroy() override
    {
        if (destroyed_) ++*destroyed_;
    }

private:
    int* destroyed_;
};

TestForm* NewForm(int width = 400, int height = 300, int* destroyed = nullptr)
{
    auto* form = new TestForm(destroyed);
    form->Params.Width = width;
    form->Params.Height = height;
    form->Params.Style = WS_OVERLAPPEDWINDOW;
    return form;
}

RECT ClientRectOf(HWND window)
{
    RECT rect{};
    GetClientRect(window, &rect);
    return rect;
}

class Controls : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr))); }
    static void TearDownTestSuite()
    {
        gui::FreeAllForms();
        gui::DoneApplication();
    }
    void SetUp() override
    {
        form_.reset(NewForm());
        ASSERT_NE(form_->Handle(), nullptr);
        form_->Show();
    }
    void TearDown() override { form_.reset(); }

    std::unique_ptr<TestForm> form_;
};

// Registered forms built through the registry, as the form manager builds them.
class RegisteredForm : public TestForm {
public:
    RegisteredForm(int* destroyed, const char* name) : TestForm(destroyed, name)
    {
        Params.Width = 200;
        Params.Height = 100;
        Params.Style = WS_POPUP;
    }
};

}  // namespace

TEST_F(Controls, FreeingAFormDestroysItsWindowWhileTheDerivedFormStillLives)
{
    int destroyed = 0;
    gui::RegisterFormClass("TQvCounted", [&destroyed] { return std::make_unique<RegisteredForm>(&destroyed, "TQvCounted"); });
    gui::TForm* form = gui::CreateForm("TQvCounted");
    ASSERT_NE(form, nullptr);
    auto* box = form->Make<gui::TCheckBox>("x");
    HWND window = form->Handle();
    HWND boxWindow = box->Handle();
    gui::FreeForm(form);
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsWindow(boxWindow));
    EXPECT_FALSE(gui::FormExists(form));

    // A pop-up freed this way (the end of the program) is no longer counted open.
    RegisterMessageForm();
    TrayApp().Popups.Stack = TPopupStack{};
    gui::TForm* popup = gui::CreateForm(kMessageForm);
    ASSERT_NE(popup, nullptr);
    popup->Show();
    ASSERT_EQ(TrayApp().Popups.Stack.Open, 1);
    gui::FreeForm(popup);
    EXPECT_EQ(TrayApp().Popups.Stack.Open, 0);

    // A free that Release posted belongs to that form alone: freed at once
    // instead, its address may come back for the next form, which the late
    // post must spare.
    gui::TForm* released = gui::CreateForm("TQvCounted");
    released->Release();
    gui::FreeForm(released);
    gui::TForm* next = gui::CreateForm("TQvCounted");
    gui::ProcessMessages();
    EXPECT_TRUE(gui::FormExists(next));
    gui::FreeForm(next);
    gui::UnregisterFormClass("TQvCounted");
}

TEST_F(Controls, AFormFreedWhileItShowsGoesOnceItsShowingIsOver)
{
    struct Reentrant : RegisteredForm {
        using RegisteredForm::RegisteredForm;
        void OnShow() override
        {
            gui::FreeForm(this);  // as a menu command run by a dialog of OnShow could
            stillHere = gui::FormExists(this);
        }
        bool stillHere = false;
    };
    int destroyed = 0;
    gui::RegisterFormClass("TQvReentrant", [&destroyed] { return std::make_unique<Reentrant>(&destroyed, "TQvReentrant"); });
    auto* form = static_cast<Reentrant*>(gui::CreateForm("TQvReentrant"));
    form->Show();
    EXPECT_TRUE(form->stillHere);
    EXPECT_FALSE(form->Visible());
    const DWORD start = GetTickCount();
    while (gui::FormExists(form) && GetTickCount() - start < 5000) gui::ProcessMessages();
    EXPECT_FALSE(gui::FormExists(form));
    EXPECT_EQ(destroyed, 1);
    gui::UnregisterFormClass("TQvReentrant");
}

TEST_F(Controls, ModalDialogLeavesPopupsUsableAndEndsWithTheButtonsResult)
{
    RegisterMessageForm();
    TrayApp().Popups.Stack = TPopupStack{};
    gui::TForm* popup = gui::CreateForm(kMessageForm);
    ASSERT_NE(popup, nullptr);
    popup->Show();
    int destroyed = 0;
    gui::RegisterFormClass("TQvOther", [&destroyed] { return std::make_unique<RegisteredForm>(&destroyed, "TQvOther"); });
    gui::TForm* other = gui::CreateForm("TQvOther");
    other->Show();
    gui::RegisterFormClass("TQvDialog", [&destroyed] { return std::make_unique<RegisteredForm>(&destroyed, "TQvDialog"); });
    gui::TForm* dialog = gui::CreateForm("TQvDialog");
    auto* ok = dialog->Make<gui::TButton>("OK");
    ok->SetBounds(10, 10, 80, 25);
    ok->ModalResult = IDYES;

    bool popupEnabled = false;
    bool otherEnabled = true;
    gui::PostToMainThread([&] {
        popupEnabled = IsWindowEnabled(popup->Handle()) != FALSE;
        otherEnabled = IsWindowEnabled(other->Handle()) != FALSE;
        SendMessageA(ok->Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(dialog->ShowModal(), IDYES);
    EXPECT_TRUE(popupEnabled);
    EXPECT_FALSE(otherEnabled);
    EXPECT_TRUE(IsWindowEnabled(other->Handle()));
    for (gui::TForm* form : {dialog, other, popup}) gui::FreeForm(form);
    gui::UnregisterFormClass("TQvOther");
    gui::UnregisterFormClass("TQvDialog");
}

TEST_F(Controls, DialogKeysMoveTheFocusAndPressTheDefaultAndCancelButtons)
{
    auto* panel = form_->Make<gui::TPanel>();
    panel->SetBounds(0, 0, 300, 100);
    auto* first = panel->Make<gui::TEdit>();
    first->SetBounds(10, 10, 100, 21);
    auto* second = panel->Make<gui::TEdit>();
    second->SetBounds(10, 40, 100, 21);
    auto* ok = form_->Make<gui::TButton>("OK");
    ok->SetBounds(10, 110, 80, 25);
    auto* cancel = form_->Make<gui::TButton>("Cancel");
    cancel->SetBounds(100, 110, 80, 25);
    int oks = 0, cancels = 0;
    ok->OnClick = [&] { ++oks; };
    cancel->OnClick = [&] { ++cancels; };
    form_->DefaultButton = ok;
    form_->CancelButton = cancel;

    SetForegroundWindow(form_->Handle());
    first->SetFocus();
    auto press = [](HWND window, WPARAM key) {
        PostMessageA(window, WM_KEYDOWN, key, 1);
        PostMessageA(window, WM_KEYUP, key, 0xC0000001);
        gui::ProcessMessages();
    };
    press(first->Handle(), VK_TAB);
    EXPECT_TRUE(second->Focused());
    press(second->Handle(), VK_RETURN);
    press(second->Handle(), VK_ESCAPE);
    EXPECT_EQ(oks, 1);
    EXPECT_EQ(cancels, 1);
    cancel->SetFocus();  // Enter presses the focused button, not the default one
    press(cancel->Handle(), VK_RETURN);
    EXPECT_EQ(oks, 1);
    EXPECT_EQ(cancels, 2);
    second->SetFocus();
    // A control that takes Enter itself keeps it.
    second->OnKeyDown = [](WORD) {};
    press(second->Handle(), VK_RETURN);
    EXPECT_EQ(oks, 1);
    // A speed button is clicked without taking the focus.
    auto* tile = form_->Make<gui::TSpeedButton>("1");
    tile->SetBounds(200, 110, 40, 40);
    int tiles = 0;
    tile->OnClick = [&] { ++tiles; };
    SendMessageA(tile->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(tiles, 1);
    EXPECT_TRUE(second->Focused());
    EXPECT_FALSE(GetWindowLongPtrA(tile->Handle(), GWL_STYLE) & WS_TABSTOP);
}

TEST_F(Controls, ValuesSetFromCodeCallNoHandlerWhileTheUsersChangesDo)
{
    int clicks = 0, radios = 0, edits = 0, combos = 0;
    auto* box = form_->Make<gui::TCheckBox>("box");
    box->SetBounds(0, 0, 100, 20);
    box->OnClick = [&] { ++clicks; };
    auto* group = form_->Make<gui::TRadioGroup>("group");
    group->SetBounds(0, 30, 200, 100);
    group->SetItems({"a", "b", "c"});
    group->OnClick = [&] { ++radios; };
    auto* edit = form_->Make<gui::TEdit>();
    edit->SetBounds(0, 140, 100, 21);
    edit->OnChange = [&] { ++edits; };
    auto* combo = form_->Make<gui::TComboBox>();
    combo->AddItem("one");
    combo->AddItem("two");
    combo->OnChange = [&] { ++combos; };

    box->SetChecked(true);
    group->SetItemIndex(1);
    edit->SetText("code");
    combo->SetItemIndex(1);
    EXPECT_EQ(clicks + radios + edits + combos, 0);
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(group->ItemIndex(), 1);
    EXPECT_EQ(combo->Text(), "two");

    SendMessageA(box->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(box->Checked());
    SendMessageA(group->ItemHandle(2), BM_CLICK, 0, 0);
    SendMessageA(group->ItemHandle(2), BM_CLICK, 0, 0);  // the same choice again changes nothing
    EXPECT_EQ(radios, 1);
    EXPECT_EQ(group->ItemIndex(), 2);
    SendMessageA(edit->Handle(), WM_CHAR, 'x', 1);
    EXPECT_EQ(edits, 1);

    // A value outside the items chooses none.
    group->SetItemIndex(3);
    EXPECT_EQ(group->ItemIndex(), -1);
    group->SetItemIndex(-1);
    EXPECT_EQ(group->ItemIndex(), -1);
}

TEST_F(Controls, AMemoTakesTypingBeyondTheEditControlsDefaultLimit)
{
    auto* memo = form_->Make<gui::TMemo>(gui::TScrollStyle::Both, false);
    memo->SetBounds(0, 0, 300, 200);
    const std::string text(40000, 'a');
    memo->SetText(text);
    SendMessageA(memo->Handle(), EM_SETSEL, text.size(), text.size());
    SendMessageA(memo->Handle(), WM_CHAR, 'x', 1);
    const std::string typed = memo->Text();
    EXPECT_EQ(typed.size(), text.size() + 1);
    EXPECT_EQ(typed.back(), 'x');
}

TEST_F(Controls, ClicksOnLabelsPanelsAndImagesReachTheirHandlers)
{
    auto* link = form_->Make<gui::TLabel>("http://example.org");
    link->SetCursor(IDC_HAND);
    auto* panel = form_->Make<gui::TPanel>();
    panel->SetBounds(0, 40, 100, 25);
    auto* image = panel->Make<gui::TImage>();
    image->SetBounds(0, 0, 20, 20);
    int links = 0, panels = 0, images = 0;
    link->OnClick = [&] { ++links; };
    panel->OnClick = [&] { ++panels; };
    image->OnDblClick = [&] { ++images; };
    EXPECT_GT(link->Width(), 50);  // fitted to its caption
    SendMessageA(link->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(link->Handle(), WM_LBUTTONUP, 0, 0);
    SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(50, 10));
    SendMessageA(image->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    EXPECT_EQ(links, 1);
    EXPECT_EQ(panels, 1);
    EXPECT_EQ(images, 1);
}

TEST_F(Controls, ADisabledContainerKeepsEveryControlInsideDisabled)
{
    auto* outer = form_->Make<gui::TPanel>();
    auto* inner = outer->Make<gui::TGroupBox>("inner");
    auto* box = inner->Make<gui::TCheckBox>("box");
    outer->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(box->Handle()));
    box->SetEnabled(true);  // a page load that enables a dependent box
    EXPECT_FALSE(IsWindowEnabled(box->Handle()));
    auto* late = inner->Make<gui::TButton>("late");
    EXPECT_FALSE(IsWindowEnabled(late->Handle()));
    outer->SetEnabled(true);
    EXPECT_TRUE(IsWindowEnabled(box->Handle()));
    EXPECT_TRUE(IsWindowEnabled(late->Handle()));
    box->SetEnabled(false);
    outer->SetEnabled(false);
    outer->SetEnabled(true);
    EXPECT_FALSE(IsWindowEnabled(box->Handle()));
}

TEST_F(Controls, AlignedControlsShareTheClientAreaAndFollowItsSize)
{
    auto* top = form_->Make<gui::TPanel>();
    top->SetBounds(0, 0, 10, 41);
    top->SetAlign(gui::TAlign::Top);
    auto* bar = form_->Make<gui::TStatusBar>();
    bar->AddPanel(100);
    auto* left = form_->Make<gui::TTreeView>();
    left->SetBounds(0, 0, 120, 10);
    left->SetAlign(gui::TAlign::Left);
    auto* rest = form_->Make<gui::TPanel>();
    rest->SetAlign(gui::TAlign::Client);
    // Inside the client panel: a button kept in the corner, an edit that grows.
    const RECT first = rest->Bounds();
    auto* corner = rest->Make<gui::TButton>("corner");
    corner->SetBounds(first.right - first.left - 90, first.bottom - first.top - 35, 80, 25);
    corner->SetAnchors(gui::akRight | gui::akBottom);
    auto* wide = rest->Make<gui::TEdit>();
    wide->SetBounds(10, 10, first.right - first.left - 20, 21);
    wide->SetAnchors(gui::akLeft | gui::akTop | gui::akRight);

    for (int width : {400, 600}) {
        SetWindowPos(form_->Handle(), nullptr, 0, 0, width, 350, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        const RECT client = ClientRectOf(form_->Handle());
        const RECT topRect = top->Bounds(), barRect = bar->Bounds(), leftRect = left->Bounds(),
                   restRect = rest->Bounds();
        EXPECT_EQ(topRect.right - topRect.left, client.right);
        EXPECT_EQ(topRect.bottom - topRect.top, 41);
        EXPECT_EQ(barRect.bottom, client.bottom);
        EXPECT_GT(barRect.bottom - barRect.top, 10);
        EXPECT_EQ(leftRect.top, 41);
        EXPECT_EQ(leftRect.bottom, barRect.top);
        EXPECT_EQ(leftRect.right - leftRect.left, 120);
        EXPECT_EQ(restRect.left, 120);
        EXPECT_EQ(restRect.right, client.right);
        EXPECT_EQ(restRect.top, 41);
        EXPECT_EQ(restRect.bottom, barRect.top);
        const RECT cornerRect = corner->Bounds(), wideRect = wide->Bounds();
        EXPECT_EQ(cornerRect.right, restRect.right - restRect.left - 10);
        EXPECT_EQ(cornerRect.bottom, restRect.bottom - restRect.top - 10);
        EXPECT_EQ(cornerRect.right - cornerRect.left, 80);
        EXPECT_EQ(wideRect.left, 10);
        EXPECT_EQ(wideRect.right, restRect.right - restRect.left - 10);
    }
}

TEST_F(Controls, FormsAreCentredAndKeepTheirSmallestSize)
{
    TestForm form;
    form.Params.Style = WS_OVERLAPPEDWINDOW;
    form.Params.Width = 300;
    form.Params.Height = 200;
    form.Params.CenterOnDesktop = true;
    form.Params.MinWidth = 260;
    form.Params.MinHeight = 180;
    ASSERT_NE(form.Handle(), nullptr);
    RECT window{}, desktop{};
    GetWindowRect(form.Handle(), &window);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &desktop, 0);
    EXPECT_NEAR((window.left + window.right) / 2, (desktop.left + desktop.right) / 2, 1);
    EXPECT_NEAR((window.top + window.bottom) / 2, (desktop.top + desktop.bottom) / 2, 1);
    EXPECT_EQ(ClientRectOf(form.Handle()).right, 300);
    SetWindowPos(form.Handle(), nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(form.Handle(), &window);
    EXPECT_EQ(window.right - window.left, 260);
    EXPECT_EQ(window.bottom - window.top, 180);
}

TEST_F(Controls, ListControlsReportSelectionsAndAskForTheirRows)
{
    auto* tree = form_->Make<gui::TTreeView>();
    tree->SetBounds(0, 0, 150, 200);
    tree->AllowCollapse = false;
    const int parent = tree->AddItem("parent");
    tree->AddItem("child", parent);
    tree->AddItem("second");
    tree->FullExpand();
    std::vector<int> changes;
    tree->OnChange = [&](int index) { changes.push_back(index); };
    SendMessageA(tree->Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(tree->ItemHandle(2)));
    tree->Select(1);
    EXPECT_EQ(changes, (std::vector<int>{2, 1}));
    changes.clear();
    EXPECT_EQ(tree->ItemText(1), "child");
    tree->Select(parent);
    SendMessageA(tree->Handle(), WM_KEYDOWN, VK_SUBTRACT, 0);  // the user collapses it
    EXPECT_TRUE(TreeView_GetItemState(tree->Handle(), tree->ItemHandle(parent), TVIS_EXPANDED) & TVIS_EXPANDED);

    auto* list = form_->Make<gui::TListView>(true);
    list->SetBounds(150, 0, 240, 200);
    list->SetColumns({{"time", 80}, {"text", -1}});
    list->OnData = [](int item, int column) { return std::to_string(item) + (column == 0 ? "a" : "b"); };
    list->SetItemCount(1000);
    EXPECT_EQ(list->Count(), 1000);
    char text[32] = {};
    LVITEMA item{};
    item.iSubItem = 1;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(list->Handle(), LVM_GETITEMTEXTA, 777, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(text, "777b");
    list->Select(5);
    EXPECT_EQ(list->SelectedIndex(), 5);
}

TEST_F(Controls, PageControlShowsOneSheetAndHidesHiddenTabs)
{
    auto* pages = form_->Make<gui::TPageControl>();
    pages->SetBounds(0, 0, 300, 200);
    auto* first = pages->AddPage("first");
    auto* hidden = pages->AddPage("hidden");
    auto* third = pages->AddPage("third");
    pages->SetTabVisible(hidden, false);
    EXPECT_EQ(TabCtrl_GetItemCount(pages->TabHandle()), 2);
    EXPECT_TRUE(first->Visible());
    int changes = 0;
    pages->OnChange = [&] { ++changes; };
    pages->SetActivePage(third);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(IsWindowVisible(third->Handle()));
    EXPECT_FALSE(IsWindowVisible(first->Handle()));
    pages->SetActivePage(hidden);
    EXPECT_EQ(pages->ActivePage(), third);
    // The sheet lies inside the tab strip's display area.
    const RECT sheet = third->Bounds();
    EXPECT_GT(sheet.top, 10);
    EXPECT_LT(sheet.right, 300);
}

// A page's load sets its tab captions again: the chosen tab stays chosen.
TEST_F(Controls, SettingTabCaptionsKeepsTheChosenTabOverItsSheet)
{
    auto* pages = form_->Make<gui::TPageControl>(true);
    pages->SetBounds(0, 0, 300, 200);
    auto* first = pages->AddPage("first");
    auto* second = pages->AddPage("second");
    auto* third = pages->AddPage("third");
    pages->SetActivePage(third);
    pages->SetPageCaption(first, "first");
    pages->SetPageCaption(second, "Second");
    EXPECT_EQ(TabCtrl_GetCurSel(pages->TabHandle()), 2);
    EXPECT_TRUE(IsWindowVisible(third->Handle()));
    char text[32] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    ASSERT_TRUE(SendMessageA(pages->TabHandle(), TCM_GETITEMA, 1, reinterpret_cast<LPARAM>(&item)));
    EXPECT_STREQ(text, "Second");
    pages->SetTabVisible(second, false);
    EXPECT_EQ(TabCtrl_GetCurSel(pages->TabHandle()), 1) << "the third sheet's tab, now second";
}

TEST_F(Controls, MenuItemsRunTheirHandlersFromTheFormsCommands)
{
    gui::TMainMenu menu;
    int clicks = 0;
    gui::TMenuItem* item = menu.Add("Refresh", [&] { ++clicks; });
    menu.AttachTo(form_->Handle());
    SendMessageA(form_->Handle(), WM_COMMAND, MAKEWPARAM(item->Id(), 0), 0);
    EXPECT_EQ(clicks, 1);
    item->SetEnabled(false);
    SendMessageA(form_->Handle(), WM_COMMAND, MAKEWPARAM(item->Id(), 0), 0);
    EXPECT_EQ(clicks, 1);
    SetMenu(form_->Handle(), nullptr);
}
