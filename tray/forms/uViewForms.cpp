#include "uViewForms.h"

#include "fmBrowser.h"
#include "fmReport.h"
#include "fmReportProp.h"
#include "fmSplash.h"
#include "fmStatus.h"

void RegisterViewForms()
{
    RegisterStatusForm();
    RegisterReportForm();
    RegisterReportPropForm();
    RegisterSplashForm();
    RegisterBrowserForm();
}
