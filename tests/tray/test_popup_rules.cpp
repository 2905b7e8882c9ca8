// The rules of the pop-ups and of the edge gesture, without a window: the
// gesture's state machine, the placement by the taskbar's edge, the stack and
// what each answer of a pop-up makes the hidden window run.
#include <gtest/gtest.h>

#include "fmMessage.h"
#include "uInetUtils.h"
#include "uKeyboardThread.h"
#include "uMessThread.h"
#include "uTrayWindow.h"

namespace {

// Runs a sequence of edges; the number of completed gestures.
int Sweep(TGestureState& state, std::initializer_list<int32_t> steps)
{
    int complete = 0;
    for (int32_t step : steps)
        if (GestureStep(state, step) == TGestureResult::Complete) {
            ++complete;
            ResetGesture(state);  // as the thread does after opening the confirmation
        }
    return complete;
}

void Ticks(TGestureState& state, int rounds)
{
    for (int i = 0; i < rounds; ++i) GestureTick(state);
}

TEST(Gesture, OnlyTopBottomLeftRightInThatOrderCompletes)
{
    TGestureState state;
    EXPECT_EQ(Sweep(state, {geTop, geBottom, geLeft, geRight}), 1);
    EXPECT_EQ(state.LastStep, geNone) << "starts again from nothing";
    EXPECT_EQ(state.Age, 0);

    // not begun at the top: nothing counts
    EXPECT_EQ(Sweep(state, {geBottom, geLeft, geRight}), 0);
    EXPECT_EQ(state.LastStep, geNone);

    // a step out of order is ignored without losing the sequence
    EXPECT_EQ(Sweep(state, {geTop, geLeft, geBottom, geLeft, geRight}), 1);
    EXPECT_EQ(Sweep(state, {geTop, geBottom, geRight, geTop, geLeft, geBottom, geBottom, geLeft, geRight}), 1);
    // going back restarts only through the top edge
    EXPECT_EQ(Sweep(state, {geTop, geBottom, geLeft, geBottom, geRight}), 1);
    EXPECT_EQ(Sweep(state, {geTop, geBottom, geLeft, geTop, geRight}), 0);
    EXPECT_EQ(state.LastStep, geTop);
}

TEST(Gesture, RestingAtAnEdgeOrCornerChangesNothing)
{
    TGestureState state;
    // the thread tests top, left, right, bottom each round: the top-left corner
    for (int round = 0; round < 5; ++round) {
        GestureStep(state, geTop);
        EXPECT_EQ(GestureStep(state, geLeft), TGestureResult::Ignored);
        GestureTick(state);
    }
    EXPECT_EQ(state.LastStep, geTop);
    EXPECT_EQ(state.Age, 6) << "resting at the top does not restart the age";
    EXPECT_EQ(GestureStep(state, geBottom), TGestureResult::Accepted);
    EXPECT_EQ(state.Age, 1) << "each accepted step restarts the age";
}

TEST(Gesture, AStepMoreThan500RoundsAfterThePreviousIsIgnored)
{
    TGestureState state;
    Sweep(state, {geTop, geBottom});
    Ticks(state, kGestureMaxAge - 1);
    EXPECT_EQ(GestureStep(state, geLeft), TGestureResult::Accepted) << "just in time";
    Ticks(state, kGestureMaxAge);
    EXPECT_EQ(state.LastStep, geNone) << "the gesture is forgotten";
    EXPECT_EQ(GestureStep(state, geRight), TGestureResult::Ignored);
    EXPECT_EQ(Sweep(state, {geTop, geBottom, geLeft, geRight}), 1) << "the top edge starts afresh";

    TGestureState idle;
    Ticks(idle, 1000);
    EXPECT_EQ(idle.Age, 0) << "no gesture, no age";
}

TEST(Gesture, EdgesOfTheWholeVirtualScreen)
{
    // a monitor left of and above the main one: the origin is negative
    const RECT screen{-1280, -200, -1280 + 2304, -200 + 1024};
    EXPECT_TRUE(AtScreenEdge(geTop, POINT{100, -200}, screen));
    EXPECT_FALSE(AtScreenEdge(geTop, POINT{100, 0}, screen)) << "the main monitor's top is no edge";
    EXPECT_TRUE(AtScreenEdge(geLeft, POINT{-1280, 300}, screen));
    EXPECT_FALSE(AtScreenEdge(geLeft, POINT{0, 300}, screen));
    EXPECT_TRUE(AtScreenEdge(geRight, POINT{1023, 300}, screen));
    EXPECT_TRUE(AtScreenEdge(geRight, POINT{1021, 300}, screen)) << "three pixels count";
    EXPECT_FALSE(AtScreenEdge(geRight, POINT{1020, 300}, screen));
    EXPECT_TRUE(AtScreenEdge(geBottom, POINT{0, 823}, screen));
    EXPECT_FALSE(AtScreenEdge(geBottom, POINT{0, 820}, screen));
}

constexpr int kW = 1024, kH = 768;
RECT Desktop() { return RECT{0, 0, kW, kH}; }

TTaskbarMeasure Bar(RECT window, int clientWidth, int clientHeight)
{
    TTaskbarMeasure bar;
    bar.Measured = bar.Found = true;
    bar.Window = window;
    bar.ClientWidth = clientWidth;
    bar.ClientHeight = clientHeight;
    bar.Edge = TaskbarEdge(window, kW, kH);
    return bar;
}

RECT PopupRect(const TTaskbarMeasure& bar, int place)
{
    POINT at = PopupPosition(bar, kPopupWidth, kPopupHeight, place, Desktop());
    return RECT{at.x, at.y, at.x + kPopupWidth, at.y + kPopupHeight};
}

TEST(PopupPlacement, NextToTheTaskbarAtTheNotificationAreaEnd)
{
    const auto bottom = Bar({0, 728, kW, kH}, kW, 40);
    ASSERT_EQ(bottom.Edge, teBottom);
    RECT first = PopupRect(bottom, 0);
    EXPECT_EQ(first.bottom, 728 - 4) << "4 px above the taskbar";
    EXPECT_EQ(first.right, kW - 4) << "4 px from the right edge";
    RECT second = PopupRect(bottom, 1);
    EXPECT_EQ(second.top, first.top - 139);
    EXPECT_EQ(second.left, first.left);

    const auto top = Bar({0, 0, kW, 30}, kW, 30);
    ASSERT_EQ(top.Edge, teTop);
    EXPECT_EQ(PopupRect(top, 0).top, 30 + 5);
    EXPECT_EQ(PopupRect(top, 2).top, 30 + 5 + 2 * 139) << "stacks downwards";
    EXPECT_EQ(PopupRect(top, 0).right, kW - 4);

    const auto left = Bar({0, 0, 60, kH}, 60, kH);
    ASSERT_EQ(left.Edge, teLeft);
    EXPECT_EQ(PopupRect(left, 0).left, 60 + 9);
    EXPECT_EQ(PopupRect(left, 0).bottom, kH - 5);

    const auto right = Bar({964, 0, kW, kH}, 60, kH);
    ASSERT_EQ(right.Edge, teRight);
    EXPECT_EQ(PopupRect(right, 0).right, 964 - 4);
    EXPECT_EQ(PopupRect(right, 1).bottom, kH - 4 - 139);

    TTaskbarMeasure none;
    none.Measured = true;
    RECT centred = PopupRect(none, 3);
    EXPECT_EQ(centred.left, (kW - kPopupWidth) / 2) << "no taskbar: centred on the desktop";
    EXPECT_EQ(centred.top, (kH - kPopupHeight) / 2);
}

TEST(PopupPlacement, SixthGoesBackToTheFirstPlaceAndTheLastCloseResets)
{
    TPopupStack stack;
    std::vector<int> places;
    for (int i = 0; i < 6; ++i) places.push_back(TakePopupPlace(stack));
    EXPECT_EQ(places, (std::vector<int>{0, 1, 2, 3, 4, 0}));
    EXPECT_EQ(stack.Open, 6);
    for (int i = 0; i < 5; ++i) ReleasePopupPlace(stack);
    EXPECT_EQ(TakePopupPlace(stack), 1) << "one still open: the stack goes on";
    ReleasePopupPlace(stack);
    ReleasePopupPlace(stack);
    EXPECT_EQ(stack.Open, 0);
    EXPECT_EQ(TakePopupPlace(stack), 0) << "all closed: next to the taskbar again";
    ReleasePopupPlace(stack);
    ReleasePopupPlace(stack);
    EXPECT_EQ(stack.Open, 0) << "never below zero";
}

// What the pop-up owner runs after a pop-up of the kind got the answer.
int32_t RunsAfter(int32_t tag, TPopupAction action)
{
    TAnswerState state;  // as ShowNotification leaves it
    const TPopupAnswer answer = PopupAnswer(tag, action);
    if (answer.Send) TakeAnswer(state, answer.Kind, answer.Yes);
    return AnswerToRun(state);
}

TEST(PopupAnswers, WhatEachAnswerRuns)
{
    // the killer confirmation: its yes label and close mark cancel
    EXPECT_EQ(RunsAfter(13, TPopupAction::Yes), 0);
    EXPECT_EQ(RunsAfter(13, TPopupAction::Cross), 0);
    EXPECT_EQ(RunsAfter(13, TPopupAction::No), 13);
    EXPECT_EQ(RunsAfter(13, TPopupAction::TimeOut), 13);
    for (int32_t kind : {2, 5, 6, 15}) {
        EXPECT_EQ(RunsAfter(kind, TPopupAction::Yes), kind);
        EXPECT_EQ(RunsAfter(kind, TPopupAction::No), 0);
        EXPECT_EQ(RunsAfter(kind, TPopupAction::Cross), 0);
        EXPECT_EQ(RunsAfter(kind, TPopupAction::TimeOut), 0);
    }
    for (auto action : {TPopupAction::Yes, TPopupAction::No, TPopupAction::Cross, TPopupAction::TimeOut})
        EXPECT_EQ(RunsAfter(0, action), 0);

    // every way out of the confirmation but its no label clears the pending mark
    EXPECT_TRUE(PopupAnswer(13, TPopupAction::Yes).ClearConfirmation);
    EXPECT_TRUE(PopupAnswer(13, TPopupAction::Cross).ClearConfirmation);
    EXPECT_TRUE(PopupAnswer(13, TPopupAction::TimeOut).ClearConfirmation);
    EXPECT_FALSE(PopupAnswer(13, TPopupAction::No).ClearConfirmation) << "the answer handling clears it";
    EXPECT_FALSE(PopupAnswer(5, TPopupAction::Cross).ClearConfirmation);
    EXPECT_EQ(PopupAnswer(13, TPopupAction::Yes).NewTag, 0);
    EXPECT_TRUE(PopupAnswer(6, TPopupAction::Yes).KeepValue) << "the autorun dialog finds its event by the value";
    EXPECT_FALSE(PopupAnswer(6, TPopupAction::No).KeepValue);

    // a yes is acted on once
    TAnswerState state;
    TakeAnswer(state, 5, true);
    EXPECT_EQ(AnswerToRun(state), 5);
    EXPECT_EQ(AnswerToRun(state), 0);
}

TEST(EventQueue, KeepsTheNewestThousandEvents)
{
    TTrayEventQueue queue;
    const TMSlotMessage event = MakeMessage(9, 101);
    for (int32_t seq = 0; seq < 1005; ++seq) queue.PushFront(event, seq);
    EXPECT_EQ(queue.Size(), 1000u);
    TTrayEventEntry entry;
    EXPECT_TRUE(queue.FindBySeq(5, entry));
    EXPECT_FALSE(queue.FindBySeq(4, entry)) << "the oldest went";
    ASSERT_TRUE(queue.TakeHead(entry));
    EXPECT_EQ(entry.Seq, 1004) << "the newest stays at the head";
}

TEST(PopupAnswers, OnlyWebAddressesOfASystemMessageAreOpened)
{
    EXPECT_TRUE(IsWebAddress("http://example.com/news"));
    EXPECT_TRUE(IsWebAddress("HTTPS://example.com/"));
    EXPECT_FALSE(IsWebAddress("C:\\Windows\\system32\\cmd.exe"));
    EXPECT_FALSE(IsWebAddress("\\\\server\\share\\run.exe"));
    EXPECT_FALSE(IsWebAddress("file:///C:/x.exe"));
    EXPECT_FALSE(IsWebAddress(" http://example.com"));
    EXPECT_FALSE(IsWebAddress("httpx://example.com"));
    EXPECT_FALSE(IsWebAddress(""));
}

}  // namespace
