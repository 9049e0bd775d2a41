// [Panel] ObjectsPerRequest: the panel asks a device several objects in one
// request, shows what asking one at a time shows, and goes back to one at a
// time for a device that refuses lists; the default keeps one object a
// request.
#include <QComboBox>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>

#include "capture.h"
#include "description_file.h"
#include "scripted_agent.h"
#include "snmp_message.h"
#include "window_fixture.h"

using namespace qz::test;
using namespace qz::app;

namespace {

constexpr char kListLab[] = R"(
[127.0.0.230]
type = QZ300
firmware = SNMP station vers. 2.10
name = Far site
location = Valley
contact = field team
set 1.3.6.1.4.1.98361.3.1.1.0 = "QZ300-0001"
set 1.3.6.1.4.1.98361.3.2.7.0 = 1
set 1.3.6.1.4.1.98361.3.3.1.0 = 461
set 1.3.6.1.4.1.98361.3.4.1.0 = 2
)";

class ObjectsPerRequestTest : public WithSuiteLab<kListLab, WindowTest> {
 protected:
  void Open(const std::string& address, const std::string& type, int objectsPerRequest) {
    WriteFileBytes(WorkingFile("QZexplorer.conf"),
                   "[Panel]\r\nObjectsPerRequest = " + std::to_string(objectsPerRequest) + "\r\n");
    const std::string firmware = type == "QZ300" ? "SNMP station vers. 2.10 " : "SNMP station vers. 1.06 ";
    Start(SettingsFile("127.0.0.229", "127.0.0.232"),
          kListHeader + address + "\tunit\tsite\t" + type + "\t" + firmware + "\r\n",
          !std::filesystem::exists(WorkingFile("DeviceFiles")));
    ASSERT_TRUE(WaitForWork("state Fill data"));
    Control<QTimer>("Timer")->stop();
  }
  // What the panel shows, up-time apart (it moves on).
  QStringList Shown() const {
    QStringList shown;
    const TDevicePanel& panel = Seam().Panel();
    for (const auto& led : panel.DynLeds()) shown << QString::number(*panel.Model().Latest(led.Record).Raw);
    for (const auto& meas : panel.DynMeas()) shown << meas.ValueEdit->text();
    for (const auto& param : panel.DynParams()) shown << (param.Combo ? param.Combo->currentText() : "-");
    for (const char* name : {"edSysName", "edSysLocation", "edSysContact", "edSN", "edVers"})
      shown << Control<QLineEdit>(name)->text();
    return shown;
  }
  // Requests to address since `from` in the capture, and how many of them ask for more than one object.
  static std::pair<size_t, size_t> Requests(const UdpCapture& capture, const std::string& address, size_t from) {
    const auto sent = capture.SentTo(address);
    size_t lists = 0;
    for (size_t i = from; i < sent.size(); ++i) {
      qz::snmp::TSnmpMessage request;
      if (request.DecodeMessage(sent[i].Payload) && request.VarBindCount() > 1) ++lists;
    }
    return {sent.size() - from, lists};
  }
};

}  // namespace

TEST_F(ObjectsPerRequestTest, AQz300FillIsOneRequestAndShowsWhatOneByOneShows) {
  UdpCapture capture;
  if (!capture.Unavailable().empty()) GTEST_SKIP() << capture.Unavailable();
  QStringList shownOneByOne;
  for (const int objects : {1, 28}) {
    SCOPED_TRACE(objects);
    window_.reset();
    Open("127.0.0.230", "QZ300", objects);
    size_t from = capture.SentTo("127.0.0.230").size();
    Seam().Fill();
    // The system group, the up-time twice, serial number and version, ten
    // LEDs, eight values and three parameters: 28 objects.
    using Counts = std::pair<size_t, size_t>;  // requests, lists among them
    EXPECT_EQ(Requests(capture, "127.0.0.230", from), objects == 1 ? Counts(28, 0) : Counts(1, 1));
    if (objects == 1)
      shownOneByOne = Shown();
    else
      EXPECT_EQ(Shown(), shownOneByOne);
    from = capture.SentTo("127.0.0.230").size();
    Seam().Refresh();
    EXPECT_EQ(Requests(capture, "127.0.0.230", from), objects == 1 ? Counts(23, 0) : Counts(1, 1));
    EXPECT_EQ(Shown(), shownOneByOne);
  }
  EXPECT_TRUE(shownOneByOne.contains("46.1")) << shownOneByOne.join(" | ").toStdString();
  EXPECT_TRUE(shownOneByOne.contains("QZ300-0001"));
}

TEST_F(ObjectsPerRequestTest, ADeviceThatRefusesListsIsAskedOneAtATimeAndStillFills) {
  auto objects = StationObjects("QZ120", "SNMP station vers. 1.06", "unit", "site");
  const DeviceDescription description =
      ParseDeviceDescription(ReadFileBytes(std::string(QZ_SOURCE_DIR) + "/DeviceFiles/QZ120.par"));
  for (const DescriptionRecord& record : description.Records)
    objects[record.OID] = {qz::snmp::berInteger, record.Kind == RecordKind::MeasuredValue ? "235" : "1"};
  objects["1.3.6.1.2.1.1.3.0"] = {qz::snmp::berTimeTicks, "4200"};
  objects["1.3.6.1.2.1.1.4.0"] = {qz::snmp::berOctetString, "ops"};
  struct Case {
    bool Silently;
    int Lists;  // sent before the device is asked singly: a silent one is asked every try
    const char* Said;
  } cases[] = {{false, 1, "127.0.0.231 is asked one object per request from now on (it answered a list with tooBig)"},
               {true, 2, "127.0.0.231 is asked one object per request from now on (a list got no answer, a single "
                         "object did)"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Said);
    window_.reset();
    ScriptedAgent agent("127.0.0.231", objects);
    ASSERT_TRUE(agent.Ready());
    agent.RefuseLists(c.Silently);
    Open("127.0.0.231", "QZ120", 16);
    EXPECT_EQ(Seam().Panel().DynMeas()[0].ValueEdit->text(), "23.5");
    EXPECT_EQ(Seam().Panel().DynParams()[0].Combo->currentText(), "On");
    EXPECT_EQ(agent.ListsSeen(), c.Lists);
    Seam().Refresh();
    Seam().Fill();
    EXPECT_EQ(agent.ListsSeen(), c.Lists) << "refused once, asked one object a request for the session";
    window_->findChild<QAction*>("itmEvents")->trigger();
    auto* events = Control<QTreeWidget>("lvEvents");
    int said = 0;
    for (int i = 0; i < events->topLevelItemCount(); ++i) said += events->topLevelItem(i)->text(2) == c.Said ? 1 : 0;
    EXPECT_EQ(said, 1);
  }
}
