// The fleet watch without a window: limits on values, what a poll makes of a
// device, when a state counts as changed, and the poller against lab agents.
#include <gtest/gtest.h>

#include <atomic>
#include <map>

#include "conf_file.h"
#include "description_file.h"
#include "fleet_poller.h"
#ifdef __linux__
#include "fleet_responder.h"
#endif
#include "fleet_state.h"
#include "peers.h"
#include "scan_range.h"
#include "settings_file.h"

using namespace qz::app;
using namespace qz::test;

namespace {

const char* const kTwoLedsThreeValues =
    "A\tMains A\t1.3.6.1.4.1.98361.3.2.1.0\r\n"
    "A\tDoor\t1.3.6.1.4.1.98361.3.2.7.0\r\n"
    "P\tE\tFans,Off,Low,High,\t1.3.6.1.4.1.98361.3.4.2.0\r\n"
    "M\tTemp., C\t0\t1\t1\t1.3.6.1.4.1.98361.3.3.1.0\r\n"
    "M\tMains A, V\t0\t1\t0\t1.3.6.1.4.1.98361.3.3.2.0\r\n"
    "M\tLoad, A\t0\t1\t2\t1.3.6.1.4.1.98361.3.3.5.0\r\n";

// A poll as compact text: "-" no answer; otherwise the replies of the two
// LEDs and three values of kTwoLedsThreeValues, blank-separated.
TFleetObservation Poll(const TFleetType& type, const std::string& replies, const TValueLimits& limits = {}) {
  std::vector<TObjectReading> readings(type.Description.Records.size());
  if (replies == "-") return Observe(type, readings, false, limits, '.');
  size_t from = 0;
  for (const size_t record : type.Asked) {
    const auto blank = std::min(replies.find(' ', from), replies.size());
    readings[record] = ObjectReadingOf(type.Description.Records[record], true, replies.substr(from, blank - from));
    from = blank + 1;
  }
  return Observe(type, readings, true, limits, '.');
}

TFleetType TestType(const std::string& shown = {}) {
  static const DeviceDescription description = ParseDeviceDescription(kTwoLedsThreeValues);
  return FleetType("QZ300", &description, shown);
}

TValueLimits Limits(const std::string& confText) { return LimitsFromConf(ParseConf(confText)); }

}  // namespace

TEST(ValueLimit, ReadsLowHighAndHalfOpenRanges) {
  struct Case {
    const char* Text;
    bool Valid;
    double Inside;
    double Outside;
    const char* Written;
  } cases[] = {
      {"-10..45", true, 45, 45.01, "-10..45"},
      {" -10 .. 45 ", true, -10, -10.5, "-10..45"},
      {"..45", true, -1e9, 46, "..45"},
      {"12,5..", true, 12.5, 12.4, "12.5.."},
      {"+1..2", true, 1.5, 0, "1..2"},
      {"45..-10", false, 0, 0, ""},
      {"..", false, 0, 0, ""},
      {"10", false, 0, 0, ""},
      {"a..b", false, 0, 0, ""},
      {"1..2x", false, 0, 0, ""},
      {"nan..1", false, 0, 0, ""},
      {"", false, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    const auto limit = ParseValueLimit(c.Text);
    ASSERT_EQ(limit.has_value(), c.Valid);
    if (!limit) continue;
    EXPECT_FALSE(limit->Outside(c.Inside));
    EXPECT_TRUE(limit->Outside(c.Outside));
    EXPECT_EQ(ValueLimitText(*limit), c.Written);
  }
}

TEST(ValueLimit, TheConfNamesTypeAndCaptionAndBadLinesAreSaid) {
  const TValueLimits limits = Limits(
      "[Limits]\nQZ300/Temp., C = -10..45\nQZ300/Load, A = ..2\nQZ300 = 1..2\nQZ120/Mains A, V = high\n"
      "[Fleet]\nQZ300/Mains A, V = 1..2\n");
  ASSERT_NE(limits.Find("QZ300", "Temp., C"), nullptr);
  EXPECT_EQ(ValueLimitText(*limits.Find("QZ300", "Temp., C")), "-10..45");
  EXPECT_NE(limits.Find("QZ300", "Load, A"), nullptr);
  EXPECT_EQ(limits.Find("QZ120", "Temp., C"), nullptr);
  EXPECT_EQ(limits.Find("QZ300", "Mains A, V"), nullptr);  // not in [Limits]
  EXPECT_EQ(limits.Problems(), (std::vector<std::string>{"Limits/QZ300: the key is not <type>/<value caption>",
                                                          "Limits/QZ120/Mains A, V: \"high\" is not low..high"}));
}

TEST(FleetPoll, ShowsTheFirstTwoValuesOrTheChosenOnes) {
  EXPECT_EQ(FleetOids(TestType()).size(), 5u);  // the LEDs and values; never the parameter
  const TFleetObservation first = Poll(TestType(), "0 1 235 230 1234");
  ASSERT_EQ(first.Values.size(), 2u);
  EXPECT_EQ(first.Values[0].Caption, "Temp., C");
  EXPECT_EQ(first.Values[0].Shown, "23.5");
  EXPECT_EQ(first.Values[1].Shown, "230");
  EXPECT_EQ(first.LitLeds, std::vector<std::string>{"Door"});
  EXPECT_EQ(first.Mark(), TFleetMark::Alarm);

  const TFleetObservation chosen = Poll(TestType(" Load, A ;Nothing;Temp., C"), "0 0 235 230 1234");
  ASSERT_EQ(chosen.Values.size(), 2u);
  EXPECT_EQ(chosen.Values[0].Shown, "12.3");
  EXPECT_EQ(chosen.Values[1].Caption, "Temp., C");
  EXPECT_EQ(chosen.Mark(), TFleetMark::Normal);

  const TFleetType undescribed = FleetType("QZ999", nullptr, "");
  EXPECT_EQ(FleetOids(undescribed), std::vector<std::string>{"1.3.6.1.2.1.1.3.0"});
  EXPECT_EQ(Observe(undescribed, {}, true, {}, '.').Mark(), TFleetMark::NoDescription);
  EXPECT_EQ(Observe(undescribed, {}, false, {}, '.').Mark(), TFleetMark::NoAnswer);
}

TEST(FleetPoll, AValueOutsideItsLimitsIsAnAlarm) {
  const TValueLimits limits = Limits("[Limits]\nQZ300/Load, A = ..10\nQZ300/Temp., C = -10..45\n");
  const TFleetObservation seen = Poll(TestType(), "0 0 235 230 1234", limits);
  EXPECT_EQ(seen.Mark(), TFleetMark::Alarm);
  ASSERT_EQ(seen.OutOfLimits.size(), 1u);  // a value the table does not show counts too
  EXPECT_EQ(seen.OutOfLimits[0].Caption, "Load, A");
  EXPECT_EQ(seen.OutOfLimits[0].Shown, "12.3");
  EXPECT_FALSE(seen.Values[0].OutOfLimits);
  EXPECT_EQ(Poll(TestType(), "0 0 460 230 999", limits).Values[0].OutOfLimits, true);
  EXPECT_EQ(Poll(TestType(), "0 0 235 230 999", limits).Mark(), TFleetMark::Normal);
}

TEST(FleetStates, AChangeCountsOnceTheConfirmCountOfPollsAgree) {
  // Each poll of a sequence, and the change (its words) it confirms, if any.
  struct Step {
    const char* Replies;
    const char* Change;  // "" none
  };
  struct Case {
    const char* Name;
    int Confirm;
    std::vector<Step> Steps;
  } cases[] = {
      {"the first state raises nothing", 2, {{"0 0 1 1 1", ""}, {"0 0 1 1 1", ""}, {"0 0 1 1 1", ""}}},
      {"an alarm after two polls", 2,
       {{"0 0 1 1 1", ""}, {"0 0 1 1 1", ""}, {"1 0 1 1 1", ""}, {"1 0 1 1 1", "Mains A on"}, {"1 0 1 1 1", ""}}},
      {"one lost datagram raises nothing", 2,
       {{"0 0 1 1 1", ""}, {"0 0 1 1 1", ""}, {"-", ""}, {"0 0 1 1 1", ""}, {"-", ""}, {"0 0 1 1 1", ""}}},
      {"a flapping LED below the count", 3,
       {{"0 0 1 1 1", ""}, {"0 0 1 1 1", ""}, {"0 0 1 1 1", ""}, {"1 0 1 1 1", ""}, {"1 0 1 1 1", ""},
        {"0 0 1 1 1", ""}, {"1 0 1 1 1", ""}, {"1 0 1 1 1", ""}, {"0 0 1 1 1", ""}}},
      {"silence and the answer again", 2,
       {{"0 1 1 1 1", ""}, {"0 1 1 1 1", ""}, {"-", ""}, {"-", "no answer"}, {"1 1 1 1 1", ""},
        {"1 1 1 1 1", "answers again, Mains A on, Door on"}}},
      {"values move within the state", 1, {{"0 0 1 1 1", ""}, {"0 0 7 8 9", ""}, {"0 1 7 8 9", "Door on"}}},
      {"two LEDs change at once", 1, {{"1 0 1 1 1", ""}, {"0 1 1 1 1", "Door on, Mains A off"}}},
      {"a count of one", 1, {{"-", ""}, {"0 0 1 1 1", "answers again"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TFleetStates states(c.Confirm);
    for (size_t i = 0; i < c.Steps.size(); ++i) {
      SCOPED_TRACE(i);
      const auto change = states.Take("127.0.0.1", Poll(TestType(), c.Steps[i].Replies));
      EXPECT_EQ(change ? ChangeLine("x", *change) : "", *c.Steps[i].Change ? std::string("x: ") + c.Steps[i].Change : "");
    }
  }
}

TEST(FleetStates, AnAcknowledgedAlarmIsQuietUntilItLeavesTheAlarm) {
  TFleetStates states(1);
  const TFleetType type = TestType();
  states.Take("a", Poll(type, "0 0 1 1 1"));
  EXPECT_FALSE(states.Acknowledge("a"));  // nothing to acknowledge
  auto change = states.Take("a", Poll(type, "1 0 1 1 1"));
  ASSERT_TRUE(change && change->Notify);
  EXPECT_EQ(change->Now, TFleetMark::Alarm);
  EXPECT_TRUE(NeedsAttention(TFleetMark::Alarm, states.Acknowledged("a")));
  ASSERT_TRUE(states.Acknowledge("a"));
  EXPECT_FALSE(NeedsAttention(TFleetMark::Alarm, states.Acknowledged("a")));
  change = states.Take("a", Poll(type, "1 1 1 1 1"));  // another LED: still an alarm
  ASSERT_TRUE(change);
  EXPECT_FALSE(change->Notify);
  EXPECT_TRUE(states.Acknowledged("a"));
  change = states.Take("a", Poll(type, "0 0 1 1 1"));
  ASSERT_TRUE(change);
  EXPECT_TRUE(change->Notify);
  EXPECT_FALSE(states.Acknowledged("a"));
  change = states.Take("a", Poll(type, "1 0 1 1 1"));  // a new alarm is told again
  ASSERT_TRUE(change);
  EXPECT_TRUE(change->Notify);
}

TEST(FleetStates, ALimitCrossedAndBackIsSaidWithItsValue) {
  const TValueLimits limits = Limits("[Limits]\nQZ300/Temp., C = -10..45\n");
  TFleetStates states(1);
  states.Take("a", Poll(TestType(), "0 0 235 1 1", limits));
  auto change = states.Take("a", Poll(TestType(), "0 0 461 1 1", limits));
  ASSERT_TRUE(change);
  EXPECT_EQ(ChangeLine("Hall 2 (QZ300)", *change), "Hall 2 (QZ300): Temp., C 46.1 outside -10..45");
  EXPECT_FALSE(states.Take("a", Poll(TestType(), "0 0 470 1 1", limits)));  // still outside
  change = states.Take("a", Poll(TestType(), "0 0 300 1 1", limits));
  ASSERT_TRUE(change);
  EXPECT_EQ(ChangeLine("a", *change), "a: Temp., C within its limits");
}

TEST(FleetStates, OneNotificationTellsTheChangesOfAPoll) {
  const auto one = NotificationText({"Hall 2 (QZ300): Mains A on"});
  EXPECT_EQ(one.Summary, "1 device changed");
  EXPECT_EQ(one.Body, "Hall 2 (QZ300): Mains A on");
  const auto three = NotificationText({"Hall 2 (QZ300): Mains A on", "b: no answer", "c: answers again"});
  EXPECT_EQ(three.Summary, "3 devices changed");
  EXPECT_EQ(three.Body, "Hall 2 (QZ300): Mains A on; b: no answer; c: answers again");
  const auto many = NotificationText(std::vector<std::string>(25, "d: no answer"));
  EXPECT_EQ(many.Summary, "25 devices changed");
  EXPECT_TRUE(many.Body.ends_with("; d: no answer; ... and 15 more")) << many.Body;
}

namespace {

std::string FleetLab() {
  return
    "[127.0.0.241]\ntype = QZ300\nfirmware = SNMP station vers. 2.10\nname = Hall 2\nlocation = A\n"
    "set 1.3.6.1.4.1.98361.3.2.7.0 = 1\nset 1.3.6.1.4.1.98361.3.3.1.0 = 461\n"
    "[127.0.0.242]\ntype = QZ120\nfirmware = SNMP station vers. 1.05\nname = Rack\nlocation = B\n";
}

class FleetPollerTest : public WithSuiteLab<FleetLab, ::testing::Test> {};

std::vector<std::string> Oids(const std::string& type) {
  const DeviceDescription description = ParseDeviceDescription(ReadFileBytes(std::string(QZ_SOURCE_DIR) + "/DeviceFiles/" + type + ".par"));
  return FleetOids(FleetType(type, &description, ""));
}

}  // namespace

TEST_F(FleetPollerTest, AsksEachDeviceForItsListAndGetsWhatSnmpgetGets) {
  TFleetPoller poller("kelvor", 200, 2);
  ASSERT_EQ(poller.Error(), 0);
  std::vector<TFleetQuery> queries{{AddressValue("127.0.0.241"), Oids("QZ300")},
                                   {AddressValue("127.0.0.242"), Oids("QZ120")},
                                   {AddressValue("127.0.0.243"), Oids("QZ120")}};
  // An object the agent does not hold makes it refuse the list: it is then
  // asked one object at a time, and the rest still answers.
  queries[1].Oids.push_back("1.3.6.1.4.1.98361.9.9.9.0");
  ASSERT_GT(queries[0].Oids.size(), 10u);
  std::atomic<bool> stop{false};
  const auto answers = poller.Poll(queries, stop);
  ASSERT_EQ(answers.size(), 3u);
  for (size_t device = 0; device < 2; ++device) {
    const std::string address = DottedAddress(queries[device].Address);
    SCOPED_TRACE(address);
    ASSERT_TRUE(answers[device].Answered);
    for (size_t i = 0; i < queries[device].Oids.size(); ++i) {
      ASSERT_TRUE(answers[device].Values[i]);
      if (queries[device].Oids[i].starts_with("1.3.6.1.4.1.98361.9."))
        EXPECT_EQ(*answers[device].Values[i], "");
      else
        EXPECT_EQ(*answers[device].Values[i], SnmpGetText(address, queries[device].Oids[i]));
    }
  }
  EXPECT_EQ(*answers[0].Values[6], "1");  // the Door LED set in the lab
  EXPECT_FALSE(poller.AsksSingly(queries[0].Address));
  EXPECT_TRUE(poller.AsksSingly(queries[1].Address));
  EXPECT_FALSE(answers[2].Answered);
  EXPECT_FALSE(answers[2].Values[0]);
  // The next poll asks the refusing device an object at a time at once.
  const auto again = poller.Poll(queries, stop);
  EXPECT_TRUE(again[1].Answered);
  EXPECT_EQ(again[1].Values, answers[1].Values);
}

#ifdef __linux__
// The fleet's benchmarks ask a responder in place of a thousand agents: it
// answers what net-snmp's agent of the lab answers, lists and refusals alike.
TEST_F(FleetPollerTest, TheResponderAnswersAsTheLabsAgentDoes) {
  FleetResponder responder(std::string(QZ_SOURCE_DIR) + "/DeviceFiles/QZ120.par", AddressValue("127.0.0.247"), 1,
                           "127.0.0.247");
  ASSERT_EQ(responder.Failure(), "");
  std::vector<std::string> oids = Oids("QZ120");
  oids.push_back("1.3.6.1.4.1.98361.2.4.1.0");  // a parameter
  std::vector<TFleetQuery> lists{{AddressValue("127.0.0.242"), oids}, {AddressValue("127.0.0.247"), oids}};
  oids.push_back("1.3.6.1.4.1.98361.9.9.9.0");
  std::vector<TFleetQuery> refused{{AddressValue("127.0.0.242"), oids}, {AddressValue("127.0.0.247"), oids}};
  TFleetPoller poller("kelvor", 200, 2);
  std::atomic<bool> stop{false};
  for (const auto* queries : {&lists, &refused}) {
    const auto answers = poller.Poll(*queries, stop);
    ASSERT_TRUE(answers[0].Answered && answers[1].Answered);
    EXPECT_EQ(answers[1].Values, answers[0].Values);
    EXPECT_EQ(poller.AsksSingly((*queries)[1].Address), poller.AsksSingly((*queries)[0].Address));
  }
  EXPECT_TRUE(poller.AsksSingly(AddressValue("127.0.0.247")));
  EXPECT_GT(responder.RequestsAnswered(), 2);
}
#endif
