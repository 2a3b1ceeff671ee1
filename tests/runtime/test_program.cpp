#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "program.h"
#include "qt_app.h"

namespace kivo::runtime {
namespace {

bool listed(const std::vector<ProcessEntry>& list, int pid, const std::string& name) {
    return std::any_of(list.begin(), list.end(), [&](const ProcessEntry& e) {
        return e.pid == pid && e.exeFileName == name;
    });
}

TEST(ProgramTest, ProgramFileAndItsFolder) {
    EXPECT_EQ(programFileName(), "kivo_runtime_tests");
    std::string dir = runDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_EQ(access((dir + "/" + programFileName()).c_str(), X_OK), 0);
}

TEST(ProgramTest, ProcessListFindsUsAndOthersByTheirOwnName) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl("/bin/sleep", "sleep", "5", static_cast<char*>(nullptr));
        _exit(127);
    }
    // The child is ours from fork on, under our name until exec; wait for the exec.
    std::vector<ProcessEntry> list;
    for (int i = 0; i < 200; ++i) {
        list = processList();
        if (listed(list, child, "sleep")) break;
        usleep(10000);
    }
    EXPECT_TRUE(listed(list, getpid(), "kivo_runtime_tests"));
    EXPECT_TRUE(listed(list, child, "sleep"));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    // Listed in the system's order.
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(),
                               [](const auto& a, const auto& b) { return a.pid < b.pid; }));
}

TEST(ProgramTest, AnEndedButUnreapedProcessIsNotListed) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(0);
    // Not reaped yet: the child stays in the process table as a zombie.
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    std::vector<ProcessEntry> list = processList();
    EXPECT_FALSE(std::any_of(list.begin(), list.end(),
                             [&](const ProcessEntry& e) { return e.pid == child; }));
    waitpid(child, nullptr, 0);
}

struct Ended {
    int code;
};

TEST(ProgramTest, EndProgramRunsTheCleanUpThenEnds) {
    std::vector<std::string> order;
    addEndProgramHook([&] { order.push_back("first registered"); });
    addEndProgramHook([&] { order.push_back("player removed"); });
    setProcessTerminator([&](int code) {
        order.push_back("ended");
        throw Ended{code};
    });
    try {
        endProgram();
    } catch (const Ended& e) {
        EXPECT_EQ(e.code, 0);
    }
    setProcessTerminator(nullptr);
    EXPECT_EQ(order, (std::vector<std::string>{"player removed", "first registered", "ended"}));
}

TEST(ProgramTest, ScreenSize) {
    test::qtApp();
    EXPECT_GT(screenWidth(), 0);
    EXPECT_GT(screenHeight(), 0);
}

}  // namespace
}  // namespace kivo::runtime
