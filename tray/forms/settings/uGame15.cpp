#include "uGame15.h"

#include <cstdlib>
#include <string>
#include <utility>

namespace {

constexpr int kGap = 2;
constexpr int kTileFontHeight = 22;

}  // namespace

TGame15::TGame15(gui::TPanel& panel, int size, puzzle::TRandom random) : panel_(panel), board_(std::move(random))
{
    for (int n = 0; n < puzzle::kCells; ++n) {
        gui::TSpeedButton* button = panel_.Make<gui::TSpeedButton>();
        button->Name = "butt" + std::to_string(n);
        button->SetBounds(kGap + (n % puzzle::kSide) * (size + kGap), kGap + (n / puzzle::kSide) * (size + kGap), size,
                          size);
        button->SetFont({kTileFontHeight, true});
        button->OnClick = [this, button] { TileClick(button); };
        buttons_[n] = button;
    }
    board_.Shuffle();
    ShowBoard();
}

TGame15::~TGame15()
{
    for (gui::TSpeedButton* button : buttons_)
        if (button) panel_.Destroy(button);
}

void TGame15::SetBoard(const std::array<uint8_t, puzzle::kCells>& board)
{
    board_.SetBoard(board);
    ShowBoard();
}

void TGame15::TileClick(gui::TSpeedButton* button)
{
    board_.ClickTile(std::atoi(button->Caption().c_str()));
    ShowBoard();
}

void TGame15::ShowBoard()
{
    for (int n = 0; n < puzzle::kCells; ++n) {
        const int value = board_.Board()[n];
        buttons_[n]->SetCaption(std::to_string(value));
        buttons_[n]->SetVisible(value != puzzle::kEmpty);
    }
}
