#pragma once

#include "dialogs/editdialogbase.h"

#include <QColor>
#include <QString>

class GraphWidget;

// Adds or edits one function: opened on an id, it loads that function (or a
// blank form for a free id) and reloads whenever the id changes. It never
// changes the function list; the caller reads the getters after accept().
class EditDialog final : public EditDialogBase
{
    Q_OBJECT

public:
    EditDialog(QWidget *parent, const char *name, bool modal, int id, GraphWidget *graph);

    int getId() const;
    char getIndepVariable() const;
    int getEquality() const { return 1; }
    QString getFunction() const;
    QColor getColor() const { return color; }

private slots:
    void fillData(int id);
    void changeColor();
    // Marks the text red, with the engine's message as its tooltip, while it
    // does not compile.
    void showCompileState();

private:
    GraphWidget *graph;
    QColor color;
};
