#include "app/tavlo.h"
#include "dialogs/colordialog.h"
#include "dialogs/editdialog.h"
#include "dialogs/optionsdialog.h"
#include "model/function.h"
#include "plot/graphwidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

class tst_Tavlo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void form_data();
    void form();
    void windowIsFixed();

    void newFuncDrawsCurve();
    void changingIdInDialogEditsExisting();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void deleteOnlyFunctionEmptiesSelector();
    void selectorRowsMatchStoredIndexes();
    void selectorHoldsHundredRows();
    void colourButton_data();
    void colourButton();

    void publicationRedrawsOnce();
    void typedBoundRedrawsAtOnce_data();
    void typedBoundRedrawsAtOnce();
    void zoomSliderSpringsBack_data();
    void zoomSliderSpringsBack();

    void optionsPlotActionsClose_data();
    void optionsPlotActionsClose();
    void optionsToolsActWhileOpen();

private:
    std::unique_ptr<Tavlo> w;
    GraphWidget *graph = nullptr;
};

namespace {

const QColor red(255, 0, 0);

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

// Picks `c` in the edit dialog's colour dialog and accepts it.
void pickColour(EditDialog *d, const QColor &c)
{
    answerModal<ColorDialog>([c](ColorDialog *cd) {
        cd->redSlider->setValue(c.red());
        cd->greenSlider->setValue(c.green());
        cd->blueSlider->setValue(c.blue());
        QTest::mouseClick(cd->okButton, Qt::LeftButton);
    });
    QTest::mouseClick(d->colorButton, Qt::LeftButton);
}

// Fills the edit dialog opened by `button` and accepts it. id < 0 keeps the
// offered id.
void addOrEdit(QPushButton *button, const QString &text, const QColor &c, int id = -1)
{
    answerModal<EditDialog>([=](EditDialog *d) {
        if (id >= 0)
            d->idBox->setValue(id);
        d->functionBox->clear();
        QTest::keyClicks(d->functionBox, text);
        pickColour(d, c);
        QTest::mouseClick(d->okButton, Qt::LeftButton);
    });
    QTest::mouseClick(button, Qt::LeftButton);
}

int countPixels(const QImage &img, const QColor &c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixelColor(x, y) == c;
    return n;
}

// Every selector row names the function whose stored index is that row, in
// list order, with the function's text.
void verifySelector(Tavlo &w)
{
    GraphWidget *g = w.getGraph();
    int row = 0;
    for (Function *f = g->getFunctions(); f; f = f->getNextFunction(), ++row) {
        QCOMPARE(f->getFBoxIndex(), row);
        QCOMPARE(w.functionBox->itemText(row), f->getString());
    }
    QCOMPARE(w.functionBox->count(), row);
}

} // namespace

void tst_Tavlo::initTestCase()
{
    QApplication::setStyle(QStringLiteral("Fusion"));
}

void tst_Tavlo::init()
{
    w = std::make_unique<Tavlo>(nullptr, nullptr, Qt::WindowFlags());
    graph = w->getGraph();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    graph->drawGraphSlot(); // the first redraw publishes the bounds
}

void tst_Tavlo::cleanup()
{
    w.reset();
    graph = nullptr;
}

void tst_Tavlo::form_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("family"); // empty: the default font
    QTest::addColumn<QString>("text");   // null: no text property checked
    QTest::addColumn<bool>("fontChange");

    struct Row
    {
        const char *name;
        QRect geometry;
        const char *family;
        const char *text;
    };
    const Row rows[] = {
        {"yMinText", {124, 250, 48, 14}, "adobe-helvetica", nullptr},
        {"TextLabel1", {24, 240, 26, 10}, "adobe-times", "x-min"},
        {"optionsButton", {160, 267, 60, 18}, "adobe-helvetica", "Options"},
        {"fCheckBox", {39, 224, 16, 16}, "", ""},
        {"addButton", {20, 267, 60, 18}, "adobe-helvetica", "New Func."},
        {"deleteButton", {203, 222, 30, 18}, "helvetica", "Del."},
        {"editButton", {6, 222, 30, 18}, "helvetica", "Edit"},
        {"functionBox", {55, 222, 130, 20}, "adobe-helvetica", nullptr},
        {"zoomSlider", {85, 275, 70, 12}, "", nullptr},
    };
    for (bool fontChange : {false, true}) {
        for (const Row &r : rows) {
            if (fontChange && !*r.family)
                continue;
            QTest::addRow("%s%s", r.name, fontChange ? "AfterFontChange" : "")
                << QString::fromLatin1(r.name) << r.geometry << QString::fromLatin1(r.family)
                << (r.text ? QString::fromLatin1(r.text) : QString()) << fontChange;
        }
    }
}

void tst_Tavlo::form()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, family);
    QFETCH(QString, text);
    QFETCH(bool, fontChange);

    auto *widget = w->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), geometry);
    if (fontChange) {
        // Whatever became of the widget's font, the form puts its own back.
        widget->setFont(QFont(QStringLiteral("courier"), 17));
        QEvent change(QEvent::ApplicationFontChange);
        QCoreApplication::sendEvent(w.get(), &change);
    }
    if (!family.isEmpty()) {
        QCOMPARE(widget->font().family(), family);
        QCOMPARE(widget->font().pointSize(), 10);
    }
    if (!text.isNull())
        QCOMPARE(widget->property("text").toString(), text);
}

void tst_Tavlo::windowIsFixed()
{
    QCOMPARE(w->size(), QSize(240, 300));
    QCOMPARE(w->minimumSize(), QSize(240, 300));
    QCOMPARE(w->maximumSize(), QSize(240, 300));
    QCOMPARE(w->windowTitle(), QStringLiteral("Tavlo! Mossa 1.1.0"));
}

void tst_Tavlo::newFuncDrawsCurve()
{
    QCOMPARE(countPixels(graph->picture(), red), 0);
    QSignalSpy edited(w.get(), &Tavlo::functionEdited);
    addOrEdit(w->addButton, QStringLiteral("sin(x)"), red);

    QCOMPARE(edited.count(), 1);
    QVERIFY(graph->getFunctions());
    QCOMPARE(graph->getFunctions()->getString(), QStringLiteral("sin(x)"));
    QCOMPARE(graph->getFunctions()->getId(), 0);
    QCOMPARE(w->getShownFunction(), 0);
    QCOMPARE(w->functionBox->currentText(), QStringLiteral("sin(x)"));
    QCOMPARE(w->fColorButton->palette().color(QPalette::Button), red);
    QVERIFY(countPixels(graph->picture(), red) > 100);
    verifySelector(*w);
}

void tst_Tavlo::changingIdInDialogEditsExisting()
{
    addOrEdit(w->addButton, QStringLiteral("x"), red);
    addOrEdit(w->addButton, QStringLiteral("2*x"), QColor(0, 0, 255));
    QCOMPARE(graph->getNumberOfFunctions(), 2);

    // "New Func." offers id 2; the user turns it to 0 and so edits function 0.
    addOrEdit(w->addButton, QStringLiteral("cos(x)"), QColor(0, 128, 0), 0);
    QCOMPARE(w->functionBox->count(), 2);
    QCOMPARE(graph->getFunctionString(0), QStringLiteral("cos(x)"));
    QCOMPARE(graph->getFunctionColor(0), QColor(0, 128, 0));
    QCOMPARE(graph->getFunctionString(1), QStringLiteral("2*x"));
    QCOMPARE(w->getShownFunction(), 0);
    QCOMPARE(w->functionBox->currentIndex(), 0);
    verifySelector(*w);
}

void tst_Tavlo::cancelChangesNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::addRow("newFunc") << "addButton";
    QTest::addRow("edit") << "editButton";
}

void tst_Tavlo::cancelChangesNothing()
{
    QFETCH(QString, button);
    addOrEdit(w->addButton, QStringLiteral("x"), red);
    QSignalSpy edited(w.get(), &Tavlo::functionEdited);
    const int redraws = graph->getRedrawCount();

    answerModal<EditDialog>([](EditDialog *d) {
        d->functionBox->clear();
        QTest::keyClicks(d->functionBox, QStringLiteral("3*x"));
        pickColour(d, QColor(0, 0, 255));
        QTest::mouseClick(d->cancelButton, Qt::LeftButton);
    });
    QTest::mouseClick(w->findChild<QPushButton *>(button), Qt::LeftButton);

    QCOMPARE(edited.count(), 1);
    QVERIFY(graph->getRedrawCount() > redraws);
    QCOMPARE(graph->getFunctionString(0), QStringLiteral("x"));
    QCOMPARE(graph->getFunctionColor(0), red);
    QCOMPARE(graph->getFunctions()->getNextFunction(), nullptr);
    QCOMPARE(w->functionBox->count(), 1);
}

void tst_Tavlo::deleteOnlyFunctionEmptiesSelector()
{
    addOrEdit(w->addButton, QStringLiteral("sin(x)"), red);
    QVERIFY(countPixels(graph->picture(), red) > 0);
    const int redraws = graph->getRedrawCount();

    QTest::mouseClick(w->deleteButton, Qt::LeftButton);
    QCOMPARE(graph->getFunctions(), nullptr);
    QCOMPARE(w->functionBox->count(), 0);
    QCOMPARE(graph->getRedrawCount(), redraws + 1);
    QCOMPARE(countPixels(graph->picture(), red), 0);

    // Nothing left to act on: these do nothing.
    QTest::mouseClick(w->deleteButton, Qt::LeftButton);
    QTest::mouseClick(w->fCheckBox, Qt::LeftButton);
    QCOMPARE(graph->getRedrawCount(), redraws + 1);
}

void tst_Tavlo::selectorRowsMatchStoredIndexes()
{
    const QStringList texts = {QStringLiteral("x"), QStringLiteral("2*x"), QStringLiteral("3*x"),
                               QStringLiteral("4*x")};
    for (const QString &t : texts) {
        addOrEdit(w->addButton, t, red);
        verifySelector(*w);
    }
    // Show row 1 and delete it: the rows after it move up.
    emit w->functionBox->activated(1);
    QCOMPARE(w->getShownFunction(), 1);
    QTest::mouseClick(w->deleteButton, Qt::LeftButton);
    verifySelector(*w);
    QCOMPARE(w->functionBox->count(), 3);
    QCOMPARE(w->getShownFunction(), 0); // the first function is shown after a delete

    // Edit the last one through "Edit" after showing it.
    emit w->functionBox->activated(2);
    QCOMPARE(w->getShownFunction(), 3);
    addOrEdit(w->editButton, QStringLiteral("5*x"), red);
    verifySelector(*w);
    QCOMPARE(w->functionBox->itemText(2), QStringLiteral("5*x"));
    QCOMPARE(w->functionBox->currentIndex(), 2);
}

void tst_Tavlo::selectorHoldsHundredRows()
{
    for (int id = 0; id < 101; ++id)
        graph->addFunction(id, QString::number(id), 'x', red);
    w->fBoxMake();
    QCOMPARE(w->functionBox->count(), 100);
    int row = 0;
    for (Function *f = graph->getFunctions(); f; f = f->getNextFunction(), ++row) {
        QCOMPARE(f->getFBoxIndex(), row);
        if (row < 100)
            QCOMPARE(w->functionBox->itemText(row), f->getString());
    }
    QCOMPARE(graph->findFunctionFBoxIndex(99), 99);
    // The 101st function has no row to be shown in, but deleting it by its
    // index removes it and no other.
    w->setShownFunction(7);
    QMetaObject::invokeMethod(w.get(), "functionChange", Q_ARG(int, 100));
    QCOMPARE(w->getShownFunction(), 7);
    graph->deleteFunctionFBoxIndex(100);
    QVERIFY(!graph->setActiveFunction(100));
    QVERIFY(graph->setActiveFunction(99));
}

void tst_Tavlo::colourButton_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QColor>("expected");
    QTest::addRow("accepted") << true << QColor(255, 10, 0);
    QTest::addRow("cancelledKeepsColour") << false << red;
}

void tst_Tavlo::colourButton()
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

void tst_Tavlo::publicationRedrawsOnce()
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

void tst_Tavlo::typedBoundRedrawsAtOnce_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("bound"); // 0 xMin, 1 xMax, 2 yMin, 3 yMax
    QTest::addColumn<float>("value");
    QTest::addRow("xMax") << "xMaxText"
                          << "5" << 1 << 5.0f;
    QTest::addRow("yMin") << "yMinText"
                          << "1" << 2 << 1.0f;
}

void tst_Tavlo::typedBoundRedrawsAtOnce()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(int, bound);
    QFETCH(float, value);

    auto *edit = w->findChild<QLineEdit *>(field);
    QVERIFY(edit);
    edit->selectAll();
    const int redraws = graph->getRedrawCount();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), typed);
    QCOMPARE(graph->getRedrawCount(), redraws + 1);
    const float bounds[] = {graph->getXMin(), graph->getXMax(), graph->getYMin(), graph->getYMax()};
    QCOMPARE(bounds[bound], value);
}

void tst_Tavlo::zoomSliderSpringsBack_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("min");
    QTest::addColumn<QString>("max");
    QTest::addRow("zoomIn") << 75 << "-5"
                            << "5";
    QTest::addRow("zoomOut") << 25 << "-15"
                             << "15";
    QTest::addRow("releaseWithoutMoving") << 50 << "-10"
                                          << "10";
}

void tst_Tavlo::zoomSliderSpringsBack()
{
    QFETCH(int, target);
    QFETCH(QString, min);
    QFETCH(QString, max);

    QSlider *s = w->zoomSlider;
    const int step = target >= 50 ? 1 : -1;
    const int redraws = graph->getRedrawCount();
    s->setSliderDown(true);
    for (int v = 50; v != target; v += step)
        s->setSliderPosition(v + step); // each position reaches the plot at once
    QCOMPARE(graph->getRedrawCount(), redraws + qAbs(target - 50));
    QCOMPARE(graph->getXMin(), min.toFloat());
    QCOMPARE(graph->getYMax(), max.toFloat());

    s->setSliderDown(false); // release
    QCOMPARE(s->value(), 50);
    QCOMPARE(graph->zoomOffset, 0.0f);
    QCOMPARE(w->xMinText->text(), min);
    QCOMPARE(w->xMaxText->text(), max);
    QCOMPARE(w->yMinText->text(), min);
    QCOMPARE(w->yMaxText->text(), max);
    QCOMPARE(graph->getXMin(), min.toFloat());
    QCOMPARE(graph->getXMax(), max.toFloat());
}

void tst_Tavlo::optionsPlotActionsClose_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("zoomBox") << QStringLiteral("zoomBoxButton");
    QTest::newRow("zoomStd") << QStringLiteral("zoomStdButton");
    QTest::newRow("intersection") << QStringLiteral("findIntButton");
}

// Each of the three plot actions arms or applies its tool and closes the
// dialog; afterwards the first function is the shown one.
void tst_Tavlo::optionsPlotActionsClose()
{
    QFETCH(QString, button);
    graph->addFunction(0, QStringLiteral("x"), 'x', red);
    graph->addFunction(1, QStringLiteral("-x"), 'x', red);
    w->setShownFunction(1);
    w->xMinText->setText(QStringLiteral("-3"));

    bool closed = false;
    answerModal<OptionsDialog>([&](OptionsDialog *d) {
        QTest::mouseClick(d->findChild<QPushButton *>(button), Qt::LeftButton);
        closed = !d->isVisible();
        if (!closed)
            d->reject();
    });
    QTest::mouseClick(w->optionsButton, Qt::LeftButton);

    QVERIFY(closed);
    QCOMPARE(w->getShownFunction(), 0);
    QCOMPARE(graph->getZoomBoxMode(), button == QLatin1String("zoomBoxButton"));
    QCOMPARE(graph->getFindingIntersection(), button == QLatin1String("findIntButton"));
    const float xMin = button == QLatin1String("zoomStdButton") ? -10.0f : -3.0f;
    QCOMPARE(graph->getXMin(), xMin);
    QCOMPARE(w->xMinText->text(), QString::number(double(xMin), 'g', 6));
}

// Grid and step controls reach the plot at once while the dialog stays open.
void tst_Tavlo::optionsToolsActWhileOpen()
{
    bool stillOpen = false;
    answerModal<OptionsDialog>([&](OptionsDialog *d) {
        d->gridXText->setText(QStringLiteral("0.5"));
        d->gridYText->setText(QStringLiteral("2*2"));
        QTest::mouseClick(d->gridCheckBox, Qt::LeftButton);
        d->xStepSpinBox->setValue(1);
        d->yStepSpinBox->setValue(7);
        stillOpen = d->isVisible();
        d->reject();
    });
    QTest::mouseClick(w->optionsButton, Qt::LeftButton);

    QVERIFY(stillOpen);
    QCOMPARE(graph->getGridX(), 0.5f);
    QCOMPARE(graph->getGridY(), 4.0f);
    QCOMPARE(graph->getGridEnabled(), false);
    QCOMPARE(graph->getXStep(), 1);
    QCOMPARE(graph->getYStep(), 7);
}

QTEST_MAIN(tst_Tavlo)
#include "tst_tavlo.moc"
