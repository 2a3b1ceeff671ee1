#include <gtest/gtest.h>

#include <thread>

#include "label.h"
#include "notify_windows_qt.h"
#include "pumping_wait.h"
#include "qt_app.h"

namespace kivo::runtime {
namespace {

class NotifyWindowsTest : public ::testing::Test {
protected:
    void SetUp() override { test::qtApp(); }
    std::unique_ptr<QtNotifyWindows, void (*)(QtNotifyWindows*)> windows = installNotifyWindows();
};

TEST_F(NotifyWindowsTest, InstalledForTheEngineWhileItLives) {
    EXPECT_EQ(notifyWindows(), windows.get());
    Label label;
    int seen = 0;
    QObject::connect(&label, &Label::progress, [&](int) { ++seen; });
    EXPECT_NE(notifyHandleOf(&label), 0u);
    windows.reset();
    EXPECT_EQ(notifyWindows(), nullptr);
    EXPECT_EQ(notifyHandleOf(&label), 0u);
    // The label's own connections outlive the notify windows.
    NotifyEvent progress(WM_PLAYPROGRESS, 42, 0);
    QCoreApplication::sendEvent(&label, &progress);
    EXPECT_EQ(seen, 1);
}

TEST_F(NotifyWindowsTest, ProgressFromAnotherThreadArrivesInPostingOrderOnTheWindowThread) {
    Label label;
    WindowHandle handle = notifyHandleOf(&label);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(notifyHandleOf(&label), handle);  // one handle per label
    std::vector<int> seen;
    std::thread::id windowThread = std::this_thread::get_id();
    bool otherThread = false;
    QObject::connect(&label, &Label::progress, [&](int p) {
        seen.push_back(p);
        otherThread |= std::this_thread::get_id() != windowThread;
    });
    std::thread engine([&] {
        for (int p = 0; p < 100; ++p) notifyWindows()->postMessage(handle, WM_PLAYPROGRESS, p, 0);
        notifyWindows()->postMessage(handle, 0x8001, 7, 0);  // not ours: ignored
        notifyWindows()->postMessage(handle, WM_PLAYPROGRESS, 100, 0);
    });
    engine.join();
    EXPECT_TRUE(seen.empty());  // nothing arrives before the window thread handles events
    processPendingEvents();
    ASSERT_EQ(seen.size(), 101u);
    for (int p = 0; p <= 100; ++p) EXPECT_EQ(seen[size_t(p)], p);
    EXPECT_FALSE(otherThread);
}

TEST_F(NotifyWindowsTest, DestroyedWindowsAreGoneAndTheirMessagesDropped) {
    auto* label = new Label;
    int seen = 0;
    QObject::connect(label, &Label::progress, [&](int) { ++seen; });
    WindowHandle handle = notifyHandleOf(label);
    EXPECT_TRUE(windows->isWindow(handle));
    EXPECT_TRUE(windows->postMessage(handle, WM_PLAYPROGRESS, 5, 0));  // still queued
    delete label;
    EXPECT_FALSE(windows->isWindow(handle));
    EXPECT_FALSE(windows->postMessage(handle, WM_PLAYPROGRESS, 6, 0));
    processPendingEvents();
    EXPECT_EQ(seen, 0);
    // A new label never gets the handle of a destroyed one.
    Label next;
    EXPECT_NE(notifyHandleOf(&next), handle);
    EXPECT_FALSE(windows->isWindow(0));
    EXPECT_FALSE(windows->postMessage(0, WM_PLAYPROGRESS, 1, 0));
}

TEST_F(NotifyWindowsTest, PostingWhileTheWindowIsDestroyedIsSafe) {
    // An engine thread keeps posting while the window thread destroys the label.
    auto* label = new Label;
    WindowHandle handle = notifyHandleOf(label);
    std::atomic<bool> stop{false};
    std::thread engine([&] {
        for (int i = 0; i < 200000 && !stop; ++i) {
            notifyWindows()->postMessage(handle, WM_PLAYPROGRESS, 1, 0);
        }
    });
    processPendingEvents();
    delete label;
    stop = true;
    engine.join();
    processPendingEvents();
    EXPECT_FALSE(windows->isWindow(handle));
}

}  // namespace
}  // namespace kivo::runtime
