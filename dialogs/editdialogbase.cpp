#include "dialogs/editdialogbase.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

void setSmallFont(QWidget *w)
{
    QFont f(w->font());
    f.setFamily(QStringLiteral("helvetica"));
    f.setPointSize(8);
    w->setFont(f);
}

} // namespace

EditDialogBase::EditDialogBase(QWidget *parent, const char *name, bool modal, Qt::WindowFlags fl)
    : QDialog(parent, fl)
{
    setModal(modal);
    setObjectName(name ? QLatin1String(name) : QLatin1String("EditDialogBase"));
    resize(210, 95);
    setMinimumSize(QSize(210, 95));
    setMaximumSize(QSize(210, 95));
    setWindowTitle(tr("Add / Edit Function"));

    TextLabel1 = new QLabel(this);
    TextLabel1->setObjectName(QStringLiteral("TextLabel1"));
    TextLabel1->setGeometry(10, 7, 20, 20);
    TextLabel1->setText(tr("ID:"));

    functionBox = new QLineEdit(this);
    functionBox->setObjectName(QStringLiteral("functionBox"));
    functionBox->setGeometry(81, 40, 123, 20);

    okButton = new QPushButton(this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setGeometry(130, 70, 60, 20);
    okButton->setText(tr("Ok"));

    colorButton = new QPushButton(this);
    colorButton->setObjectName(QStringLiteral("colorButton"));
    colorButton->setGeometry(90, 65, 30, 30);
    colorButton->setText(QString());

    idBox = new QSpinBox(this);
    idBox->setObjectName(QStringLiteral("idBox"));
    idBox->setGeometry(34, 10, 50, 20);

    depVarBox = new QComboBox(this);
    depVarBox->setObjectName(QStringLiteral("depVarBox"));
    depVarBox->setEditable(false);
    depVarBox->setGeometry(6, 40, 38, 20);
    setSmallFont(depVarBox);

    equalBox = new QComboBox(this);
    equalBox->setObjectName(QStringLiteral("equalBox"));
    equalBox->setEditable(false);
    equalBox->setGeometry(44, 40, 38, 20);
    setSmallFont(equalBox);

    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setGeometry(20, 70, 60, 20);
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
}

EditDialogBase::~EditDialogBase() = default;

bool EditDialogBase::event(QEvent *e)
{
    const bool result = QDialog::event(e);
    if (e->type() == QEvent::ApplicationFontChange) {
        setSmallFont(depVarBox);
        setSmallFont(equalBox);
    }
    return result;
}
