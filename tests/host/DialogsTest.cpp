#include "host/Dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host/SyncObjs.h"

namespace {

TEST(MessageBoxHook, InstalledHookSeesTheCallAndChoosesTheButton) {
    std::string seen;
    int seenFlags = -1;
    auto previous =
        host::SetMessageBoxHook([&](const std::string& text, const std::string& caption, int flags) {
            seen = caption + "|" + text;
            seenFlags = flags;
            return host::IDNO;
        });
    EXPECT_EQ(host::MessageBox("Error Loading DLL msql.dll", "Error", host::MB_OK | host::MB_ICONERROR),
              host::IDNO);
    EXPECT_EQ(seen, "Error|Error Loading DLL msql.dll");
    EXPECT_EQ(seenFlags, 0x10);
    host::ShowMessage("hi");
    EXPECT_EQ(seen, "|hi");
    auto mine = host::SetMessageBoxHook(previous);
    EXPECT_TRUE(static_cast<bool>(mine));
}

TEST(MessageBoxHook, DefaultWritesToStandardErrorAndAnswersOk) {
    auto previous = host::SetMessageBoxHook(nullptr);
    ::testing::internal::CaptureStderr();
    const int result = host::MessageBox("text", "Caption", host::MB_YESNO);
    const std::string err = ::testing::internal::GetCapturedStderr();
    host::SetMessageBoxHook(previous);
    EXPECT_EQ(result, host::IDOK);
    EXPECT_EQ(err, "Caption: text\n");
}

TEST(ScreenCursor, HookReceivesEveryChangeAndTheScreenRemembersIt) {
    std::vector<host::TCursor> seen;
    auto previous = host::SetScreenCursorHook([&](host::TCursor c) { seen.push_back(c); });
    host::Screen()->SetCursor(host::crSQLWait);
    EXPECT_EQ(host::Screen()->Cursor(), host::crSQLWait);
    host::Screen()->SetCursor(host::crDefault);
    host::SetScreenCursorHook(previous);
    EXPECT_EQ(seen, (std::vector<host::TCursor>{-17, 0}));
    host::Screen()->SetCursor(host::crHourGlass); // without a hook: only remembered
    EXPECT_EQ(host::Screen()->Cursor(), host::crHourGlass);
    host::Screen()->SetCursor(host::crDefault);
}

TEST(CriticalSection, ReentrantForTheOwningThreadAndExcludesOthers) {
    host::TCriticalSection section;
    section.Enter();
    section.Enter(); // the same thread may enter again
    bool otherGotIn = true;
    std::thread other([&] { otherGotIn = section.TryEnter(); });
    other.join();
    EXPECT_FALSE(otherGotIn);
    section.Leave();
    section.Leave();
    std::thread again([&] {
        otherGotIn = section.TryEnter();
        if (otherGotIn) section.Leave();
    });
    again.join();
    EXPECT_TRUE(otherGotIn);
}

TEST(CriticalSection, GuardSerializesCounterUpdates) {
    host::TCriticalSection section;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                host::TCriticalSectionGuard guard(section);
                ++counter;
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(counter, 40000);
}

} // namespace
