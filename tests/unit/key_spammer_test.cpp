#include <algorithm>

#include "bridge/page_calls.h"
#include "input/engines.h"
#include "tests/unit/engine_fixture.h"

namespace {

using fake::SentInput;
using KeySpammer = EngineTest;

struct KeyRecord {
    uint32_t vk;
    bool down;
    bool operator==(const KeyRecord&) const = default;
};

std::vector<KeyRecord> keys() {
    std::vector<KeyRecord> out;
    for (const SentInput& input : fake::sentInputs()) {
        EXPECT_EQ(input.kind, SentInput::Key);
        out.push_back({input.vk, input.down});
    }
    return out;
}

}  // namespace

TEST_F(KeySpammer, PressesAndReleasesTheTargetAtTheInterval) {
    appState().keySpam.keySpamTarget = 0x25;  // Left arrow, an extended key
    appState().keySpam.ksms = 25;
    appState().keySpamming = true;
    keySpamStep();
    keySpamStep();
    EXPECT_EQ(keys(), (std::vector<KeyRecord>{{0x25, true}, {0x25, false}, {0x25, true}, {0x25, false}}));
    std::vector<SentInput> sent = fake::sentInputs();
    EXPECT_EQ(sent[2].at - sent[1].at, 25 * kMs);
    EXPECT_EQ(appState().keySpamCount, 2);
}

TEST_F(KeySpammer, CountedRunOfThreeEndsByItself) {
    appState().keySpam.ksRptMode = 0;
    appState().keySpam.ksRptTimes = 3;
    appState().keySpamming = true;
    for (int i = 0; i < 10 && appState().keySpamming; ++i) keySpamStep();
    EXPECT_FALSE(appState().keySpamming);
    EXPECT_EQ(keys().size(), 6u);
    keySpamStep();
    EXPECT_EQ(appState().keySpamCount, 0);
}

TEST_F(KeySpammer, CountedRunOfZeroSendsNothing) {
    appState().keySpam.ksRptMode = 0;
    appState().keySpam.ksRptTimes = 0;
    appState().keySpamming = true;
    keySpamStep();
    EXPECT_FALSE(appState().keySpamming);
    EXPECT_EQ(fake::sentCount(), 0u);
}

TEST_F(KeySpammer, ANewTargetTakesEffectAtTheNextPress) {
    appState().keySpamming = true;
    keySpamStep();
    appState().keySpam.keySpamTarget = 0x41;
    keySpamStep();
    EXPECT_EQ(keys(), (std::vector<KeyRecord>{{32, true}, {32, false}, {0x41, true}, {0x41, false}}));
}

TEST_F(KeySpammer, UpdateStoresSixFieldsAndLeavesTheTarget) {
    callUpdateKeySpam(R"(["1","2","3","4","0","7","ignored"])");
    const KeySpamSettings& k = appState().keySpam;
    EXPECT_EQ(k.ksh, 1);
    EXPECT_EQ(k.ksm, 2);
    EXPECT_EQ(k.kss, 3);
    EXPECT_EQ(k.ksms, 4);
    EXPECT_EQ(k.ksRptMode, 0);
    EXPECT_EQ(k.ksRptTimes, 7);
    EXPECT_EQ(k.keySpamTarget, 32);
}

TEST_F(KeySpammer, UpdateWithFiveFieldsOrABadNumber) {
    callUpdateKeySpam("[1,2,3,4,0]");
    EXPECT_EQ(appState().keySpam.ksh, 0);
    callUpdateKeySpam("[5,,3,4,0,1]");  // an empty field is no number
    EXPECT_EQ(appState().keySpam.ksh, 5);
    EXPECT_EQ(appState().keySpam.ksm, 0);
    EXPECT_EQ(appState().keySpam.kss, 0);
}
