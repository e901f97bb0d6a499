#include "dialogs/editdialogbase.h"

#include "dialogs/formhelpers.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

EditDialogBase::EditDialogBase(QWidget *parent, const char *name, bool modal, Qt::WindowFlags fl)
    : QDialog(parent, fl)
{
    setModal(modal);
    setObjectName(name ? QLatin1String(name) : QLatin1String("EditDialogBase"));
    setFixedSize(210, 95);
    setWindowTitle(tr("Add / Edit Function"));

    TextLabel1 = makeWidget<QLabel>(this, "TextLabel1", 10, 7, 20, 20);
    TextLabel1->setText(tr("ID:"));

    functionBox = makeWidget<QLineEdit>(this, "functionBox", 81, 40, 123, 20);

    okButton = makeWidget<QPushButton>(this, "okButton", 130, 70, 60, 20);
    okButton->setText(tr("Ok"));

    colorButton = makeWidget<QPushButton>(this, "colorButton", 90, 65, 30, 30);

    idBox = makeWidget<QSpinBox>(this, "idBox", 34, 10, 50, 20);

    depVarBox = makeWidget<QComboBox>(this, "depVarBox", 6, 40, 38, 20);
    depVarBox->setEditable(false);
    fonts.add(depVarBox, "helvetica", 8);

    equalBox = makeWidget<QComboBox>(this, "equalBox", 44, 40, 38, 20);
    equalBox->setEditable(false);
    fonts.add(equalBox, "helvetica", 8);

    cancelButton = makeWidget<QPushButton>(this, "cancelButton", 20, 70, 60, 20);
    cancelButton->setText(tr("Cancel"));

    // Enter means "Ok" unless the user moved to "Cancel": the colour button keeps
    // the focus after a colour was chosen and must not take Enter to reopen it.
    okButton->setDefault(true);
    colorButton->setAutoDefault(false);

    // Names for screen readers: a field's label, or what an unlabelled control is for.
    idBox->setAccessibleName(tr("ID"));
    depVarBox->setAccessibleName(tr("Variable"));
    depVarBox->view()->setAccessibleName(tr("Variable"));
    equalBox->setAccessibleName(tr("Relation"));
    equalBox->view()->setAccessibleName(tr("Relation"));
    functionBox->setAccessibleName(tr("Function"));
    colorButton->setAccessibleName(tr("Color"));

    // Tab reads the form row by row; the dialog opens on the expression.
    setReadingOrder({idBox, depVarBox, equalBox, functionBox, cancelButton, colorButton, okButton});
    functionBox->setFocus();
}

EditDialogBase::~EditDialogBase() = default;

bool EditDialogBase::event(QEvent *e)
{
    const bool result = QDialog::event(e);
    if (e->type() == QEvent::ApplicationFontChange)
        fonts.apply();
    return result;
}
