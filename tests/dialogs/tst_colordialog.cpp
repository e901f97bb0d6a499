#include "dialogs/colordialog.h"

#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

namespace {

// The colour as the dialog returns it, as the sliders stand and as the swatch shows it.
QStringList shown(ColorDialog &d)
{
    const QImage swatch = d.colorFrame->grab().toImage();
    return {d.getColor().name(),
            QColor(d.redSlider->value(), d.greenSlider->value(), d.blueSlider->value()).name(),
            swatch.pixelColor(swatch.width() / 2, swatch.height() / 2).name()};
}

} // namespace

class tst_ColorDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void mixAndEnd_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::addRow("okButton") << "ok" << int(QDialog::Accepted);
        QTest::addRow("returnKey") << "return" << int(QDialog::Accepted);
        QTest::addRow("escapeKey") << "escape" << int(QDialog::Rejected);
        QTest::addRow("windowClose") << "close" << int(QDialog::Rejected);
    }

    // The sliders mix the colour from the seed on; then the dialog ends `how`.
    void mixAndEnd()
    {
        QFETCH(QString, how);
        ColorDialog d(nullptr, "cd", true);
        d.start_color(QColor(1, 2, 3));
        QCOMPARE(shown(d), QStringList(3, QStringLiteral("#010203")));
        QSignalSpy changed(&d, &ColorDialog::color_changed);
        d.redSlider->setValue(200);
        d.greenSlider->setValue(10);
        d.blueSlider->setValue(255);
        d.greenSlider->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(shown(d), QStringList(3, QStringLiteral("#c814ff")));
        QCOMPARE(changed.count(), 4);
        d.setResult(-1);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        if (how == QLatin1String("ok"))
            QTest::mouseClick(d.okButton, Qt::LeftButton);
        else if (how == QLatin1String("close"))
            d.close();
        else
            QTest::keyClick(&d, how == QLatin1String("return") ? Qt::Key_Return : Qt::Key_Escape);
        QVERIFY(!d.isVisible());
        QTEST(d.result(), "result");
    }

    void okButtonFitsTheForm()
    {
        ColorDialog d(nullptr, "cd", true);
        QVERIFY(d.rect().contains(d.okButton->geometry()));
        for (QWidget *w : d.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(w == d.okButton || !w->geometry().intersects(d.okButton->geometry()),
                     qPrintable(w->objectName()));
        }
    }
};

QTEST_MAIN(tst_ColorDialog)
#include "tst_colordialog.moc"
