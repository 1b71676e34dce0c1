// The event channel: every subscriber hears each event synchronously, and a
// handler's change to a by-reference argument reaches the caller's variable.

#include <gtest/gtest.h>

#include "core/host/MenuEvent.h"

namespace qor {
namespace {

class Rewriter : public IMenuEvents {
  public:
    std::vector<std::string> heard;
    void Answer(dialer::CallPtr&) override { heard.push_back("Answer"); }
    void Reconnect(dialer::CallPtr&) override { heard.push_back("Reconnect"); }
    void Clear(dialer::CallPtr& c) override {
        heard.push_back("Clear");
        c.reset();
    }
    void CancelConsultation(dialer::CallPtr&) override { heard.push_back("CancelConsultation"); }
    void CloseApp(dialer::SessionPtr&) override { heard.push_back("CloseApp"); }
    void Maximize(dialer::SessionPtr&) override { heard.push_back("Maximize"); }
    void Configuration() override { heard.push_back("Configuration"); }
    void MakeCall(std::string& callee) override {
        heard.push_back("MakeCall " + callee);
        callee = "+49" + callee;
    }
    void MakeCall2(dialer::CallsPtr&, std::string& n) override {
        heard.push_back("MakeCall2 " + n);
    }
};

TEST(MenuEventTest, RaisesToEverySubscriberAndWritesBack) {
    auto events = MenuEvent::Create();
    std::string number = "301234";
    events->MakeCall(number);  // nobody listens: nothing happens
    EXPECT_EQ(number, "301234");

    Rewriter first, second;
    Subscription a = events->Subscribe(first);
    Subscription b = events->Subscribe(second);
    events->MakeCall(number);
    EXPECT_EQ(first.heard, std::vector<std::string>{"MakeCall 301234"});
    EXPECT_EQ(second.heard, std::vector<std::string>{"MakeCall +49301234"})
        << "in order, by reference";
    EXPECT_EQ(number, "+49+49301234");

    events->Configure();
    EXPECT_EQ(first.heard.back(), "Configuration") << "Configure raises Configuration";
    b.Reset();
    dialer::CallPtr call;
    events->Clear(call);
    EXPECT_EQ(second.heard.back(), "Configuration") << "an unsubscribed sink hears nothing";
    EXPECT_EQ(events->SubscriberCount(), 1u);
}

TEST(MenuEventTest, SubscriptionOutlivingTheChannelIsHarmless) {
    Rewriter sink;
    Subscription s;
    {
        auto events = MenuEvent::Create();
        s = events->Subscribe(sink);
    }
    ASSERT_TRUE(static_cast<bool>(s));
    s.Reset();  // the channel is gone: detaching must not touch it (ASan watches)
    EXPECT_FALSE(static_cast<bool>(s));
}

}  // namespace
}  // namespace qor
