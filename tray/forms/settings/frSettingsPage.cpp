#include "frSettingsPage.h"

#include <map>

namespace {

std::map<int, TSettingsPageFactory>& PageFactories()
{
    static std::map<int, TSettingsPageFactory> factories;
    return factories;
}

constexpr int kHeadingHeight = 41;
constexpr int kHeadingFontHeight = 12;

}  // namespace

TSettingsPage::TSettingsPage(gui::TContainer& host) : gui::TPanel(host)
{
    Heading = Make<gui::TPanel>();
    TFontDesc font;
    font.Height = kHeadingFontHeight;
    font.Bold = true;
    Heading->SetFont(font);
    Heading->SetColor(gui::clMoneyGreen);
    Heading->SetBounds(0, 0, 0, kHeadingHeight);
    Heading->SetAlign(gui::TAlign::Top);
    Body = Make<gui::TPanel>();
    Body->SetAlign(gui::TAlign::Client);
}

void RegisterSettingsPage(int index, TSettingsPageFactory factory) { PageFactories()[index] = std::move(factory); }


TSettingsPage* CreateSettingsPage(int index, gui::TContainer& host)
{
    auto it = PageFactories().find(index);
    return it != PageFactories().end() && it->second ? it->second(host) : nullptr;
}
