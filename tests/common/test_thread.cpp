// The thread base: what reaches the top of a thread is logged, and a stop
// returns only once Execute has.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "CaughtLines.h"
#include "TestSupport.h"
#include "qvThread.h"

namespace {

class ThrowingThread : public TThread {
public:
    ThrowingThread() { Start(); }
    ~ThrowingThread() override { StopAndJoin(); }

protected:
    void Execute() override { throw std::runtime_error("lost the disk"); }
};

// Keeps working on its member for a while after the stop was asked.
class LingeringThread : public TThread {
public:
    explicit LingeringThread(std::atomic<bool>& done) : done_(done) { Start(); }

protected:
    void Execute() override
    {
        WaitForSingleObject(StopEvent(), INFINITE);
        Sleep(200);
        done_ = true;
    }

private:
    std::atomic<bool>& done_;
};

TEST(ThreadBase, AnErrorThatEndsAThreadIsLoggedWithTheThreadsKind)
{
    CaughtLines caught;
    ThrowingThread thread;
    ASSERT_EQ(thread.WaitFor(10000), WAIT_OBJECT_0);
    EXPECT_TRUE(caught.Has("ThrowingThread")) << caught.All();
    EXPECT_TRUE(caught.Has("lost the disk")) << caught.All();
}

TEST(ThreadBase, StopAndFreeReturnsOnlyOnceExecuteHasReturned)
{
    std::atomic<bool> done{false};
    auto thread = std::make_unique<LingeringThread>(done);
    StopAndFree(thread);
    EXPECT_TRUE(done) << "the thread was still running when its object went";
    EXPECT_EQ(thread, nullptr);
}

}  // namespace
