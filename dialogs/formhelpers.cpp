#include "dialogs/formhelpers.h"

#include "dialogs/colordialog.h"
#include "model/compilemessage.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>

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

void showTextProblem(QLineEdit *field, const QString &message)
{
    QPalette colours; // the application's, while the text compiles
    if (!message.isEmpty())
        colours.setColor(QPalette::Text, Qt::red);
    field->setPalette(colours);
    field->setToolTip(message);
    field->setAccessibleDescription(message);
}

void fitTextFont(QLineEdit *field, qreal pointSize)
{
    // The width QLineEdit lays its text out in: inside the frame and the text
    // margins, less its own margin of 2 pixels a side, with room for the cursor.
    QStyleOptionFrame frame;
    frame.initFrom(field);
    frame.rect = field->contentsRect();
    frame.lineWidth = field->hasFrame()
                          ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, field)
                          : 0;
    frame.state |= QStyle::State_Sunken;
    const QRect contents = field->style()
                               ->subElementRect(QStyle::SE_LineEditContents, &frame, field)
                               .marginsRemoved(field->textMargins());
    const qreal room = contents.width() - 2 * 2 - 2;

    QFont font = field->font();
    for (qreal size = pointSize; size >= pointSize / 2; size -= 0.5) {
        font.setPointSizeF(size);
        for (int stretch :
             {int(QFont::Unstretched), int(QFont::Condensed), int(QFont::ExtraCondensed)}) {
            font.setStretch(stretch);
            if (QFontMetricsF(font).horizontalAdvance(field->text()) <= room) {
                field->setFont(font);
                return;
            }
        }
    }
    field->setFont(font); // the smallest tried: the rest scrolls
}

void watchValueField(QLineEdit *field, qreal pointSize)
{
    const auto show = [field, pointSize] {
        showTextProblem(field, valueTextMessage(field->text()));
        fitTextFont(field, pointSize);
    };
    show();
    QObject::connect(field, &QLineEdit::textChanged, field, show);
}
