#include "host/Application.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "host/Component.h"
#include "host/Dialogs.h"
#include "host/Exceptions.h"

namespace {

using namespace host;

// Captures message boxes and installs an exception handler for one test; restores both after.
class ApplicationHooks : public ::testing::Test {
protected:
    void SetUp() override {
        fPreviousBox =
            SetMessageBoxHook([this](const std::string& text, const std::string& caption, int flags) {
                boxes.push_back(caption + "|" + text);
                boxFlags = flags;
                return IDOK;
            });
        fPreviousHandler = Application().SetOnException(nullptr);
        fPreviousTitle = Application().Title();
    }
    void TearDown() override {
        SetMessageBoxHook(fPreviousBox);
        Application().SetOnException(fPreviousHandler);
        Application().SetTitle(fPreviousTitle);
    }

    std::vector<std::string> boxes;
    int boxFlags = -1;

private:
    TMessageBoxHook fPreviousBox;
    TExceptionEvent fPreviousHandler;
    std::string fPreviousTitle;
};

TEST_F(ApplicationHooks, DefaultShowsTheMessageInAnErrorBoxAndAbortStaysSilent) {
    Application().SetTitle("Corvane");
    try {
        throw EDatabaseError("Table1: Field 'X' not found");
    } catch (...) {
        Application().HandleException(nullptr);
    }
    try {
        Abort();
    } catch (...) {
        Application().HandleException(nullptr);
    }
    try {
        throw 42;
    } catch (...) {
        Application().HandleException(nullptr);
    }
    EXPECT_EQ(boxes,
              (std::vector<std::string>{"Corvane|Table1: Field 'X' not found", "Corvane|Unknown exception"}));
    EXPECT_EQ(boxFlags, MB_OK | MB_ICONERROR);
    // Outside a catch block there is nothing to handle.
    Application().HandleException(nullptr);
    EXPECT_EQ(boxes.size(), 2u);
}

TEST_F(ApplicationHooks, InstalledHandlerReceivesSenderAndExceptionInsteadOfTheBox) {
    TComponent sender(nullptr);
    TObject* seenSender = nullptr;
    std::string seenText;
    Application().SetOnException([&](TObject* s, const std::exception& e) {
        seenSender = s;
        seenText = e.what();
    });
    try {
        throw std::runtime_error("disk full");
    } catch (...) {
        Application().HandleException(&sender);
    }
    EXPECT_EQ(seenSender, &sender);
    EXPECT_EQ(seenText, "disk full");
    EXPECT_TRUE(boxes.empty());
    // Removing the handler brings the default back.
    Application().SetOnException(nullptr);
    try {
        throw std::runtime_error("again");
    } catch (...) {
        Application().HandleException(&sender);
    }
    EXPECT_EQ(boxes, (std::vector<std::string>{"|again"}));
}

TEST_F(ApplicationHooks, AHandlerThatRaisesIsShownAndNothingEscapes) {
    Application().SetOnException(
        [](TObject*, const std::exception&) { throw EDatabaseError("handler broke"); });
    try {
        throw std::runtime_error("first");
    } catch (...) {
        EXPECT_NO_THROW(Application().HandleException(nullptr));
    }
    EXPECT_EQ(boxes, (std::vector<std::string>{"|handler broke"}));
    // A message box that raises is swallowed too: the handler is the last resort.
    Application().SetOnException(nullptr);
    SetMessageBoxHook([](const std::string&, const std::string&, int) -> int { throw std::bad_alloc(); });
    try {
        throw std::runtime_error("second");
    } catch (...) {
        EXPECT_NO_THROW(Application().HandleException(nullptr));
    }
}

TEST_F(ApplicationHooks, ShowExceptionUsesTheMessageBox) {
    Application().ShowException(EDatabaseError("shown"));
    EXPECT_EQ(boxes, (std::vector<std::string>{"|shown"}));
}

} // namespace
