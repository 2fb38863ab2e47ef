// The connection policy: destinations of each choice and attempt, the
// request record, the texts of the outcome, the decision whether an update
// may connect, and the questions asked on a terminal.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/com/guid.h"
#include "platform/kernel/test_clock.h"
#include "plugin/connection_policy.h"
#include "plugin/network_state.h"
#include "plugin/update_support.h"
#include "test_util/test_util.h"

namespace {

using namespace skyvane::plugin;
using skyvane::test::RecordingConnections;

TEST(ConnectionChoiceTest, EachChoiceAndIterationHasItsDestination) {
    struct Case {
        int32_t choice, iteration, destination;
        bool another;
    } cases[] = {
        {0, 1, kDestinationCorporate, true},  // "Network then Internet"
        {0, 2, kDestinationInternet, true},
        {5, 1, kDestinationInternet, true},   // "Internet then Network"
        {5, 2, kDestinationCorporate, true},
        {1, 1, kDestinationInternet, false},
        {1, 2, kDestinationInternet, false},
        {2, 2, kDestinationCorporate, false},
        {3, 2, kDestinationWap, false},       // never retries with iteration 2
        {4, 1, kDestinationSecureWap, false},
        {0, 3, kDestinationNone, true},
        {6, 1, kDestinationNone, true},       // an unknown choice names no destination
        {-1, 1, kDestinationNone, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EffectiveDestination(c.choice, c.iteration), c.destination) << c.choice << "/" << c.iteration;
        EXPECT_EQ(CanTryAnotherConnection(c.choice), c.another) << c.choice;
    }
}

TEST(ConnectionChoiceTest, TheRequestRecord) {
    struct Case {
        int32_t destination;
        bool existingOnly;
        int32_t proxyFlags;
        DWORD params, flags, priority;
        const GUID* guid;
    } cases[] = {
        // Auto detect: HTTP only when an existing connection is looked for.
        {1, false, 254, 1, 0, 0x200, &IID_DestNetInternet},
        {1, true, 254, 1, 1, 0x8, &IID_DestNetInternet},
        {2, false, 255, 1, 1, 0x200, &IID_DestNetCorp},
        {3, false, 0, 1, 0, 0x200, &IID_DestNetWAP},
        {4, true, 8, 1, 8, 0x8, &IID_DestNetSecureWAP},
        {1, false, 2, 1, 2, 0x200, &IID_DestNetInternet},
        {1, false, 4, 1, 4, 0x200, &IID_DestNetInternet},
        // No destination: none named.
        {0, false, 1, 0, 1, 0x200, nullptr},
    };
    for (const Case& c : cases) {
        CONNMGR_CONNECTIONINFO r = MakeConnectionRequest(c.destination, c.existingOnly, c.proxyFlags);
        SCOPED_TRACE(testing::Message() << c.destination << " " << c.existingOnly << " " << c.proxyFlags);
        EXPECT_EQ(r.cbSize, sizeof r);
        EXPECT_EQ(r.dwParams, c.params);
        EXPECT_EQ(r.dwFlags, c.flags);
        EXPECT_EQ(r.dwPriority, c.priority);
        EXPECT_FALSE(r.bExclusive);
        EXPECT_FALSE(r.bDisabled);
        EXPECT_TRUE(IsEqualGUID(r.guidDestNet, c.guid ? *c.guid : GUID{}));
        EXPECT_EQ(r.hWnd, nullptr);
        EXPECT_EQ(r.ulMaxCost, 0u);
    }
}

TEST(ConnectionChoiceTest, Texts) {
    EXPECT_EQ(DestinationText(0), u"Network then Internet");
    EXPECT_EQ(DestinationText(5), u"Internet then Network");
    EXPECT_EQ(DestinationText(6), u"");
    EXPECT_EQ(ProxyKindText(254), u"Auto detect");
    EXPECT_EQ(ProxyKindText(1), u"HTTP proxy(connect alive)");
    EXPECT_EQ(ProxyKindText(255), u"HTTP proxy");
    EXPECT_EQ(ProxyKindText(3), u"");
    EXPECT_EQ(ConnectionStatusText(0x10), u"The connection is up.");
    EXPECT_EQ(ConnectionStatusText(0x24), u"No path to the destination could be found.");
    EXPECT_EQ(ConnectionStatusText(0x81), u"The device is aborting the connection attempt.");
    EXPECT_EQ(ConnectionStatusText(0x99), u"The status of the connection is unknown");
    EXPECT_EQ(ConnectionStatusText(0x42).rfind(u"The device is waiting for a task with a higher priority to connect "
                                               u"to the network before connecting to the same network.", 0),
              0u);
}

// Answers a fixed sequence of answers, counting the questions.
class ScriptedPrompt final : public Prompt {
public:
    explicit ScriptedPrompt(Answer answer, bool interactive = true) : answer_(answer), interactive_(interactive) {}
    bool Interactive() const override { return interactive_; }
    Answer Ask(std::u16string_view, std::u16string_view question, Buttons) override {
        ++asked;
        lastQuestion = question;
        return answer_;
    }
    int asked = 0;
    std::u16string lastQuestion;

private:
    Answer answer_;
    bool interactive_;
};

class ConnectionPolicyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(skyvane::test::FreezeClockAt(root.path(), 9, 5));
        skyvane::test::SetSystemState(0, 0x10, 0);  // Wi-Fi
    }
    skyvane::test::ScopedDeviceRoot root;
    SettingsKey key{u"Weather", u"Skyvane"};
    RecordingConnections connections{key};
};

TEST_F(ConnectionPolicyTest, EstablishingHoldsTheConnectionAndSaysHowItWent) {
    NonInteractivePrompt nobody;
    {
        ConnectionPolicy policy(key, nobody, connections);
        ConnectionResult up = policy.EstablishConnection(kDestinationInternet, false);
        EXPECT_TRUE(up.connected);
        EXPECT_EQ(up.text, u"Connection Internet(WiFi Flags=0 type=1 check=0) established");
        EXPECT_TRUE(policy.Holding());
        EXPECT_EQ(connections.timeouts, std::vector<DWORD>{120000});

        // A new request first gives back the connection held.
        connections.answer = [](const CONNMGR_CONNECTIONINFO&) { return DWORD(0x24); };
        key.WriteNumber(u"ProxyFlags", 255);
        ConnectionResult down = policy.EstablishConnection(kDestinationCorporate, true);
        EXPECT_FALSE(down.connected);
        EXPECT_EQ(down.status, 0x24u);
        EXPECT_EQ(down.text, u"Connection Corporate network(WiFi Flags=1 type=2 check=1) can not be established "
                             u"with error 80004005 No path to the destination could be found.  ");
        EXPECT_EQ(connections.released, 1);
        EXPECT_FALSE(policy.Holding());

        connections.answer = nullptr;
        policy.EstablishConnection(kDestinationInternet, false);
    }
    EXPECT_EQ(connections.held, 0);  // given back when the policy goes
    EXPECT_EQ(skyvane::test::CountLogged("Connection released"), 2u);
    EXPECT_TRUE(skyvane::test::Logged("Connection Internet(WiFi Flags=0 type=1 check=0) established"));
    // Looking for an existing connection is not an error when there is none;
    // a required one is.
    EXPECT_FALSE(skyvane::test::LoggedError("can not be established"));
    ConnectionPolicy policy(key, nobody, connections);
    connections.answer = [](const CONNMGR_CONNECTIONINFO&) { return DWORD(0x21); };
    policy.EstablishConnection(kDestinationInternet, false);
    EXPECT_TRUE(skyvane::test::LoggedError("The connection failed and cannot be reestablished."));
}

TEST_F(ConnectionPolicyTest, MayConnect) {
    struct Case {
        const char* what;
        int32_t allowCreate, choice;
        DWORD first, second;  // the answers to iteration 1 and 2
        bool interactive;
        Answer answer;
        bool allowed;
        std::vector<int32_t> destinations;
        int asked;
        int32_t allowCreateAfter;
        const char* logged;
    } cases[] = {
        {"new connections allowed", 1, 0, 0x24, 0x24, false, Answer::Cancel, true, {}, 0, 1, nullptr},
        {"an existing connection", 0, 1, 0x10, 0x24, false, Answer::Cancel, true, {1}, 0, 0,
         "Detected existing connection"},
        {"the second destination is up", 0, 0, 0x24, 0x10, false, Answer::Cancel, true, {2, 1}, 0, 0,
         "Detected existing connection"},
        {"none, not interactive: the scheduled update does not start", 0, 1, 0x24, 0x24, false, Answer::Yes, false,
         {1}, 0, 0, nullptr},
        {"none, a single destination tries once", 0, 3, 0x24, 0x10, true, Answer::Cancel, false, {3}, 1, 0,
         "There is not existing internet connection"},
        {"Yes: from now on", 0, 5, 0x24, 0x24, true, Answer::Yes, true, {1, 2}, 1, 1,
         "Allow to create new connection in future"},
        {"No: this time", 0, 1, 0x24, 0x24, true, Answer::No, true, {1}, 1, 0,
         "Allow to create new connection once"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        key.WriteNumber(u"AllowCreateNewConection", c.allowCreate);
        key.WriteNumber(u"ConnectionGUID", c.choice);
        RecordingConnections found(key);
        int round = 0;
        found.answer = [&](const CONNMGR_CONNECTIONINFO&) { return ++round == 1 ? c.first : c.second; };
        ScriptedPrompt prompt(c.answer);
        ConnectionPolicy policy(key, prompt, found);
        size_t before = c.logged ? skyvane::test::CountLogged(c.logged) : 0;
        EXPECT_EQ(policy.MayConnect(c.interactive), c.allowed);
        EXPECT_EQ(skyvane::test::Destinations(found), c.destinations);
        for (const auto& request : found.requests) EXPECT_EQ(request.info.dwPriority, 0x8u);  // existing only
        EXPECT_EQ(prompt.asked, c.asked);
        EXPECT_EQ(found.held, 0);  // a connection found is given back
        EXPECT_EQ(key.ReadNumber(u"AllowCreateNewConection", -1), c.allowCreateAfter);
        if (c.logged) {
            EXPECT_EQ(skyvane::test::CountLogged(c.logged), before + 1);
        }
    }
}

TEST_F(ConnectionPolicyTest, TheRoamingQuestion) {
    struct Case {
        int32_t state;
        Answer answer;
        bool interactive;
        bool goAhead;
        int asked;
    } cases[] = {
        {kStateRoaming, Answer::Yes, true, true, 1},     {kStateRoaming, Answer::No, true, false, 1},
        {kStateRoaming, Answer::Cancel, true, false, 1}, {kStateRoaming, Answer::Yes, false, false, 0},
        {kStateWiFi, Answer::Cancel, true, true, 0},     {kStateCellular, Answer::No, true, true, 0},
    };
    for (const Case& c : cases) {
        ScriptedPrompt prompt(c.answer, c.interactive);
        EXPECT_EQ(ConfirmRoamingUpdate(prompt, c.state), c.goAhead) << c.state;
        EXPECT_EQ(prompt.asked, c.asked);
        if (c.asked) {
            EXPECT_EQ(prompt.lastQuestion,
                      u"You are in roaming. Weather update may be expensive. Do you want to update weather still?");
        }
    }
}

TEST(NetworkStateTest, TheFirstStateThatAppliesAndItsName) {
    skyvane::test::ScopedDeviceRoot root;
    struct Case {
        DWORD cradled, wifi, phone;
        int32_t state;
        const char16_t* name;
    } cases[] = {
        {1, 0x10, 0x200, kStateCradled, u"Cradled"},
        {0, 0x12, 0x200, kStateWiFi, u"WiFi"},
        {0, 0x02, 0x200, kStateRoaming, u"Roaming"},  // Wi-Fi powered but not connected
        {0, 0, 0x201, kStateRoaming, u"Roaming"},
        {0, 0, 0x1FF, kStateCellular, u"GSM"},
    };
    EXPECT_EQ(ReadNetworkState(), kStateCellular);  // nothing stored
    for (const Case& c : cases) {
        skyvane::test::SetSystemState(c.cradled, c.wifi, c.phone);
        EXPECT_EQ(ReadNetworkState(), c.state) << c.cradled << " " << c.wifi << " " << c.phone;
        EXPECT_EQ(NetworkStateName(c.state), c.name);
    }
    EXPECT_EQ(NetworkStateName(3), u"");
}

TEST(PromptTest, TheTerminalAsksUntilItUnderstands) {
    struct Case {
        const char* input;
        Buttons buttons;
        Answer answer;
        int questions;
    } cases[] = {
        {"y\n", Buttons::YesNoCancel, Answer::Yes, 1},
        {"  NO \n", Buttons::YesNoCancel, Answer::No, 1},
        {"maybe\ncancel\n", Buttons::YesNoCancel, Answer::Cancel, 2},
        {"c\nYes\n", Buttons::YesNo, Answer::Yes, 2},  // no Cancel to choose
        {"", Buttons::YesNoCancel, Answer::Cancel, 1},  // the input ended: nothing changes
        {"", Buttons::YesNo, Answer::No, 1},
        {"perhaps", Buttons::YesNo, Answer::No, 1},
    };
    for (const Case& c : cases) {
        std::string input = c.input;
        FILE* in = input.empty() ? fopen("/dev/null", "r") : fmemopen(input.data(), input.size(), "r");
        ASSERT_NE(in, nullptr);
        char* output = nullptr;
        size_t outputSize = 0;
        FILE* out = open_memstream(&output, &outputSize);
        TerminalPrompt prompt(in, out);
        EXPECT_TRUE(prompt.Interactive());
        EXPECT_EQ(prompt.Ask(u"Updating", u"Update now?", c.buttons), c.answer) << c.input;
        fclose(out);
        std::string shown(output, outputSize);
        free(output);
        fclose(in);
        size_t questions = 0;
        for (size_t at = shown.find("Updating: Update now?"); at != std::string::npos;
             at = shown.find("Updating: Update now?", at + 1))
            ++questions;
        EXPECT_EQ(questions, size_t(c.questions)) << c.input << ": " << shown;
    }
    NonInteractivePrompt nobody;
    EXPECT_FALSE(nobody.Interactive());
    EXPECT_EQ(nobody.Ask(u"", u"", Buttons::YesNoCancel), Answer::Cancel);
    EXPECT_EQ(nobody.Ask(u"", u"", Buttons::YesNo), Answer::No);
}

}  // namespace
