#pragma once

#include "dialogs/formhelpers.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTextBrowser;
class QTreeWidget;

// The options dialog's fixed 232 x 264 form: tabs "Tools", "Func.", "Help" and
// "About". The main window connects to the Tools widgets directly, so every
// child widget is a public member named after its object name.
class OptionsDialogBase : public QDialog
{
    Q_OBJECT

public:
    explicit OptionsDialogBase(QWidget *parent = nullptr, const char *name = nullptr,
                               bool modal = false, Qt::WindowFlags fl = {});
    ~OptionsDialogBase() override;

    QTabWidget *TabWidget2;
    QWidget *tools;
    QPushButton *zoomBoxButton;
    QGroupBox *gridBox1;
    QLabel *TextLabel2;
    QLabel *TextLabel1;
    QLineEdit *gridYText;
    QCheckBox *gridCheckBox;
    QLineEdit *gridXText;
    QLabel *yStepLabel;
    QLabel *xStepLabel;
    QSpinBox *yStepSpinBox;
    QSpinBox *xStepSpinBox;
    QPushButton *zoomStdButton;
    QPushButton *findIntButton;
    QPushButton *saveButton;
    QPushButton *loadButton;
    QWidget *functionTab;
    QLabel *colorLabel;
    QPushButton *colorButton;
    QCheckBox *enabledBox;
    QPushButton *editButton;
    QPushButton *addButton;
    QPushButton *deleteButton;
    QTreeWidget *functionList;
    QWidget *help;
    QTextBrowser *TextBrowser2;
    QWidget *about;
    QPushButton *handsButton;
    QTextBrowser *TextBrowser1;

protected:
    // Re-applies the form's own fonts when the application font changes, so
    // these widgets keep them.
    bool event(QEvent *e) override;

private:
    FormFonts fonts;
};
