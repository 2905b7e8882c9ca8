#include "uTrayApplication.h"

TTrayApplication& TrayApp()
{
    static TTrayApplication app;
    return app;
}
