#include "dialogs/colordialog.h"
#include "dialogs/filedialog.h"
#include "dialogs/functionset.h"
#include "dialogs/hands.h"
#include "dialogs/optionsdialog.h"
#include "model/function.h"
#include "plot/graphwidget.h"

#include "modalscript.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
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
    int addCalls = 0;
    QList<int> editedIds;

public slots:
    void addFunction() { ++addCalls; }
    void editFunction(int id) { editedIds << id; }
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

void chooseRow(OptionsDialog &dialog, const QString &id)
{
    dialog.functionList->setCurrentItem(
        dialog.functionList->findItems(id, Qt::MatchExactly, 0).value(0));
    QVERIFY(dialog.functionList->currentItem());
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
        graph->setYStep(7);
        graph->toggle_grid();
        graph->change_grid_x(QStringLiteral("0.25"));
        graph->setFunctionEquality(9, 2);
        graph->setFunctionEnabled(10, false);
        graph->addFunction(4, QStringLiteral("sin(x"), 'y', Qt::black);
        OptionsDialog dialog(nullptr, "options", true, graph.get());
        QCOMPARE(dialog.yStepSpinBox->value(), 7);
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
            QCOMPARE(dialog.functionList->topLevelItem(1)->toolTip(c), QString());
        }
        // Each column is as wide as its contents: given room, the last one is not
        // stretched to fill the list.
        dialog.TabWidget2->setCurrentWidget(dialog.functionTab);
        dialog.functionList->resize(600, 180);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.functionList->header()->length() < dialog.functionList->viewport()->width());
    }

    // As the main window is wired: a deletion renumbers the selector.
    void rowActions()
    {
        MainWindowStub parent;
        OptionsDialog dialog(&parent, "options", true, graph.get());
        QSignalSpy deleted(&dialog, &OptionsDialog::functionDeleted);
        connect(&dialog, &OptionsDialog::functionDeleted, this, [this] { renumber(*graph); });
        chooseRow(dialog, QStringLiteral("9"));
        dialog.enabledBox->click();
        QCOMPARE(stateOf(*graph), (QStringList{"2:1:#ff0000", "10:1:#0000ff", "9:0:#00ff00"}));
        QCOMPARE(dialog.functionList->currentItem()->text(4), QStringLiteral("No"));

        chooseRow(dialog, QStringLiteral("10"));
        QVERIFY(dialog.enabledBox->isChecked());
        dialog.addButton->click();
        dialog.editButton->click();
        QCOMPARE(parent.addCalls, 1);
        QCOMPARE(parent.editedIds, QList<int>{10});
        dialog.deleteButton->click();
        QCOMPARE(deleted.count(), 1);
        QCOMPARE(rowsOf(dialog.functionList), (QStringList{"2|Y|=|sin(x)|Yes", "9|Y|=|x/2|No"}));
        QCOMPARE(stateOf(*graph), (QStringList{"2:1:#ff0000", "9:0:#00ff00"}));
    }

    // What the screen shows of the list after a delete is what the list holds:
    // the window's backing store against a fresh rendering of the list.
    void deleteLeavesNoStaleRows()
    {
        OptionsDialog dialog(nullptr, "options", true, graph.get());
        connect(&dialog, &OptionsDialog::functionDeleted, this, [this] { renumber(*graph); });
        dialog.TabWidget2->setCurrentWidget(dialog.functionTab);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        chooseRow(dialog, QStringLiteral("10"));
        QTest::qWait(20);
        dialog.deleteButton->click();
        QTest::qWait(20);
        QWidget *viewport = dialog.functionList->viewport();
        const QImage shown =
            dialog.screen()
                ->grabWindow(dialog.winId(), viewport->mapTo(&dialog, QPoint()).x(),
                             viewport->mapTo(&dialog, QPoint()).y(), viewport->width(),
                             viewport->height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        const QImage held = viewport->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(rowsOf(dialog.functionList), (QStringList{"2|Y|=|sin(x)|Yes", "9|Y|=|x/2|Yes"}));
        QVERIFY(shown == held);
        // No row is current: the Enabled box and the colour swatch show no function.
        QVERIFY(!dialog.enabledBox->isChecked());
        QCOMPARE(dialog.colorButton->palette().color(QPalette::Button),
                 dialog.palette().color(QPalette::Button));
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

    void actionsWithoutCurrentRowDoNothing_data()
    {
        QTest::addColumn<bool>("afterRebuild"); // else no row was ever chosen
        QTest::addColumn<QString>("button");
        for (const char *button : {"colorButton", "enabledBox", "deleteButton", "editButton"}) {
            QTest::addRow("neverChosen_%s", button) << false << button;
            QTest::addRow("afterRebuild_%s", button) << true << button;
        }
    }

    void actionsWithoutCurrentRowDoNothing()
    {
        QFETCH(bool, afterRebuild);
        QFETCH(QString, button);
        MainWindowStub parent;
        OptionsDialog dialog(&parent, "options", true, graph.get());
        if (afterRebuild) {
            chooseRow(dialog, QStringLiteral("2"));
            dialog.buildList(); // the chosen row is gone
        }
        const QStringList before = stateOf(*graph);
        const bool boxBefore = dialog.enabledBox->isChecked();
        QSignalSpy deleted(&dialog, &OptionsDialog::functionDeleted);
        ModalScript script; // a colour dialog opening would be unexpected
        dialog.findChild<QAbstractButton *>(button)->click();
        QCOMPARE(script.unexpectedCount(), 0);
        QCOMPARE(stateOf(*graph), before);
        QCOMPARE(deleted.count(), 0);
        QCOMPARE(parent.editedIds, QList<int>());
        QCOMPARE(dialog.enabledBox->isChecked(), boxBefore);
    }

    void colorDialog()
    {
        OptionsDialog dialog(nullptr, "options", true, graph.get());
        chooseRow(dialog, QStringLiteral("2"));
        const int redraws = graph->getRedrawCount();
        QList<QColor> seeds;
        auto answer = [&seeds](bool accept) {
            return [&seeds, accept](QWidget *w) {
                auto *cd = qobject_cast<ColorDialog *>(w);
                QVERIFY(cd);
                seeds << cd->getColor();
                cd->start_color(QColor(10, 20, 30));
                accept ? cd->accept() : cd->reject();
            };
        };
        ModalScript script({answer(false), answer(true)});
        dialog.colorButton->click(); // cancelled: the colour stays
        QCOMPARE(graph->getFunctionColor(2), QColor(Qt::red));
        QCOMPARE(dialog.colorButton->palette().color(QPalette::Button), QColor(Qt::red));
        QCOMPARE(graph->getRedrawCount(), redraws);
        dialog.colorButton->click();
        QCOMPARE(graph->getFunctionColor(2), QColor(10, 20, 30));
        QCOMPARE(dialog.colorButton->palette().color(QPalette::Button), QColor(10, 20, 30));
        QVERIFY(graph->getRedrawCount() > redraws);
        QCOMPARE(seeds, (QList<QColor>{Qt::red, Qt::red}));
    }

    void handsPicture()
    {
        OptionsDialog dialog(nullptr, "options", true, graph.get());
        dialog.TabWidget2->setCurrentWidget(dialog.about);
        dialog.show();
        // The tiny button beside the about text is not covered by it.
        QCOMPARE(dialog.about->childAt(dialog.handsButton->geometry().center()),
                 dialog.handsButton);
        QSize shown, picture;
        ModalScript script({[&](QWidget *w) {
            auto *hands = qobject_cast<Hands *>(w);
            QVERIFY(hands);
            hands->resize(400, 400);
            shown = hands->size();
            picture = hands->PixmapLabel2->pixmap().size();
            hands->close();
        }});
        dialog.handsButton->click();
        QCOMPARE(shown, QSize(170, 131));
        QCOMPARE(picture, QSize(150, 111));
    }

    void saveAndLoad_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QByteArray>("contents"); // of the file to load; null: no file
        QTest::addColumn<QString>("message");     // empty: done
        const QString loadError =
            QStringLiteral("Load Error|There was an error loading the file.\n");
        QTest::newRow("save") << true << QByteArray() << QString();
        QTest::newRow("saveToFolder") << true << QByteArray()
                                      << "Save Error|There was an error opening the\nfile for "
                                         "saving.  This is probably\nbecause "
                                         "the path chosen does\nnot specify a single file.";
        QTest::newRow("loadTwoFunctions")
            << false
            << QByteArray::fromHex("00001405 00000001"
                                   "00000007 00000001 00000002 0078 FF123456 00000000 00000002 0078"
                                   "00000000 00000001 00000002 0079 FF000000 00000001 00000002 0079"
                                   "FFFFFFFF")
            << QString();
        QTest::newRow("loadMissingFile")
            << false << QByteArray()
            << loadError + "This is probably because the file\nspecified does not exist.";
        QTest::newRow("loadWrongVersion")
            << false << QByteArray::fromHex("00001405 00000002 FFFFFFFF")
            << loadError + "Incorrect format or version.";
        QTest::newRow("loadCutShort")
            << false << QByteArray::fromHex("00001405 00000001 00000000 00000001 000000")
            << loadError + "The file is damaged or cut short.  No\nfunction was added.";
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
        // A load appends with the next free ids.
        const QStringList expected =
            stateOf(*graph) + (loads ? QStringList{"3:0:#123456", "4:1:#000000"} : QStringList());
        MainWindowStub mainWindow;
        mainWindow.setGeometry(300, 200, 240, 300);
        OptionsDialog dialog(&mainWindow, "options", true, graph.get());
        dialog.show();
        QString seen;
        QWidget *boxParent = nullptr;
        QPoint boxAt;
        ModalScript script({[path](QWidget *w) {
                                auto *fd = qobject_cast<FileDialog *>(w);
                                QVERIFY(fd);
                                fd->fileNameLine->setText(path);
                                fd->okButton->click();
                            },
                            [&](QWidget *w) {
                                auto *box = qobject_cast<QMessageBox *>(w);
                                QVERIFY(box);
                                seen = box->windowTitle() + QLatin1Char('|') + box->text();
                                boxParent = box->parentWidget();
                                boxAt = box->geometry().topLeft();
                                box->button(QMessageBox::Ok)->click();
                            }});
        save ? dialog.saveFunctions() : dialog.loadFunctions();
        QCOMPARE(seen, message);
        QCOMPARE(stateOf(*graph), expected);
        // A load closes the dialog; a save or an error leaves it open. The save
        // error's box has no parent, the load error's is on top of the dialog.
        QCOMPARE(dialog.result() == QDialog::Accepted, loads);
        QCOMPARE(dialog.isVisible(), !loads);
        QCOMPARE(boxParent, !save && !message.isEmpty() ? &dialog : nullptr);
        // The save error stands at (12, 100) of the main window, not of the screen.
        if (save && !message.isEmpty())
            QCOMPARE(boxAt, QPoint(312, 300));
        if (save && message.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QBuffer written;
            written.open(QIODevice::WriteOnly);
            writeFunctionSet(written, graph->getFunctions());
            QCOMPARE(file.readAll(), written.data());
        }
    }

private:
    QTemporaryDir home;
    std::unique_ptr<GraphWidget> graph;
};

QTEST_MAIN(tst_OptionsDialog)
#include "tst_optionsdialog.moc"
