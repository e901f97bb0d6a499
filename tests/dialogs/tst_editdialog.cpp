#include "dialogs/editdialog.h"
#include "plot/graphwidget.h"

#include "modalscript.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <memory>

class tst_EditDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void init()
    {
        graph = std::make_unique<GraphWidget>(nullptr, "graph1");
        graph->addFunction(0, QStringLiteral("sin(x)"), 'x', QColor(255, 0, 0));
        graph->addFunction(3, QStringLiteral("2*y"), 'y', QColor(0, 0, 255));
        graph->addFunction(150, QStringLiteral("x"), 'x', QColor(0, 255, 0));
    }

    void shows_data()
    {
        QTest::addColumn<int>("openId");
        QTest::addColumn<int>("newId"); // typed into the id box after an edit; -1: none
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<char>("indepVariable");
        QTest::addColumn<QColor>("colour");
        const QColor black(0, 0, 0), red(255, 0, 0), blue(0, 0, 255), green(0, 255, 0);
        QTest::addRow("freeId") << 5 << -1 << 5 << "" << 'x' << black;
        QTest::addRow("functionOfY") << 3 << -1 << 3 << "2*y" << 'y' << blue;
        // Ids outgrow the id box's usual 99; one must never be clamped to another
        // function's id.
        QTest::addRow("existingIdAbove99") << 150 << -1 << 150 << "x" << 'x' << green;
        QTest::addRow("freeIdAboveAll") << 151 << -1 << 151 << "" << 'x' << black;
        QTest::addRow("negativeIdShowsWhatItReturns") << -1 << -1 << 0 << "sin(x)" << 'x' << red;
        QTest::addRow("changedToFreeBlanks") << 3 << 5 << 5 << "" << 'x' << black;
        QTest::addRow("changedToExistingLoads") << 0 << 3 << 3 << "2*y" << 'y' << blue;
        QTest::addRow("changedFromFreeToAbove99") << 7 << 150 << 150 << "x" << 'x' << green;
    }

    void shows()
    {
        QFETCH(int, openId);
        QFETCH(int, newId);
        QFETCH(char, indepVariable);
        QFETCH(QColor, colour);
        EditDialog d(nullptr, "editdialog", true, openId, graph.get());
        if (newId >= 0) {
            QTest::keyClicks(d.functionBox, QStringLiteral("+1")); // the edits are discarded
            d.depVarBox->setCurrentIndex(1 - d.depVarBox->currentIndex());
            d.idBox->setValue(newId);
        }
        QTEST(d.getId(), "id");
        QTEST(d.getFunction(), "text");
        QCOMPARE(d.getIndepVariable(), indepVariable);
        QCOMPARE(d.depVarBox->currentText(), indepVariable == 'x' ? QStringLiteral("Y") : "X");
        QCOMPARE(d.getColor(), colour);
        QCOMPARE(d.colorButton->palette().color(QPalette::Button), colour);
    }

    // Each pick starts from the stored colour, not from an earlier pick; a
    // cancelled one keeps the colour chosen so far. Only the caller stores it.
    void colourPicks()
    {
        EditDialog d(nullptr, "editdialog", true, 0, graph.get());
        const int redraws = graph->getRedrawCount();
        QList<QColor> seeds, shown;
        const QColor red(255, 0, 0), picked(255, 200, 0), black(0, 0, 0), other(1, 2, 3);
        ModalScript script({mixColor(picked, true, &seeds), mixColor(other, false, &seeds),
                            mixColor(other, false, &seeds)});
        for (int id : {0, 0, 9}) {
            d.idBox->setValue(id);
            d.colorButton->click();
            shown << d.getColor() << d.colorButton->palette().color(QPalette::Button);
        }
        QCOMPARE(seeds, (QList<QColor>{red, red, black}));
        QCOMPARE(shown, (QList<QColor>{picked, picked, picked, picked, black, black}));
        QCOMPARE(graph->getFunctionColor(0), red);
        QCOMPARE(graph->getRedrawCount(), redraws + 3);
        QCOMPARE(script.unexpectedCount(), 0);
    }

    // "Ok" is the default button; the colour button is not, even with the focus
    // it keeps after a colour was chosen. Cancel, when aimed at, still cancels.
    void enterPressesOk_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("result");
        QTest::newRow("functionText") << "functionBox" << int(QDialog::Accepted);
        QTest::newRow("idBox") << "idBox" << int(QDialog::Accepted);
        QTest::newRow("colorButtonAfterPick") << "colorButton" << int(QDialog::Accepted);
        QTest::newRow("cancelButton") << "cancelButton" << int(QDialog::Rejected);
    }

    void enterPressesOk()
    {
        QFETCH(QString, focus);
        EditDialog d(nullptr, "editdialog", true, 0, graph.get());
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        ModalScript script({[](QWidget *w) { qobject_cast<QDialog *>(w)->accept(); }});
        QTest::mouseClick(d.colorButton, Qt::LeftButton);
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        d.findChild<QWidget *>(focus)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(script.unexpectedCount(), 0);
        QVERIFY(!d.isVisible());
        QTEST(d.result(), "result");
    }

    // A text that does not compile turns red with the engine's message; it is
    // still what the dialog hands on.
    void marksTextThatDoesNotCompile_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("variable");    // row of the variable box: 0 "Y", 1 "X"
        QTest::addColumn<QString>("message"); // empty: compiles
        QTest::newRow("compiles") << "sin(x)" << 0 << "";
        QTest::newRow("empty") << "" << 0 << "";
        QTest::newRow("referenceCompiles") << "f(0)*x" << 0 << "";
        QTest::newRow("unbalanced") << "sin(x" << 0 << "unmatched parentheses at character 5";
        QTest::newRow("otherVariable") << "2*y" << 0 << "undeclared parameter at character 3";
        QTest::newRow("otherVariableOfX") << "2*y" << 1 << "";
    }

    void marksTextThatDoesNotCompile()
    {
        QFETCH(QString, text);
        QFETCH(int, variable);
        QFETCH(QString, message);
        EditDialog d(nullptr, "editdialog", true, 7, graph.get());
        d.functionBox->setText(QStringLiteral("x")); // from a compiling text
        d.depVarBox->setCurrentIndex(variable);
        d.functionBox->setText(text);
        QCOMPARE(d.functionBox->toolTip(), message);
        QCOMPARE(d.functionBox->accessibleDescription(), message);
        QCOMPARE(d.functionBox->palette().color(QPalette::Text),
                 message.isEmpty() ? QApplication::palette().color(QPalette::Text)
                                   : QColor(Qt::red));
        QCOMPARE(d.getFunction(), text);
    }

private:
    std::unique_ptr<GraphWidget> graph;
};

QTEST_MAIN(tst_EditDialog)
#include "tst_editdialog.moc"
