// Attacks on the tray a local user could make: anyone may write to the
// tray's slot. A stand-in takes the service's slot, so a killer order is
// only recorded.
#include <gtest/gtest.h>

#include "FakeService.h"
#include "TestSupport.h"
#include "qvLateApi.h"
#include "uFormUtils.h"
#include "uMessThread.h"
#include "uPopupOwner.h"
#include "uTrayApplication.h"

namespace {

TEST(TrayAttack, ForgedKillerMarkStopsNoKillerAndLapses)
{
    FakeService service;
    ASSERT_TRUE(service.Active());
    HandleTrayMessage(MakeMessage(13, 8), -1);  // "the killer runs", from any process
    ASSERT_TRUE(TrayApp().Popups.KillerRunning.load());

    HandleAnswer(13);  // the user confirms the killer
    EXPECT_TRUE(WaitUntil([&] { return service.CommandCount(7) == 1; }, 15000)) << "the order never left the tray";

    TrayApp().Popups.KillerRunning.SetSince(TickCount64() - kKillerMarkMs);  // a minute on, no 13/9
    EXPECT_FALSE(TrayApp().Popups.KillerRunning.load());
}

}  // namespace
