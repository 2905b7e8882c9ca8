// A program that just waits (for process tests): ends after the number of
// seconds given as its argument, 600 by default.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return 0;
}
