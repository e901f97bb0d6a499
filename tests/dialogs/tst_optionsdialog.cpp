#include "dialogs/optionsdialog.h"
#include "model/function.h"
#include "model/functionset.h"
#include "plot/graphwidget.h"

#include "modalscript.h"

#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

// Stands in for the main window: the slots the dialog reaches by name.
class MainWindowStub : public QWidget
{
    Q_OBJECT

public:
    QStringList calls;

public slots:
    void addFunction() { calls << QStringLiteral("add"); }
    void editFunction(int id) { calls << QStringLiteral("edit %1").arg(id); }
};

namespace {

// "id:enabled:#rrggbb" per function, in list order.
QStringList stateOf(const GraphWidget &graph)
{
    QStringList s;
    for (const Function *f = graph.getFunctions(); f; f = f->getNextFunction())
        s << QStringLiteral("%1:%2:%3")
                 .arg(f->getId())
                 .arg(f->getEnabled())
                 .arg(f->getColor().name());
    return s;
}

// Each row's cells joined by "|", in display order.
QStringList rowsOf(const QTreeWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << list->topLevelItem(i)->text(c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// Selector indexes in list order from 0, as the main window's rebuild does.
void renumber(GraphWidget &graph)
{
    int index = 0;
    for (Function *f = graph.getFunctions(); f; f = f->getNextFunction())
        f->setFBoxIndex(index++);
}

} // namespace

class tst_OptionsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("HOME", home.path().toLocal8Bit()); } // for the file dialog
    void init()
    {
        graph = std::make_unique<GraphWidget>();
        graph->addFunction(2, QStringLiteral("sin(x)"), 'x', Qt::red);
        graph->addFunction(10, QStringLiteral("y^2"), 'y', Qt::blue);
        graph->addFunction(9, QStringLiteral("x/2"), 'x', Qt::green);
        renumber(*graph);
    }

    void showsPlotSettingsAndRows()
    {
        graph->setXStep(0); // the box keeps a step within 1 to 10
        graph->setYStep(7);
        graph->toggle_grid();
        graph->change_grid_x(QStringLiteral("0.25"));
        graph->setFunctionEquality(9, 2);
        graph->setFunctionEnabled(10, false);
        graph->addFunction(4, QStringLiteral("sin(x"), 'y', Qt::black);
        OptionsDialog dialog(nullptr, "options", true, graph.get());
        QCOMPARE(QList<int>({dialog.xStepSpinBox->value(), dialog.yStepSpinBox->value()}),
                 QList<int>({1, 7}));
        QVERIFY(!dialog.gridCheckBox->isChecked());
        QCOMPARE(dialog.gridXText->text() + QLatin1Char(' ') + dialog.gridYText->text(),
                 QStringLiteral("0.25 1"));
        // Sorted by the text of the ID column: 10 before 2.
        QCOMPARE(rowsOf(dialog.functionList), (QStringList{"10|X|=|y^2|No", "2|Y|=|sin(x)|Yes",
                                                           "4|X|=|sin(x|Yes", "9|Y||x/2|Yes"}));
        // The row of a text that does not compile says why, in every column.
        for (int c = 0; c < 5; ++c) {
            for (int role : {Qt::ToolTipRole, Qt::AccessibleDescriptionRole})
                QCOMPARE(
                    dialog.functionList->topLevelItem(2)->data(c, role).toString(),
                    QStringLiteral("Function 4: X = sin(x\nundeclared parameter at character 5"));
            QCOMPARE(dialog.functionList->topLevelItem(2)->foreground(c).color(), QColor(Qt::red));
            QCOMPARE(dialog.functionList->topLevelItem(1)->toolTip(c), QString());
            QCOMPARE(dialog.functionList->topLevelItem(1)->foreground(c).style(), Qt::NoBrush);
        }
        // So does a grid spacing that cannot be read.
        dialog.gridYText->setText(QStringLiteral("pi/"));
        QCOMPARE(dialog.gridYText->toolTip(), QStringLiteral("missing operand at character 4"));
        QCOMPARE(dialog.gridYText->palette().color(QPalette::Text), QColor(Qt::red));
        // Each column is as wide as its contents: given room, the last one is not
        // stretched to fill the list.
        dialog.TabWidget2->setCurrentWidget(dialog.functionTab);
        dialog.functionList->resize(600, 180);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.functionList->header()->length() < dialog.functionList->viewport()->width());
    }

    void rowAction_data()
    {
        QTest::addColumn<int>("row"); // the id of the row chosen first; -1 none; -2 row 2, rebuilt
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("colourDialog"); // 1 accepted, -1 cancelled, 0 must not open
        QTest::addColumn<QStringList>("state");
        QTest::addColumn<QStringList>("calls"); // what the main window got
        const QStringList all{"2:1:#ff0000", "10:1:#0000ff", "9:1:#00ff00"}, none;
        for (const char *button : {"colorButton", "enabledBox", "deleteButton", "editButton"}) {
            QTest::addRow("noRow_%s", button) << -1 << button << 0 << all << none;
            QTest::addRow("rowGone_%s", button) << -2 << button << 0 << all << none;
        }
        // clang-format off
        QTest::newRow("disable") << 9 << "enabledBox" << 0 << QStringList{"2:1:#ff0000", "10:1:#0000ff", "9:0:#00ff00"} << none;
        QTest::newRow("colourPicked") << 2 << "colorButton" << 1 << QStringList{"2:1:#0a141e", "10:1:#0000ff", "9:1:#00ff00"} << none;
        QTest::newRow("colourCancelled") << 2 << "colorButton" << -1 << all << none;
        QTest::newRow("add") << 10 << "addButton" << 0 << all << QStringList{"add"};
        QTest::newRow("edit") << 10 << "editButton" << 0 << all << QStringList{"edit 10"};
        QTest::newRow("delete") << 10 << "deleteButton" << 0 << QStringList{"2:1:#ff0000", "9:1:#00ff00"} << QStringList{"deleted"};
        // clang-format on
    }

    // Afterwards the list holds a row per function and the screen shows it as it
    // is; the Enabled box, the row's Enabled column and the colour swatch show
    // the current row's function, or nothing.
    void rowAction()
    {
        QFETCH(int, row);
        QFETCH(QString, button);
        QFETCH(int, colourDialog);
        MainWindowStub parent;
        OptionsDialog dialog(&parent, "options", true, graph.get());
        connect(&dialog, &OptionsDialog::functionDeleted, this, [&] {
            renumber(*graph); // as the main window does
            parent.calls << QStringLiteral("deleted");
        });
        QTreeWidget *list = dialog.functionList;
        dialog.TabWidget2->setCurrentWidget(dialog.functionTab);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        if (row != -1)
            list->setCurrentItem(list->findItems(QString::number(qAbs(row)), Qt::MatchExactly)[0]);
        if (row == -2)
            dialog.buildList();
        QTest::qWait(20); // the list is on screen before the action
        QList<QColor> seeds;
        QList<ModalScript::Step> steps;
        if (colourDialog)
            steps << mixColor(QColor(10, 20, 30), colourDialog > 0, &seeds);
        ModalScript script(steps);
        dialog.findChild<QAbstractButton *>(button)->click();
        QTest::qWait(20);
        QCOMPARE(script.unexpectedCount(), 0);
        QCOMPARE(seeds, colourDialog ? QList<QColor>{Qt::red} : QList<QColor>());
        QTEST(stateOf(*graph), "state");
        QTEST(parent.calls, "calls");

        QCOMPARE(list->topLevelItemCount(), stateOf(*graph).size());
        QWidget *viewport = list->viewport();
        const QPoint at = viewport->mapTo(&dialog, QPoint());
        const QImage shown =
            dialog.screen()
                ->grabWindow(dialog.winId(), at.x(), at.y(), viewport->width(), viewport->height())
                .toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 viewport->grab().toImage().convertToFormat(QImage::Format_RGB32));
        const QTreeWidgetItem *item = list->currentItem();
        const int id = item ? item->text(0).toInt() : -1;
        const bool enabled = graph->setActiveFunction(id) && graph->getFunctionEnabled(id);
        QCOMPARE(dialog.enabledBox->isChecked(), enabled);
        QCOMPARE(item ? item->text(4) : "No", enabled ? "Yes" : "No");
        QCOMPARE(dialog.colorButton->palette().color(QPalette::Button),
                 graph->setActiveFunction(id) ? graph->getFunctionColor(id)
                                              : dialog.palette().color(QPalette::Button));
    }

    // Enter in a field presses no button: "Zoom Box", the first, would close
    // the dialog with the zoom box armed.
    void enterPressesNoButton_data()
    {
        QTest::addColumn<QString>("field");
        for (const char *field : {"gridXText", "gridYText", "xStepSpinBox", "colorButton"})
            QTest::newRow(field) << field;
    }

    void enterPressesNoButton()
    {
        QFETCH(QString, field);
        OptionsDialog dialog(nullptr, "options", true, graph.get());
        auto *target = dialog.findChild<QWidget *>(field);
        dialog.TabWidget2->setCurrentWidget(
            target->parentWidget() == dialog.functionTab ? dialog.functionTab : dialog.tools);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        target->setFocus();
        int clicks = 0;
        for (QPushButton *button : dialog.findChildren<QPushButton *>())
            connect(button, &QPushButton::clicked, this, [&clicks] { ++clicks; });
        ModalScript script; // a colour dialog opening would be unexpected
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(clicks, 0);
        QCOMPARE(script.unexpectedCount(), 0);
        QVERIFY(dialog.isVisible());
    }

    void saveAndLoad_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QByteArray>("contents"); // of the file to load; null: no file
        // Of the box shown, and where: a load error's is on top of the dialog; the
        // save error's stands at (12, 100) of the main window, not of the screen.
        QTest::addColumn<QString>("message"); // empty: done
        const QString loadError = "Load Error|There was an error loading the file.\n";
        // clang-format off
        QTest::newRow("save") << true << QByteArray() << QString();
        QTest::newRow("saveToFolder") << true << QByteArray() << "Save Error|There was an error opening the\nfile for saving.  This is probably\nbecause the path chosen does\nnot specify a single file.|at 312,300";
        QTest::newRow("loadAppendsWithFreeId") << false << QByteArray::fromHex("00001405 00000001 00000007 00000001 00000002 0078 FF123456 00000000 00000002 0078 FFFFFFFF") << QString();
        QTest::newRow("loadMissingFile") << false << QByteArray() << loadError + "This is probably because the file\nspecified does not exist.|onDialog";
        QTest::newRow("loadWrongVersion") << false << QByteArray::fromHex("00001405 00000002 FFFFFFFF") << loadError + "Incorrect format or version.|onDialog";
        QTest::newRow("loadCutShort") << false << QByteArray::fromHex("00001405 00000001 00000000 00000001 000000") << loadError + "The file is damaged or cut short.  No\nfunction was added.|onDialog";
        // clang-format on
    }

    void saveAndLoad()
    {
        QFETCH(bool, save);
        QFETCH(QByteArray, contents);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(save && !message.isEmpty() ? "" : "set");
        if (!contents.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
        }
        const bool loads = !save && message.isEmpty();
        const QStringList expected =
            stateOf(*graph) + (loads ? QStringList{"3:0:#123456"} : QStringList());
        MainWindowStub mainWindow;
        mainWindow.setGeometry(300, 200, 240, 300);
        OptionsDialog dialog(&mainWindow, "options", true, graph.get());
        dialog.show();
        QString seen;
        ModalScript script({choosePath(path), [&](QWidget *w) {
                                auto *box = qobject_cast<QMessageBox *>(w);
                                QVERIFY(box);
                                const QPoint at = box->geometry().topLeft();
                                seen = box->windowTitle() + '|' + box->text() + '|' +
                                       (box->parentWidget() == &dialog
                                            ? QStringLiteral("onDialog")
                                            : QStringLiteral("at %1,%2").arg(at.x()).arg(at.y()));
                                box->button(QMessageBox::Ok)->click();
                            }});
        save ? dialog.saveFunctions() : dialog.loadFunctions();
        QCOMPARE(seen, message);
        QCOMPARE(stateOf(*graph), expected);
        // A load appends and closes the dialog; a save or an error leaves it open.
        QCOMPARE(dialog.result() == QDialog::Accepted, loads);
        QCOMPARE(dialog.isVisible(), !loads);
        QFile file(path);
        if (save && message.isEmpty())
            QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : "",
                     functionSetBytes(graph->getFunctions()));
    }

private:
    QTemporaryDir home;
    std::unique_ptr<GraphWidget> graph;
};

QTEST_MAIN(tst_OptionsDialog)
#include "tst_optionsdialog.moc"
