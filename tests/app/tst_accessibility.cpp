#include "app/tavlo.h"
#include "dialogs/colordialog.h"
#include "dialogs/editdialog.h"
#include "dialogs/filedialog.h"
#include "dialogs/hands.h"
#include "dialogs/optionsdialog.h"
#include "plot/graphwidget.h"

#include <QAccessible>
#include <QApplication>
#include <QDebug>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

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

class tst_Accessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStringLiteral("Fusion"));
        qputenv("HOME", home.path().toLocal8Bit()); // for the file dialog
        QDir::setCurrent(home.path());
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
            Tavlo w;
            if (withFunction) {
                w.getGraph()->addFunction(0, QStringLiteral("sin(x)"), 'x', Qt::red);
                w.fBoxMake();
            }
            QWidget *form = make(&w);
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

    // The plot says what it shows, as of the last redraw.
    void plotDescribesItself()
    {
        Tavlo w;
        GraphWidget *graph = w.getGraph();
        graph->addFunction(0, QStringLiteral("sin(x)"), 'x', Qt::red);
        graph->addFunction(1, QStringLiteral("x"), 'x', Qt::blue);
        graph->addFunction(2, QString(), 'x', Qt::blue); // empty: not drawn
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        graph->drawGraphSlot();
        QAccessibleInterface *plot = QAccessible::queryAccessibleInterface(graph);
        QCOMPARE(plot->text(QAccessible::Name), QStringLiteral("Plot"));
        QCOMPARE(plot->text(QAccessible::Description),
                 QStringLiteral("x from -10 to 10, y from -10 to 10; 2 functions drawn"));
        graph->setFunctionEnabled(1, false);
        w.xMinText->setText(QStringLiteral("0.5"));
        QCOMPARE(plot->text(QAccessible::Description),
                 QStringLiteral("x from 0.5 to 10, y from -10 to 10; 1 function drawn"));
    }

private:
    QTemporaryDir home;
};

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
