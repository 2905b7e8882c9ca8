#include "uTrayApplication.h"

TTrayApplication& TrayApp()
{
    static TTrayApplication* const app = new TTrayApplication();
    return *app;
}
