#include "dialogs/colordialog.h"
#include "dialogs/editdialog.h"
#include "plot/graphwidget.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

class tst_EditDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void opensOn_data();
    void opensOn();
    void idChangeReloads_data();
    void idChangeReloads();
    void colourPicksSeedFromStoredColour();

private:
    GraphWidget *graph = nullptr;
};

namespace {

// Runs `answer` on the colour dialog once its modal loop is up. If it never
// appears, whatever modal dialog is up is rejected so the test cannot hang.
template<class F>
void answerColorDialog(F answer, int tries = 200)
{
    QTimer::singleShot(0, qApp, [answer, tries] {
        QWidget *top = QApplication::activeModalWidget();
        if (auto *cd = qobject_cast<ColorDialog *>(top)) {
            answer(cd);
        } else if (tries > 0) {
            answerColorDialog(answer, tries - 1);
        } else {
            qWarning("colour dialog did not appear");
            if (auto *d = qobject_cast<QDialog *>(top))
                d->reject();
        }
    });
}

QColor buttonColour(const EditDialog &d)
{
    return d.colorButton->palette().color(QPalette::Button);
}

} // namespace

void tst_EditDialog::initTestCase()
{
    QApplication::setStyle(QStringLiteral("Fusion"));
}

void tst_EditDialog::init()
{
    graph = new GraphWidget(nullptr, "graph1");
    graph->setGeometry(QRect(QPoint(1, 1), QPoint(232, 216)));
    graph->addFunction(0, QStringLiteral("sin(x)"), 'x', QColor(255, 0, 0));
    graph->addFunction(3, QStringLiteral("2*y"), 'y', QColor(0, 0, 255));
    graph->addFunction(150, QStringLiteral("x"), 'x', QColor(0, 255, 0));
}

void tst_EditDialog::cleanup()
{
    delete graph;
    graph = nullptr;
}

void tst_EditDialog::opensOn_data()
{
    QTest::addColumn<int>("openId");
    QTest::addColumn<int>("expectedId");
    QTest::addColumn<QString>("text");
    QTest::addColumn<char>("indepVariable");
    QTest::addColumn<QColor>("colour");

    const QColor black(0, 0, 0);
    QTest::addRow("freeId") << 5 << 5 << "" << 'x' << black;
    QTest::addRow("functionOfX") << 0 << 0 << "sin(x)" << 'x' << QColor(255, 0, 0);
    QTest::addRow("functionOfY") << 3 << 3 << "2*y" << 'y' << QColor(0, 0, 255);
    // The offered id of a new function outgrows the id box's usual 99; it
    // must never be clamped to an id that may belong to another function.
    QTest::addRow("existingIdAbove99") << 150 << 150 << "x" << 'x' << QColor(0, 255, 0);
    QTest::addRow("freeIdAbove99") << 151 << 151 << "" << 'x' << black;
    QTest::addRow("negativeIdShowsWhatItReturns")
        << -1 << 0 << "sin(x)" << 'x' << QColor(255, 0, 0);
}

void tst_EditDialog::opensOn()
{
    QFETCH(int, openId);
    QFETCH(int, expectedId);
    QFETCH(QString, text);
    QFETCH(char, indepVariable);
    QFETCH(QColor, colour);

    EditDialog d(nullptr, "editdialog", true, openId, graph);
    QCOMPARE(d.getId(), expectedId);
    QCOMPARE(d.getFunction(), text);
    QCOMPARE(d.getIndepVariable(), indepVariable);
    QCOMPARE(d.depVarBox->currentText(), indepVariable == 'x' ? QStringLiteral("Y") : "X");
    QCOMPARE(d.equalBox->currentText(), QStringLiteral("="));
    QCOMPARE(d.getEquality(), 1);
    QCOMPARE(d.getColor(), colour);
    QCOMPARE(buttonColour(d), colour);
}

void tst_EditDialog::idChangeReloads_data()
{
    QTest::addColumn<int>("openId");
    QTest::addColumn<int>("newId");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("depVarRow");
    QTest::addColumn<QColor>("colour");

    QTest::addRow("existingToFreeBlanks") << 3 << 5 << "" << 0 << QColor(0, 0, 0);
    QTest::addRow("existingToExistingLoads") << 0 << 3 << "2*y" << 1 << QColor(0, 0, 255);
    QTest::addRow("freeToExistingAbove99") << 7 << 150 << "x" << 0 << QColor(0, 255, 0);
}

void tst_EditDialog::idChangeReloads()
{
    QFETCH(int, openId);
    QFETCH(int, newId);
    QFETCH(QString, text);
    QFETCH(int, depVarRow);
    QFETCH(QColor, colour);

    EditDialog d(nullptr, "editdialog", true, openId, graph);
    QTest::keyClicks(d.functionBox, QStringLiteral("+1")); // typing is discarded
    d.depVarBox->setCurrentIndex(1 - d.depVarBox->currentIndex());
    d.idBox->setValue(newId);
    QCOMPARE(d.getId(), newId);
    QCOMPARE(d.getFunction(), text);
    QCOMPARE(d.depVarBox->currentIndex(), depVarRow);
    QCOMPARE(d.equalBox->currentIndex(), 0);
    QCOMPARE(d.getColor(), colour);
    QCOMPARE(buttonColour(d), colour);
}

void tst_EditDialog::colourPicksSeedFromStoredColour()
{
    EditDialog d(nullptr, "editdialog", true, 0, graph);
    d.show();
    QColor seen;
    const int redraws = graph->getRedrawCount();

    // First pick: seeded from the stored red, accepted with green added.
    answerColorDialog([&seen](ColorDialog *cd) {
        seen = cd->getColor();
        cd->greenSlider->setValue(200);
        QTest::mouseClick(cd->okButton, Qt::LeftButton);
    });
    QTest::mouseClick(d.colorButton, Qt::LeftButton);
    QCOMPARE(seen, QColor(255, 0, 0));
    QCOMPARE(d.getColor(), QColor(255, 200, 0));
    QCOMPARE(buttonColour(d), QColor(255, 200, 0));

    // Second pick starts again from the stored colour; cancelling it keeps the
    // first pick instead of applying an unset colour.
    answerColorDialog([&seen](ColorDialog *cd) {
        seen = cd->getColor();
        cd->blueSlider->setValue(99);
        QTest::keyClick(cd, Qt::Key_Escape);
    });
    QTest::mouseClick(d.colorButton, Qt::LeftButton);
    QCOMPARE(seen, QColor(255, 0, 0));
    QCOMPARE(d.getColor(), QColor(255, 200, 0));
    QCOMPARE(buttonColour(d), QColor(255, 200, 0));
    QCOMPARE(graph->getFunctionColor(0), QColor(255, 0, 0)); // only the caller stores it
    QCOMPARE(graph->getRedrawCount(), redraws + 2);

    // On a free id the seed is black.
    d.idBox->setValue(9);
    answerColorDialog([&seen](ColorDialog *cd) {
        seen = cd->getColor();
        cd->reject();
    });
    QTest::mouseClick(d.colorButton, Qt::LeftButton);
    QCOMPARE(seen, QColor(0, 0, 0));
    QCOMPARE(d.getColor(), QColor(0, 0, 0));
}

QTEST_MAIN(tst_EditDialog)
#include "tst_editdialog.moc"
