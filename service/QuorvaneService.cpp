#include "QuorvaneService.h"

#include <cstdio>

#include "uCommonUtils.h"

int RunServiceProgram(int argc, char** argv)
{
    std::printf("Quorvane service %s\n", GetVersionText().c_str());
    return 0;
}
