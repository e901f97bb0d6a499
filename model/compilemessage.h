#pragma once

#include <QString>

class Function;

// Why a function's text does not compile, as the engine says it: its message and,
// where the fault lies in the typed text, the character (counted from 1), e.g.
// "unmatched parentheses at character 6". Nothing is refused: such a function is
// still stored and drawn as y = 0; these texts only say so.

// For a text about to be stored as function `id` of the list that `listHead`
// belongs to (null: an empty list). Empty when the text compiles or is empty.
QString compileMessage(const QString &text, char indepVariable, int id, Function *listHead);

// The same as the engine's message and the position (from 0) in the typed text,
// -1 where the fault lies only in what preparation made of it (a reference).
struct CompileDiagnosis
{
    QString message; // empty when the text compiles or is empty
    int position = -1;
};
CompileDiagnosis diagnoseCompile(const QString &text, char indepVariable, int id,
                                 Function *listHead);

// The one wording of a located message: "unmatched parentheses at character 6"
// for position 5; the message alone for position -1.
QString locatedMessage(const QString &message, int position);

// For a bound or grid text (see readValueText): empty when it reads, else why not.
QString valueTextMessage(const QString &text);

// For a stored function: empty when its formula compiled, else its id, "Y =" or
// "X =", its text and the message, for the tooltip of its row in a list.
QString compileProblem(Function &f);
