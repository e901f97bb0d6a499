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
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>

class tst_RandomActions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void randomSequence_data();
    void randomSequence();

private:
    using Answer = std::function<void(QWidget *)>;

    void act();
    QString check() const;

    // Runs `action`; the first modal widget that comes up meanwhile (besides
    // one already up) goes to `answer`, which must close it.
    void withModal(const Answer &answer, const std::function<void()> &action);
    void pollModal(std::shared_ptr<bool> live, QPointer<QWidget> before, Answer answer);

    QString formula();
    QString garbage();
    QString boundText();
    QPoint plotPoint();
    void mouse(QEvent::Type type, const QPoint &p);

    void answerEdit(QWidget *w);
    void answerColor(QWidget *w);
    void answerOptions(QWidget *w);

    std::unique_ptr<Tavlo> w;
    GraphWidget *graph = nullptr;
    QRandomGenerator rng;
    QStringList history;
    int answered = 0;      // modal dialogs the sequence answered
    int mostFunctions = 0; // largest selector seen
};

namespace {

void reject(QWidget *w)
{
    if (auto *d = qobject_cast<QDialog *>(w))
        d->reject();
    else
        w->close();
}

} // namespace

void tst_RandomActions::initTestCase()
{
    // Preparation logs every function reference; thousands of lines say nothing here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
        if (type != QtDebugMsg)
            fprintf(stderr, "%s\n", qPrintable(msg));
    });
}

void tst_RandomActions::randomSequence_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 20; ++seed)
        QTest::addRow("seed%02u", seed) << seed;
}

void tst_RandomActions::randomSequence()
{
    QFETCH(quint32, seed);
    rng.seed(seed);
    history.clear();
    answered = 0;
    mostFunctions = 0;
    w = std::make_unique<Tavlo>();
    graph = w->getGraph();
    w->show();

    for (int i = 0; i < 200; ++i) {
        act();
        const QString fault = check();
        if (!fault.isEmpty()) {
            QFAIL(qPrintable(
                QStringLiteral("after action %1: %2\nlast actions:\n  %3")
                    .arg(i)
                    .arg(fault,
                         history.mid(qMax(0, history.size() - 8)).join(QStringLiteral("\n  ")))));
        }
        mostFunctions = qMax(mostFunctions, w->functionBox->count());
    }
    w.reset();
    // The sequence really went through the dialogs and built up functions.
    QVERIFY(answered >= 20);
    QVERIFY(mostFunctions >= 3);
}

// The selector's row i shows the function whose stored selector index is i,
// with its text; no function claims a row that is not there; the list's
// links agree in both directions.
QString tst_RandomActions::check() const
{
    const QComboBox *box = w->functionBox;
    const Function *prev = nullptr;
    for (const Function *f = graph->getFunctions(); f; f = f->getNextFunction()) {
        if (f->getPrevFunction() != prev)
            return QStringLiteral("broken links at function %1").arg(f->getId());
        if (f->getFBoxIndex() >= box->count() && box->count() < box->maxCount())
            return QStringLiteral("function %1 claims missing row %2")
                .arg(f->getId())
                .arg(f->getFBoxIndex());
        prev = f;
    }
    for (int row = 0; row < box->count(); ++row) {
        const Function *match = nullptr;
        int matches = 0;
        for (const Function *f = graph->getFunctions(); f; f = f->getNextFunction()) {
            if (f->getFBoxIndex() == row) {
                match = f;
                ++matches;
            }
        }
        if (matches != 1)
            return QStringLiteral("row %1 belongs to %2 functions").arg(row).arg(matches);
        if (match->getString() != box->itemText(row))
            return QStringLiteral("row %1 shows '%2', function %3 holds '%4'")
                .arg(row)
                .arg(box->itemText(row))
                .arg(match->getId())
                .arg(match->getString());
    }
    return {};
}

void tst_RandomActions::withModal(const Answer &answer, const std::function<void()> &action)
{
    auto live = std::make_shared<bool>(true);
    pollModal(live, QApplication::activeModalWidget(), answer);
    action();
    // An action that opened nothing must not leave its answer to a later dialog.
    *live = false;
}

void tst_RandomActions::pollModal(std::shared_ptr<bool> live, QPointer<QWidget> before,
                                  Answer answer)
{
    QTimer::singleShot(0, qApp, [this, live, before, answer] {
        if (!*live)
            return;
        QWidget *top = QApplication::activeModalWidget();
        if (top && top != before && top->isVisible()) {
            *live = false;
            ++answered;
            answer(top);
            return;
        }
        pollModal(live, before, answer);
    });
}

QString tst_RandomActions::formula()
{
    static const char *const parts[] = {
        "x",    "y",    "sin(", "cos(",  "tan(x)",     ")",     "(",     "+",   "-",    "*",
        "/",    "^",    "**",   "2",     "0.5",        "1E3",   "1E-3",  "pi",  "pi()", "f(0)",
        "f(1)", "f(2)", "f(",   "rnd()", "atan2(x,1)", "sqrt(", "ln(x)", "1/x", " ",    "abs(",
    };
    if (rng.bounded(8) == 0)
        return garbage();
    QString text;
    const int n = 1 + rng.bounded(6);
    for (int i = 0; i < n; ++i)
        text += QLatin1String(parts[rng.bounded(int(std::size(parts)))]);
    return text;
}

QString tst_RandomActions::garbage()
{
    QString text;
    const int n = rng.bounded(12);
    for (int i = 0; i < n; ++i) {
        switch (rng.bounded(4)) {
        case 0:
            text += QChar(char16_t(0x20 + rng.bounded(0x5F)));
            break;
        case 1:
            text += QChar(char16_t(0xA0 + rng.bounded(0x60))); // Latin-1
            break;
        case 2:
            text += QChar(char16_t(0x4E00 + rng.bounded(0x100))); // beyond Latin-1
            break;
        default:
            text += QLatin1String("()*^E,.");
            break;
        }
    }
    return text;
}

QString tst_RandomActions::boundText()
{
    static const char *const bounds[] = {"-5", "5", "2*pi()",  "0",      "1e-30", "1E30", "x",
                                         "-",  "",  "3E38*10", "-1E-45", "10",    "-10",  "0.001"};
    if (rng.bounded(4) == 0)
        return garbage();
    return QLatin1String(bounds[rng.bounded(int(std::size(bounds)))]);
}

// Mostly inside the plot, sometimes on its edge rows and columns or outside.
QPoint tst_RandomActions::plotPoint()
{
    return QPoint(rng.bounded(-20, 260), rng.bounded(-20, 240));
}

void tst_RandomActions::mouse(QEvent::Type type, const QPoint &p)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(p), QPointF(graph->mapToGlobal(p)), button, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(graph, &e);
}

void tst_RandomActions::answerEdit(QWidget *top)
{
    auto *d = qobject_cast<EditDialog *>(top);
    if (!d) {
        reject(top);
        return;
    }
    // Another id loads that function (or a blank form) into the dialog.
    if (rng.bounded(3) == 0)
        d->idBox->setValue(rng.bounded(d->idBox->maximum() + 2));
    if (rng.bounded(4) != 0)
        d->functionBox->setText(formula());
    d->depVarBox->setCurrentIndex(rng.bounded(2));
    if (rng.bounded(6) == 0)
        d->cancelButton->click();
    else
        d->okButton->click();
}

void tst_RandomActions::answerColor(QWidget *top)
{
    auto *d = qobject_cast<ColorDialog *>(top);
    if (!d || rng.bounded(4) == 0) {
        reject(top);
        return;
    }
    d->redSlider->setValue(rng.bounded(256));
    d->greenSlider->setValue(rng.bounded(256));
    d->blueSlider->setValue(rng.bounded(256));
    d->okButton->click();
}

void tst_RandomActions::answerOptions(QWidget *top)
{
    auto *d = qobject_cast<OptionsDialog *>(top);
    if (!d) {
        reject(top);
        return;
    }
    const int n = 1 + rng.bounded(4);
    for (int i = 0; i < n && d->isVisible(); ++i) {
        QTreeWidget *list = d->functionList;
        switch (rng.bounded(9)) {
        case 0:
        case 1:
            if (list->topLevelItemCount() > 0)
                list->setCurrentItem(list->topLevelItem(rng.bounded(list->topLevelItemCount())));
            break;
        case 2:
            d->deleteButton->click();
            break;
        case 3:
            d->enabledBox->click();
            break;
        case 4:
            d->gridXText->setText(boundText());
            d->gridYText->setText(boundText());
            break;
        case 5:
            d->xStepSpinBox->setValue(rng.bounded(-1, 12));
            d->yStepSpinBox->setValue(rng.bounded(-1, 12));
            d->gridCheckBox->click();
            break;
        case 6:
            d->zoomStdButton->click();
            break;
        case 7:
            d->zoomBoxButton->click();
            break;
        default:
            d->findIntButton->click();
            break;
        }
    }
    if (d->isVisible())
        d->reject();
}

void tst_RandomActions::act()
{
    switch (rng.bounded(18)) {
    case 0:
    case 1:
    case 2: {
        QLineEdit *fields[] = {w->xMinText, w->xMaxText, w->yMinText, w->yMaxText};
        QLineEdit *field = fields[rng.bounded(4)];
        const QString text = boundText();
        history << QStringLiteral("type '%1' into %2").arg(text, field->objectName());
        if (rng.bounded(2) == 0) {
            field->selectAll();
            field->insert(text); // one change, any characters
        } else {
            field->clear();
            // One change per key; keys exist for ASCII only.
            QString keys;
            for (QChar c : text) {
                if (c.unicode() < 0x80)
                    keys += c;
            }
            QTest::keyClicks(field, keys);
            if (rng.bounded(3) == 0)
                QTest::keyClick(field, Qt::Key_Backspace);
        }
        break;
    }
    case 3:
    case 4:
    case 5:
        history << QStringLiteral("New Func.");
        withModal([this](QWidget *top) { answerEdit(top); }, [this] { w->addButton->click(); });
        break;
    case 6:
    case 7:
        history << QStringLiteral("Edit");
        withModal([this](QWidget *top) { answerEdit(top); }, [this] { w->editButton->click(); });
        break;
    case 8:
        history << QStringLiteral("Del.");
        w->deleteButton->click();
        break;
    case 9:
        history << QStringLiteral("check box");
        w->fCheckBox->click();
        break;
    case 10:
        history << QStringLiteral("selector key");
        QTest::keyClick(w->functionBox, rng.bounded(2) ? Qt::Key_Down : Qt::Key_Up);
        break;
    case 11: {
        // A drag: press, a few moves, release. In zoom-box mode it picks the box.
        const QPoint start = plotPoint();
        history << QStringLiteral("drag from (%1,%2)").arg(start.x()).arg(start.y());
        mouse(QEvent::MouseButtonPress, start);
        const int moves = rng.bounded(5);
        QPoint p = start;
        for (int i = 0; i < moves; ++i) {
            p = plotPoint();
            mouse(QEvent::MouseMove, p);
        }
        mouse(QEvent::MouseButtonRelease, p);
        break;
    }
    case 12: {
        const int value = rng.bounded(100);
        history << QStringLiteral("zoom slider to %1").arg(value);
        w->zoomSlider->setSliderDown(true);
        w->zoomSlider->setValue(value);
        if (rng.bounded(2))
            w->zoomSlider->setValue(rng.bounded(100));
        w->zoomSlider->setSliderDown(false); // released: springs back
        break;
    }
    case 13:
        history << QStringLiteral("zoom box");
        graph->zoom_box_slot();
        break;
    case 14: {
        const QPoint p = plotPoint();
        history << QStringLiteral("intersection at (%1,%2)").arg(p.x()).arg(p.y());
        graph->activateFindingIntersection();
        mouse(QEvent::MouseButtonPress, p);
        mouse(QEvent::MouseButtonRelease, p);
        break;
    }
    case 15: {
        const QString gx = boundText();
        const QString gy = boundText();
        const int xs = rng.bounded(-2, 12);
        const int ys = rng.bounded(-2, 12);
        history << QStringLiteral("grid '%1' '%2', steps %3 %4").arg(gx, gy).arg(xs).arg(ys);
        graph->change_grid_x(gx);
        graph->change_grid_y(gy);
        graph->setXStep(xs);
        graph->setYStep(ys);
        if (rng.bounded(3) == 0)
            graph->toggle_grid();
        if (rng.bounded(4) == 0)
            graph->zoom_std_slot();
        graph->drawGraphSlot();
        break;
    }
    case 16:
        history << QStringLiteral("colour button");
        withModal([this](QWidget *top) { answerColor(top); }, [this] { w->fColorButton->click(); });
        break;
    default:
        history << QStringLiteral("Options");
        withModal([this](QWidget *top) { answerOptions(top); },
                  [this] { w->optionsButton->click(); });
        break;
    }
}

QTEST_MAIN(tst_RandomActions)
#include "tst_randomactions.moc"
