// GET and SET against net-snmp's agent emulating one of the maker's devices.
#include <gtest/gtest.h>

#include "net.h"
#include "peers.h"
#include "snmp_exchange.h"

using namespace qz::snmp;
using qz::test::DeviceLab;
using qz::test::SnmpGetText;

namespace {

const char* kAddress = "127.0.0.31";
constexpr char kLab[] = R"(
[127.0.0.31]
type = QZ120
firmware = SNMP station vers. 1.05
name = Rack 3 station
location = Hall B
contact = ops
set 1.3.6.1.4.1.98361.9.1.0 = -5
set 1.3.6.1.4.1.98361.9.2.0 = "text value"
set 1.3.6.1.4.1.98361.9.3.0 = 7
readonly = 1.3.6.1.4.1.98361.9.1.0
)";

class AgentTest : public qz::test::WithSuiteLab<kLab, ::testing::Test> {
 protected:
  static std::string Get(const std::string& oid, bool* ok = nullptr) {
    std::string value;
    const bool answered = SnmpGetRequest(oid, "kelvor", kAddress, 1000, value);
    if (ok) *ok = answered;
    return value;
  }
};

}  // namespace

TEST_F(AgentTest, GetsWhatSnmpgetShows) {
  const char* objects[] = {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.6.0", "1.3.6.1.2.1.1.4.0",
                           "1.3.6.1.4.1.98361.9.1.0", "1.3.6.1.4.1.98361.9.2.0",
                           "1.3.6.1.4.1.98361.9.3.0"};
  for (const char* oid : objects) EXPECT_EQ(Get(oid), SnmpGetText(kAddress, oid)) << oid;
  EXPECT_EQ(Get("1.3.6.1.4.1.98361.9.1.0"), "-5");
  EXPECT_EQ(Get("1.3.6.1.2.1.1.2.0"), "1.3.6.1.4.1.98361.1");
  EXPECT_EQ(Get("1.3.6.1.2.1.1.1.0"), "SNMP station vers. 1.05 Base unit QZ120\r\nMain board rev. B");
  const std::string ticks = Get("1.3.6.1.2.1.1.3.0");
  ASSERT_FALSE(ticks.empty());
  EXPECT_EQ(ticks.find_first_not_of("0123456789"), std::string::npos) << ticks;
}

TEST_F(AgentTest, MissingObjectIsAnEmptyValue) {
  bool ok = false;
  EXPECT_EQ(Get("1.3.6.1.4.1.98361.77.0", &ok), "");
  EXPECT_TRUE(ok);
}

TEST_F(AgentTest, SetIsSeenBySnmpget) {
  EXPECT_TRUE(SnmpSetRequest("1.3.6.1.4.1.98361.9.3.0", "stranix", kAddress, "42", berInteger));
  EXPECT_EQ(SnmpGetText(kAddress, "1.3.6.1.4.1.98361.9.3.0"), "42");
  EXPECT_TRUE(SnmpSetRequest("1.3.6.1.2.1.1.5.0", "stranix", kAddress, "Renamed unit", berOctetString));
  EXPECT_EQ(SnmpGetText(kAddress, "1.3.6.1.2.1.1.5.0"), "Renamed unit");
}

TEST_F(AgentTest, RefusedSetsFailWithTheAgentsErrorStatus) {
  std::optional<int32_t> errorStatus;
  EXPECT_FALSE(SnmpSetRequest("1.3.6.1.4.1.98361.9.3.0", "kelvor", kAddress, "9", berInteger, &errorStatus));
  ASSERT_TRUE(errorStatus.has_value());
  EXPECT_GT(*errorStatus, 0);
  errorStatus.reset();
  EXPECT_FALSE(SnmpSetRequest("1.3.6.1.4.1.98361.9.1.0", "stranix", kAddress, "9", berInteger, &errorStatus));
  ASSERT_TRUE(errorStatus.has_value());
  EXPECT_GT(*errorStatus, 0);
  EXPECT_EQ(SnmpGetText(kAddress, "1.3.6.1.4.1.98361.9.1.0"), "-5");
  TSNMPdata request{"1.3.6.1.4.1.98361.9.1.0", "stranix", kAddress, "9", berInteger, 2, 100};
  std::string failure;
  EXPECT_FALSE(NetSnmpSet(request, &failure));
  EXPECT_EQ(failure, RefusalText(*errorStatus));
}

TEST(ErrorStatusNames, AreTheProtocolsNames) {
  const std::pair<int32_t, const char*> cases[] = {{0, "noError"}, {1, "tooBig"},  {2, "noSuchName"}, {3, "badValue"},
                                                   {4, "readOnly"}, {5, "genErr"}, {6, "unknown"},     {-1, "unknown"}};
  for (auto [status, name] : cases) EXPECT_EQ(ErrorStatusName(status), name) << status;
}

TEST(RefusalTexts, SayWhatTheDeviceMeantInPlainWords) {
  const std::pair<int32_t, const char*> cases[] = {
      {2, "the device does not have this object (noSuchName)"},
      {3, "the device refused the value (badValue)"},
      {4, "the device does not let this object be written (readOnly)"},
      {5, "the device failed to take the value (genErr)"},
      {17, "the device refused the write with error-status 17 (unknown)"},
      {-1, "the device refused the write with error-status -1 (unknown)"}};
  for (auto [status, text] : cases) EXPECT_EQ(RefusalText(status), text) << status;
}
