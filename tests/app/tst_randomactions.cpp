// Drives the whole main window with random sequences of user actions (fixed
// seeds, so every failure replays) and checks after each action that the
// program is alive and that the selector and the function list agree.

#include "app/tavlo.h"
#include "dialogs/colordialog.h"
#include "dialogs/editdialog.h"
#include "dialogs/optionsdialog.h"
#include "model/function.h"
#include "plot/graphwidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
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
    QStringList history; // one line per action, with the random values it drew
    int answered = 0;    // modal dialogs the sequence answered

    bool chance(int n) { return rng.bounded(n) == 0; }
    template<class T, size_t N>
    const T &pick(const T (&items)[N])
    {
        return items[rng.bounded(int(N))];
    }
    QString noted(const QString &text)
    {
        history.last() += " '" + text + '\'';
        return text;
    }

    // Clicks `button`; the first modal widget that opens goes to `answer` if it
    // is a D and is dismissed otherwise. `answer` must close it.
    template<class D>
    void clickAndAnswer(QPushButton *button, void (Self::*answer)(D *))
    {
        QTimer poll; // dies with the click, so it never answers a later dialog
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget *top = QApplication::activeModalWidget();
            if (!top)
                return;
            poll.stop();
            ++answered;
            if (auto *d = qobject_cast<D *>(top))
                (this->*answer)(d);
            else if (auto *d = qobject_cast<QDialog *>(top))
                d->reject();
            else
                top->close();
        });
        poll.start(0);
        button->click();
    }

    // Printable ASCII, Latin-1, beyond Latin-1, and runs of operator characters.
    QString garbage()
    {
        static const int ranges[][2] = {{0x20, 0x5F}, {0xA0, 0x60}, {0x4E00, 0x100}};
        QString text;
        for (int n = rng.bounded(12); n > 0; --n) {
            const int k = rng.bounded(4);
            if (k == 3)
                text += QLatin1String("()*^E,.");
            else
                text += QChar(char16_t(ranges[k][0] + rng.bounded(ranges[k][1])));
        }
        return text;
    }

    QString formula()
    {
        static const char *const parts[] = {
            "x",    "y",    "sin(", "cos(",  "tan(x)",     ")",     "(",     "+",   "-",    "*",
            "/",    "^",    "**",   "2",     "0.5",        "1E3",   "1E-3",  "pi",  "pi()", "f(0)",
            "f(1)", "f(2)", "f(",   "rnd()", "atan2(x,1)", "sqrt(", "ln(x)", "1/x", " ",    "abs(",
        };
        QString text = chance(8) ? garbage() : QString();
        for (int n = text.isNull() ? 1 + rng.bounded(6) : 0; n > 0; --n)
            text += QLatin1String(pick(parts));
        return noted(text);
    }

    QString boundText()
    {
        static const char *const bounds[] = {"-5",     "5",  "2*pi()", "0",    "1e-30",
                                             "1E30",   "x",  "-",      "",     "3E38*10",
                                             "-1E-45", "10", "-10",    "0.001"};
        return noted(chance(4) ? garbage() : QLatin1String(pick(bounds)));
    }

    // Mostly inside the plot, sometimes on its edge rows and columns or outside.
    QPoint plotPoint()
    {
        const QPoint p(rng.bounded(-20, 260), rng.bounded(-20, 240));
        history.last() += QStringLiteral(" (%1,%2)").arg(p.x()).arg(p.y());
        return p;
    }

    // Press, `moves` moves, release.
    void drag(int moves)
    {
        QPoint p = plotPoint();
        auto mouse = [this, &p](QEvent::Type type) {
            QMouseEvent e(type, QPointF(p), QPointF(graph->mapToGlobal(p)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
            QApplication::sendEvent(graph, &e);
        };
        mouse(QEvent::MouseButtonPress);
        while (moves-- > 0) {
            p = plotPoint();
            mouse(QEvent::MouseMove);
        }
        mouse(QEvent::MouseButtonRelease);
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
        if (chance(4))
            return d->reject();
        for (QSlider *s : {d->redSlider, d->greenSlider, d->blueSlider})
            s->setValue(rng.bounded(256));
        d->okButton->click();
    }

    void answerOptions(OptionsDialog *d)
    {
        QTreeWidget *list = d->functionList;
        const std::function<void()> tools[] = {
            [&] {
                if (const int n = list->topLevelItemCount())
                    list->setCurrentItem(list->topLevelItem(rng.bounded(n)));
            },
            [&] { d->deleteButton->click(); },
            [&] { d->enabledBox->click(); },
            [&] {
                d->gridXText->setText(boundText());
                d->gridYText->setText(boundText());
            },
            [&] {
                d->xStepSpinBox->setValue(rng.bounded(-1, 12));
                d->yStepSpinBox->setValue(rng.bounded(-1, 12));
                d->gridCheckBox->click();
            },
            [&] { d->zoomStdButton->click(); },
            [&] { d->zoomBoxButton->click(); },
            [&] { d->findIntButton->click(); },
        };
        for (int n = 1 + rng.bounded(4); n > 0 && d->isVisible(); --n)
            pick(tools)();
        if (d->isVisible())
            d->reject();
    }

    void typeBound()
    {
        QLineEdit *field = pick({w->xMinText, w->xMaxText, w->yMinText, w->yMaxText});
        history.last() += ' ' + field->objectName();
        const QString text = boundText();
        if (chance(2)) {
            field->selectAll();
            field->insert(text); // one change, any characters
            return;
        }
        // One change per key; keys exist for ASCII only.
        field->clear();
        QTest::keyClicks(field,
                         QString(text).removeIf([](QChar c) { return c.unicode() >= 0x80; }));
        if (chance(3))
            QTest::keyClick(field, Qt::Key_Backspace);
    }

    void act()
    {
        // Repeated entries make the common actions more likely.
        const std::pair<const char *, std::function<void()>> actions[] = {
            {"type bound", [&] { typeBound(); }},
            {"type bound", [&] { typeBound(); }},
            {"type bound", [&] { typeBound(); }},
            {"New Func.", [&] { clickAndAnswer(w->addButton, &Self::answerEdit); }},
            {"New Func.", [&] { clickAndAnswer(w->addButton, &Self::answerEdit); }},
            {"New Func.", [&] { clickAndAnswer(w->addButton, &Self::answerEdit); }},
            {"Edit", [&] { clickAndAnswer(w->editButton, &Self::answerEdit); }},
            {"Edit", [&] { clickAndAnswer(w->editButton, &Self::answerEdit); }},
            {"Del.", [&] { w->deleteButton->click(); }},
            {"check box", [&] { w->fCheckBox->click(); }},
            {"selector key",
             [&] { QTest::keyClick(w->functionBox, chance(2) ? Qt::Key_Down : Qt::Key_Up); }},
            {"drag", [&] { drag(rng.bounded(5)); }}, // in zoom-box mode it picks the box
            {"zoom slider",
             [&] {
                 w->zoomSlider->setSliderDown(true);
                 w->zoomSlider->setValue(rng.bounded(100));
                 if (chance(2))
                     w->zoomSlider->setValue(rng.bounded(100));
                 w->zoomSlider->setSliderDown(false); // released: springs back
             }},
            {"zoom box", [&] { graph->zoom_box_slot(); }},
            {"intersection",
             [&] {
                 graph->activateFindingIntersection();
                 drag(0);
             }},
            {"grid and steps",
             [&] {
                 graph->change_grid_x(boundText());
                 graph->change_grid_y(boundText());
                 graph->setXStep(rng.bounded(-2, 12));
                 graph->setYStep(rng.bounded(-2, 12));
                 if (chance(3))
                     graph->toggle_grid();
                 if (chance(4))
                     graph->zoom_std_slot();
                 graph->drawGraphSlot();
             }},
            {"colour button", [&] { clickAndAnswer(w->fColorButton, &Self::answerColor); }},
            {"Options", [&] { clickAndAnswer(w->optionsButton, &Self::answerOptions); }},
        };
        const auto &action = pick(actions);
        history << QLatin1String(action.first);
        action.second();
    }

    // Row i of the selector shows the function whose stored selector index is i,
    // with its text; a function claims a missing row only when the selector is
    // full; the list's links agree in both directions.
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
        return {};
    }

private slots:
    // Preparation logs every function reference; thousands of lines say nothing here.
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false")); }

    void randomSequence_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 20; ++seed)
            QTest::addRow("seed%02u", seed) << seed;
    }

    void randomSequence()
    {
        QFETCH(quint32, seed);
        rng.seed(seed);
        history.clear();
        answered = 0;
        int mostFunctions = 0;
        w = std::make_unique<Tavlo>();
        graph = w->getGraph();
        w->show();
        for (int i = 0; i < 200; ++i) {
            act();
            const QString fault = check();
            if (!fault.isEmpty())
                QFAIL(qPrintable(QStringLiteral("after action %1: %2\nlast actions:\n  %3")
                                     .arg(i)
                                     .arg(fault, history.mid(qMax(0, history.size() - 8))
                                                     .join(QStringLiteral("\n  ")))));
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
