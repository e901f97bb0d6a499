#pragma once

#include "dialogs/colordialogbase.h"

#include <QColor>

// Mixes a colour from red, green and blue. Callers seed it with start_color(),
// run it modally and read getColor() only when it was accepted.
class ColorDialog final : public ColorDialogBase
{
    Q_OBJECT

public:
    explicit ColorDialog(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false);

    QColor getColor() const { return color; }

public slots:
    void change_red(int v);
    void change_green(int v);
    void change_blue(int v);
    void change_color();
    void start_color(QColor c);

signals:
    void color_changed();

private:
    // Unset (invalid) until seeded or a slider moves.
    QColor color;
};
