#include "dialogs/formhelpers.h"

#include "dialogs/colordialog.h"

#include <QFont>
#include <QPalette>
#include <QPushButton>

void FormFonts::add(QWidget *widget, const char *family, int pointSize)
{
    entries.append({widget, QString::fromLatin1(family), pointSize});
    set(entries.last());
}

void FormFonts::apply() const
{
    for (const Entry &entry : entries)
        set(entry);
}

// A copy of the widget's font with the family and size changed: everything
// else still follows the application font.
void FormFonts::set(const Entry &entry)
{
    QFont font(entry.widget->font());
    font.setFamily(entry.family);
    if (entry.pointSize > 0)
        font.setPointSize(entry.pointSize);
    entry.widget->setFont(font);
}

void showSwatchColor(QPushButton *swatch, const QColor &color)
{
    swatch->setPalette(QPalette(color, swatch->window()->palette().color(QPalette::Window)));
}

std::optional<QColor> pickColor(QWidget *parent, const QColor &seed)
{
    ColorDialog cd(parent, "cd", true);
    cd.start_color(seed);
    if (cd.exec() != QDialog::Accepted)
        return std::nullopt;
    return cd.getColor();
}

void setReadingOrder(std::initializer_list<QWidget *> widgets)
{
    QWidget *previous = nullptr;
    for (QWidget *widget : widgets) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
    // The chain is a ring, and Qt's splicing may leave another of its widgets
    // where a new form starts looking for the focus.
    if (widgets.size() > 0)
        (*widgets.begin())->setFocus();
}
