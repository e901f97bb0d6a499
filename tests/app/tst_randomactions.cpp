// Drives the main window's function actions and their dialogs with random
// sequences (fixed seeds, so every failure replays) and checks after each
// action that the program is alive and that the selector, its controls and the
// function list agree.

#include "app/tavlo.h"
#include "dialogs/colordialog.h"
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
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <vector>

class tst_RandomActions : public QObject
{
    Q_OBJECT
    using Self = tst_RandomActions;

    std::unique_ptr<Tavlo> w;
    GraphWidget *graph = nullptr;
    QRandomGenerator rng;
    int answered = 0; // modal dialogs the sequence answered

    bool chance(int n) { return rng.bounded(n) == 0; }
    template<class T>
    T pick(std::initializer_list<T> items)
    {
        return items.begin()[rng.bounded(int(items.size()))];
    }

    // Clicks `button` and hands the modal dialog that opens to `answer` if it is
    // a D, else closes it. `answer` must close it.
    template<class D>
    void clickAndAnswer(QPushButton *button, void (Self::*answer)(D *))
    {
        ModalScript script({[this, answer](QWidget *top) {
            ++answered;
            if (auto *d = qobject_cast<D *>(top))
                (this->*answer)(d);
            else
                top->close();
        }});
        button->click();
    }

    QString formula()
    {
        QString text;
        for (int n = 1 + rng.bounded(6); n > 0; --n)
            text += QLatin1String(
                pick({"x",          "y",     "sin(",  "cos(", "tan(x)", ")",    "(",   "+",
                      "-",          "*",     "/",     "^",    "**",     "2",    "0.5", "1E3",
                      "1E-3",       "pi",    "pi()",  "f(0)", "f(1)",   "f(2)", "f(",  "rnd()",
                      "atan2(x,1)", "sqrt(", "ln(x)", "1/x",  " ",      "abs("}));
        return text;
    }

    void answerEdit(EditDialog *d)
    {
        // Another id loads that function (or a blank form) into the dialog.
        if (chance(3))
            d->idBox->setValue(rng.bounded(d->idBox->maximum() + 2));
        if (!chance(4))
            d->functionBox->setText(formula());
        d->depVarBox->setCurrentIndex(rng.bounded(2));
        (chance(6) ? d->cancelButton : d->okButton)->click();
    }

    void answerColor(ColorDialog *d)
    {
        for (QSlider *s : {d->redSlider, d->greenSlider, d->blueSlider})
            s->setValue(rng.bounded(256));
        chance(4) ? d->reject() : d->accept();
    }

    void answerOptions(OptionsDialog *d)
    {
        QTreeWidget *list = d->functionList;
        for (int n = rng.bounded(4); n > 0; --n) {
            if (list->topLevelItemCount() && !chance(3))
                list->setCurrentItem(list->topLevelItem(rng.bounded(list->topLevelItemCount())));
            pick<QAbstractButton *>({d->deleteButton, d->enabledBox})->click();
        }
        d->reject();
    }

    void act()
    {
        // Repeated entries make the common actions more likely.
        const std::function<void()> actions[] = {
            [&] { clickAndAnswer(w->addButton, &Self::answerEdit); },
            [&] { clickAndAnswer(w->addButton, &Self::answerEdit); },
            [&] { clickAndAnswer(w->addButton, &Self::answerEdit); },
            [&] { clickAndAnswer(w->editButton, &Self::answerEdit); },
            [&] { w->deleteButton->click(); },
            [&] { w->fCheckBox->click(); },
            [&] { QTest::keyClick(w->functionBox, chance(2) ? Qt::Key_Down : Qt::Key_Up); },
            [&] { clickAndAnswer(w->fColorButton, &Self::answerColor); },
            [&] { clickAndAnswer(w->optionsButton, &Self::answerOptions); },
        };
        actions[rng.bounded(int(std::size(actions)))]();
    }

    // Row i of the selector shows the function whose stored selector index is i,
    // with its text; a function claims a missing row only when the selector is
    // full; the list's links agree in both directions. The check box and the
    // colour button show the shown function.
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
            (w->fCheckBox->isChecked() != graph->getFunctionEnabled(shown) ||
             w->fColorButton->palette().color(QPalette::Button) != graph->getFunctionColor(shown)))
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
