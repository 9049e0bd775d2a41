// The window at the desktop fonts operators use: every caption, value and
// list entry shown whole, the arrangement kept.
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyleOptionComboBox>
#include <QTabWidget>

#include "window_fixture.h"

using namespace qz::test;

namespace {

constexpr char kLayoutLab[] = R"(
[127.0.0.240]
type = QZ300
firmware = SNMP station vers. 2.10
name = Main distribution
location = Hall A
set 1.3.6.1.4.1.98361.3.3.6.0 = 1420
set 1.3.6.1.4.1.98361.3.3.2.0 = 231
)";

const std::string kList = kListHeader + "127.0.0.240\tMain distribution\tHall A\tQZ300\tSNMP station vers. 2.10 \r\n";

// What of a widget its parent cuts off, or a sibling control covers.
std::string Clipping(const QWidget* widget) {
  const QWidget* parent = widget->parentWidget();
  if (!parent->rect().contains(widget->geometry()))
    return "outside its parent " + parent->objectName().toStdString();
  for (const QObject* other : parent->children()) {
    const auto* sibling = qobject_cast<const QWidget*>(other);
    if (!sibling || sibling == widget || !sibling->isVisible() || qobject_cast<const QLabel*>(sibling)) continue;
    if (qobject_cast<const QGroupBox*>(sibling) || !sibling->geometry().intersects(widget->geometry())) continue;
    return "under " + sibling->objectName().toStdString();
  }
  return "";
}

class LayoutTest : public WithSuiteLab<kLayoutLab, WindowTest>, public ::testing::WithParamInterface<int> {
 protected:
  void TearDown() override {
    window_.reset();
    QApplication::setFont(font_);
  }
  QFont font_ = QApplication::font();
};

}  // namespace

TEST_P(LayoutTest, EveryTextIsShownWhole) {
  QFont font("DejaVu Sans");
  font.setPointSize(GetParam());
  QApplication::setFont(font);
  Start(SettingsFile("127.0.0.240", "127.0.0.240"), kList, true);
  ASSERT_TRUE(WaitForWork("state Fill data"));
  for (QWidget* page : {Control<QWidget>("tsManage"), Control<QWidget>("tsSettings")}) {
    Control<QTabWidget>("PageControl")->setCurrentWidget(page);
    QApplication::processEvents();
    for (const QLabel* label : window_->findChildren<QLabel*>()) {
      if (!label->isVisible() || label->text().isEmpty() || label->wordWrap()) continue;
      if (label->parentWidget()->inherits("QStatusBar")) continue;
      EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
      EXPECT_EQ(Clipping(label), "") << label->text().toStdString();
    }
    for (const QLineEdit* edit : window_->findChildren<QLineEdit*>()) {
      if (!edit->isVisible() || edit->text().isEmpty() || !edit->isReadOnly()) continue;
      EXPECT_FALSE(edit->text().endsWith(QChar(0x2026))) << edit->objectName().toStdString() << " "
                                                        << edit->toolTip().toStdString();
    }
    for (const QComboBox* combo : window_->findChildren<QComboBox*>()) {
      if (!combo->isVisible() || combo->currentText().isEmpty()) continue;
      QStyleOptionComboBox option;
      option.initFrom(combo);
      const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
      // The choices of a parameter may be longer than their box: it elides them and shows them whole as tooltip.
      if (combo->inherits("TChoiceBox")) continue;
      EXPECT_LE(combo->fontMetrics().horizontalAdvance(combo->currentText()), field.width())
          << combo->objectName().toStdString() << " " << combo->currentText().toStdString();
    }
  }
  // Each code page's name fits its box, not only the one chosen.
  auto* codePages = Control<QComboBox>("cbCodePage");
  QStyleOptionComboBox option;
  option.initFrom(codePages);
  const QRect field = codePages->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, codePages);
  for (int i = 0; i < codePages->count(); ++i)
    EXPECT_LE(codePages->fontMetrics().horizontalAdvance(codePages->itemText(i)), field.width())
        << codePages->itemText(i).toStdString();
  // The window grows with the font, never below its usual size.
  EXPECT_GE(window_->findChild<QWidget*>("client")->width(), 652);
}

INSTANTIATE_TEST_SUITE_P(, LayoutTest, ::testing::Values(9, 10, 11, 12),
                         [](const ::testing::TestParamInfo<int>& points) { return std::to_string(points.param) + "pt"; });

TEST_F(WindowTest, TheUsualWindowFitsA1280By800Screen) {
  Start(SettingsFile("127.0.0.1", "127.0.0.1"));
  EXPECT_LE(window_->frameGeometry().width(), 1280);
  EXPECT_LE(window_->sizeHint().height() + 40, 800);  // a title bar's worth left
}
