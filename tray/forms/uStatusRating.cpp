#include "uStatusRating.h"

#include <cmath>
#include <initializer_list>

namespace {

int CountOn(const TSwitchReader& read, std::initializer_list<const char*> names)
{
    int on = 0;
    for (const char* name : names)
        if (read(name)) ++on;
    return on;
}

TRating RateAutoruns(const TSwitchReader& read)
{
    TRating rating{0, 12};
    rating.On += CountOn(read, {"arn_all_folder", "arn_user_folder"});
    if (read("arn_all_reg"))
        rating.On += CountOn(read, {"arn_all_run", "arn_all_runonce", "arn_all_runonceex", "arn_all_polices"});
    if (read("arn_user_reg"))
        rating.On += CountOn(read, {"arn_user_run", "arn_user_runonce", "arn_user_polices", "arn_user_ntrun",
                                    "arn_user_ntload"});
    rating.On += CountOn(read, {"arn_close_thread"});
    return rating;
}

TRating RateFiles(const TSwitchReader& read, int osMajor)
{
    TRating rating;
    if (osMajor == 5) {
        // The reference copies exist only before Windows 6.
        rating.On += CountOn(read, {"file_taskman", "file_userinit", "file_userinit_cache", "file_taskman_cache"});
        rating.Count += 4;
    }
    rating.On += CountOn(read, {"hijack_all", "hijack_taskman"});
    rating.Count += 2;
    return rating;
}

}  // namespace

TRating RateArea(TRatingArea area, const TSwitchReader& read, int osMajor)
{
    switch (area) {
    case TRatingArea::Admin: return {CountOn(read, {"Polices_Taskmgr", "Polices_Regedit"}), 2};
    case TRatingArea::Autoruns: return RateAutoruns(read);
    case TRatingArea::Shell:
        return {CountOn(read, {"User_shell", "All_userinit", "User_PoliceShell", "All_taskman", "All_shell",
                               "All_parazite", "All_message", "User_load", "All_gina", "All_polices_shell"}),
                10};
    case TRatingArea::Files: return RateFiles(read, osMajor);
    case TRatingArea::Network: return {CountOn(read, {"hosts_guard"}), 1};
    }
    return {};
}

std::string RatingCaption(double percent)
{
    return std::to_string(static_cast<long long>(std::nearbyint(percent))) + "%";
}

uint32_t RatingColour(double percent)
{
    if (percent >= 80) return kRatingGreen;
    if (percent >= 50) return kRatingAqua;
    if (percent >= 30) return kRatingYellow;
    return kRatingRed;
}
