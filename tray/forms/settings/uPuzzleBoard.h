#pragma once
// The 15-puzzle of the about page without its buttons: sixteen cells in row
// order, value 16 the empty cell. A board is dealt from the solved one by
// legal slides only, so every deal can be solved. Pure logic: the page's
// buttons show Board() and hand their clicks to ClickTile.
#include <array>
#include <cstdint>
#include <functional>

namespace puzzle {

constexpr int kSide = 4;
constexpr int kCells = kSide * kSide;
constexpr uint8_t kEmpty = 16;
constexpr int kShuffleSteps = 1001;

struct TCell {
    uint8_t Row = 0;
    uint8_t Column = 0;
};

// Random(k): uniform in 0 .. k-1.
using TRandom = std::function<int(int)>;
// The program's generator, seeded once on first use (seeding at every draw
// from a coarse clock would deal the same few boards again and again).
int ProgramRandom(int range);

class TPuzzleBoard {
public:
    explicit TPuzzleBoard(TRandom random = ProgramRandom);

    const std::array<uint8_t, kCells>& Board() const { return board_; }
    void SetBoard(const std::array<uint8_t, kCells>& board) { board_ = board; }

    // Solved order, then kShuffleSteps slides alternating along the row and
    // the column, the first along the row.
    void Shuffle();
    void ShuffleStep();
    // Slides every tile between the empty cell and the target by one cell
    // when the target shares the empty cell's row or column; nothing else.
    void MoveTo(int row, int column);
    // A click on the button showing the value.
    void ClickTile(int value);
    TCell FindTile(uint8_t value) const;
    bool IsSolved() const;
    // True when the board holds each of 1 to 16 once and can be solved.
    bool IsSolvable() const;

private:
    bool CoinFlip();
    uint8_t& At(int row, int column) { return board_[row * kSide + column]; }

    std::array<uint8_t, kCells> board_{};
    TCell emptyPos_;
    bool vertical_ = false;
    TRandom random_;
};

}  // namespace puzzle
