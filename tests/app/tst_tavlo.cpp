#include "app/tavlo.h"
#include "dialogs/colordialog.h"
#include "dialogs/editdialog.h"
#include "dialogs/filedialog.h"
#include "dialogs/hands.h"
#include "dialogs/optionsdialog.h"
#include "model/function.h"
#include "model/functionset.h"
#include "model/numbertext.h"
#include "plot/graphwidget.h"

#include "../dialogs/modalscript.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

const QColor red(255, 0, 0);
const QColor blue(0, 0, 255);

// Fills the edit dialog opened by `button` with `text` and, through the colour
// dialog, colour `c`, then presses OK (or Cancel). id < 0 keeps the offered id.
// Returns the plot's redraw count just before the dialog was closed.
int addOrEdit(QPushButton *button, const QString &text, const QColor &c, int id = -1,
              bool accept = true)
{
    GraphWidget *graph = static_cast<Tavlo *>(button->window())->getGraph();
    int atClose = -1;
    ModalScript script({[&](QWidget *w) {
                            auto *d = qobject_cast<EditDialog *>(w);
                            if (id >= 0)
                                d->idBox->setValue(id);
                            d->functionBox->clear();
                            QTest::keyClicks(d->functionBox, text);
                            QTimer::singleShot(0, d, [&, d] {
                                d->colorButton->click(); // the colour dialog comes and goes
                                atClose = graph->getRedrawCount();
                                (accept ? d->okButton : d->cancelButton)->click();
                            });
                        },
                        mixColor(c)});
    QTest::mouseClick(button, Qt::LeftButton);
    return atClose;
}

int countPixels(const QImage &img, const QColor &c)
{
    const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
    const auto *p = reinterpret_cast<const QRgb *>(rgb.constBits());
    return int(std::count(p, p + rgb.width() * rgb.height(), c.rgb()));
}

// Every focusable or clickable object below iface with no name to read out.
void collectNameless(QAccessibleInterface *iface, QStringList &nameless)
{
    const QAccessibleActionInterface *actions = iface->actionInterface();
    const QStringList names = actions ? actions->actionNames() : QStringList();
    const bool clickable = names.contains(QAccessibleActionInterface::pressAction()) ||
                           names.contains(QAccessibleActionInterface::toggleAction());
    if ((iface->state().focusable || clickable) &&
        iface->text(QAccessible::Name).trimmed().isEmpty())
        QDebug(&nameless.emplace_back()) << iface->object() << iface->role();
    for (int i = 0; i < iface->childCount(); ++i) {
        if (QAccessibleInterface *child = iface->child(i))
            collectNameless(child, nameless);
    }
}

} // namespace

// The main window driven as a user would: its dialogs, fields, slider and selector; what
// every form offers a screen reader and the keyboard.
class tst_Tavlo : public QObject
{
    Q_OBJECT

    QTemporaryDir home; // for the file dialog
    std::unique_ptr<Tavlo> w;
    GraphWidget *graph = nullptr;

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStringLiteral("Fusion"));
        qputenv("HOME", home.path().toLocal8Bit());
        QDir::setCurrent(home.path());
    }

    void init()
    {
        w = std::make_unique<Tavlo>(nullptr, nullptr, Qt::WindowFlags());
        graph = w->getGraph();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        graph->drawGraphSlot(); // the first redraw publishes the bounds
    }

    // Whatever became of a widget's font, an application font change puts the
    // form's own back.
    void fontChangeRestoresFormFont()
    {
        w->TextLabel1->setFont(QFont(QStringLiteral("courier"), 17));
        QEvent change(QEvent::ApplicationFontChange);
        QCoreApplication::sendEvent(w.get(), &change);
        QCOMPARE(w->TextLabel1->font().family(), QStringLiteral("adobe-times"));
        QCOMPARE(w->TextLabel1->font().pointSize(), 10);
    }

    // New Func., the id choice, the check box, the selector and Del.
    void functionButtons()
    {
        QSignalSpy edited(w.get(), &Tavlo::functionEdited);
        addOrEdit(w->addButton, QStringLiteral("sin(x)"), red);
        QCOMPARE(edited.count(), 1);
        QCOMPARE(w->functionBox->currentText(), QStringLiteral("sin(x)"));
        QCOMPARE(w->fColorButton->palette().color(QPalette::Button), red);
        QVERIFY(countPixels(graph->picture(), red) > 100);
        // The check box hides and shows the shown function.
        QTest::mouseClick(w->fCheckBox, Qt::LeftButton);
        QVERIFY(!graph->getFunctionEnabled(0));
        QCOMPARE(countPixels(graph->picture(), red), 0);
        QTest::mouseClick(w->fCheckBox, Qt::LeftButton);
        QVERIFY(graph->getFunctionEnabled(0));

        // "New Func." offers id 1; the user turns the next one to 0 and so edits function 0.
        addOrEdit(w->addButton, QStringLiteral("2*x"), blue);
        addOrEdit(w->addButton, QStringLiteral("cos(x)"), QColor(0, 128, 0), 0);
        QCOMPARE(w->functionBox->count(), 2);
        QCOMPARE(graph->getFunctionString(0), QStringLiteral("cos(x)"));
        QCOMPARE(graph->getFunctionColor(0), QColor(0, 128, 0));
        QCOMPARE(w->functionBox->currentIndex(), 0);

        // A text that does not compile is stored as typed; its row says why.
        addOrEdit(w->addButton, QStringLiteral("2x"), blue, 1);
        for (int role : {Qt::ToolTipRole, Qt::AccessibleDescriptionRole})
            QCOMPARE(w->functionBox->itemData(1, role).toString(),
                     QStringLiteral("Function 1: Y = 2x\nsyntax error at character 1"));
        QCOMPARE(w->functionBox->itemData(0, Qt::ToolTipRole).toString(), QString());
        // Shown, it is red in the closed selector too.
        QVERIFY(countPixels(w->functionBox->grab().toImage(), red) > 0);
        QMetaObject::invokeMethod(w.get(), "functionChange", Q_ARG(int, 0));
        QCOMPARE(countPixels(w->functionBox->grab().toImage(), red), 0);

        // Del. removes the shown function and shows the first; the last one gone,
        // the plot is empty and Del. and the check box do nothing.
        addOrEdit(w->addButton, QStringLiteral("3*x"), red);
        emit w->functionBox->activated(1);
        QTest::mouseClick(w->deleteButton, Qt::LeftButton);
        QCOMPARE(w->functionBox->itemText(1), QStringLiteral("3*x"));
        QCOMPARE(w->getShownFunction(), 0);
        QTest::mouseClick(w->deleteButton, Qt::LeftButton);
        QTest::mouseClick(w->deleteButton, Qt::LeftButton);
        QCOMPARE(graph->getFunctions(), nullptr);
        QCOMPARE(countPixels(graph->picture(), red), 0);
        const int redraws = graph->getRedrawCount();
        QTest::mouseClick(w->deleteButton, Qt::LeftButton);
        QTest::mouseClick(w->fCheckBox, Qt::LeftButton);
        QCOMPARE(graph->getRedrawCount(), redraws);
    }

    // The selector holds 100 rows; the 101st function has none to be shown in,
    // but still the index of the row it would have.
    void selectorHoldsHundredRows()
    {
        for (int id = 0; id < 101; ++id)
            graph->addFunction(id, QString::number(id), 'x', red);
        w->fBoxMake();
        QCOMPARE(w->functionBox->count(), 100);
        QCOMPARE(graph->getFunctionFBoxIndex(100), 100);
        w->setShownFunction(7);
        QMetaObject::invokeMethod(w.get(), "functionChange", Q_ARG(int, 100));
        QCOMPARE(w->getShownFunction(), 7);
    }

    // Cancel in the edit dialog (of New Func. or Edit) or in the colour dialog
    // changes nothing but redraws once; OK in the colour dialog, which starts
    // from the function's colour, recolours it.
    void dialogAnswered_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("newFuncCancelled") << "addButton" << false << red;
        QTest::newRow("editCancelled") << "editButton" << false << red;
        QTest::newRow("colourCancelled") << "fColorButton" << false << red;
        QTest::newRow("colourAccepted") << "fColorButton" << true << QColor(255, 10, 0);
    }

    void dialogAnswered()
    {
        QFETCH(QString, button);
        QFETCH(bool, accept);
        QFETCH(QColor, expected);
        addOrEdit(w->addButton, QStringLiteral("x"), red);
        QSignalSpy edited(w.get(), &Tavlo::functionEdited);
        const bool colour = button == QLatin1String("fColorButton");
        int redraws = graph->getRedrawCount();
        QList<QColor> seeds;
        if (colour) {
            ModalScript script({mixColor(QColor(255, 10, 0), accept, &seeds)});
            QTest::mouseClick(w->fColorButton, Qt::LeftButton);
        } else {
            redraws = addOrEdit(w->findChild<QPushButton *>(button), QStringLiteral("3*x"), blue,
                                -1, false);
        }
        QCOMPARE(seeds, colour ? QList<QColor>{red} : QList<QColor>());
        QCOMPARE(edited.count(), colour ? 0 : 1);
        QCOMPARE(graph->getRedrawCount(), redraws + 1);
        QCOMPARE(graph->getFunctionString(0), QStringLiteral("x"));
        QCOMPARE(graph->getFunctionColor(0), expected);
        QCOMPARE(w->fColorButton->palette().color(QPalette::Button), expected);
        QCOMPARE(w->functionBox->count(), 1);
    }

    // Each field typed into redraws at once; a publication of all four bounds
    // redraws once and leaves the count of the panning redraws at 0.
    void boundFieldsRedraw()
    {
        for (QLineEdit *e : {w->xMinText, w->xMaxText, w->yMinText, w->yMaxText}) {
            e->selectAll();
            const int redraws = graph->getRedrawCount();
            QTest::keyClicks(e, e == w->xMinText || e == w->yMinText ? "1" : "5");
            QCOMPARE(graph->getRedrawCount(), redraws + 1);
        }
        QCOMPARE(
            QList<float>({graph->getXMin(), graph->getXMax(), graph->getYMin(), graph->getYMax()}),
            QList<float>({1, 5, 1, 5}));

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
    }

    // A bound that cannot be read is 0, and its field turns red and says why.
    void boundFieldSaysWhy_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message"); // empty: it reads
        // clang-format off
        QTest::newRow("reads") << "-2*pi" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("cannotRead") << "2x" << "syntax error at character 1";
        // Counted in the text as typed, past a pi read as pi().
        QTest::newRow("afterPi") << "pi*2x" << "syntax error at character 4";
        // clang-format on
    }

    void boundFieldSaysWhy()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        w->xMinText->setText(QStringLiteral("1/"));
        w->xMinText->setText(text);
        QCOMPARE(w->xMinText->toolTip(), message);
        QCOMPARE(w->xMinText->accessibleDescription(), message);
        QCOMPARE(w->xMinText->palette().color(QPalette::Text) == Qt::red, !message.isEmpty());
        if (!message.isEmpty())
            QCOMPARE(graph->getXMin(), 0.0f);
    }

    // Three drags to the slider's end, each position redrawn at once; on release
    // the bounds are written back to the fields and the slider springs back.
    // Each shows whole, from its beginning unless it is being typed in.
    void zoomSliderSpringsBack_data()
    {
        QTest::addColumn<QString>("start");  // bounds of both axes
        QTest::addColumn<QString>("bounds"); // written back, on both axes
        QTest::addColumn<int>("end");        // where each of the three drags ends
        // clang-format off
        // The texts have the C library's small e, and read back.
        QTest::newRow("smallExponent") << "-10 10" << "-7.99997e-05 7.99997e-05" << 99;
        // Six digits would write "5" twice: the bounds keep apart with more.
        QTest::newRow("moreDigitsAtFive") << "4.9 5.1" << "4.999999 5.000001" << 99;
        QTest::newRow("zoomOut") << "-10 10" << "-77.624 77.624" << 1;
        // clang-format on
    }

    void zoomSliderSpringsBack()
    {
        QFETCH(QString, start);
        QFETCH(QString, bounds);
        QFETCH(int, end);
        const QList<QLineEdit *> fields{w->xMinText, w->xMaxText, w->yMinText, w->yMaxText};
        for (int i = 0; i < 4; ++i)
            fields[i]->setText(start.section(' ', i % 2, i % 2));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->xMaxText->setFocus();
        QSlider *s = w->zoomSlider;
        for (int drag = 0; drag < 3; ++drag) {
            const int redraws = graph->getRedrawCount();
            s->setSliderDown(true);
            for (int v = 50; v != end;)
                s->setSliderPosition(v += end > 50 ? 1 : -1);
            QCOMPARE(graph->getRedrawCount(), redraws + 49);
            s->setSliderDown(false);
            QCOMPARE(s->value(), 50);
            QCOMPARE(graph->zoomOffset, 0.0f);
        }
        for (int i = 0; i < 4; ++i) {
            const QString text = bounds.section(' ', i % 2, i % 2);
            QCOMPARE(fields[i]->text(), text);
            QCOMPARE(fields[i]->cursorPosition(), i == 1 ? text.size() : 0);
            fields[i]->grab(); // lays the text out
            QCOMPARE(fields[i]->cursorPositionAt(QPoint(3, 7)), 0);
            QCOMPARE(fields[i]->cursorPositionAt(QPoint(45, 7)), text.size());
        }
        QCOMPARE(graph->getXMin(), bounds.section(' ', 0, 0).toFloat());
        QCOMPARE(graph->getYMax(), bounds.section(' ', 1, 1).toFloat());
        QVERIFY(countPixels(graph->picture(), Qt::white) < 232 * 216); // the axes are drawn
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
        ModalScript script({[&](QWidget *options) {
            auto *d = qobject_cast<OptionsDialog *>(options);
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
        }});
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

    // With the focus, taken by a click, a key pans by a tenth of the range or
    // zooms as one step of the slider, redraws and writes the bounds back once.
    void plotKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("bounds"); // x-min x-max y-min y-max, from -10 10 -10 10
        QTest::addColumn<QString>("yStart"); // else
        // y would become 0 to 0: the step is refused and the texts stay as typed.
        QTest::newRow("plusRefused") << int(Qt::Key_Plus) << "-10 10 -5.0 5.0"
                                     << "-5.0 5.0";
        QTest::newRow("left") << int(Qt::Key_Left) << "-12 8 -10 10" << QString();
        QTest::newRow("right") << int(Qt::Key_Right) << "-8 12 -10 10" << QString();
        QTest::newRow("up") << int(Qt::Key_Up) << "-10 10 -8 12" << QString();
        QTest::newRow("down") << int(Qt::Key_Down) << "-10 10 -12 8" << QString();
        QTest::newRow("plus") << int(Qt::Key_Plus) << "-5 5 -5 5" << QString();
        QTest::newRow("plusUnshifted") << int(Qt::Key_Equal) << "-5 5 -5 5" << QString();
        QTest::newRow("minus") << int(Qt::Key_Minus) << "-15 15 -15 15" << QString();
    }

    void plotKeys()
    {
        QFETCH(int, key);
        QFETCH(QString, bounds);
        QFETCH(QString, yStart);
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        const QColor focusColor = w->palette().color(QPalette::Highlight);
        w->editButton->setFocus();
        QVERIFY(w->grab(QRect(2, 2, 234, 218)).toImage().pixelColor(0, 0) != focusColor);
        QTest::mouseClick(graph, Qt::LeftButton, {}, QPoint(100, 100));
        // The focus shows on the frame's own border, around the plot's pixels.
        const QImage framed = w->grab(QRect(2, 2, 234, 218)).toImage();
        QCOMPARE(framed.pixelColor(0, 0), focusColor);
        QCOMPARE(framed.copy(1, 1, 232, 216).convertToFormat(QImage::Format_RGB32),
                 graph->picture().convertToFormat(QImage::Format_RGB32));

        if (!yStart.isEmpty()) { // after the click, which writes the bounds back
            w->yMinText->setText(yStart.section(' ', 0, 0));
            w->yMaxText->setText(yStart.section(' ', 1, 1));
        }
        QSignalSpy published(graph, &GraphWidget::panning);
        QTest::keyClick(graph, Qt::Key(key));
        QCOMPARE(published.count(), yStart.isEmpty() ? 2 : 0); // panning(true), then (false)
        QCOMPARE(w->xMinText->text() + ' ' + w->xMaxText->text() + ' ' + w->yMinText->text() + ' ' +
                     w->yMaxText->text(),
                 bounds);
    }

    // Closing asks only when the set differs from the one loaded or saved last;
    // Save closes once saved, Cancel or Escape keep the window and the set.
    void closeAsks_data()
    {
        using L = QStringList;
        QTest::addColumn<QStringList>("changes"); // "save" and "load" through Options
        QTest::addColumn<int>("answer");          // the button pressed; 0: not asked; -1: Escape
        QTest::addColumn<bool>("closes");         // after Save: the file dialog was not cancelled
        QTest::newRow("nothingChanged") << L() << 0 << true;
        QTest::newRow("addedAndDeleted") << L{"add", "delete"} << 0 << true;
        QTest::newRow("savedInOptions") << L{"add", "save"} << 0 << true;
        QTest::newRow("loadedIntoSaved") << L{"load"} << 0 << true;
        QTest::newRow("loadedIntoChanged") << L{"add", "load"} << int(QMessageBox::Cancel) << false;
        QTest::newRow("escape") << L{"disable"} << -1 << false;
        QTest::newRow("discard") << L{"add"} << int(QMessageBox::Discard) << true;
        QTest::newRow("saved") << L{"add"} << int(QMessageBox::Save) << true;
        QTest::newRow("saveCancelled") << L{"add"} << int(QMessageBox::Save) << false;
    }

    void closeAsks()
    {
        QFETCH(QStringList, changes);
        QFETCH(int, answer);
        QFETCH(bool, closes);
        QTemporaryDir dir;
        const QString set = dir.filePath(QStringLiteral("set")), saved = dir.filePath("saved");
        const Function sine(0, QStringLiteral("sin(x)"), 'x', red, nullptr);
        QCOMPARE(saveFunctionSet(set, &sine), SaveResult::Ok);
        // Started as with "tavlo missing set": the missing file says so, with its
        // name; the next is loaded, shown, and counts as saved.
        QString loadError;
        {
            ModalScript start({[&loadError](QWidget *box) {
                loadError = qobject_cast<QMessageBox *>(box)->informativeText();
                qobject_cast<QMessageBox *>(box)->accept();
            }});
            w->loadFunctionFiles({dir.filePath("missing"), set});
        }
        QCOMPARE(loadError, dir.filePath("missing"));
        QCOMPARE(w->functionBox->currentText(), QStringLiteral("sin(x)"));
        Function *added = nullptr;
        for (const QString &change : changes) {
            if (change == QLatin1String("add"))
                added = graph->addFunction(graph->getNumberOfFunctions(), "x", 'x', blue);
            else if (change == QLatin1String("delete"))
                graph->removeFunction(added);
            else if (change == QLatin1String("disable"))
                graph->setFunctionEnabled(0, false);
            if (change != QLatin1String("save") && change != QLatin1String("load"))
                continue;
            const bool saving = change == QLatin1String("save");
            ModalScript script({[saving](QWidget *options) {
                                    auto *d = qobject_cast<OptionsDialog *>(options);
                                    QTimer::singleShot(0, d, [d, saving] {
                                        (saving ? d->saveButton : d->loadButton)->click();
                                        d->reject(); // a save leaves the dialog open
                                    });
                                },
                                choosePath(saving ? saved : set)});
            QTest::mouseClick(w->optionsButton, Qt::LeftButton);
        }
        const QByteArray before = functionSetBytes(graph->getFunctions());

        QStringList seen;
        QList<ModalScript::Step> steps{[&seen, answer](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            seen << box->text();
            answer < 0 ? QTest::keyClick(box, Qt::Key_Escape)
                       : box->button(QMessageBox::StandardButton(answer))->click();
        }};
        if (answer == QMessageBox::Save)
            steps << (closes ? choosePath(saved) : ModalScript::Step([](QWidget *fd) {
                qobject_cast<QDialog *>(fd)->reject();
            }));
        ModalScript script(answer ? steps : QList<ModalScript::Step>());
        QCOMPARE(w->close(), closes);
        QCOMPARE(script.unexpectedCount(), 0);
        QCOMPARE(seen.value(0), answer ? "Save the functions before closing?" : "");
        QCOMPARE(functionSetBytes(graph->getFunctions()), before);
        QCOMPARE(w->functionsChanged(), !closes);
        QFile file(saved); // written by the last save, if any
        const bool written =
            changes.contains(QStringLiteral("save")) || answer == QMessageBox::Save;
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : "",
                 written && closes ? before : "");
    }

    void everyControlHasAName_data()
    {
        using Make = std::function<QWidget *(Tavlo *)>;
        QTest::addColumn<Make>("make"); // the form to check, on top of a main window
        // What Tab visits, from where the form opens, in reading order.
        QTest::addColumn<QString>("tabs");
        QTest::newRow("mainWindow")
            << Make([](Tavlo *w) { return w; })
            << "graph1 editButton fCheckBox functionBox fColorButton deleteButton xMinText "
               "xMaxText yMinText yMaxText addButton zoomSlider optionsButton";
        QTest::newRow("editDialog") << Make([](Tavlo *w) {
            return new EditDialog(w, "editdialog", true, 0, w->getGraph());
        }) << "functionBox cancelButton colorButton okButton idBox depVarBox equalBox";
        QTest::newRow("colorDialog")
            << Make([](Tavlo *w) { return new ColorDialog(w, "cd", true); })
            << "redSlider greenSlider blueSlider okButton";
        for (int page = 0; page < 4; ++page) {
            const char *tabs[] = {"TabWidget2 zoomBoxButton xStepSpinBox zoomStdButton "
                                  "yStepSpinBox findIntButton gridCheckBox gridXText gridYText "
                                  "saveButton loadButton",
                                  "TabWidget2 functionList enabledBox colorButton editButton "
                                  "addButton deleteButton",
                                  "TabWidget2 TextBrowser2", "TabWidget2 TextBrowser1 handsButton"};
            QTest::addRow("optionsDialogPage%d", page) << Make([page](Tavlo *w) {
                auto *d = new OptionsDialog(w, "options", true, w->getGraph());
                d->TabWidget2->setCurrentIndex(page);
                return d;
            }) << tabs[page];
        }
        QTest::newRow("fileDialog") << Make([](Tavlo *w) {
            return new FileDialog(w, "FileDialog", true, {}, QStringLiteral("*"));
        }) << "ramButton cfButton sdButton fileView fileNameLine cancelButton okButton";
        QTest::newRow("hands") << Make([](Tavlo *w) { return new Hands(w, "hands", true); }) << "";
    }

    // With no function and with one: an empty selector shows no text to read out.
    // Tab goes round the form in reading order.
    void everyControlHasAName()
    {
        QFETCH(std::function<QWidget *(Tavlo *)>, make);
        for (bool withFunction : {false, true}) {
            Tavlo window;
            if (withFunction) {
                window.getGraph()->addFunction(0, QStringLiteral("sin(x)"), 'x', Qt::red);
                window.fBoxMake();
            }
            QWidget *form = make(&window);
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form));
            QStringList nameless;
            collectNameless(QAccessible::queryAccessibleInterface(form), nameless);
            QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QStringLiteral(", "))));

            QVERIFY(QTest::qWaitForWindowActive(form));
            QStringList visited; // named controls, not their inner parts ("qt_...")
            for (QWidget *f; (f = QApplication::focusWidget());) {
                const bool inner = f->objectName().startsWith(QLatin1String("qt_"));
                const QString name = (inner ? f->parentWidget() : f)->objectName();
                if (visited.contains(name))
                    break;
                visited << name;
                QTest::keyClick(f, Qt::Key_Tab);
            }
            QTEST(visited.join(QLatin1Char(' ')), "tabs");
        }
    }
};

QTEST_MAIN(tst_Tavlo)
#include "tst_tavlo.moc"
