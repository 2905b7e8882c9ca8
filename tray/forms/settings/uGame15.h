#pragma once
// The about page's puzzle: sixteen speed buttons on a panel, in a fixed 4 x 4
// grid, that show the board of a TPuzzleBoard. The buttons never move: a
// click slides tiles on the board and the captions follow; the button
// showing 16 (the empty cell) is hidden. Destroying the game destroys its
// buttons.
#include <array>

#include "qvControls.h"
#include "uPuzzleBoard.h"

class TGame15 {
public:
    TGame15(gui::TPanel& panel, int size, puzzle::TRandom random = puzzle::ProgramRandom);
    ~TGame15();
    TGame15(const TGame15&) = delete;
    TGame15& operator=(const TGame15&) = delete;

    bool IsSolved() const { return board_.IsSolved(); }
    const puzzle::TPuzzleBoard& Board() const { return board_; }
    // For tests: deal a given board, and reach a button.
    void SetBoard(const std::array<uint8_t, puzzle::kCells>& board);
    gui::TSpeedButton* Button(int n) const { return buttons_[n]; }

private:
    void TileClick(gui::TSpeedButton* button);
    void ShowBoard();

    gui::TPanel& panel_;
    puzzle::TPuzzleBoard board_;
    std::array<gui::TSpeedButton*, puzzle::kCells> buttons_{};
};
