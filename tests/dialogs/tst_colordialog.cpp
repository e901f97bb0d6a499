#include "dialogs/colordialog.h"

#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

class tst_ColorDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void seed_data();
    void seed();
    void sliderMoves_data();
    void sliderMoves();
    void ending_data();
    void ending();
    void okButtonFitsTheForm();
};

namespace {

QColor swatch(ColorDialog &d)
{
    const QImage img = d.colorFrame->grab().toImage();
    return img.pixelColor(img.width() / 2, img.height() / 2);
}

QColor sliders(ColorDialog &d)
{
    return QColor(d.redSlider->value(), d.greenSlider->value(), d.blueSlider->value());
}

} // namespace

void tst_ColorDialog::initTestCase()
{
    QApplication::setStyle(QStringLiteral("Fusion"));
}

void tst_ColorDialog::seed_data()
{
    QTest::addColumn<QColor>("seed");
    QTest::addRow("orange") << QColor(255, 128, 0);
    QTest::addRow("black") << QColor(0, 0, 0);
    QTest::addRow("white") << QColor(255, 255, 255);
    QTest::addRow("allComponentsDiffer") << QColor(1, 2, 3);
}

void tst_ColorDialog::seed()
{
    QFETCH(QColor, seed);
    ColorDialog d(nullptr, "cd", true);
    d.start_color(seed);
    QCOMPARE(sliders(d), seed);
    QCOMPARE(d.getColor(), seed);
    QCOMPARE(swatch(d), seed);
}

void tst_ColorDialog::sliderMoves_data()
{
    QTest::addColumn<QString>("slider");
    QTest::addColumn<int>("value"); // -1: one page step up
    QTest::addColumn<QColor>("expected");
    QTest::addRow("greenTo10") << "greenSlider" << 10 << QColor(255, 10, 0);
    QTest::addRow("redToZero") << "redSlider" << 0 << QColor(0, 128, 0);
    QTest::addRow("blueToTop") << "blueSlider" << 255 << QColor(255, 128, 255);
    QTest::addRow("greenPageStep") << "greenSlider" << -1 << QColor(255, 138, 0);
}

void tst_ColorDialog::sliderMoves()
{
    QFETCH(QString, slider);
    QFETCH(int, value);
    QFETCH(QColor, expected);
    ColorDialog d(nullptr, "cd", true);
    d.start_color(QColor(255, 128, 0));
    QSignalSpy changed(&d, &ColorDialog::color_changed);
    auto *s = d.findChild<QSlider *>(slider);
    QVERIFY(s);
    if (value < 0)
        s->triggerAction(QAbstractSlider::SliderPageStepAdd);
    else
        s->setValue(value);
    QCOMPARE(d.getColor(), expected);
    QCOMPARE(sliders(d), expected);
    QCOMPARE(swatch(d), expected);
    QVERIFY(!changed.isEmpty());
}

void tst_ColorDialog::ending_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::addRow("okButton") << "ok" << int(QDialog::Accepted);
    QTest::addRow("returnKey") << "return" << int(QDialog::Accepted);
    QTest::addRow("escapeKey") << "escape" << int(QDialog::Rejected);
    QTest::addRow("windowClose") << "close" << int(QDialog::Rejected);
}

void tst_ColorDialog::ending()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    ColorDialog d(nullptr, "cd", true);
    d.start_color(QColor(10, 20, 30));
    d.setResult(-1);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    if (how == QLatin1String("ok"))
        QTest::mouseClick(d.okButton, Qt::LeftButton);
    else if (how == QLatin1String("return"))
        QTest::keyClick(&d, Qt::Key_Return);
    else if (how == QLatin1String("escape"))
        QTest::keyClick(&d, Qt::Key_Escape);
    else
        d.close();
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), result);
    QCOMPARE(d.getColor(), QColor(10, 20, 30));
}

void tst_ColorDialog::okButtonFitsTheForm()
{
    ColorDialog d(nullptr, "cd", true);
    QCOMPARE(d.size(), QSize(210, 110));
    QVERIFY(d.rect().contains(d.okButton->geometry()));
    for (QWidget *w : d.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (w != d.okButton)
            QVERIFY2(!w->geometry().intersects(d.okButton->geometry()),
                     qPrintable(w->objectName()));
    }
}

QTEST_MAIN(tst_ColorDialog)
#include "tst_colordialog.moc"
