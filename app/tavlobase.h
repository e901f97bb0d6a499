#pragma once

#include "dialogs/formhelpers.h"

#include <QList>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QEvent;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

// Form of the main window: the plot frame, the function selector row, the four
// bound fields and the zoom row, at fixed pixel positions in 240 x 300.
// Behaviour lives in Tavlo.
class TavloBase : public QWidget
{
    Q_OBJECT

public:
    explicit TavloBase(QWidget *parent = nullptr, const char *name = nullptr,
                       Qt::WindowFlags fl = {});
    ~TavloBase() override;

    QLineEdit *yMinText;
    QLineEdit *yMaxText;
    QLabel *TextLabel1_2_3;
    QLabel *TextLabel1_2_2;
    QLabel *TextLabel1_2;
    QLabel *TextLabel1;
    QLineEdit *xMinText;
    QPushButton *optionsButton;
    QLabel *TextLabel2;
    QLineEdit *xMaxText;
    QCheckBox *fCheckBox;
    QPushButton *addButton;
    QPushButton *deleteButton;
    QPushButton *editButton;
    QPushButton *fColorButton;
    QComboBox *functionBox;
    QSlider *zoomSlider;
    QFrame *graphframe;

    // x-min, x-max, y-min, y-max.
    QList<QLineEdit *> boundFields() const;

protected:
    // Re-applies the form's fonts when the application font changes.
    bool event(QEvent *e) override;

private:
    FormFonts fonts;
};
