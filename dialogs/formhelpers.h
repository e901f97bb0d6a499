#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

#include <initializer_list>
#include <optional>

class QLineEdit;
class QPushButton;

// What every form of the program shares: building its child widgets at fixed
// pixel positions, keeping the fonts it gives them, and its colour swatch.

// A child of `parent` with its object name and, where given, its geometry
// (x, y, width, height, as in the form's table). Tab pages take theirs from the
// tab widget and get none.
template<class W>
W *makeWidget(QWidget *parent, const char *name)
{
    auto *widget = new W(parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

template<class W>
W *makeWidget(QWidget *parent, const char *name, int x, int y, int width, int height)
{
    W *widget = makeWidget<W>(parent, name);
    widget->setGeometry(x, y, width, height);
    return widget;
}

// The fonts a form gives some of its widgets. Each is set when the widget is
// built and again by apply(), which the form's event() calls on an application
// font change, so those widgets keep their fonts when the user changes the
// system font. The widgets are the form's children and live as long as it.
class FormFonts final
{
public:
    // Family and point size for one widget, set at once. Without a size the
    // widget keeps its own.
    void add(QWidget *widget, const char *family, int pointSize = 0);
    // Sets every font again, in the order they were added.
    void apply() const;

private:
    struct Entry
    {
        QWidget *widget;
        QString family;
        int pointSize;
    };
    static void set(const Entry &entry);

    QList<Entry> entries;
};

// A small push button shows a colour through its palette: the colour as its
// button colour and its window's own background around it.
void showSwatchColor(QPushButton *swatch, const QColor &color);

// Runs the colour dialog modally over `parent`, seeded with `seed`. Gives the
// mixed colour when it was accepted, nothing when it was cancelled.
std::optional<QColor> pickColor(QWidget *parent, const QColor &seed);

// Makes Tab visit `widgets` in the order given (Shift+Tab the other way), from
// the first, which has the focus when the form opens. List them as the form
// reads, left to right and top to bottom.
void setReadingOrder(std::initializer_list<QWidget *> widgets);

// A field whose text is a formula shows when the engine cannot read it: red,
// with the message as its tooltip and accessible description. An empty
// message gives the application's look back.
void showTextProblem(QLineEdit *field, const QString &message);

// Shows the field's whole text when it fits the field's width in its font at
// `pointSize`, or condensed, or in a smaller size (down to half): "-2.56896e+06"
// shows whole in a 48-pixel bound field.
void fitTextFont(QLineEdit *field, qreal pointSize);

// A field whose text is read as a number (a bound, a grid spacing): from now
// on, as its text changes, it shows why the engine cannot read it
// (showTextProblem) and a long number whole (fitTextFont at `pointSize`).
void watchValueField(QLineEdit *field, qreal pointSize);
