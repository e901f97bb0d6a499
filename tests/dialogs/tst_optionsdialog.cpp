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
#include <QTextBrowser>
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

struct State
{
    int id;
    bool enabled;
    QRgb rgb;
    bool operator==(const State &o) const
    {
        return id == o.id && enabled == o.enabled && rgb == o.rgb;
    }
};

QList<State> stateOf(const GraphWidget &graph)
{
    QList<State> s;
    for (const Function *f = graph.getFunctions(); f; f = f->getNextFunction())
        s.append({f->getId(), f->getEnabled(), f->getColor().rgb()});
    return s;
}

QList<QStringList> rowsOf(const QTreeWidget *list)
{
    QList<QStringList> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList texts;
        for (int c = 0; c < list->columnCount(); ++c)
            texts << list->topLevelItem(i)->text(c);
        rows << texts;
    }
    return rows;
}

QStringList idsOf(const QTreeWidget *list)
{
    QStringList ids;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        ids << list->topLevelItem(i)->text(0);
    return ids;
}

// Numbers the selector indexes as the main window does when it rebuilds its
// selector: in list order from 0.
void removeAll(GraphWidget &graph)
{
    while (Function *f = graph.getFunctions())
        graph.deleteFunctionFBoxIndex(f->getFBoxIndex());
}

void renumber(GraphWidget &graph)
{
    int index = 0;
    for (Function *f = graph.getFunctions(); f; f = f->getNextFunction())
        f->setFBoxIndex(index++);
}

void chooseRow(OptionsDialog &dialog, const QString &id)
{
    const auto found = dialog.functionList->findItems(id, Qt::MatchExactly, 0);
    QVERIFY(!found.isEmpty());
    dialog.functionList->setCurrentItem(found.first());
}

// Fills the file dialog's path line and presses OK.
ModalScript::Step answerFileDialog(const QString &path)
{
    return [path](QWidget *w) {
        auto *fd = qobject_cast<FileDialog *>(w);
        QVERIFY(fd);
        fd->fileNameLine->setText(path);
        fd->okButton->click();
    };
}

struct BoxSeen
{
    QString title;
    QString text;
    QWidget *parent = nullptr;
};

ModalScript::Step answerMessageBox(BoxSeen &seen)
{
    return [&seen](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY(box);
        seen = {box->windowTitle(), box->text(), box->parentWidget()};
        box->button(QMessageBox::Ok)->click();
    };
}

} // namespace

class tst_OptionsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void showsPlotSettings();
    void rowsShowEachFunction();
    void rowsSortByText();
    void toolButtonsClose_data();
    void toolButtonsClose();
    void enabledTogglesFunctionAndRow();
    void deleteRebuildsList();
    void actionsWithoutCurrentRowDoNothing_data();
    void actionsWithoutCurrentRowDoNothing();
    void colorDialog_data();
    void colorDialog();
    void newAndEditGoToParent();
    void fontsSurviveApplicationFontChange();
    void handsPicture();
    void saveWritesFileAndStaysOpen();
    void saveToFolderShowsSaveError();
    void loadAddsAndCloses();
    void loadErrors_data();
    void loadErrors();

private:
    QTemporaryDir home;
    QByteArray oldHome;
    std::unique_ptr<GraphWidget> graph;
};

void tst_OptionsDialog::initTestCase()
{
    // The file dialog lists and creates folders under HOME.
    oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
}

void tst_OptionsDialog::cleanupTestCase()
{
    qputenv("HOME", oldHome);
}

void tst_OptionsDialog::init()
{
    graph = std::make_unique<GraphWidget>();
    graph->addFunction(2, QStringLiteral("sin(x)"), 'x', Qt::red);
    graph->addFunction(10, QStringLiteral("y^2"), 'y', Qt::blue);
    graph->addFunction(9, QStringLiteral("x/2"), 'x', Qt::green);
    renumber(*graph);
}

void tst_OptionsDialog::cleanup()
{
    removeAll(*graph);
    graph.reset();
}

void tst_OptionsDialog::showsPlotSettings()
{
    graph->setXStep(1);
    graph->setYStep(7);
    graph->toggle_grid();
    graph->change_grid_x(QStringLiteral("0.25"));
    graph->change_grid_y(QStringLiteral("1"));
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    QCOMPARE(dialog.xStepSpinBox->value(), 1);
    QCOMPARE(dialog.yStepSpinBox->value(), 7);
    QCOMPARE(dialog.gridCheckBox->isChecked(), graph->getGridEnabled());
    QVERIFY(!dialog.gridCheckBox->isChecked());
    QCOMPARE(dialog.gridXText->text(), QStringLiteral("0.25"));
    QCOMPARE(dialog.gridYText->text(), QStringLiteral("1"));
}

void tst_OptionsDialog::rowsShowEachFunction()
{
    graph->setFunctionEquality(9, 2);
    graph->setFunctionEnabled(10, false);
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    const QList<QStringList> expected{
        {"10", "X", "=", "y^2", "No"},
        {"2", "Y", "=", "sin(x)", "Yes"},
        {"9", "Y", "", "x/2", "Yes"},
    };
    QCOMPARE(rowsOf(dialog.functionList), expected);
    QCOMPARE(dialog.functionList->headerItem()->text(3), QStringLiteral("Function"));
}

void tst_OptionsDialog::rowsSortByText()
{
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    QCOMPARE(idsOf(dialog.functionList), (QStringList{"10", "2", "9"}));

    // Tapping the "Function" title sorts by that column's text.
    dialog.functionList->sortByColumn(3, Qt::AscendingOrder);
    QCOMPARE(idsOf(dialog.functionList), (QStringList{"2", "9", "10"}));

    // A rebuild keeps the chosen column.
    graph->addFunction(3, QStringLiteral("a"), 'x', Qt::black);
    dialog.buildList();
    QCOMPARE(idsOf(dialog.functionList), (QStringList{"3", "2", "9", "10"}));
}

void tst_OptionsDialog::toolButtonsClose_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("zoomBox") << "zoomBoxButton";
    QTest::newRow("zoomStd") << "zoomStdButton";
    QTest::newRow("intersection") << "findIntButton";
}

void tst_OptionsDialog::toolButtonsClose()
{
    QFETCH(QString, button);
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    // The main window's own pairs of connections: plot action, then close.
    connect(dialog.zoomBoxButton, &QPushButton::clicked, graph.get(), &GraphWidget::zoom_box_slot);
    connect(dialog.zoomBoxButton, &QPushButton::clicked, &dialog, &QDialog::accept);
    connect(dialog.zoomStdButton, &QPushButton::clicked, graph.get(), &GraphWidget::zoom_std_slot);
    connect(dialog.zoomStdButton, &QPushButton::clicked, &dialog, &QDialog::accept);
    connect(dialog.findIntButton, &QPushButton::clicked, graph.get(),
            &GraphWidget::activateFindingIntersection);
    connect(dialog.findIntButton, &QPushButton::clicked, &dialog, &QDialog::accept);
    graph->change_x_min(QStringLiteral("-3"));

    ModalScript script({[&](QWidget *) { dialog.findChild<QPushButton *>(button)->click(); }});
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
    if (button == QLatin1String("zoomBoxButton"))
        QVERIFY(graph->getZoomBoxMode());
    else if (button == QLatin1String("findIntButton"))
        QVERIFY(graph->getFindingIntersection());
    else
        QCOMPARE(graph->getXMin(), -10.0f);
}

void tst_OptionsDialog::enabledTogglesFunctionAndRow()
{
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    chooseRow(dialog, QStringLiteral("9"));
    QVERIFY(dialog.enabledBox->isChecked());

    dialog.enabledBox->click();
    QCOMPARE(graph->getFunctionEnabled(9), false);
    QCOMPARE(dialog.functionList->currentItem()->text(4), QStringLiteral("No"));
    QCOMPARE(graph->getFunctionEnabled(2), true);

    dialog.enabledBox->click();
    QCOMPARE(graph->getFunctionEnabled(9), true);
    QCOMPARE(dialog.functionList->currentItem()->text(4), QStringLiteral("Yes"));
}

void tst_OptionsDialog::deleteRebuildsList()
{
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    QSignalSpy deleted(&dialog, &OptionsDialog::functionDeleted);
    connect(&dialog, &OptionsDialog::functionDeleted, this, [this] { renumber(*graph); });
    chooseRow(dialog, QStringLiteral("10"));

    dialog.deleteButton->click();
    QCOMPARE(deleted.count(), 1);
    QCOMPARE(idsOf(dialog.functionList), (QStringList{"2", "9"}));
    QCOMPARE(stateOf(*graph).size(), 2);
    QVERIFY(!graph->setActiveFunction(10));

    // The deleted row is gone with its function: a second tap deletes nothing.
    dialog.deleteButton->click();
    QCOMPARE(deleted.count(), 1);
    QCOMPARE(stateOf(*graph).size(), 2);
}

void tst_OptionsDialog::actionsWithoutCurrentRowDoNothing_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("button");
    for (const char *situation : {"neverChosen", "afterRebuild", "emptySet"}) {
        for (const char *button : {"colorButton", "enabledBox", "deleteButton", "editButton"})
            QTest::addRow("%s_%s", situation, button) << situation << button;
    }
}

void tst_OptionsDialog::actionsWithoutCurrentRowDoNothing()
{
    QFETCH(QString, situation);
    QFETCH(QString, button);
    if (situation == QLatin1String("emptySet"))
        removeAll(*graph);
    MainWindowStub parent;
    OptionsDialog dialog(&parent, "options", true, graph.get());
    if (situation == QLatin1String("afterRebuild")) {
        chooseRow(dialog, QStringLiteral("2"));
        dialog.buildList();
    }
    const QList<State> before = stateOf(*graph);
    const bool boxBefore = dialog.enabledBox->isChecked();
    QSignalSpy deleted(&dialog, &OptionsDialog::functionDeleted);
    QSignalSpy edit(&dialog, &OptionsDialog::editSignalId);
    ModalScript script; // any dialog that opens is unexpected

    dialog.findChild<QAbstractButton *>(button)->click();
    QCOMPARE(script.unexpectedCount(), 0);
    QCOMPARE(stateOf(*graph), before);
    QCOMPARE(deleted.count(), 0);
    QCOMPARE(edit.count(), 0);
    QCOMPARE(parent.editedIds, QList<int>());
    QCOMPARE(dialog.enabledBox->isChecked(), boxBefore);
}

void tst_OptionsDialog::colorDialog_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("accepted") << true;
    QTest::newRow("cancelled") << false;
}

void tst_OptionsDialog::colorDialog()
{
    QFETCH(bool, accept);
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    chooseRow(dialog, QStringLiteral("2"));
    QCOMPARE(dialog.colorButton->palette().color(QPalette::Button), QColor(Qt::red));
    const int redraws = graph->getRedrawCount();

    QColor seed;
    ModalScript script({[&](QWidget *w) {
        auto *cd = qobject_cast<ColorDialog *>(w);
        QVERIFY(cd);
        seed = cd->getColor();
        cd->start_color(QColor(10, 20, 30));
        accept ? cd->accept() : cd->reject();
    }});
    dialog.colorButton->click();
    QCOMPARE(script.remainingSteps(), 0);
    QCOMPARE(seed, QColor(Qt::red));

    const QColor expected = accept ? QColor(10, 20, 30) : QColor(Qt::red);
    QCOMPARE(graph->getFunctionColor(2), expected);
    QCOMPARE(dialog.colorButton->palette().color(QPalette::Button), expected);
    QCOMPARE(graph->getRedrawCount() > redraws, accept);
    QCOMPARE(graph->getFunctionColor(9), QColor(Qt::green));
}

void tst_OptionsDialog::newAndEditGoToParent()
{
    MainWindowStub parent;
    OptionsDialog dialog(&parent, "options", true, graph.get());
    dialog.addButton->click();
    QCOMPARE(parent.addCalls, 1);

    chooseRow(dialog, QStringLiteral("10"));
    dialog.editButton->click();
    QCOMPARE(parent.editedIds, QList<int>{10});

    // A parent without those slots is fine too.
    QWidget plain;
    OptionsDialog orphan(&plain, "options", true, graph.get());
    QSignalSpy edit(&orphan, &OptionsDialog::editSignalId);
    chooseRow(orphan, QStringLiteral("9"));
    orphan.editButton->click();
    QCOMPARE(edit.count(), 1);
    QCOMPARE(edit.at(0).at(0).toInt(), 9);
}

void tst_OptionsDialog::fontsSurviveApplicationFontChange()
{
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    dialog.editButton->setFont(QFont(QStringLiteral("courier"), 20));
    dialog.TextBrowser2->setFont(QFont(QStringLiteral("courier"), 20));
    QEvent change(QEvent::ApplicationFontChange);
    QApplication::sendEvent(&dialog, &change);
    QCOMPARE(dialog.editButton->font().family(), QStringLiteral("helvetica"));
    QCOMPARE(dialog.editButton->font().pointSize(), 10);
    QCOMPARE(dialog.TextBrowser2->font().family(), QStringLiteral("adobe-helvetica"));
    QCOMPARE(dialog.TextBrowser2->font().pointSize(), 10);
}

void tst_OptionsDialog::handsPicture()
{
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    dialog.resize(232, 264);
    dialog.TabWidget2->setCurrentWidget(dialog.about);
    dialog.show();
    // The tiny button beside the about text is not covered by it.
    const QPoint centre = dialog.handsButton->geometry().center();
    QCOMPARE(dialog.about->childAt(centre), dialog.handsButton);

    QSize shownSize;
    QSize pictureSize;
    ModalScript script({[&](QWidget *w) {
        auto *hands = qobject_cast<Hands *>(w);
        QVERIFY(hands);
        hands->resize(400, 400);
        shownSize = hands->size();
        pictureSize = hands->PixmapLabel2->pixmap().size();
        hands->close();
    }});
    dialog.handsButton->click();
    QCOMPARE(script.remainingSteps(), 0);
    QCOMPARE(shownSize, QSize(170, 131));
    QCOMPARE(pictureSize, QSize(150, 111));
}

void tst_OptionsDialog::saveWritesFileAndStaysOpen()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("set"));
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    dialog.show();
    ModalScript script({answerFileDialog(path)});
    dialog.saveFunctions();
    QCOMPARE(script.remainingSteps(), 0);
    QCOMPARE(script.unexpectedCount(), 0);
    QVERIFY(dialog.isVisible());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QBuffer expected;
    expected.open(QIODevice::WriteOnly);
    writeFunctionSet(expected, graph->getFunctions());
    QCOMPARE(file.readAll(), expected.data());
}

void tst_OptionsDialog::saveToFolderShowsSaveError()
{
    QTemporaryDir dir;
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    BoxSeen seen;
    ModalScript script({answerFileDialog(dir.path() + QLatin1Char('/')), answerMessageBox(seen)});
    dialog.saveFunctions();
    QCOMPARE(script.remainingSteps(), 0);
    QCOMPARE(seen.title, QStringLiteral("Save Error"));
    QCOMPARE(seen.text, QStringLiteral("There was an error opening the\nfile for saving.  This is "
                                       "probably\nbecause the path chosen does\nnot specify a "
                                       "single file."));
    QCOMPARE(seen.parent, nullptr);
}

void tst_OptionsDialog::loadAddsAndCloses()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("set"));
    QCOMPARE(saveFunctionSet(path, graph->getFunctions()), SaveResult::Ok);

    OptionsDialog dialog(nullptr, "options", true, graph.get());
    ModalScript script({
        // Queued: a step must not run a modal loop of its own.
        [&](QWidget *) {
            QMetaObject::invokeMethod(&dialog, &OptionsDialog::loadFunctions, Qt::QueuedConnection);
        },
        answerFileDialog(path),
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(script.unexpectedCount(), 0);
    // Merged after the three that were there, with the next ids of the counter.
    QCOMPARE(stateOf(*graph).size(), 6);
    QCOMPARE(graph->getFunctionString(3), QStringLiteral("sin(x)"));
    QCOMPARE(graph->getFunctionString(5), QStringLiteral("x/2"));
}

void tst_OptionsDialog::loadErrors_data()
{
    QTest::addColumn<QByteArray>("contents"); // null: no file at all
    QTest::addColumn<QString>("message");
    QTest::newRow("missingFile") << QByteArray()
                                 << "There was an error loading the file.\nThis is probably "
                                    "because the file\nspecified does not exist.";
    QTest::newRow("wrongVersion") << QByteArray::fromHex("00001405 00000002 FFFFFFFF")
                                  << "There was an error loading the file.\nIncorrect format or "
                                     "version.";
    QTest::newRow("cutShort") << QByteArray::fromHex("00001405 00000001 00000000 00000001 000000")
                              << "There was an error loading the file.\nThe file is damaged or "
                                 "cut short.  No\nfunction was added.";
}

void tst_OptionsDialog::loadErrors()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("set"));
    if (!contents.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    const QList<State> before = stateOf(*graph);
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    dialog.show();
    BoxSeen seen;
    ModalScript script({answerFileDialog(path), answerMessageBox(seen)});
    dialog.loadFunctions();
    QCOMPARE(script.remainingSteps(), 0);
    QCOMPARE(seen.title, QStringLiteral("Load Error"));
    QCOMPARE(seen.text, message);
    QCOMPARE(seen.parent, &dialog);
    QCOMPARE(stateOf(*graph), before);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

QTEST_MAIN(tst_OptionsDialog)
#include "tst_optionsdialog.moc"
