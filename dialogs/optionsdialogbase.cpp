#include "dialogs/optionsdialogbase.h"

#include "dialogs/texts.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTreeWidget>

OptionsDialogBase::OptionsDialogBase(QWidget *parent, const char *name, bool modal,
                                     Qt::WindowFlags fl)
    : QDialog(parent, fl)
{
    setObjectName(name ? QString::fromLatin1(name) : QStringLiteral("OptionsDialogBase"));
    setModal(modal);
    resize(232, 264);
    setMinimumSize(232, 264);
    setMaximumSize(232, 264);
    setWindowTitle(tr("Options"));

    TabWidget2 = new QTabWidget(this);
    TabWidget2->setObjectName(QStringLiteral("TabWidget2"));
    TabWidget2->setGeometry(2, 2, 228, 260);
    TabWidget2->setMinimumSize(228, 260);
    TabWidget2->setMaximumSize(228, 260);

    tools = new QWidget(TabWidget2);
    tools->setObjectName(QStringLiteral("tools"));

    zoomBoxButton = new QPushButton(tools);
    zoomBoxButton->setObjectName(QStringLiteral("zoomBoxButton"));
    zoomBoxButton->setGeometry(10, 20, 70, 20);
    zoomBoxButton->setText(tr("Zoom Box"));

    gridBox1 = new QGroupBox(tools);
    gridBox1->setObjectName(QStringLiteral("gridBox1"));
    gridBox1->setGeometry(100, 90, 100, 100);
    gridBox1->setTitle(tr("Grid"));

    TextLabel2 = new QLabel(gridBox1);
    TextLabel2->setObjectName(QStringLiteral("TextLabel2"));
    TextLabel2->setGeometry(10, 60, 16, 20);
    TextLabel2->setText(tr("y:"));

    TextLabel1 = new QLabel(gridBox1);
    TextLabel1->setObjectName(QStringLiteral("TextLabel1"));
    TextLabel1->setGeometry(10, 40, 16, 20);
    TextLabel1->setText(tr("x:"));

    gridYText = new QLineEdit(gridBox1);
    gridYText->setObjectName(QStringLiteral("gridYText"));
    gridYText->setGeometry(25, 63, 60, 16);
    gridYText->setText(tr("1"));

    gridCheckBox = new QCheckBox(gridBox1);
    gridCheckBox->setObjectName(QStringLiteral("gridCheckBox"));
    gridCheckBox->setGeometry(10, 20, 50, 14);
    gridCheckBox->setText(tr("On"));
    gridCheckBox->setChecked(true);

    gridXText = new QLineEdit(gridBox1);
    gridXText->setObjectName(QStringLiteral("gridXText"));
    gridXText->setGeometry(25, 43, 60, 16);
    gridXText->setText(tr("1"));

    yStepLabel = new QLabel(tools);
    yStepLabel->setObjectName(QStringLiteral("yStepLabel"));
    yStepLabel->setGeometry(105, 52, 40, 14);
    yStepLabel->setText(tr("Y-Step:"));
    yStepLabel->setAlignment(Qt::AlignCenter);

    xStepLabel = new QLabel(tools);
    xStepLabel->setObjectName(QStringLiteral("xStepLabel"));
    xStepLabel->setGeometry(105, 22, 40, 14);
    xStepLabel->setText(tr("X-Step:"));
    xStepLabel->setAlignment(Qt::AlignCenter);

    yStepSpinBox = new QSpinBox(tools);
    yStepSpinBox->setObjectName(QStringLiteral("yStepSpinBox"));
    yStepSpinBox->setGeometry(150, 50, 35, 20);
    yStepSpinBox->setRange(1, 10);
    yStepSpinBox->setValue(4);

    xStepSpinBox = new QSpinBox(tools);
    xStepSpinBox->setObjectName(QStringLiteral("xStepSpinBox"));
    xStepSpinBox->setGeometry(150, 20, 35, 20);
    xStepSpinBox->setRange(1, 10);
    xStepSpinBox->setValue(4);

    zoomStdButton = new QPushButton(tools);
    zoomStdButton->setObjectName(QStringLiteral("zoomStdButton"));
    zoomStdButton->setGeometry(10, 40, 70, 20);
    zoomStdButton->setText(tr("Zoom Std"));

    findIntButton = new QPushButton(tools);
    findIntButton->setObjectName(QStringLiteral("findIntButton"));
    findIntButton->setGeometry(10, 70, 70, 20);
    findIntButton->setText(tr("Intersection"));

    saveButton = new QPushButton(tools);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    saveButton->setGeometry(30, 200, 70, 20);
    saveButton->setText(tr("Save"));

    loadButton = new QPushButton(tools);
    loadButton->setObjectName(QStringLiteral("loadButton"));
    loadButton->setGeometry(120, 200, 70, 20);
    loadButton->setText(tr("Load"));
    TabWidget2->addTab(tools, tr("Tools"));

    functionTab = new QWidget(TabWidget2);
    functionTab->setObjectName(QStringLiteral("functionTab"));

    colorLabel = new QLabel(functionTab);
    colorLabel->setObjectName(QStringLiteral("colorLabel"));
    colorLabel->setGeometry(130, 190, 40, 16);
    colorLabel->setText(tr("Color:"));

    colorButton = new QPushButton(functionTab);
    colorButton->setObjectName(QStringLiteral("colorButton"));
    colorButton->setGeometry(170, 190, 16, 16);

    enabledBox = new QCheckBox(functionTab);
    enabledBox->setObjectName(QStringLiteral("enabledBox"));
    enabledBox->setGeometry(30, 190, 70, 16);
    enabledBox->setText(tr("Enabled"));

    editButton = new QPushButton(functionTab);
    editButton->setObjectName(QStringLiteral("editButton"));
    editButton->setGeometry(15, 208, 55, 20);
    editButton->setText(tr("Edit"));

    addButton = new QPushButton(functionTab);
    addButton->setObjectName(QStringLiteral("addButton"));
    addButton->setGeometry(85, 208, 55, 20);
    addButton->setText(tr("New"));

    deleteButton = new QPushButton(functionTab);
    deleteButton->setObjectName(QStringLiteral("deleteButton"));
    deleteButton->setGeometry(155, 208, 55, 20);
    deleteButton->setText(tr("Delete"));

    functionList = new QTreeWidget(functionTab);
    functionList->setObjectName(QStringLiteral("functionList"));
    functionList->setGeometry(5, 5, 213, 180);
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

    help = new QWidget(TabWidget2);
    help->setObjectName(QStringLiteral("help"));

    TextBrowser2 = new QTextBrowser(help);
    TextBrowser2->setObjectName(QStringLiteral("TextBrowser2"));
    TextBrowser2->setGeometry(5, 5, 215, 220);
    TextBrowser2->setPlainText(tr(helpText()));
    TabWidget2->addTab(help, tr("Help"));

    about = new QWidget(TabWidget2);
    about->setObjectName(QStringLiteral("about"));

    handsButton = new QPushButton(about);
    handsButton->setObjectName(QStringLiteral("handsButton"));
    handsButton->setGeometry(215, 225, 10, 10);

    TextBrowser1 = new QTextBrowser(about);
    TextBrowser1->setObjectName(QStringLiteral("TextBrowser1"));
    TextBrowser1->setGeometry(5, 5, 210, 220);
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

    applyFonts();
}

OptionsDialogBase::~OptionsDialogBase() = default;

bool OptionsDialogBase::event(QEvent *e)
{
    const bool result = QDialog::event(e);
    if (e->type() == QEvent::ApplicationFontChange)
        applyFonts();
    return result;
}

void OptionsDialogBase::applyFonts()
{
    QFont stepFont(yStepLabel->font());
    stepFont.setFamily(QStringLiteral("adobe-helvetica"));
    yStepLabel->setFont(stepFont);
    stepFont = xStepLabel->font();
    stepFont.setFamily(QStringLiteral("adobe-helvetica"));
    xStepLabel->setFont(stepFont);

    const QFont buttonFont(QStringLiteral("helvetica"), 10);
    editButton->setFont(buttonFont);
    addButton->setFont(buttonFont);
    deleteButton->setFont(buttonFont);
    functionList->setFont(buttonFont);

    const QFont textFont(QStringLiteral("adobe-helvetica"), 10);
    TextBrowser2->setFont(textFont);
    TextBrowser1->setFont(textFont);
}
