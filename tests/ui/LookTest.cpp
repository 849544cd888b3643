// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// What the user sees of the window and its dialogs: the focus on every
// control, a count panel that fits its text, texts that are not cut and
// images drawn sharp. The group also runs with QT_SCALE_FACTOR 1.5 and 2,
// as on screens scaled to 150% and 200%.
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>

#ifdef QT_SVG_LIB
#include <QPainter>
#include <QSvgRenderer>
#endif

#include "AboutDialog.h"
#include "ErrorBox.h"
#include "ColumnCheckList.h"
#include "ImageToolBar.h"
#include "Images.h"
#include "MainForm.h"
#include "MarkupView.h"
#include "NoticeDialog.h"
#include "StatusPanel.h"
#include "TestSupport.h"

using namespace quenlora;
using namespace quenlora::ui;
using namespace quenlora::ui::test;

namespace {

#ifdef QT_SVG_LIB
// The picture drawn straight from its SVG at a size in device pixels.
QImage FromSvg(const QString& name, const QSize& pixels)
{
  QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QSvgRenderer renderer(QStringLiteral(":/images/%1.svg").arg(name));
  QPainter painter(&image);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
  return image;
}
#endif

}  // namespace

class LookTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void everyControlShowsTheKeyboardFocus_data()
  {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("selected");  // the list's selected row; -1: none
    QTest::newRow("Button2, the default button") << "Button2" << -1;
    QTest::newRow("txtInput") << "txtInput" << -1;
    QTest::newRow("txtSeznam, no row selected") << "txtSeznam" << -1;
    QTest::newRow("txtSeznam, a row selected") << "txtSeznam" << 1;
  }

  void everyControlShowsTheKeyboardFocus()
  {
    QFETCH(QString, name);
    QFETCH(int, selected);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Fill(window, {"A1", "B2", "C3"});
    window.txtSeznam->SelectRow(selected);
    auto* control = window.findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    // The user tabs to the control, then on to the next.
    for (int i = 0; i < 3 && QApplication::focusWidget() != control; ++i)
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), control);
    const QImage focused = control->grab().toImage();
    QTest::keyClick(control, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != control);
    const QImage unfocused = control->grab().toImage();
    QVERIFY2(focused != unfocused, "the control looks the same with the focus and without it");
  }

  void countPanelGrowsWithItsText_data()
  {
    QTest::addColumn<qint64>("count");
    QTest::newRow("0") << qint64(0);
    QTest::newRow("seven digits") << qint64(9999999);
    QTest::newRow("eight digits") << qint64(10000000);
    QTest::newRow("ten digits") << qint64(2147483647);
    QTest::newRow("thirteen digits") << qint64(1000000000000);
  }

  void countPanelGrowsWithItsText()
  {
    QFETCH(qint64, count);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    TStatusPanel* panel = window.StatusPanel0;
    const QString text = QStringLiteral("Počet: ") + QString::number(count);
    panel->SetText(text);
    const int needed = static_cast<int>(std::ceil(QFontMetricsF(panel->font()).horizontalAdvance(text))) + 2 +
                       2 * panel->frameWidth();
    // 80 pixels at least; wider when the text needs it.
    QTRY_COMPARE(panel->width(), std::max(80, needed));
    QVERIFY(panel->contentsRect().width() - 2 >= QFontMetricsF(panel->font()).horizontalAdvance(text));
    // The hint panel takes what is left, from the count panel's right edge.
    QVERIFY(window.StatusPanel1->geometry().left() > panel->geometry().right());
    QVERIFY(window.StatusPanel1->width() >= 200);
    // Back to a short text, back to 80 pixels.
    panel->SetText(QStringLiteral("Počet: 0"));
    QTRY_COMPARE(panel->width(), 80);
  }

  void textsAreNotCut_data()
  {
    QTest::addColumn<QString>("name");
    for (const char* name : {"Label3", "Label1", "txtInput", "StatusPanel0", "StatusPanel1", "MainMenu1", "txtSeznam"})
      QTest::newRow(name) << name;
  }

  void textsAreNotCut()
  {
    QFETCH(QString, name);
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    Fill(window, {QStringLiteral("ŠČŘŽÝÁÍÉgjpqy")});
    auto* control = window.findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    const QFontMetrics metrics(control->font());
    const int frame = control->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, control);
    QString why;
    if (auto* label = qobject_cast<QLabel*>(control)) {
      if (label->width() < label->sizeHint().width() || label->height() < label->sizeHint().height())
        why = QStringLiteral("label %1 smaller than its text").arg(name);
    } else if (qobject_cast<QLineEdit*>(control) != nullptr) {
      if (control->height() - 2 * frame < metrics.height()) why = QStringLiteral("input box lower than its text");
    } else if (auto* panel = qobject_cast<TStatusPanel*>(control)) {
      if (panel->contentsRect().height() < metrics.height()) why = QStringLiteral("panel lower than its text");
      if (name == QStringLiteral("StatusPanel0") && panel->width() < panel->TextWidth())
        why = QStringLiteral("count panel narrower than its text");
    } else if (auto* bar = qobject_cast<QMenuBar*>(control)) {
      if (bar->height() < bar->sizeHint().height()) why = QStringLiteral("menu bar lower than its items");
    } else if (auto* list = qobject_cast<TColumnCheckList*>(control)) {
      const int box = list->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, list);
      if (list->ItemHeight() < std::max(metrics.height(), box)) why = QStringLiteral("rows lower than their text");
    }
    QVERIFY2(why.isEmpty(), qPrintable(why + QStringLiteral(" at scale %1").arg(window.devicePixelRatioF())));
  }

  void aboutAndNoticeTextsFit()
  {
    TAboutDialog about(nullptr);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    // The text stands above the button, which holds its caption.
    QVERIFY(about.TextView->geometry().bottom() < about.OkButton->geometry().top());
    QVERIFY(about.TextView->geometry().right() < about.width());
    QVERIFY(about.OkButton->width() >= QFontMetrics(about.OkButton->font()).horizontalAdvance(QStringLiteral("Ok")) + 16);
    about.close();

    const QString path = QStringLiteral("/home/uživatel/Dokumenty/VraceneKombiKP_12122024103000.xml");
    TNoticeDialog notice(nullptr, QStringLiteral("Datový soubor byl úspěšně uložen."), path);
    notice.show();
    QVERIFY(QTest::qWaitForWindowExposed(&notice));
    for (QLabel* label : {notice.InstructionLabel, notice.ContentLabel})
      QVERIFY2(label->width() >= label->sizeHint().width() && label->height() >= label->sizeHint().height(),
               qPrintable(label->text()));
  }

#ifndef QT_SVG_LIB
  void imagesHaveABitmapForEachScaling()
  {
    // Without Qt SVG (the Windows program) the images come as PNGs drawn from
    // the SVGs while building, one for 100%, 150% and 200%: none is scaled up.
    const QSize size(TImageToolBar::kImageSize, TImageToolBar::kImageSize);
    for (int i = 0; i < kImageCount; ++i) {
      const QIcon image = ActionImage(i);
      for (const qreal scale : {1.0, 1.5, 2.0}) {
        const QSize pixels = size * scale;
        QVERIFY2(image.availableSizes().contains(pixels), qPrintable(QStringLiteral("image %1 at %2").arg(i).arg(scale)));
        QCOMPARE(image.pixmap(size, scale).size(), pixels);
      }
    }
    for (const int side : {16, 32, 48, 256}) QVERIFY(ProgramIcon().availableSizes().contains(QSize(side, side)));
  }
#else
  void imagesAreDrawnSharpFromTheirSvgs()
  {
    TScriptedDialogs dialogs;
    TMain window(dialogs);
    QVERIFY(ShowAndActivate(window));
    const qreal scale = window.devicePixelRatioF();
    const QStringList names{"add_code", "export_kombi", "export_full", "export_single",
                            "new_batch", "load_list", "about", "save_list"};
    const QSize size(TImageToolBar::kImageSize, TImageToolBar::kImageSize);
    const QSize pixels = size * scale;
    for (int i = 0; i < names.size(); ++i) {
      const QPixmap drawn = ActionImage(i).pixmap(size, scale);
      QCOMPARE(drawn.size(), pixels);
      QCOMPARE(drawn.devicePixelRatio(), scale);
      // Pixel for pixel what the SVG gives at this size: not a bitmap scaled up or down.
      QVERIFY2(drawn.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied) == FromSvg(names[i], pixels),
               qPrintable(names[i]));
    }
    const QPixmap icon = window.windowIcon().pixmap(QSize(64, 64), scale);
    QVERIFY(icon.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied) ==
            FromSvg(QStringLiteral("vortanek"), QSize(64, 64) * scale));
  }
#endif

  void messageIconsHaveThePixelsOfTheScreen_data()
  {
    QTest::addColumn<bool>("notice");  // or the error box
    QTest::newRow("notice") << true;
    QTest::newRow("error box") << false;
  }

  void messageIconsHaveThePixelsOfTheScreen()
  {
    QFETCH(bool, notice);
    QPixmap icon;
    qreal scale = 0;
    int size = 0;
    if (notice) {
      OnModal<TNoticeDialog>([&](TNoticeDialog* shown) {
        icon = shown->IconLabel->pixmap();
        scale = shown->devicePixelRatioF();
        size = TNoticeDialog::kIconSize;
        shown->accept();
      });
      ShowNotice(nullptr, QStringLiteral("Seznam byl úspěšně uložen."), QStringLiteral("x.txt"));
    } else {
      OnModal<QMessageBox>([&](QMessageBox* shown) {
        if (auto* label = shown->findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"))) icon = label->pixmap();
        scale = shown->devicePixelRatioF();
        size = shown->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, shown);
        shown->accept();
      });
      ShowErrorBox(nullptr, QStringLiteral("Stream write error."));
    }
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.devicePixelRatio(), scale);
    QCOMPARE(icon.size(), QSize(size, size) * scale);
  }
};

std::unique_ptr<QObject> MakeLookTest() { return std::make_unique<LookTest>(); }

#include "LookTest.moc"
