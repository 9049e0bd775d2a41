#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "exception_report.h"
#include "gui.h"
#include "ip_edit.h"

namespace {

class IPEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.resize(400, 100);
    edit_ = new TIPEdit(&window_);
    other_ = new QLineEdit(&window_);
    other_->move(0, 50);
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    window_.activateWindow();
    QApplication::setActiveWindow(&window_);
  }
  QWidget window_;
  TIPEdit* edit_ = nullptr;
  QLineEdit* other_ = nullptr;
};

}  // namespace

TEST_F(IPEditTest, NewEditorShowsZeroAddress) {
  EXPECT_EQ(edit_->Text(), "0.0.0.0");
  EXPECT_EQ(edit_->Value(), 0u);
  EXPECT_FALSE(edit_->DotLabel(3)->isVisible());
}

TEST_F(IPEditTest, TypingDigitsAndDotJumps) {
  edit_->OctetField(0)->setFocus();
  edit_->OctetField(0)->clear();
  QTest::keyClicks(edit_->OctetField(0), "1x9a2.");
  EXPECT_EQ(edit_->OctetField(0)->text(), "192");
  EXPECT_TRUE(edit_->OctetField(1)->hasFocus());
  edit_->OctetField(3)->setFocus();
  QTest::keyClicks(edit_->OctetField(3), ".");
  EXPECT_TRUE(edit_->OctetField(3)->hasFocus());
  QTest::keyClick(edit_->OctetField(3), Qt::Key_Backspace);
  EXPECT_EQ(edit_->OctetField(3)->text(), "");
}

TEST_F(IPEditTest, SelectAllTypeOverAndPasteAWholeAddress) {
  edit_->SetText("127.0.0.1");
  auto* first = edit_->OctetField(0);
  first->setFocus();
  first->end(false);
  QTest::keyClick(first, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(first->selectedText(), "127");
  QTest::keyClicks(first, "10");
  EXPECT_EQ(edit_->Text(), "10.0.0.1");
  // A whole address pasted into any octet fills all four.
  for (const char* pasted : {"192.168.7.20", " 10.1.2.3\n"}) {
    QGuiApplication::clipboard()->setText(pasted);
    edit_->OctetField(2)->setFocus();
    QTest::keyClick(edit_->OctetField(2), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit_->Text(), QString(pasted).trimmed()) << pasted;
  }
  // Anything else gives the octet its digits only.
  QGuiApplication::clipboard()->setText("a5b");
  edit_->OctetField(1)->selectAll();
  QTest::keyClick(edit_->OctetField(1), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edit_->Text(), "10.5.2.3");
}

TEST_F(IPEditTest, LeavingAnOctetBringsItIntoByteRange) {
  const std::pair<const char*, const char*> cases[] = {{"300", "44"}, {"256", "0"}, {"007", "7"}, {"255", "255"}};
  for (const auto& [typed, shown] : cases) {
    edit_->OctetField(2)->setFocus();
    edit_->OctetField(2)->setText(typed);
    other_->setFocus();
    EXPECT_EQ(edit_->OctetField(2)->text(), shown) << typed;
  }
}

TEST_F(IPEditTest, LeavingAnEmptyOctetReportsTheConversion) {
  std::string reported;
  const QObject* reportedBy = nullptr;
  const qz::TExceptionReporterScope reporting([&](const QObject* reporter, const std::exception& error) {
    reported = error.what();
    reportedBy = reporter;
  });
  edit_->OctetField(1)->setFocus();
  edit_->OctetField(1)->clear();
  other_->setFocus();
  EXPECT_EQ(reported, "'' is not a valid integer value");
  EXPECT_EQ(reportedBy, edit_->OctetField(1));
  EXPECT_EQ(edit_->OctetField(1)->text(), "");
  EXPECT_THROW(edit_->Value(), qz::EConvertError);
}

TEST_F(IPEditTest, WritingText) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"9.9.9.9", " 10.0.0.1 ", "10.0.0.1"},  {"9.9.9.9", "10.1", "10.1.9.9"},
      {"9.9.9.9", "1.2.3.4.5", "1.2.3.4"},    {"9.9.9.9", "a.b.c.d", "0.0.0.0"},
      {"9.9.9.9", "300.-1.-300.x7", "44.-1.-44.0"}, {"9.9.9.9", "", "0.9.9.9"},
      {"9.9.9.9", "12abc.5", "12.5.9.9"}};
  for (const auto& [before, written, shown] : cases) {
    edit_->SetText(before);
    edit_->SetText(written);
    EXPECT_EQ(edit_->Text(), shown) << written;
  }
}

TEST_F(IPEditTest, ValueRoundTrip) {
  QSignalSpy changes(edit_, &TIPEdit::changed);
  edit_->SetValue(3232235866u);
  EXPECT_EQ(edit_->Text(), "192.168.1.90");
  EXPECT_EQ(edit_->Value(), 3232235866u);
  EXPECT_EQ(changes.count(), 4);
}

TEST_F(IPEditTest, EnabledReachesEveryChild) {
  edit_->SetEnabled(false);
  EXPECT_FALSE(edit_->Enabled());
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(edit_->OctetField(i)->isEnabled());
    EXPECT_FALSE(edit_->DotLabel(i)->isEnabled());
  }
  edit_->SetEnabled(true);
  EXPECT_TRUE(edit_->OctetField(3)->isEnabled());
}

TEST_F(IPEditTest, ClickAfterDotJumpIsSwallowedOnce) {
  QSignalSpy clicks(edit_, &TIPEdit::clicked);
  edit_->OctetField(0)->setFocus();
  QTest::keyClick(edit_->OctetField(0), '.');
  QTest::mouseClick(edit_->OctetField(1), Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 0);
  QTest::mouseClick(edit_->OctetField(1), Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);
}

TEST_F(IPEditTest, EnterAndExitFollowTheFocus) {
  other_->setFocus();
  QSignalSpy entered(edit_, &TIPEdit::entered);
  QSignalSpy exited(edit_, &TIPEdit::exited);
  edit_->OctetField(2)->setFocus();
  edit_->OctetField(3)->setFocus();
  EXPECT_EQ(entered.count(), 1);
  EXPECT_EQ(exited.count(), 0);
  other_->setFocus();
  EXPECT_EQ(exited.count(), 1);
}

TEST_F(IPEditTest, NarrowEditorWidensItself) {
  edit_->resize(10, 21);
  const int minimum = 4 * QFontMetrics(edit_->DotLabel(0)->font()).horizontalAdvance("000") +
                      3 * edit_->DotLabel(0)->width() + (edit_->width() - edit_->contentsRect().width());
  EXPECT_GE(edit_->width(), minimum);
  edit_->resize(200, 2);
  EXPECT_GE(edit_->height(), QFontMetrics(edit_->DotLabel(0)->font()).height());
}
