#include "qvFaults.h"

#include <atomic>
#include <map>
#include <mutex>
#include <stdexcept>

namespace {

std::atomic<int> gArmedTotal{0};
std::mutex gLock;
std::map<std::string, int>& Armed()
{
    static std::map<std::string, int> armed;
    return armed;
}

}  // namespace

void ArmFault(const std::string& point, int times)
{
    if (times <= 0) return;
    std::lock_guard<std::mutex> hold(gLock);
    Armed()[point] += times;
    gArmedTotal += times;
}

int ArmedFaults(const std::string& point)
{
    std::lock_guard<std::mutex> hold(gLock);
    auto found = Armed().find(point);
    return found == Armed().end() ? 0 : found->second;
}

void FaultPoint(const char* point)
{
    if (gArmedTotal.load() == 0) return;
    {
        std::lock_guard<std::mutex> hold(gLock);
        auto found = Armed().find(point);
        if (found == Armed().end() || found->second == 0) return;
        --found->second;
        --gArmedTotal;
    }
    throw std::runtime_error(std::string("fault injected at ") + point);
}
