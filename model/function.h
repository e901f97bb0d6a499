#pragma once

#include "formula/formula.h"

#include <QColor>
#include <QString>

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
    QString getString() const { return string; }
    void setColor(QColor c) { color = c; }
    QColor getColor() const { return color; }
    void setEnabled(bool on) { enabled = on; }
    bool getEnabled() const { return enabled; }
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

    void parse();
    void makeFormula();
    double evaluate(double v) const;
    // evaluate() at values[0..count-1], in that order, into results: one engine
    // call for a whole curve.
    void evaluateBatch(const double *values, double *results, int count) const;
    static QString stringInsert(QString &text, const char *insert, int pos, int len);

private:
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
};

// Writes id, equality, text, colour (one 32-bit 0xAARRGGBB word), enabled and
// the independent variable, in the function-set file's encoding.
QDataStream &operator<<(QDataStream &stream, const Function &f);
