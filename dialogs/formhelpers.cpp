#include "dialogs/formhelpers.h"

#include <QFont>

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
