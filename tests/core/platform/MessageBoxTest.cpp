#include "platform/MessageBox.h"
#include "Fakes.h"
#include "platform/MessageTarget.h"

#include <gtest/gtest.h>
#include <thread>

using namespace platform;
using testsupport::ScriptedMessageBox;

namespace {

TEST(MessageBox, OnlyOkCountsAsYesAndTextsAreRecorded) {
    ScriptedMessageBox box;
    box.QueueAnswer(MbResult::Cancel);
    EXPECT_FALSE(Ask(&box, "Overwrite?"));
    EXPECT_TRUE(Ask(&box, "Again?")); // queue empty: OK
    Tell(&box, "Done");
    const auto shown = box.Messages();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].buttons, MbButtons::OkCancel);
    EXPECT_EQ(shown[2].buttons, MbButtons::Ok);
    EXPECT_EQ(box.Texts()[2], "Done");
    EXPECT_FALSE(Ask(nullptr, "no service"));
}

TEST(MessageBox, AnswersFromAnotherThread) {
    ScriptedMessageBox box;
    box.QueueAnswer(MbResult::Cancel);
    bool answer = true;
    std::thread worker([&] { answer = Ask(&box, "From the worker"); });
    worker.join();
    EXPECT_FALSE(answer);
}

struct CountingTarget : IMessageTarget {
    int sent = 0, posted = 0;
    intptr_t Send(unsigned, uintptr_t, intptr_t) override { return ++sent; }
    void Post(unsigned, uintptr_t, intptr_t) override { ++posted; }
};

TEST(MessageTarget, DeliverSendsOrPosts) {
    CountingTarget t;
    Deliver(&t, false, WM_USER + 200, 1, 0);
    Deliver(&t, true, WM_USER + 201, 1, 0);
    Deliver(nullptr, true, WM_USER + 201, 1, 0);
    EXPECT_EQ(t.sent, 1);
    EXPECT_EQ(t.posted, 1);
}

} // namespace
