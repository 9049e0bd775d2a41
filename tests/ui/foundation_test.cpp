// Start-up, settings, work states and the page rules, through the real window.
#include <QApplication>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
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
  EXPECT_EQ(Control<QTabWidget>("PageControl")->currentWidget(), Control<QWidget>("tsSettings"));
  EXPECT_FALSE(Control<QGroupBox>("gbDevInfo")->isVisible());
  EXPECT_TRUE(Control<QGroupBox>("gbDevSel")->isVisible());
  // With no device listed, the page says what to do.
  EXPECT_TRUE(Control<QLabel>("lbFirstStart")->isVisible());
  EXPECT_TRUE(Control<QLabel>("lbFirstStart")->text().contains("Scan"));
  EXPECT_TRUE(WaitForStatus("state Idle"));
  EXPECT_EQ(Seam().State().StartIPValue, 3232235866u);
  EXPECT_EQ(Control<TIPEdit>("edStartIP")->Text(), "192.168.1.90");
  EXPECT_EQ(window_->windowTitle(), "QZ Explorer Vers.1 .0 .0");
  EXPECT_TRUE(Control<QTimer>("Timer")->isActive());
  EXPECT_EQ(Control<QTimer>("Timer")->interval(), 1000);
  EXPECT_TRUE(Control<TLed>("Led1")->LedOn());
  EXPECT_FALSE(Control<TLed>("Led2")->LedOn());
  EXPECT_FALSE(Control<QLineEdit>("edPing")->isVisible());
  EXPECT_EQ(qz::snmp::SnmpRequest.Community, "kelvor");
  EXPECT_EQ(qz::snmp::SnmpRequest.TimeOut, 100);
  EXPECT_EQ(qz::snmp::SnmpRequest.RetryCount, 2);
  EXPECT_TRUE(messages_.Texts().isEmpty());
}

TEST_F(WindowTest, LeavingStartIPWithAValidAddressWritesAllNineLines) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  Control<QSpinBox>("seRetryCount")->setValue(3);
  Control<TIPEdit>("edStartIP")->OctetField(0)->setFocus();
  Control<TIPEdit>("edStartIP")->SetText("10.1.2.3");
  Control<QLineEdit>("edReadComm")->setText("changed but not left");
  Control<QPushButton>("btSaveSettings")->setFocus();
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")),
            "10.1.2.3\r\n127.0.0.2\r\nfalse\r\nkelvor\r\nstranix\r\n100\r\n3\r\nfalse\r\n100\r\n");
  EXPECT_EQ(Seam().State().StartIPValue, 0x0A010203u);
}

TEST_F(WindowTest, InvalidStartIPIsRefusedWithAMessage) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  Control<TIPEdit>("edStartIP")->OctetField(0)->setFocus();
  Control<TIPEdit>("edStartIP")->OctetField(3)->setText("");
  Control<QPushButton>("btSaveSettings")->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return messages_.Texts().contains("127.0.0. is not valid IP address !"); }));
  EXPECT_EQ(Seam().State().Settings.StartIP, "127.0.0.1");
  EXPECT_EQ(Seam().State().StartIPValue, 0x7F000001u);
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")), SettingsFile("127.0.0.1", "127.0.0.2"));
}

TEST_F(WindowTest, TimeOutFieldsTakeDigitsAndTheEditingKeys) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  for (QLineEdit* field : {Control<QLineEdit>("edSNMPTimeOut"), Control<QLineEdit>("edPingTimeOut")}) {
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
  Control<QPushButton>("btSaveSettings")->setFocus();
  EXPECT_EQ(Seam().State().SNMPTimeOutValue, 250);
  EXPECT_EQ(Seam().State().PingTimeOutValue, 250);
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")),
            SettingsFile("127.0.0.1", "127.0.0.2", "false", "250", "2", "false", "250"));
}

TEST_F(WindowTest, EmptyTimeOutIsAConversionErrorAndNotSaved) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  Control<QLineEdit>("edSNMPTimeOut")->setFocus();
  Control<QLineEdit>("edSNMPTimeOut")->clear();
  Control<QPushButton>("btSaveSettings")->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(), "'' is not a valid integer value");
  EXPECT_EQ(Seam().State().SNMPTimeOutValue, 100);
  Control<QSpinBox>("seRetryCount")->setValue(4);
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")),
            SettingsFile("127.0.0.1", "127.0.0.2", "false", "100", "4"));
}

TEST_F(WindowTest, OnlyExactTrueSetsAFlag) {
  for (const char* text : {"True", "TRUE", " true", "yes"}) {
    Start(SettingsFile("127.0.0.1", "127.0.0.1", text, "100", "2", text));
    EXPECT_FALSE(Control<QCheckBox>("cbStartupScan")->isChecked()) << text;
    EXPECT_FALSE(Control<QCheckBox>("cbPing")->isChecked()) << text;
    EXPECT_EQ(Seam().State().WorkState, wsIdle) << text;
  }
  Start(SettingsFile("127.0.0.1", "127.0.0.1", "false", "100", "2", "true"));
  EXPECT_TRUE(Control<QCheckBox>("cbPing")->isChecked());
  EXPECT_FALSE(Control<QLineEdit>("edPing")->isHidden());
}

TEST_F(WindowTest, BrokenNumberLineIsReportedAndTheWindowStillRuns) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2", "false", "abc"));
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(), "'abc' is not a valid integer value");
  EXPECT_TRUE(Control<QTimer>("Timer")->isActive());
  const int ticks = Seam().State().Ticks;
  EXPECT_TRUE(WaitUntil([&] { return Seam().State().Ticks > ticks; }, 3000));
  EXPECT_TRUE(WaitForStatus("state Idle"));
  // No later save can write the broken line back.
  Control<QPushButton>("btSaveSettings")->click();
  EXPECT_EQ(ReadFileBytes(WorkingFile("QZexplorer.ini")), SettingsFile("127.0.0.1", "127.0.0.2"));
}

TEST_F(WindowTest, ShortSettingsFileGivesEmptyFields) {
  Start(std::string("127.0.0.1\r\n127.0.0.2\n"));
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(), "'' is not a valid integer value");
  EXPECT_EQ(Control<QLineEdit>("edReadComm")->text(), "");
  EXPECT_EQ(Seam().State().StopIPValue, 0x7F000002u);
}

TEST_F(WindowTest, PageChangesFollowTheRules) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  ASSERT_TRUE(WaitForStatus("state Idle"));
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
  EXPECT_EQ(Seam().State().WorkState, wsHalted);
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsTelnet"));
  EXPECT_TRUE(Control<QGroupBox>("gbDevInfo")->isVisible());
  EXPECT_TRUE(Control<QGroupBox>("gbDevSel")->isVisible());
  EXPECT_EQ(Control<TIPEdit>("edTelnetIP")->Text(), "0.0.0.0");
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsSettings"));
  EXPECT_FALSE(Control<QGroupBox>("gbDevInfo")->isVisible());
  // The lists stay on every page.
  EXPECT_TRUE(Control<QGroupBox>("gbDevSel")->isVisible());
  // While the state is halted, the timer neither refreshes nor pings.
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
  Seam().SetTicks(40);
  Seam().TimerTick();
  EXPECT_EQ(Seam().State().WorkState, wsHalted);
  EXPECT_EQ(Seam().State().Ticks, 41);
}

TEST_F(WindowTest, ScanKeepsTheSettingsPageInFront) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  Seam().SetWorkState(wsScan);
  Control<QTabWidget>("PageControl")->setCurrentWidget(Control<QWidget>("tsManage"));
  EXPECT_EQ(Control<QTabWidget>("PageControl")->currentWidget(), Control<QWidget>("tsSettings"));
  Seam().SetWorkState(wsIdle);
}

TEST_F(WindowTest, AScanLocksAllButTheScanButton) {
  // A silent range asked with a long time-out: the scan runs until stopped.
  Start(SettingsFile("127.0.7.1", "127.0.7.254", "false", "2000", "1"));
  QPushButton* scan = Control<QPushButton>("btScan");
  scan->click();
  ASSERT_TRUE(WaitUntil([&] { return Control<QLineEdit>("edScanIP")->text().startsWith("Asked "); }));
  for (QWidget* control : std::initializer_list<QWidget*>{
           Control<TIPEdit>("edStartIP"), Control<TIPEdit>("edStopIP"), Control<QCheckBox>("cbStartupScan"),
           Control<QComboBox>("cbAdrIP"), Control<QComboBox>("cbSysName"), Control<QComboBox>("cbSysLoc"),
           Control<QLineEdit>("edReadComm"), Control<QLineEdit>("edWriteComm"), Control<QLineEdit>("edSNMPTimeOut"),
           Control<QSpinBox>("seRetryCount"), Control<QCheckBox>("cbPing"), Control<QLineEdit>("edPingTimeOut"),
           Control<QPushButton>("btSaveSettings")})
    EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
  EXPECT_TRUE(scan->isEnabled());
  EXPECT_FALSE(Control<TIPEdit>("edStartIP")->Enabled());
  scan->click();
  ASSERT_TRUE(WaitUntil([&] { return Control<QComboBox>("cbAdrIP")->isEnabled(); }));
  EXPECT_TRUE(Control<TIPEdit>("edStopIP")->OctetField(2)->isEnabled());
}

TEST_F(WindowTest, TickingPingShowsAndStoresIt) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  Control<QCheckBox>("cbPing")->click();
  EXPECT_FALSE(Control<QLineEdit>("edPing")->isHidden());
  EXPECT_EQ(Seam().State().Settings.PingDevices, "true");
  Control<QCheckBox>("cbStartupScan")->click();
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

TEST_F(WindowTest, TheStatusBarCoversNoControlAndShowsTheState) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  ASSERT_TRUE(WaitForStatus("state Idle"));
  QStatusBar* bar = Control<QStatusBar>("sbState");
  const QImage drawn =
      bar->grab(QRect(0, 0, bar->fontMetrics().horizontalAdvance("state Idle") + 8, bar->height())).toImage();
  int inked = 0;
  for (int x = 0; x < drawn.width(); ++x)
    for (int y = 0; y < drawn.height(); ++y) inked += drawn.pixel(x, y) != drawn.pixel(0, 0);
  EXPECT_GT(inked, 20);
  for (QWidget* control : bar->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (control != bar) {
      EXPECT_FALSE(control->geometry().intersects(bar->geometry())) << control->objectName().toStdString();
    }
}

TEST_F(WindowTest, PingControlsHideTogetherFromTheStart) {
  for (const char* ping : {"false", "true"}) {
    Start(SettingsFile("127.0.0.1", "127.0.0.2", "false", "100", "2", ping));
    for (QWidget* control : std::initializer_list<QWidget*>{Control<QLabel>("lbPing"), Control<QLineEdit>("edPing"), Control<TLed>("Led1"),
                                                             Control<TLed>("Led2")})
      EXPECT_EQ(control->isHidden(), std::string(ping) == "false") << control->objectName().toStdString() << ping;
  }
}

TEST_F(WindowTest, StartupScanHidesTheDeviceInfo) {
  Start(SettingsFile("127.0.0.250", "127.0.0.250", "true", "20", "1"));
  EXPECT_EQ(Control<QTabWidget>("PageControl")->currentWidget(), Control<QWidget>("tsSettings"));
  EXPECT_TRUE(Control<QGroupBox>("gbDevInfo")->isHidden());
  EXPECT_TRUE(WaitUntil([&] { return Control<QPushButton>("btScan")->text() == "Scan"; }));
}

TEST_F(WindowTest, MissingHelpFileIsNamed) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  auto* english = window_->findChild<QAction*>("itmEnglish");
  ASSERT_NE(english, nullptr);
  english->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(), "The help file ./Help/QZ_Explorer_E.chm is not there.");
}

// Offscreen, the desktop starts no browser or viewer: the window says so and
// names what to open by hand.
TEST_F(WindowTest, HelpThatCannotBeShownSaysWhereItIs) {
  Start(SettingsFile("127.0.0.1", "127.0.0.2"));
  std::filesystem::create_directory(WorkingFile("Help"));
  WriteFileBytes(WorkingFile("Help/QZ_Explorer_R.chm"), "compiled help");
  window_->findChild<QAction*>("itmRussian")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
  EXPECT_EQ(messages_.Texts().first(),
            "No browser or viewer could be started to open " +
                QDir::toNativeSeparators(QString::fromStdString(WorkingFile("Help/QZ_Explorer_R.chm"))));
}

// The desktop finds the installed entry and its icon by the windows' own.
TEST(Application, NamesItsDesktopEntryAndCarriesItsIcon) {
  EXPECT_EQ(QGuiApplication::desktopFileName(), "net.qzexplorer.QZExplorer");
  const QList<QSize> sizes = QApplication::windowIcon().availableSizes();
  for (int size : {16, 32, 48, 256}) EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
}
