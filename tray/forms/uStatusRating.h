#pragma once
// The status window's rating: how much of each protection area is switched
// on, as a percentage with a traffic-light colour. No window here: the
// switches come from a reader the caller gives (the service client in the
// window, a table in tests), asked one after the other in a fixed order.
#include <cstdint>
#include <functional>
#include <string>

// In the order the window rates them.
enum class TRatingArea { Admin, Autoruns, Shell, Files, Network };
constexpr TRatingArea kRatingOrder[] = {TRatingArea::Admin, TRatingArea::Autoruns, TRatingArea::Shell,
                                        TRatingArea::Files, TRatingArea::Network};

// Answers one switch; a failed request answers false.
using TSwitchReader = std::function<bool(const std::string& name)>;

struct TRating {
    int On = 0;
    int Count = 0;
    double Percent() const { return Count > 0 ? On * 100.0 / Count : 0.0; }
};

// Asks the area's switches in order. Files count the four copies' switches
// only on Windows major version 5; the autorun gates are always asked but
// never counted, and their sub-switches are asked only behind an open gate.
TRating RateArea(TRatingArea area, const TSwitchReader& read, int osMajor);

// "58%": the percentage rounded to the nearest whole number.
std::string RatingCaption(double percent);
// The colour of both panels of an area, by the unrounded percentage, as a
// Windows colour value (red in the low byte).
uint32_t RatingColour(double percent);
constexpr uint32_t kRatingGreen = 0x00C000;   // (0, 192, 0)
constexpr uint32_t kRatingAqua = 0xFFFF00;    // (0, 255, 255)
constexpr uint32_t kRatingYellow = 0x00FFFF;  // (255, 255, 0)
constexpr uint32_t kRatingRed = 0x0000FF;     // (255, 0, 0)

// Keeps one rating from starting while another runs (a request waits for its
// reply, and an activation may arrive meanwhile).
class TRatingGate {
public:
    bool TryEnter()
    {
        if (busy_) return false;
        busy_ = true;
        return true;
    }
    void Leave() { busy_ = false; }
    bool Busy() const { return busy_; }

private:
    bool busy_ = false;
};
