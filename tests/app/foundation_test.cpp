// Start-up, settings, work states and the page rules, through the real window.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "ip_edit.h"
#include "led.h"
#include "net.h"
#include "window_fixture.h"

using namespace qz::test;
using qz::app::wsFillData;
using qz::app::wsHalted;
using qz::app::wsIdle;
using qz::app::wsScan;

namespace {
const char* kDefaults =
    "192.168.1.90\r\n192.168.1.100\r\nfalse\r\nkelvor\r\nstranix\r\n100\r\n2\r\nfalse\r\n100\r\n";
}

TEST_F(WindowTest, FirstStartInAnEmptyFolderWritesTheDefaults) {
  Start(std::nullopt);
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")), kDefaults);
  EXPECT_EQ(window_->PageControl->currentWidget(), window_->tsSettings);
  EXPECT_FALSE(window_->gbDevInfo->isVisible());
  EXPECT_FALSE(window_->gbDevSel->isVisible());
  EXPECT_TRUE(WaitForStatus("state Idle"));
  EXPECT_EQ(window_->Data().StartIPValue, 3232235866u);
  EXPECT_EQ(window_->edStartIP->Text(), "192.168.1.90");
  EXPECT_EQ(window_->windowTitle(), "QZ Explorer Vers.1 .0 .0");
  EXPECT_TRUE(window_->Timer->isActive());
  EXPECT_EQ(window_->Timer->interval(), 1000);
  EXPECT_TRUE(window_->Led1->LedOn());
  EXPECT_FALSE(window_->Led2->LedOn());
  EXPECT_FALSE(window_->edPing->isVisible());
  EXPECT_EQ(qz::snmp::SnmpRequest.Community, "kelvor");
  EXPECT_EQ(qz::snmp::SnmpRequest.TimeOut, 100);
  EXPECT_EQ(qz::snmp::SnmpRequest.RetryCount, 2);
  EXPECT_TRUE(messages_.Texts().isEmpty());
}

TEST_F(WindowTest, LeavingStartIPWithAValidAddressWritesAllNineLines) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  window_->seRetryCount->setValue(3);
  window_->edStartIP->OctetField(0)->setFocus();
  window_->edStartIP->SetText("10.1.2.3");
  window_->edReadComm->setText("changed but not left");
  window_->btSaveSettings->setFocus();
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")),
            "10.1.2.3\r\n127.0.0.2\r\nfalse\r\nkelvor\r\nstranix\r\n100\r\n3\r\nfalse\r\n100\r\n");
  EXPECT_EQ(window_->Data().StartIPValue, 0x0A010203u);
}

TEST_F(WindowTest, InvalidStartIPIsRefusedWithAMessage) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  window_->edStartIP->OctetField(0)->setFocus();
  window_->edStartIP->OctetField(3)->setText("");
  window_->btSaveSettings->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return messages_.Texts().contains("127.0.0. is not valid IP address !"); }));
  EXPECT_EQ(window_->Data().Settings.StartIP, "127.0.0.1");
  EXPECT_EQ(window_->Data().StartIPValue, 0x7F000001u);
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")), SettingsFile("127.0.0.1", "127.0.0.2"));
}

TEST_F(WindowTest, TimeOutFieldsTakeDigitsAndTheEditingKeys) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  for (QLineEdit* field : {window_->edSNMPTimeOut, window_->edPingTimeOut}) {
    field->setFocus();
    field->end(false);
    QTest::keyClicks(field, "a5-b.");
    EXPECT_EQ(field->text(), "1005");
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(field->text(), "100");
    QTest::keyClick(field, Qt::Key_Left);
    QTest::keyClick(field, Qt::Key_Delete);
    EXPECT_EQ(field->text(), "10");
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, "250");
    EXPECT_EQ(field->text(), "250");
  }
  window_->btSaveSettings->setFocus();
  EXPECT_EQ(window_->Data().SNMPTimeOutValue, 250);
  EXPECT_EQ(window_->Data().PingTimeOutValue, 250);
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")),
            SettingsFile("127.0.0.1", "127.0.0.2", "false", "250", "2", "false", "250"));
}

TEST_F(WindowTest, EmptyTimeOutIsAConversionErrorAndNotSaved) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  window_->edSNMPTimeOut->setFocus();
  window_->edSNMPTimeOut->clear();
  window_->btSaveSettings->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(), "QLineEdit-'' is not a valid integer value");
  EXPECT_EQ(window_->Data().SNMPTimeOutValue, 100);
  window_->seRetryCount->setValue(4);
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")),
            SettingsFile("127.0.0.1", "127.0.0.2", "false", "100", "4"));
}

TEST_F(WindowTest, OnlyExactTrueSetsAFlag) {
  for (const char* text : {"True", "TRUE", " true", "yes"}) {
    Start(SettingsFile("127.0.0.1", "127.0.0.1", text, "100", "2", text));
    EXPECT_FALSE(window_->cbStartupScan->isChecked()) << text;
    EXPECT_FALSE(window_->cbPing->isChecked()) << text;
    EXPECT_EQ(window_->Data().WorkState, wsIdle) << text;
  }
  Start(SettingsFile("127.0.0.1", "127.0.0.1", "false", "100", "2", "true"));
  EXPECT_TRUE(window_->cbPing->isChecked());
  EXPECT_FALSE(window_->edPing->isHidden());
}

TEST_F(WindowTest, BrokenNumberLineIsReportedAndTheWindowStillRuns) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2", "false", "abc"));
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(), "TfrmMain-'abc' is not a valid integer value");
  EXPECT_TRUE(window_->Timer->isActive());
  const int ticks = window_->Data().Ticks;
  EXPECT_TRUE(WaitUntil([&] { return window_->Data().Ticks > ticks; }, 3000));
  EXPECT_TRUE(WaitForStatus("state Idle"));
  // No later save can write the broken line back.
  window_->btSaveSettings->click();
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")), SettingsFile("127.0.0.1", "127.0.0.2"));
}

TEST_F(WindowTest, ShortSettingsFileGivesEmptyFields) {
  Start(std::string("127.0.0.1\r\n127.0.0.2\n"));
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(), "TfrmMain-'' is not a valid integer value");
  EXPECT_EQ(window_->edReadComm->text(), "");
  EXPECT_EQ(window_->Data().StopIPValue, 0x7F000002u);
}

TEST_F(WindowTest, PageChangesFollowTheRules) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  ASSERT_TRUE(WaitForStatus("state Idle"));
  window_->PageControl->setCurrentWidget(window_->tsManage);
  EXPECT_EQ(window_->Data().WorkState, wsHalted);
  window_->PageControl->setCurrentWidget(window_->tsTelnet);
  EXPECT_TRUE(window_->gbDevInfo->isVisible());
  EXPECT_TRUE(window_->gbDevSel->isVisible());
  EXPECT_EQ(window_->edTelnetIP->Text(), "0.0.0.0");
  window_->PageControl->setCurrentWidget(window_->tsSettings);
  EXPECT_FALSE(window_->gbDevInfo->isVisible());
  EXPECT_FALSE(window_->gbDevSel->isVisible());
  // While the state is halted, the timer neither refreshes nor pings.
  window_->PageControl->setCurrentWidget(window_->tsManage);
  window_->Data().Ticks = 40;
  window_->TimerTimer();
  EXPECT_EQ(window_->Data().WorkState, wsHalted);
  EXPECT_EQ(window_->Data().Ticks, 41);
}

TEST_F(WindowTest, ScanKeepsTheSettingsPageInFront) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  window_->Data().WorkState = wsScan;
  window_->PageControl->setCurrentWidget(window_->tsManage);
  EXPECT_EQ(window_->PageControl->currentWidget(), window_->tsSettings);
  window_->Data().WorkState = wsIdle;
}

TEST_F(WindowTest, EnableControlsLocksAllButTheScanButton) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  window_->EnableControls(false);
  for (QWidget* control : std::initializer_list<QWidget*>{
           window_->edStartIP, window_->edStopIP, window_->cbStartupScan, window_->cbAdrIP,
           window_->cbSysName, window_->cbSysLoc, window_->edReadComm, window_->edWriteComm,
           window_->edSNMPTimeOut, window_->seRetryCount, window_->cbPing, window_->edPingTimeOut,
           window_->btSaveSettings})
    EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
  EXPECT_TRUE(window_->btScan->isEnabled());
  EXPECT_FALSE(window_->edStartIP->Enabled());
  window_->EnableControls(true);
  EXPECT_TRUE(window_->cbAdrIP->isEnabled());
  EXPECT_TRUE(window_->edStopIP->OctetField(2)->isEnabled());
}

TEST_F(WindowTest, TickingPingShowsAndStoresIt) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  window_->cbPing->click();
  EXPECT_FALSE(window_->edPing->isHidden());
  EXPECT_EQ(window_->Data().Settings.PingDevices, "true");
  window_->cbStartupScan->click();
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")),
            SettingsFile("127.0.0.1", "127.0.0.2", "true", "100", "2", "true"));
}

TEST_F(WindowTest, TheWindowKeepsItsSize) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  const QSize size = window_->size();
  window_->resize(900, 800);
  window_->showMaximized();
  QTest::qWait(50);
  EXPECT_EQ(window_->size(), size);
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
  EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(WindowTest, TheStatusBarCoversNoControl) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  const QRect bar = window_->sbState->geometry();
  for (QWidget* control : window_->sbState->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (control != window_->sbState) {
      EXPECT_FALSE(control->geometry().intersects(bar)) << control->objectName().toStdString();
    }
}

TEST_F(WindowTest, PingControlsHideTogetherFromTheStart) {
  for (const char* ping : {"false", "true"}) {
    Start(SettingsFile("127.0.0.1", "127.0.0.2", "false", "100", "2", ping));
    for (QWidget* control : std::initializer_list<QWidget*>{window_->lbPing, window_->edPing, window_->Led1,
                                                             window_->Led2})
      EXPECT_EQ(control->isHidden(), std::string(ping) == "false") << control->objectName().toStdString() << ping;
  }
}

TEST_F(WindowTest, StartupScanHidesTheDeviceGroups) {
  Start(SettingsFile("127.0.0.250", "127.0.0.250", "true", "20", "1"));
  EXPECT_EQ(window_->PageControl->currentWidget(), window_->tsSettings);
  EXPECT_TRUE(window_->gbDevSel->isHidden());
  EXPECT_TRUE(window_->gbDevInfo->isHidden());
  EXPECT_TRUE(WaitUntil([&] { return window_->btScan->text() == "Scan"; }));
}

TEST_F(WindowTest, MissingHelpFileIsNamed) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  auto* english = window_->findChild<QAction*>("itmEnglish");
  ASSERT_NE(english, nullptr);
  english->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(), "The help file ./Help/QZ_Explorer_E.chm is not there.");
}
