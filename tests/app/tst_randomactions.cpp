// Drives the main window's function actions and their dialogs with random
// sequences (fixed seeds, so every failure replays) and checks after each
// action that the program is alive and that the selector, its controls and the
// function list agree.

#include "app/tavlo.h"
#include "dialogs/editdialog.h"
#include "dialogs/optionsdialog.h"
#include "model/function.h"
#include "plot/graphwidget.h"

#include "../dialogs/modalscript.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

#include <memory>
#include <vector>

class tst_RandomActions : public QObject
{
    Q_OBJECT

    std::unique_ptr<Tavlo> w;
    GraphWidget *graph = nullptr;
    QRandomGenerator rng;
    int answered = 0; // modal dialogs the sequence answered

    bool chance(int n) { return rng.bounded(n) == 0; }

    // Clicks `button` and answers the modal dialog that opens: the edit dialog
    // with a random text and variable (and at times another id, which loads
    // that function or a blank form); the options dialog with deletions and
    // clicks of its Enabled box.
    void clickAndAnswer(QPushButton *button)
    {
        ModalScript script({[this](QWidget *top) {
            ++answered;
            if (auto *d = qobject_cast<EditDialog *>(top)) {
                if (chance(3))
                    d->idBox->setValue(rng.bounded(d->idBox->maximum() + 2));
                const QStringList tokens{"x", "y",  "sin(", ")",  "+",    "*",   "/",
                                         "^", "**", "2",    "pi", "f(0)", "f(1)"};
                QString text;
                for (int n = 1 + rng.bounded(6); n > 0; --n)
                    text += tokens[rng.bounded(int(tokens.size()))];
                d->functionBox->setText(text);
                d->depVarBox->setCurrentIndex(rng.bounded(2));
                (chance(6) ? d->cancelButton : d->okButton)->click();
            } else if (auto *o = qobject_cast<OptionsDialog *>(top)) {
                QTreeWidget *list = o->functionList;
                for (int n = rng.bounded(4); n > 0; --n) {
                    if (list->topLevelItemCount() && !chance(3))
                        list->setCurrentItem(
                            list->topLevelItem(rng.bounded(list->topLevelItemCount())));
                    (chance(2) ? static_cast<QAbstractButton *>(o->deleteButton) : o->enabledBox)
                        ->click();
                }
                o->reject();
            } else {
                top->close();
            }
        }});
        button->click();
    }

    void act()
    {
        const int action = rng.bounded(8); // New Func. the likeliest
        if (action < 4)
            clickAndAnswer(action < 3 ? w->addButton : w->editButton);
        else if (action == 4)
            w->deleteButton->click();
        else if (action == 5)
            w->fCheckBox->click();
        else if (action == 6)
            QTest::keyClick(w->functionBox, chance(2) ? Qt::Key_Down : Qt::Key_Up);
        else
            clickAndAnswer(w->optionsButton);
    }

    // Row i of the selector shows the function whose stored selector index is i,
    // with its text; a function claims a missing row only when the selector is
    // full; the list's links agree in both directions. The check box shows the
    // shown function.
    QString check() const
    {
        const QComboBox *box = w->functionBox;
        std::vector<const Function *> owner(box->count(), nullptr);
        const Function *prev = nullptr;
        for (const Function *f = graph->getFunctions(); f; prev = f, f = f->getNextFunction()) {
            const int row = f->getFBoxIndex();
            const QString id = QString::number(f->getId());
            if (f->getPrevFunction() != prev)
                return "broken links at function " + id;
            if (row < 0 || row >= box->count()) {
                if (box->count() < box->maxCount())
                    return QStringLiteral("function %1 claims missing row %2").arg(id).arg(row);
            } else if (owner[row]) {
                return QStringLiteral("row %1 belongs to two functions").arg(row);
            } else if (f->getString() != box->itemText(row)) {
                return QStringLiteral("row %1 shows other text than function %2").arg(row).arg(id);
            } else {
                owner[row] = f;
            }
        }
        for (int row = 0; row < box->count(); ++row)
            if (!owner[row])
                return QStringLiteral("row %1 belongs to no function").arg(row);
        const int shown = w->getShownFunction();
        if (graph->setActiveFunction(shown) &&
            w->fCheckBox->isChecked() != graph->getFunctionEnabled(shown))
            return QStringLiteral("the controls do not show function %1").arg(shown);
        return {};
    }

private slots:
    // Preparation logs every function reference; thousands of lines say nothing here.
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false")); }

    void randomSequence_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 10; ++seed)
            QTest::addRow("seed%02u", seed) << seed;
    }

    void randomSequence()
    {
        QFETCH(quint32, seed);
        rng.seed(seed);
        answered = 0;
        int mostFunctions = 0;
        w = std::make_unique<Tavlo>();
        graph = w->getGraph();
        w->show();
        for (int i = 0; i < 150; ++i) {
            act();
            const QString fault = check();
            if (!fault.isEmpty())
                QFAIL(qPrintable(QStringLiteral("after action %1: %2").arg(i).arg(fault)));
            mostFunctions = qMax(mostFunctions, w->functionBox->count());
        }
        w.reset();
        // The sequence really went through the dialogs and built up functions.
        QVERIFY(answered >= 20);
        QVERIFY(mostFunctions >= 3);
    }
};

QTEST_MAIN(tst_RandomActions)
#include "tst_randomactions.moc"
