#include "uPuzzleBoard.h"

#include <chrono>
#include <random>
#include <utility>

namespace puzzle {

int ProgramRandom(int range)
{
    static std::mt19937 generator(static_cast<std::mt19937::result_type>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count() ^ std::random_device{}()));
    if (range <= 1) return 0;
    return std::uniform_int_distribution<int>(0, range - 1)(generator);
}

TPuzzleBoard::TPuzzleBoard(TRandom random) : random_(std::move(random))
{
    for (int n = 0; n < kCells; ++n) board_[n] = static_cast<uint8_t>(n + 1);
}

bool TPuzzleBoard::CoinFlip() { return random_(100) <= 50; }

void TPuzzleBoard::Shuffle()
{
    for (int n = 0; n < kCells; ++n) board_[n] = static_cast<uint8_t>(n + 1);
    for (int step = 0; step < kShuffleSteps; ++step) ShuffleStep();
}

void TPuzzleBoard::ShuffleStep()
{
    emptyPos_ = FindTile(kEmpty);
    const int y = emptyPos_.Row;
    const int x = emptyPos_.Column;
    int row = y;
    int column = x;
    if (vertical_) {
        bool down = CoinFlip();
        if (y == kSide - 1) down = false;
        if (y == 0) down = true;
        row = down ? y + 1 + random_(kSide - 1 - y) : y - 1 - random_(y);
    } else {
        bool right = CoinFlip();
        if (x == kSide - 1) right = false;
        if (x == 0) right = true;
        column = right ? x + 1 + random_(kSide - 1 - x) : x - 1 - random_(x);
    }
    vertical_ = !vertical_;
    const TCell target = FindTile(At(row, column));
    MoveTo(target.Row, target.Column);
}

TCell TPuzzleBoard::FindTile(uint8_t value) const
{
    for (int n = 0; n < kCells; ++n)
        if (board_[n] == value) return {static_cast<uint8_t>(n / kSide), static_cast<uint8_t>(n % kSide)};
    return {};
}

void TPuzzleBoard::MoveTo(int row, int column)
{
    if (row < 0 || row >= kSide || column < 0 || column >= kSide) return;
    emptyPos_ = FindTile(kEmpty);
    if (row == emptyPos_.Row) {
        while (emptyPos_.Column > column) {
            std::swap(At(emptyPos_.Row, emptyPos_.Column), At(emptyPos_.Row, emptyPos_.Column - 1));
            emptyPos_ = FindTile(kEmpty);
        }
        while (emptyPos_.Column < column) {
            std::swap(At(emptyPos_.Row, emptyPos_.Column), At(emptyPos_.Row, emptyPos_.Column + 1));
            emptyPos_ = FindTile(kEmpty);
        }
    }
    if (column == emptyPos_.Column) {
        while (emptyPos_.Row > row) {
            std::swap(At(emptyPos_.Row, emptyPos_.Column), At(emptyPos_.Row - 1, emptyPos_.Column));
            emptyPos_ = FindTile(kEmpty);
        }
        while (emptyPos_.Row < row) {
            std::swap(At(emptyPos_.Row, emptyPos_.Column), At(emptyPos_.Row + 1, emptyPos_.Column));
            emptyPos_ = FindTile(kEmpty);
        }
    }
}

void TPuzzleBoard::ClickTile(int value)
{
    if (value < 1 || value > kCells) return;
    const TCell cell = FindTile(static_cast<uint8_t>(value));
    MoveTo(cell.Row, cell.Column);
}

bool TPuzzleBoard::IsSolved() const
{
    for (int n = 0; n < kCells; ++n)
        if (board_[n] != n + 1) return false;
    return true;
}

bool TPuzzleBoard::IsSolvable() const
{
    std::array<bool, kCells + 1> seen{};
    for (uint8_t value : board_) {
        if (value < 1 || value > kCells || seen[value]) return false;
        seen[value] = true;
    }
    // 4 columns: solvable when the inversions of the tiles plus the empty
    // cell's row counted from the bottom (1-based) is odd.
    int inversions = 0;
    for (int i = 0; i < kCells; ++i)
        for (int j = i + 1; j < kCells; ++j)
            if (board_[i] != kEmpty && board_[j] != kEmpty && board_[i] > board_[j]) ++inversions;
    const int rowFromBottom = kSide - FindTile(kEmpty).Row;
    return (inversions + rowFromBottom) % 2 == 1;
}

}  // namespace puzzle
