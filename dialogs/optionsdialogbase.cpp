#include "dialogs/optionsdialogbase.h"

#include "dialogs/formhelpers.h"
#include "dialogs/texts.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTreeWidget>

OptionsDialogBase::OptionsDialogBase(QWidget *parent, const char *name, bool modal,
                                     Qt::WindowFlags fl)
    : QDialog(parent, fl)
{
    setObjectName(name ? QString::fromLatin1(name) : QStringLiteral("OptionsDialogBase"));
    setModal(modal);
    setFixedSize(232, 264);
    setWindowTitle(tr("Options"));

    TabWidget2 = makeWidget<QTabWidget>(this, "TabWidget2", 2, 2, 228, 260);
    TabWidget2->setFixedSize(228, 260);

    tools = makeWidget<QWidget>(TabWidget2, "tools");

    zoomBoxButton = makeWidget<QPushButton>(tools, "zoomBoxButton", 10, 20, 70, 20);
    zoomBoxButton->setText(tr("Zoom Box"));

    gridBox1 = makeWidget<QGroupBox>(tools, "gridBox1", 100, 90, 100, 100);
    gridBox1->setTitle(tr("Grid"));

    TextLabel2 = makeWidget<QLabel>(gridBox1, "TextLabel2", 10, 60, 16, 20);
    TextLabel2->setText(tr("y:"));

    TextLabel1 = makeWidget<QLabel>(gridBox1, "TextLabel1", 10, 40, 16, 20);
    TextLabel1->setText(tr("x:"));

    gridYText = makeWidget<QLineEdit>(gridBox1, "gridYText", 25, 63, 60, 16);
    gridYText->setText(tr("1"));

    gridCheckBox = makeWidget<QCheckBox>(gridBox1, "gridCheckBox", 10, 20, 50, 14);
    gridCheckBox->setText(tr("On"));
    gridCheckBox->setChecked(true);

    gridXText = makeWidget<QLineEdit>(gridBox1, "gridXText", 25, 43, 60, 16);
    gridXText->setText(tr("1"));

    yStepLabel = makeWidget<QLabel>(tools, "yStepLabel", 105, 52, 40, 14);
    fonts.add(yStepLabel, "adobe-helvetica");
    yStepLabel->setText(tr("Y-Step:"));
    yStepLabel->setAlignment(Qt::AlignCenter);

    xStepLabel = makeWidget<QLabel>(tools, "xStepLabel", 105, 22, 40, 14);
    fonts.add(xStepLabel, "adobe-helvetica");
    xStepLabel->setText(tr("X-Step:"));
    xStepLabel->setAlignment(Qt::AlignCenter);

    yStepSpinBox = makeWidget<QSpinBox>(tools, "yStepSpinBox", 150, 50, 35, 20);
    yStepSpinBox->setRange(1, 10);
    yStepSpinBox->setValue(4);

    xStepSpinBox = makeWidget<QSpinBox>(tools, "xStepSpinBox", 150, 20, 35, 20);
    xStepSpinBox->setRange(1, 10);
    xStepSpinBox->setValue(4);

    zoomStdButton = makeWidget<QPushButton>(tools, "zoomStdButton", 10, 40, 70, 20);
    zoomStdButton->setText(tr("Zoom Std"));

    findIntButton = makeWidget<QPushButton>(tools, "findIntButton", 10, 70, 70, 20);
    findIntButton->setText(tr("Intersection"));

    saveButton = makeWidget<QPushButton>(tools, "saveButton", 30, 200, 70, 20);
    saveButton->setText(tr("Save"));

    loadButton = makeWidget<QPushButton>(tools, "loadButton", 120, 200, 70, 20);
    loadButton->setText(tr("Load"));
    TabWidget2->addTab(tools, tr("Tools"));

    functionTab = makeWidget<QWidget>(TabWidget2, "functionTab");

    colorLabel = makeWidget<QLabel>(functionTab, "colorLabel", 130, 190, 40, 16);
    colorLabel->setText(tr("Color:"));

    colorButton = makeWidget<QPushButton>(functionTab, "colorButton", 170, 190, 16, 16);

    enabledBox = makeWidget<QCheckBox>(functionTab, "enabledBox", 30, 190, 70, 16);
    enabledBox->setText(tr("Enabled"));

    editButton = makeWidget<QPushButton>(functionTab, "editButton", 15, 208, 55, 20);
    fonts.add(editButton, "helvetica", 10);
    editButton->setText(tr("Edit"));

    addButton = makeWidget<QPushButton>(functionTab, "addButton", 85, 208, 55, 20);
    fonts.add(addButton, "helvetica", 10);
    addButton->setText(tr("New"));

    deleteButton = makeWidget<QPushButton>(functionTab, "deleteButton", 155, 208, 55, 20);
    fonts.add(deleteButton, "helvetica", 10);
    deleteButton->setText(tr("Delete"));

    functionList = makeWidget<QTreeWidget>(functionTab, "functionList", 5, 5, 213, 180);
    fonts.add(functionList, "helvetica", 10);
    functionList->setColumnCount(5);
    functionList->setHeaderLabels({tr("ID"), tr("Var"), tr("Op"), tr("Function"), tr("On")});
    functionList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Each column keeps its contents' width; Qt's header would stretch the last one.
    functionList->header()->setStretchLastSection(false);
    functionList->setRootIsDecorated(false);
    functionList->setAllColumnsShowFocus(true);
    functionList->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Rows sort by column text (QTreeWidgetItem compares display strings), so
    // ids 2, 9 and 10 list as 10, 2, 9; tapping a title re-sorts by that column.
    functionList->setSortingEnabled(true);
    functionList->sortByColumn(0, Qt::AscendingOrder);
    TabWidget2->addTab(functionTab, tr("Func."));

    help = makeWidget<QWidget>(TabWidget2, "help");

    TextBrowser2 = makeWidget<QTextBrowser>(help, "TextBrowser2", 5, 5, 215, 220);
    fonts.add(TextBrowser2, "adobe-helvetica", 10);
    TextBrowser2->setPlainText(tr(helpText()));
    TabWidget2->addTab(help, tr("Help"));

    about = makeWidget<QWidget>(TabWidget2, "about");

    handsButton = makeWidget<QPushButton>(about, "handsButton", 215, 225, 10, 10);

    TextBrowser1 = makeWidget<QTextBrowser>(about, "TextBrowser1", 5, 5, 210, 220);
    fonts.add(TextBrowser1, "adobe-helvetica", 10);
    // Automatic text format: rich text only when the text looks like it.
    const QString aboutTr = tr(aboutText());
    if (Qt::mightBeRichText(aboutTr))
        TextBrowser1->setHtml(aboutTr);
    else
        TextBrowser1->setPlainText(aboutTr);
    TabWidget2->addTab(about, tr("About"));

    // The dialog has no Ok button: Enter in a field (a grid spacing) must press
    // nothing, where Qt would press the first auto-default button, "Zoom Box".
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);

    // Names for screen readers: a field's label, or what an unlabelled control is for.
    TabWidget2->setAccessibleName(tr("Option pages"));
    for (int page = 0; page < TabWidget2->count(); ++page)
        TabWidget2->widget(page)->setAccessibleName(TabWidget2->tabText(page));
    gridXText->setAccessibleName(tr("Grid x"));
    gridYText->setAccessibleName(tr("Grid y"));
    gridCheckBox->setAccessibleName(tr("Grid on"));
    xStepSpinBox->setAccessibleName(tr("X-Step"));
    yStepSpinBox->setAccessibleName(tr("Y-Step"));
    colorButton->setAccessibleName(tr("Color"));
    functionList->setAccessibleName(tr("Functions"));
    TextBrowser2->setAccessibleName(tr("Help"));
    TextBrowser1->setAccessibleName(tr("About"));
    handsButton->setAccessibleName(tr("Picture"));

    // Tab reads each page row by row, after the tab bar (not the tab widget,
    // which holds the pages: Qt would put the order past them).
    QTabBar *tabs = TabWidget2->tabBar();
    setReadingOrder(
        {tabs, functionList, enabledBox, colorButton, editButton, addButton, deleteButton});
    setReadingOrder({tabs, TextBrowser1, handsButton});
    setReadingOrder({tabs, zoomBoxButton, xStepSpinBox, zoomStdButton, yStepSpinBox, findIntButton,
                     gridCheckBox, gridXText, gridYText, saveButton, loadButton});
}

OptionsDialogBase::~OptionsDialogBase() = default;

bool OptionsDialogBase::event(QEvent *e)
{
    const bool result = QDialog::event(e);
    if (e->type() == QEvent::ApplicationFontChange)
        fonts.apply();
    return result;
}
