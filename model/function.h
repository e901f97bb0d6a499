#pragma once

#include "formula/formula.h"

#include <QColor>
#include <QHash>
#include <QString>

#include <vector>

class QDataStream;

// One user function: id, typed text, colour, place in the selector and its
// compiled formula. Records form a doubly linked list owned by GraphWidget.
class Function final
{
public:
    Function(int id, QString text, char indepVariable, QColor color, Function *listHead);
    ~Function();
    Function(const Function &) = delete;
    Function &operator=(const Function &) = delete;

    void setId(int newId) { id = newId; }
    int getId() const { return id; }
    void setFBoxIndex(int index) { fBoxIndex = index; }
    int getFBoxIndex() const { return fBoxIndex; }
    void setEquality(int kind) { equality = kind; }
    int getEquality() const { return equality; }
    void setString(QString text);
    // As setString, for a trial preparation (the compile-message check runs one
    // on every keystroke): it writes no debug lines.
    void setStringQuietly(QString text);
    QString getString() const { return string; }
    void setColor(QColor c) { color = c; }
    QColor getColor() const { return color; }
    void setEnabled(bool on) { enabled = on; }
    bool getEnabled() const { return enabled; }
    // Whether the plot draws it: enabled, with a text.
    bool isDrawn() const { return enabled && !string.isEmpty(); }
    void setIndepVariable(char var) { indepVariable = var; }
    char getIndepVariable() const { return indepVariable; }
    void setNextFunction(Function *f) { nextFunction = f; }
    Function *getNextFunction() const { return nextFunction; }
    void setPrevFunction(Function *f) { prevFunction = f; }
    Function *getPrevFunction() const { return prevFunction; }

    // The list's first record as the owner last told us (null for a record
    // created into an empty list). The owner keeps it pointing at a live record.
    void setListHead(Function *head) { listHead = head; }
    Function *getListHead() const { return listHead; }

    // The compiled form of the prepared text (empty when it failed to compile).
    formu getFormula() const { return formula; }

    // Text as typed of the record with this id in the same list, or "Err".
    QString getOtherString(int otherId) const;
    // Whether the last preparation met a reference to this id, directly or in
    // the text of another function it expanded: then a change of that function's
    // text or existence changes what this one compiles to.
    bool refersTo(int otherId) const;
    // The text of function ownId with every reference f(n) whose n is a key of
    // newIds written as f(newIds[n]), found as preparation finds references; a
    // reference whose text is not a number, or whose number stays, is left as it
    // stands. "f(0)+f(1)" with {0: 3, 1: 4} gives "f(3)+f(4)".
    static QString renumberReferences(const QString &text, int ownId,
                                      const QHash<int, int> &newIds);

    void parse();
    void makeFormula();
    double evaluate(double v) const;
    // evaluate() at values[0..count-1], in that order, into results: one engine
    // call for a whole curve.
    void evaluateBatch(const double *values, double *results, int count) const;
    static QString stringInsert(QString &text, const char *insert, int pos, int len);

private:
    void prepare(bool debugLines);

    int id = 0;
    int fBoxIndex = -1;
    int equality = 1;
    QString string;
    QColor color;
    formu formula = {nullptr, nullptr};
    bool enabled = true;
    char indepVariable = 'x';
    Function *nextFunction = nullptr;
    Function *prevFunction = nullptr;
    Function *listHead = nullptr;
    std::vector<int> references; // ids met by the last preparation, sorted
};

// Writes id, equality, text, colour (one 32-bit 0xAARRGGBB word), enabled and
// the independent variable, in the function-set file's encoding.
QDataStream &operator<<(QDataStream &stream, const Function &f);
