#include "app/tavlo.h"
#include "dialogs/colordialog.h"
#include "dialogs/editdialog.h"
#include "dialogs/optionsdialog.h"
#include "model/function.h"
#include "model/numbertext.h"
#include "plot/graphwidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

const QColor red(255, 0, 0);
const QColor blue(0, 0, 255);

// Runs `answer` on the modal dialog of type D once its loop is up. If it never
// appears, whatever modal dialog is up is rejected so the test cannot hang.
template<class D>
void answerModal(std::function<void(D *)> answer, int tries = 200)
{
    QTimer::singleShot(0, qApp, [answer, tries] {
        QWidget *top = QApplication::activeModalWidget();
        if (auto *d = qobject_cast<D *>(top)) {
            answer(d);
        } else if (tries > 0) {
            answerModal<D>(answer, tries - 1);
        } else {
            qWarning("expected modal dialog did not appear");
            if (auto *d = qobject_cast<QDialog *>(top))
                d->reject();
        }
    });
}

// Fills the edit dialog opened by `button` with `text` and colour `c`, then
// presses OK (or Cancel). id < 0 keeps the offered id. Returns the plot's redraw
// count just before the dialog was closed.
int addOrEdit(QPushButton *button, const QString &text, const QColor &c, int id = -1,
              bool accept = true)
{
    GraphWidget *graph = static_cast<Tavlo *>(button->window())->getGraph();
    auto atClose = std::make_shared<int>(-1);
    answerModal<EditDialog>([=](EditDialog *d) {
        if (id >= 0)
            d->idBox->setValue(id);
        d->functionBox->clear();
        QTest::keyClicks(d->functionBox, text);
        answerModal<ColorDialog>([c](ColorDialog *cd) {
            cd->redSlider->setValue(c.red());
            cd->greenSlider->setValue(c.green());
            cd->blueSlider->setValue(c.blue());
            QTest::mouseClick(cd->okButton, Qt::LeftButton);
        });
        QTest::mouseClick(d->colorButton, Qt::LeftButton);
        *atClose = graph->getRedrawCount();
        QTest::mouseClick(accept ? d->okButton : d->cancelButton, Qt::LeftButton);
    });
    QTest::mouseClick(button, Qt::LeftButton);
    return *atClose;
}

int countPixels(const QImage &img, const QColor &c)
{
    const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
    const auto *p = reinterpret_cast<const QRgb *>(rgb.constBits());
    return int(std::count(p, p + rgb.width() * rgb.height(), c.rgb()));
}

// Every selector row names the function whose stored index is that row, in
// list order, with the function's text. The selector holds 100 rows; functions
// beyond them still get the index of the row they would have.
void verifySelector(Tavlo &w)
{
    int row = 0;
    for (Function *f = w.getGraph()->getFunctions(); f; f = f->getNextFunction(), ++row) {
        QCOMPARE(f->getFBoxIndex(), row);
        if (row < 100)
            QCOMPARE(w.functionBox->itemText(row), f->getString());
    }
    QCOMPARE(w.functionBox->count(), qMin(row, 100));
}

} // namespace

class tst_Tavlo : public QObject
{
    Q_OBJECT

    std::unique_ptr<Tavlo> w;
    GraphWidget *graph = nullptr;

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void init()
    {
        w = std::make_unique<Tavlo>(nullptr, nullptr, Qt::WindowFlags());
        graph = w->getGraph();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        graph->drawGraphSlot(); // the first redraw publishes the bounds
    }

    void windowIsFixed()
    {
        QCOMPARE(w->minimumSize(), QSize(240, 300));
        QCOMPARE(w->maximumSize(), QSize(240, 300));
        QCOMPARE(w->windowTitle(), QStringLiteral("Tavlo! Mossa 1.1.0"));
    }

    // One widget per font family the form uses.
    void form_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("text");
        QTest::newRow("adobeHelvetica")
            << "addButton" << QRect(20, 267, 60, 18) << "adobe-helvetica"
            << "New Func.";
        QTest::newRow("adobeTimes") << "TextLabel1" << QRect(24, 240, 26, 10) << "adobe-times"
                                    << "x-min";
        QTest::newRow("helvetica") << "deleteButton" << QRect(203, 222, 30, 18) << "helvetica"
                                   << "Del.";
    }

    void form()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, family);
        QFETCH(QString, text);
        auto *widget = w->findChild<QWidget *>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), geometry);
        QCOMPARE(widget->property("text").toString(), text);
        // Whatever became of the widget's font, an application font change puts
        // the form's own back.
        for (int pass = 0; pass < 2; ++pass) {
            QCOMPARE(widget->font().family(), family);
            QCOMPARE(widget->font().pointSize(), 10);
            widget->setFont(QFont(QStringLiteral("courier"), 17));
            QEvent change(QEvent::ApplicationFontChange);
            QCoreApplication::sendEvent(w.get(), &change);
        }
    }

    void newFuncAddsAndIdChoiceEdits()
    {
        QCOMPARE(countPixels(graph->picture(), red), 0);
        QSignalSpy edited(w.get(), &Tavlo::functionEdited);
        addOrEdit(w->addButton, QStringLiteral("sin(x)"), red);
        QCOMPARE(edited.count(), 1);
        QCOMPARE(graph->getFunctionString(0), QStringLiteral("sin(x)"));
        QCOMPARE(w->getShownFunction(), 0);
        QCOMPARE(w->functionBox->currentText(), QStringLiteral("sin(x)"));
        QCOMPARE(w->fColorButton->palette().color(QPalette::Button), red);
        QVERIFY(countPixels(graph->picture(), red) > 100);

        // "New Func." offers id 2; the user turns it to 0 and so edits function 0.
        addOrEdit(w->addButton, QStringLiteral("2*x"), blue);
        addOrEdit(w->addButton, QStringLiteral("cos(x)"), QColor(0, 128, 0), 0);
        QCOMPARE(w->functionBox->count(), 2);
        QCOMPARE(graph->getFunctionString(0), QStringLiteral("cos(x)"));
        QCOMPARE(graph->getFunctionColor(0), QColor(0, 128, 0));
        QCOMPARE(graph->getFunctionString(1), QStringLiteral("2*x"));
        QCOMPARE(w->getShownFunction(), 0);
        QCOMPARE(w->functionBox->currentIndex(), 0);
        verifySelector(*w);

        // A text that does not compile is stored as typed; its row says why.
        addOrEdit(w->addButton, QStringLiteral("2x"), blue, 1);
        QCOMPARE(graph->getFunctionString(1), QStringLiteral("2x"));
        for (int role : {Qt::ToolTipRole, Qt::AccessibleDescriptionRole})
            QCOMPARE(w->functionBox->itemData(1, role).toString(),
                     QStringLiteral("Function 1: Y = 2x\nsyntax error at character 1"));
        QCOMPARE(w->functionBox->itemData(0, Qt::ToolTipRole).toString(), QString());
    }

    void cancelChangesNothing_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("newFunc") << "addButton";
        QTest::newRow("edit") << "editButton";
    }

    void cancelChangesNothing()
    {
        QFETCH(QString, button);
        addOrEdit(w->addButton, QStringLiteral("x"), red);
        QSignalSpy edited(w.get(), &Tavlo::functionEdited);
        const int atClose =
            addOrEdit(w->findChild<QPushButton *>(button), QStringLiteral("3*x"), blue, -1, false);
        QCOMPARE(edited.count(), 1);
        QCOMPARE(graph->getRedrawCount(), atClose + 1);
        QCOMPARE(graph->getFunctionString(0), QStringLiteral("x"));
        QCOMPARE(graph->getFunctionColor(0), red);
        QCOMPARE(graph->getFunctions()->getNextFunction(), nullptr);
        QCOMPARE(w->functionBox->count(), 1);
    }

    void selectorFollowsAddEditDelete()
    {
        for (const char *t : {"x", "2*x", "3*x", "4*x"}) {
            addOrEdit(w->addButton, QString::fromLatin1(t), red);
            verifySelector(*w);
        }
        // Show row 1 and delete it: the rows after it move up and the first
        // function is shown.
        emit w->functionBox->activated(1);
        QCOMPARE(w->getShownFunction(), 1);
        QTest::mouseClick(w->deleteButton, Qt::LeftButton);
        verifySelector(*w);
        QCOMPARE(w->getShownFunction(), 0);

        emit w->functionBox->activated(2);
        QCOMPARE(w->getShownFunction(), 3);
        addOrEdit(w->editButton, QStringLiteral("5*x"), red);
        verifySelector(*w);
        QCOMPARE(w->functionBox->itemText(2), QStringLiteral("5*x"));
        QCOMPARE(w->functionBox->currentIndex(), 2);

        // Deleting the last one empties the selector and the plot.
        for (int left = 3; left > 0; --left) {
            QCOMPARE(w->functionBox->count(), left);
            const int redraws = graph->getRedrawCount();
            QTest::mouseClick(w->deleteButton, Qt::LeftButton);
            QCOMPARE(graph->getRedrawCount(), redraws + 1);
            verifySelector(*w);
        }
        QCOMPARE(graph->getFunctions(), nullptr);
        QCOMPARE(countPixels(graph->picture(), red), 0);
        // Nothing left to act on: these do nothing.
        const int redraws = graph->getRedrawCount();
        QTest::mouseClick(w->deleteButton, Qt::LeftButton);
        QTest::mouseClick(w->fCheckBox, Qt::LeftButton);
        QCOMPARE(graph->getRedrawCount(), redraws);
    }

    void selectorHoldsHundredRows()
    {
        for (int id = 0; id < 101; ++id)
            graph->addFunction(id, QString::number(id), 'x', red);
        w->fBoxMake();
        verifySelector(*w);
        QCOMPARE(w->functionBox->count(), 100);
        // The 101st function has no row to be shown in, but deleting it by its
        // index removes it and no other.
        w->setShownFunction(7);
        QMetaObject::invokeMethod(w.get(), "functionChange", Q_ARG(int, 100));
        QCOMPARE(w->getShownFunction(), 7);
        graph->deleteFunctionFBoxIndex(100);
        QVERIFY(!graph->setActiveFunction(100));
        int left = 0;
        for (Function *f = graph->getFunctions(); f; f = f->getNextFunction())
            left += f->getId() < 100;
        QCOMPARE(left, 100);
    }

    void colourButton_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("accepted") << true << QColor(255, 10, 0);
        QTest::newRow("cancelledKeepsColour") << false << red;
    }

    void colourButton()
    {
        QFETCH(bool, accept);
        QFETCH(QColor, expected);
        addOrEdit(w->addButton, QStringLiteral("sin(x)"), red);
        const int redraws = graph->getRedrawCount();

        QColor seed;
        answerModal<ColorDialog>([&seed, accept](ColorDialog *cd) {
            seed = cd->getColor();
            cd->greenSlider->setValue(10);
            if (accept)
                QTest::mouseClick(cd->okButton, Qt::LeftButton);
            else
                QTest::keyClick(cd, Qt::Key_Escape);
        });
        QTest::mouseClick(w->fColorButton, Qt::LeftButton);

        QCOMPARE(seed, red);
        QCOMPARE(graph->getFunctionColor(0), expected);
        QCOMPARE(w->fColorButton->palette().color(QPalette::Button), expected);
        QCOMPARE(graph->getRedrawCount(), redraws + 1);
        QVERIFY(countPixels(graph->picture(), expected) > 0);
    }

    void publicationRedrawsOnce()
    {
        // Bring the shared counter to 0 with publications that change one field.
        for (int i = 1; Tavlo::getTrys() != 0 && i < 8; ++i) {
            graph->change_x_min(QString::number(-10 - i));
            graph->showBounds();
        }
        QCOMPARE(Tavlo::getTrys(), 0);

        graph->change_x_min(QStringLiteral("-3"));
        graph->change_x_max(QStringLiteral("3"));
        graph->change_y_min(QStringLiteral("-2"));
        graph->change_y_max(QStringLiteral("2"));
        const int redraws = graph->getRedrawCount();
        graph->showBounds();
        QCOMPARE(graph->getRedrawCount(), redraws + 1);
        QCOMPARE(Tavlo::getTrys(), 0);
        QCOMPARE(w->xMinText->text(), QStringLiteral("-3"));
        QCOMPARE(w->yMaxText->text(), QStringLiteral("2"));
    }

    // Each field is wired on its own, so each one is typed into.
    void typedBoundRedrawsAtOnce()
    {
        for (QLineEdit *e : {w->xMinText, w->xMaxText, w->yMinText, w->yMaxText}) {
            e->selectAll();
            const int redraws = graph->getRedrawCount();
            QTest::keyClicks(e, e == w->xMinText || e == w->yMinText ? "1" : "5");
            QCOMPARE(graph->getRedrawCount(), redraws + 1);
        }
        QCOMPARE(graph->getXMin(), 1.0f);
        QCOMPARE(graph->getXMax(), 5.0f);
        QCOMPARE(graph->getYMin(), 1.0f);
        QCOMPARE(graph->getYMax(), 5.0f);
    }

    void zoomSliderSpringsBack_data()
    {
        QTest::addColumn<QString>("start"); // bounds of both axes; empty: the standard ones
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("drags");
        QTest::addColumn<QString>("min");
        QTest::addColumn<QString>("max");
        QTest::newRow("zoomIn") << "" << 75 << 1 << "-5"
                                << "5";
        QTest::newRow("zoomOut") << "" << 25 << 1 << "-15"
                                 << "15";
        // The texts written back have the C library's small e, and read back.
        QTest::newRow("zoomInThreeTimes") << "" << 99 << 3 << "-7.99997e-05"
                                          << "7.99997e-05";
        // Six digits would write "5" twice: the bounds keep apart with more.
        QTest::newRow("zoomInThreeTimesAtFive") << "4.9 5.1" << 99 << 3 << "4.999999"
                                                << "5.000001";
    }

    void zoomSliderSpringsBack()
    {
        QFETCH(QString, start);
        QFETCH(int, target);
        QFETCH(int, drags);
        QFETCH(QString, min);
        QFETCH(QString, max);
        if (!start.isEmpty()) {
            const QStringList b = start.split(QLatin1Char(' '));
            w->xMinText->setText(b[0]);
            w->yMinText->setText(b[0]);
            w->xMaxText->setText(b[1]);
            w->yMaxText->setText(b[1]);
        }
        QSlider *s = w->zoomSlider;
        const int step = target >= 50 ? 1 : -1;
        for (int drag = 0; drag < drags; ++drag) {
            const int redraws = graph->getRedrawCount();
            s->setSliderDown(true);
            for (int v = 50; v != target; v += step)
                s->setSliderPosition(v + step); // each position reaches the plot at once
            QCOMPARE(graph->getRedrawCount(), redraws + qAbs(target - 50));
            s->setSliderDown(false); // release: the bounds are published, the slider springs back
            QCOMPARE(s->value(), 50);
            QCOMPARE(graph->zoomOffset, 0.0f);
        }
        for (QLineEdit *e : {w->xMinText, w->yMinText})
            QCOMPARE(e->text(), min);
        for (QLineEdit *e : {w->xMaxText, w->yMaxText})
            QCOMPARE(e->text(), max);
        for (QLineEdit *e : {w->xMinText, w->xMaxText, w->yMinText, w->yMaxText})
            QCOMPARE(e->cursorPosition(), 0); // the beginning shows
        QCOMPARE(graph->getXMin(), min.toFloat());
        QCOMPARE(graph->getXMax(), max.toFloat());
        QCOMPARE(graph->getYMin(), min.toFloat());
        QVERIFY(graph->getXMin() < graph->getXMax());
        // Drawn: two lines (the axes, or the grid at 5) cross the plot.
        QVERIFY(countPixels(graph->picture(), Qt::white) <= 232 * 216 - (232 + 216 - 1));
    }

    void optionsDialog_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("zoomBox") << "zoomBoxButton";
        QTest::newRow("zoomStd") << "zoomStdButton";
        QTest::newRow("intersection") << "findIntButton";
    }

    // The grid and step tools reach the plot while the dialog stays open; each
    // plot action arms or applies its tool and closes the dialog, and afterwards
    // the first function is the shown one.
    void optionsDialog()
    {
        QFETCH(QString, button);
        graph->addFunction(0, QStringLiteral("x"), 'x', red);
        graph->addFunction(1, QStringLiteral("-x"), 'x', red);
        w->setShownFunction(1);
        w->xMinText->setText(QStringLiteral("-3"));

        QList<float> whileOpen; // grid x, grid y, grid shown, x step, y step
        bool closed = false;
        answerModal<OptionsDialog>([&](OptionsDialog *d) {
            d->gridXText->setText(QStringLiteral("0.5"));
            d->gridYText->setText(QStringLiteral("2*2"));
            QTest::mouseClick(d->gridCheckBox, Qt::LeftButton);
            d->xStepSpinBox->setValue(1);
            d->yStepSpinBox->setValue(7);
            whileOpen = {graph->getGridX(), graph->getGridY(), float(graph->getGridEnabled()),
                         float(graph->getXStep()), float(graph->getYStep())};
            QTest::mouseClick(d->findChild<QPushButton *>(button), Qt::LeftButton);
            closed = !d->isVisible();
            if (!closed)
                d->reject();
        });
        QTest::mouseClick(w->optionsButton, Qt::LeftButton);

        QCOMPARE(whileOpen, QList<float>({0.5f, 4.0f, 0.0f, 1.0f, 7.0f}));
        QVERIFY(closed);
        QCOMPARE(w->getShownFunction(), 0);
        QCOMPARE(graph->getZoomBoxMode(), button == QLatin1String("zoomBoxButton"));
        QCOMPARE(graph->getFindingIntersection(), button == QLatin1String("findIntButton"));
        const float xMin = button == QLatin1String("zoomStdButton") ? -10.0f : -3.0f;
        QCOMPARE(graph->getXMin(), xMin);
        QCOMPARE(w->xMinText->text(), formatNumber(xMin));
    }
};

QTEST_MAIN(tst_Tavlo)
#include "tst_tavlo.moc"
