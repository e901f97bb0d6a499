#pragma once

#include "dialogs/formhelpers.h"

#include <QDialog>

class QComboBox;
class QEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Form of the add/edit dialog: id, "Y"/"X", "=", expression, colour and the
// two buttons; a fixed 210 x 95 window. Behaviour lives in EditDialog.
class EditDialogBase : public QDialog
{
    Q_OBJECT

public:
    explicit EditDialogBase(QWidget *parent = nullptr, const char *name = nullptr,
                            bool modal = false, Qt::WindowFlags fl = {});
    ~EditDialogBase() override;

    QLabel *TextLabel1;
    QLineEdit *functionBox;
    QPushButton *okButton;
    QPushButton *colorButton;
    QSpinBox *idBox;
    QComboBox *depVarBox;
    QComboBox *equalBox;
    QPushButton *cancelButton;

protected:
    // Keeps the two small combo box fonts when the application font changes.
    bool event(QEvent *e) override;

private:
    FormFonts fonts;
};
