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

// Each row's five cells joined by "|", in display order.
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

ModalScript::Step answerFileDialog(const QString &path)
{
    return [path](QWidget *w) {
        auto *fd = qobject_cast<FileDialog *>(w);
        QVERIFY(fd);
        fd->fileNameLine->setText(path);
        fd->okButton->click();
    };
}

// Records "title|text" and whether the box had the given parent, then presses OK.
ModalScript::Step answerMessageBox(QString &seen, QWidget *&parent)
{
    return [&seen, &parent](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY(box);
        seen = box->windowTitle() + QLatin1Char('|') + box->text();
        parent = box->parentWidget();
        box->button(QMessageBox::Ok)->click();
    };
}

} // namespace

class tst_OptionsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("HOME", home.path().toLocal8Bit()); } // for the file dialog
    void init();
    void cleanup() { graph.reset(); }
    void showsPlotSettingsAndRows();
    void enableAndDelete();
    void actionsWithoutCurrentRowDoNothing_data();
    void actionsWithoutCurrentRowDoNothing();
    void colorDialog_data();
    void colorDialog();
    void newAndEditGoToParent();
    void handsPicture();
    void save_data();
    void save();
    void load_data();
    void load();

private:
    QTemporaryDir home;
    std::unique_ptr<GraphWidget> graph;
};

void tst_OptionsDialog::init()
{
    graph = std::make_unique<GraphWidget>();
    graph->addFunction(2, QStringLiteral("sin(x)"), 'x', Qt::red);
    graph->addFunction(10, QStringLiteral("y^2"), 'y', Qt::blue);
    graph->addFunction(9, QStringLiteral("x/2"), 'x', Qt::green);
    renumber(*graph);
}

void tst_OptionsDialog::showsPlotSettingsAndRows()
{
    graph->setYStep(7);
    graph->toggle_grid();
    graph->change_grid_x(QStringLiteral("0.25"));
    graph->setFunctionEquality(9, 2);
    graph->setFunctionEnabled(10, false);
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    QCOMPARE(dialog.yStepSpinBox->value(), 7);
    QVERIFY(!dialog.gridCheckBox->isChecked());
    QCOMPARE(dialog.gridXText->text() + QLatin1Char(' ') + dialog.gridYText->text(),
             QStringLiteral("0.25 1"));
    // Sorted by the text of the ID column: 10 before 2.
    QCOMPARE(rowsOf(dialog.functionList),
             (QStringList{"10|X|=|y^2|No", "2|Y|=|sin(x)|Yes", "9|Y||x/2|Yes"}));
}

void tst_OptionsDialog::enableAndDelete()
{
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    QSignalSpy deleted(&dialog, &OptionsDialog::functionDeleted);
    connect(&dialog, &OptionsDialog::functionDeleted, this, [this] { renumber(*graph); });

    chooseRow(dialog, QStringLiteral("9"));
    dialog.enabledBox->click();
    QCOMPARE(stateOf(*graph), (QStringList{"2:1:#ff0000", "10:1:#0000ff", "9:0:#00ff00"}));
    QCOMPARE(dialog.functionList->currentItem()->text(4), QStringLiteral("No"));

    chooseRow(dialog, QStringLiteral("10"));
    QVERIFY(dialog.enabledBox->isChecked());
    dialog.deleteButton->click();
    QCOMPARE(deleted.count(), 1);
    QCOMPARE(rowsOf(dialog.functionList), (QStringList{"2|Y|=|sin(x)|Yes", "9|Y|=|x/2|No"}));
    QCOMPARE(stateOf(*graph), (QStringList{"2:1:#ff0000", "9:0:#00ff00"}));
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
    if (situation == QLatin1String("emptySet")) {
        while (graph->getFunctions())
            graph->deleteFunctionFBoxIndex(graph->getFunctions()->getFBoxIndex());
    }
    MainWindowStub parent;
    OptionsDialog dialog(&parent, "options", true, graph.get());
    if (situation == QLatin1String("afterRebuild")) {
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
    QCOMPARE(seed, QColor(Qt::red));

    const QColor expected = accept ? QColor(10, 20, 30) : QColor(Qt::red);
    QCOMPARE(graph->getFunctionColor(2), expected);
    QCOMPARE(dialog.colorButton->palette().color(QPalette::Button), expected);
    QCOMPARE(graph->getRedrawCount() > redraws, accept);
}

void tst_OptionsDialog::newAndEditGoToParent()
{
    MainWindowStub parent;
    OptionsDialog dialog(&parent, "options", true, graph.get());
    dialog.addButton->click();
    chooseRow(dialog, QStringLiteral("10"));
    dialog.editButton->click();
    QCOMPARE(parent.addCalls, 1);
    QCOMPARE(parent.editedIds, QList<int>{10});
}

void tst_OptionsDialog::handsPicture()
{
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    // The tiny button beside the about text is not covered by it.
    dialog.TabWidget2->setCurrentWidget(dialog.about);
    dialog.show();
    QCOMPARE(dialog.about->childAt(dialog.handsButton->geometry().center()), dialog.handsButton);
    QSize shown;
    QSize picture;
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

void tst_OptionsDialog::save_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message"); // empty: saved
    QTest::newRow("file") << "set" << QString();
    QTest::newRow("folder") << ""
                            << "Save Error|There was an error opening the\nfile for saving.  "
                               "This is probably\nbecause the path chosen does\nnot specify a "
                               "single file.";
}

void tst_OptionsDialog::save()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    QTemporaryDir dir;
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    dialog.show();
    QString seen;
    QWidget *boxParent = &dialog;
    ModalScript script({answerFileDialog(dir.path() + QLatin1Char('/') + name),
                        answerMessageBox(seen, boxParent)});
    dialog.saveFunctions();
    QCOMPARE(seen, message);
    QVERIFY(dialog.isVisible());
    if (!message.isEmpty()) {
        QCOMPARE(boxParent, nullptr);
        return;
    }
    QFile file(dir.filePath(name));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QBuffer expected;
    expected.open(QIODevice::WriteOnly);
    writeFunctionSet(expected, graph->getFunctions());
    QCOMPARE(file.readAll(), expected.data());
}

void tst_OptionsDialog::load_data()
{
    QTest::addColumn<QByteArray>("contents"); // null: no file
    QTest::addColumn<QString>("message");     // empty: loaded
    QTest::newRow("twoFunctions")
        << QByteArray::fromHex("00001405 00000001"
                               "00000007 00000001 00000002 0078 FF123456 00000000 00000002 0078"
                               "00000000 00000001 00000002 0079 FF000000 00000001 00000002 0079"
                               "FFFFFFFF")
        << QString();
    QTest::newRow("missingFile") << QByteArray()
                                 << "Load Error|There was an error loading the file.\nThis is "
                                    "probably because the file\nspecified does not exist.";
    QTest::newRow("wrongVersion") << QByteArray::fromHex("00001405 00000002 FFFFFFFF")
                                  << "Load Error|There was an error loading the file.\nIncorrect "
                                     "format or version.";
    QTest::newRow("cutShort") << QByteArray::fromHex("00001405 00000001 00000000 00000001 000000")
                              << "Load Error|There was an error loading the file.\nThe file is "
                                 "damaged or cut short.  No\nfunction was added.";
}

void tst_OptionsDialog::load()
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
    QStringList expected = stateOf(*graph);
    if (message.isEmpty())
        expected << "3:0:#123456"
                 << "4:1:#000000"; // appended with the next ids
    OptionsDialog dialog(nullptr, "options", true, graph.get());
    dialog.show();
    QString seen;
    QWidget *boxParent = nullptr;
    ModalScript script({answerFileDialog(path), answerMessageBox(seen, boxParent)});
    dialog.loadFunctions();
    QCOMPARE(seen, message);
    QCOMPARE(stateOf(*graph), expected);
    // A load closes the dialog; an error leaves it open, the box on top of it.
    QCOMPARE(dialog.result() == QDialog::Accepted, message.isEmpty());
    QCOMPARE(dialog.isVisible(), !message.isEmpty());
    QCOMPARE(boxParent, message.isEmpty() ? nullptr : &dialog);
}

QTEST_MAIN(tst_OptionsDialog)
#include "tst_optionsdialog.moc"
