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

// The engine's message with the character it stopped at, counted from 1 for
// a position from 0: "syntax error at character 2"; without a position (-1)
// the message alone.
QString messageAt(const QString &message, int position);

// For a bound or grid text (see readValueText): empty when it reads, else why not.
QString valueTextMessage(const QString &text);

// For a stored function: empty when its formula compiled, else its id, "Y =" or
// "X =", its text and the message, for the tooltip of its row in a list.
QString compileProblem(Function &f);
