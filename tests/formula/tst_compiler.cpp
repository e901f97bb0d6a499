#include "formula/formula.h"

#include <QList>
#include <QRandomGenerator>
#include <QTest>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Compiled
{
    formu f{nullptr, nullptr};
    int length = -7;
    int error = -7;
    QByteArray message;
};

Compiled compile(const std::string &text, const char *args)
{
    Compiled c;
    c.f = translate(text.c_str(), args, &c.length, &c.error);
    c.message = fget_error();
    return c;
}

QByteArray hexCode(const unsigned char *code, int length)
{
    return QByteArray(reinterpret_cast<const char *>(code), length).toHex(' ');
}

// Constants the code refers to; folding keeps them dense from index 0.
QList<double> constantsOf(const formu &f, int length)
{
    int count = 0;
    for (int i = 0; i < length; ++i) {
        if (f.code[i] == OP_CONST)
            count = std::max(count, f.code[i + 1] + 1);
        if (f.code[i] == OP_CONST || f.code[i] == OP_VAR || f.code[i] == OP_CALL)
            ++i;
    }
    return QList<double>(f.ctable, f.ctable + count);
}

bool sameValues(const QList<double> &a, const QList<double> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i]))))
            return false;
    }
    return true;
}

// The compiler as its definition reads: recursive, splitting each operand at its
// rightmost top-level operator, splitting arguments on a copy with my_strtok. The
// engine compiles chains iteratively with an index of the parentheses; both must
// agree on every byte, constant, message and position.
class Reference
{
public:
    QByteArray message;
    int error = -1;
    std::vector<unsigned char> code;
    std::vector<double> constants;

    bool translate(const std::string &text, const char *args)
    {
        s = text;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (lower(s[i]) && !letter(at(i + 1)) && (i == 0 || !letter(s[i - 1])) &&
                !std::strchr(args, s[i]))
                return fail("undeclared parameter", int(i));
        }
        return trans(0, int(s.size()));
    }

private:
    std::string s;

    char at(std::size_t i) const { return i < s.size() ? s[i] : '\0'; }
    static bool letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool lower(char c) { return c >= 'a' && c <= 'z'; }
    static bool space(char c) { return c && std::strchr(" \t\n\v\f\r", c); }
    bool fail(const char *msg, int pos)
    {
        message = msg;
        error = pos;
        return false;
    }

    template<typename Pred>
    int rightmost(int b, int e, Pred qualifies) const
    {
        int best = -1, depth = 0;
        for (int p = b; p < e; ++p) {
            if (s[p] == '(')
                ++depth;
            else if (s[p] == ')')
                --depth;
            else if (depth == 0 && qualifies(p))
                best = p;
        }
        return best;
    }

    bool fold(std::size_t start, int npars)
    {
        std::size_t n = code.size() - start;
        for (int k = 0; k < npars; ++k) {
            if (code[start + 2 * k] != OP_CONST)
                return true;
        }
        unsigned char tail = code[start + 2 * npars];
        bool call = n == std::size_t(2 * npars + 2) && tail == OP_CALL &&
                    ftable[code[start + 2 * npars + 1]].varying == 0;
        if (!call && !(n == std::size_t(2 * npars + 1) && is_code_oper(tail)))
            return true;
        code.push_back(0);
        double v = value(formu{code.data() + start, constants.data()});
        constants.resize(constants.size() - npars);
        code.resize(start);
        if (constants.size() == 255)
            return fail("too many constants", -1);
        code.push_back(OP_CONST);
        code.push_back(static_cast<unsigned char>(constants.size()));
        constants.push_back(v);
        return true;
    }

    bool trans(int b, int e)
    {
        if (b >= e)
            return fail("missing operand", b);
        int depth = 0, p = b;
        for (; p < e; ++p) {
            if (s[p] == '(')
                ++depth;
            else if (s[p] == ')' && --depth < 0)
                break;
        }
        if (depth != 0)
            return fail("unmatched parentheses", p < e ? p : e - 1);
        std::size_t start = code.size();
        auto binary = [&](int op) {
            if (!trans(b, op) || !trans(op + 1, e))
                return false;
            code.push_back(static_cast<unsigned char>(s[op]));
            return fold(start, 2);
        };
        if ((p = rightmost(b, e, [&](int q) {
                 return (s[q] == '+' || (s[q] == '-' && q != b)) && !(q > b && s[q - 1] == 'E');
             })) >= 0)
            return binary(p);
        if ((p = rightmost(b, e, [&](int q) { return s[q] == '*' || s[q] == '/'; })) >= 0)
            return binary(p);
        if (s[b] == '-') {
            if (!trans(b + 1, e))
                return false;
            code.push_back(OP_NEG);
            return fold(start, 1);
        }
        if ((p = rightmost(b, e, [&](int q) { return s[q] == '^'; })) >= 0)
            return binary(p);

        while (b < e && space(s[b]))
            ++b;
        while (e > b && space(s[e - 1]))
            --e;
        if (e - b >= 2 && s[b] == '(' && s[e - 1] == ')')
            return trans(b + 1, e - 1);
        if (e - b == 1 && lower(s[b])) {
            code.push_back(OP_VAR);
            code.push_back(static_cast<unsigned char>(s[b]));
            return true;
        }
        char *end = nullptr;
        double v = e > b ? std::strtod(s.c_str() + b, &end) : 0.0;
        if (e > b && end == s.c_str() + e) {
            if (constants.size() == 255)
                return fail("too many constants", b);
            code.push_back(OP_CONST);
            code.push_back(static_cast<unsigned char>(constants.size()));
            constants.push_back(v);
            return true;
        }
        if (!letter(at(b)) && at(b) != '_')
            return fail("syntax error", b);
        int ne = b;
        while (ne < e &&
               (letter(s[ne]) || std::isdigit(static_cast<unsigned char>(s[ne])) || s[ne] == '_'))
            ++ne;
        int row = where_table(s.substr(b, ne - b).c_str());
        if (row < 0)
            return fail("function not found", b);
        if (ne == e || s[ne] != '(' || s[e - 1] != ')')
            return fail("improper function syntax", ne);
        int npars = ftable[row].n_pars;
        if (npars == 0) {
            for (int q = ne + 1; q < e - 1; ++q) {
                if (!space(s[q]))
                    return fail("too many parameters", ne + 1);
            }
        } else {
            std::string inner = s.substr(ne + 1, e - 1 - (ne + 1));
            std::vector<char> copy(inner.begin(), inner.end());
            copy.push_back('\0');
            std::vector<std::pair<int, int>> pieces;
            for (int k = 0; k < npars; ++k) {
                char *piece = my_strtok(k ? nullptr : copy.data());
                if (!piece)
                    return fail("too few parameters", e - 2);
                int from = ne + 1 + int(piece - copy.data());
                pieces.emplace_back(from, from + int(std::strlen(piece)));
            }
            if (char *further = my_strtok(nullptr))
                return fail("too many parameters", ne + 1 + int(further - copy.data()));
            for (auto [from, to] : pieces) {
                if (!trans(from, to))
                    return false;
            }
        }
        code.push_back(OP_CALL);
        code.push_back(static_cast<unsigned char>(row));
        return fold(start, npars);
    }
};

std::string repeat(const std::string &part, int times)
{
    std::string r;
    r.reserve(part.size() * times);
    for (int i = 0; i < times; ++i)
        r += part;
    return r;
}

std::string randomFormula(QRandomGenerator &rng, int depth)
{
    static const char *const leaves[] = {"x",    "y",    "2",     "0.5", "1E-3",
                                         "3E+2", "pi()", "rnd()", " x"};
    if (depth <= 0 || rng.bounded(4) == 0)
        return leaves[rng.bounded(int(std::size(leaves)))];
    switch (rng.bounded(6)) {
    case 0:
        return "-" + randomFormula(rng, depth - 1);
    case 1:
        return "(" + randomFormula(rng, depth - 1) + ")";
    case 2:
        return "sin(" + randomFormula(rng, depth - 1) + ")";
    case 3:
        return "atan2(" + randomFormula(rng, depth - 1) + "," + randomFormula(rng, depth - 1) + ")";
    default: {
        static const char ops[] = "+-*/^";
        return randomFormula(rng, depth - 1) + ops[rng.bounded(5)] + randomFormula(rng, depth - 1);
    }
    }
}

std::string randomTokens(QRandomGenerator &rng)
{
    static const char *const tokens[] = {
        "x", "y", "z", "1",   "2.5",   "E",  "1E",  "-",  "+",   "*", "/", "^",   "(",
        ")", ",", " ", "sin", "atan2", "pi", "rnd", "ln", "Sin", "_", "e", "(x)", "()"};
    std::string s;
    int n = 1 + rng.bounded(12);
    for (int i = 0; i < n; ++i)
        s += tokens[rng.bounded(int(std::size(tokens)))];
    return s;
}

} // namespace

class tst_Compiler : public QObject
{
    Q_OBJECT

private slots:
    void compiles_data();
    void compiles();
    void constantLimit_data();
    void constantLimit();
    void agreesWithDefinition();
    void itransAlone();
    void deepNesting_data();
    void deepNesting();
    void longChains();
    void refusals_data();
    void refusals();
    void sizeEstimate_data();
    void sizeEstimate();
    void argumentSplitting_data();
    void argumentSplitting();
};

void tst_Compiler::compiles_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("args");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QList<double>>("constants");
    QTest::addColumn<int>("error");
    QTest::addColumn<QByteArray>("message");

    using L = QList<double>;
    auto ok = [](const char *name, const char *src, const char *args, const char *code, L k) {
        QTest::newRow(name) << QByteArray(src) << QByteArray(args) << QByteArray(code) << k << -1
                            << QByteArray();
    };
    auto bad = [](const char *name, const char *src, const char *args, int pos, const char *msg) {
        QTest::newRow(name) << QByteArray(src) << QByteArray(args) << QByteArray() << L() << pos
                            << QByteArray(msg);
    };
    const double inf = HUGE_VAL;

    ok("powerOfProduct", "3*x^2", "x", "44 00 56 78 44 01 5e 2a", {3, 2});
    ok("powerIsLeftAssociative", "2^3^2", "", "44 00", {64});
    ok("minusIsLeftAssociative", "2-3-4", "", "44 00", {-5});
    ok("divisionIsLeftAssociative", "2/4/2", "", "44 00", {0.25});
    ok("unaryLooserThanPower", "-2^2", "", "44 00", {-4});
    ok("unaryTighterThanProduct", "-2*x", "x", "44 00 56 78 2a", {-2});
    ok("unaryOverPowerOfParameter", "-x^2", "x", "56 78 44 00 5e 4d", {2});
    ok("sumOfProducts", "x*2+3/x-1", "x", "56 78 44 00 2a 44 01 56 78 2f 2b 44 02 2d", {2, 3, 1});
    ok("powerChainWithCall", "x^2^sin(x)", "x", "56 78 44 00 5e 56 78 46 02 5e", {2});
    ok("exponentMinus", "1E-3", "", "44 00", {1E-3});
    ok("exponentPlus", "1.5E+3*x", "x", "44 00 56 78 2a", {1500});
    ok("exponentBeforeMinus", "2E-1-1", "", "44 00", {2E-1 - 1});
    ok("whitespaceAround", " \t( x )\n*\r2 ", "x", "56 78 44 00 2a", {2});
    ok("unaryInCall", "sin(-x)", "x", "56 78 4d 46 02", {});
    ok("unaryThenSpace", "sin(- x)", "x", "56 78 4d 46 02", {});
    ok("unaryOfUnary", "-(-(x))", "x", "56 78 4d 4d", {});
    ok("unaryParenthesised", "2*(-3)", "", "44 00", {-6});
    ok("piFolds", "pi()", "", "44 00", {3.141592653589793});
    ok("piWithSpaces", "pi( \t)", "", "44 00", {3.141592653589793});
    ok("foldThroughCall", "2*pi()+1", "", "44 00", {2 * 3.141592653589793 + 1});
    ok("lnZeroFolds", "ln(0)", "", "44 00", {-inf});
    ok("sqrtNegativeFolds", "sqrt(-1)", "", "44 00", {std::nan("")});
    ok("rndNotFolded", "rnd()", "", "46 0c", {});
    ok("rndTimesTwo", "rnd()*2", "", "46 0c 44 00 2a", {2});
    ok("callKeptConstantFolded", "sin(x)+2*3", "x", "56 78 46 02 44 00 2b", {6});
    ok("nestedCallArgument", "atan2(sin(x),1)", "x", "56 78 46 02 44 00 46 08", {1});
    ok("nestedCommas", "atan2(atan2(x,1),2)", "x", "56 78 44 00 46 08 44 01 46 08", {1, 2});
    ok("twoParameters", "y/x", "xy", "56 79 56 78 2f", {});
    ok("infinityIsANumber", "inf", "", "44 00", {inf});

    bad("undeclaredParameter", "x+1", "y", 0, "undeclared parameter");
    bad("lowerCaseExponent", "1e-3", "x", 1, "undeclared parameter");
    bad("digitThenLetter", "2x", "x", 0, "syntax error");
    bad("numberThenParenthesis", "1(x)", "x", 0, "syntax error");
    bad("leadingPlus", "+x", "x", 0, "missing operand");
    bad("trailingOperator", "x*", "x", 2, "missing operand");
    bad("onlySpaceAfterOperator", "x+ ", "x", 3, "syntax error");
    bad("spaceBeforeUnary", "sin( -x)", "x", 5, "syntax error");
    bad("unaryAfterOperator", "2*-3", "", 2, "missing operand");
    bad("unaryAfterPower", "x^-2", "x", 2, "missing operand");
    bad("doubleMinus", "--x", "x", 1, "missing operand");
    bad("emptyText", "", "x", 0, "missing operand");
    bad("onlySpaces", "   ", "x", 3, "syntax error");
    bad("emptyParentheses", "( )", "x", 2, "syntax error");
    bad("unclosed", "((x)", "x", 3, "unmatched parentheses");
    bad("surplusClose", "x)", "x", 1, "unmatched parentheses");
    bad("surplusCloseFirst", "(x))+(x", "x", 3, "unmatched parentheses");
    bad("unclosedInArgument", "sin((x)", "x", 6, "unmatched parentheses");
    bad("callFollowedByGroup", "sin(x)(y)", "xy", 5, "unmatched parentheses");
    bad("nameAlone", "pi", "", 2, "improper function syntax");
    bad("callWithoutParentheses", "sin x", "x", 3, "improper function syntax");
    bad("textAfterCall", "sin(x)2", "x", 3, "improper function syntax");
    bad("namesAreCaseSensitive", "Sin(x)", "x", 0, "function not found");
    bad("parameterCalled", "x(1)", "x", 0, "function not found");
    bad("argumentToPi", "pi(1)", "", 3, "too many parameters");
    bad("commaToPi", "pi(,)", "", 3, "too many parameters");
    bad("emptyArgument", "sin()", "", 4, "missing operand");
    bad("emptyFirstArgument", "atan2(,1)", "", 6, "missing operand");
    bad("noArguments", "atan2()", "", 5, "too few parameters");
    bad("oneArgument", "atan2(1)", "", 6, "too few parameters");
    bad("threeArguments", "atan2(1,2,3)", "", 10, "too many parameters");
    bad("trailingComma", "sin(1,)", "", 6, "too many parameters");
    bad("countBeforeArguments", "atan2(2x,1,3)", "x", 11, "too many parameters");
    bad("errorInsideArgument", "atan2(2x,1)", "x", 6, "syntax error");
    bad("commaInGroupArgument", "atan2(1,(2,3))", "", 9, "syntax error");
    bad("commaOutsideCall", "atan2(x),(1)", "x", 10, "too few parameters");
}

void tst_Compiler::compiles()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, args);
    QFETCH(QByteArray, code);
    QFETCH(QList<double>, constants);
    QFETCH(int, error);
    QFETCH(QByteArray, message);

    Compiled c = compile(source.toStdString(), args.constData());
    QCOMPARE(c.message, message);
    QCOMPARE(c.error, error);
    if (error >= 0) {
        QCOMPARE(c.length, 0);
        QVERIFY(!c.f.code && !c.f.ctable);
        return;
    }
    QVERIFY(c.f.code);
    QCOMPARE(c.length, int(code.count(' ') + 1));
    QCOMPARE(c.f.code[c.length], OP_END);
    QCOMPARE(hexCode(c.f.code, c.length), code);
    QList<double> actual = constantsOf(c.f, c.length);
    if (!sameValues(actual, constants)) {
        QByteArray text("constants:");
        for (double v : actual)
            text += ' ' + QByteArray::number(v, 'g', 17);
        QFAIL(text.constData());
    }
    destrf(c.f);
}

void tst_Compiler::constantLimit_data()
{
    QTest::addColumn<int>("count"); // distinct numbers in x+x+1+x+2+...
    QTest::addColumn<QByteArray>("last");
    QTest::addColumn<double>("lastValue");
    QTest::addColumn<int>("errorAt"); // offset in `last`; -1: no position; -2: compiles
    QTest::newRow("255thNumber") << 254 << QByteArray("+x+7") << 7.0 << -2;
    QTest::newRow("256thNumber") << 255 << QByteArray("+x+7") << 7.0 << 3;
    QTest::newRow("256thFromFolding") << 255 << QByteArray("+x+pi()") << 0.0 << -1;
    QTest::newRow("foldedTakesOneSlot") << 253 << QByteArray("+x+(2*3)") << 6.0 << -2;
    QTest::newRow("operandsCountBeforeFolding") << 254 << QByteArray("+x+(2*3)") << 6.0 << 6;
}

void tst_Compiler::constantLimit()
{
    QFETCH(int, count);
    QFETCH(QByteArray, last);
    QFETCH(double, lastValue);
    QFETCH(int, errorAt);
    std::string text = "x";
    for (int i = 1; i <= count; ++i)
        text += "+x+" + std::to_string(i);
    int lastAt = int(text.size());
    text += last.toStdString();

    Compiled c = compile(text, "x");
    if (errorAt == -2) {
        QVERIFY2(c.f.code, c.message.constData());
        QCOMPARE(fval(c.f, "x", 0.0), count * (count + 1) / 2.0 + lastValue);
        destrf(c.f);
        return;
    }
    QCOMPARE(c.message, QByteArray("too many constants"));
    QCOMPARE(c.error, errorAt < 0 ? -1 : lastAt + errorAt);
    QVERIFY(!c.f.code);
}

void tst_Compiler::agreesWithDefinition()
{
    QRandomGenerator rng(20240601);
    int compiled = 0;
    for (int i = 0; i < 6000; ++i) {
        std::string text = i % 2 ? randomFormula(rng, 5) : randomTokens(rng);
        Reference ref;
        bool refOk = ref.translate(text, "xy");
        Compiled c = compile(text, "xy");
        const QByteArray what = QByteArray::fromStdString("text: " + text);
        QVERIFY2(c.message == ref.message, what + " message " + c.message + " vs " + ref.message);
        QVERIFY2(c.error == ref.error, what);
        QCOMPARE(bool(c.f.code), refOk);
        if (!refOk)
            continue;
        ++compiled;
        QVERIFY2(hexCode(c.f.code, c.length) == hexCode(ref.code.data(), int(ref.code.size())),
                 what);
        QVERIFY2(sameValues(constantsOf(c.f, c.length),
                            QList<double>(ref.constants.begin(), ref.constants.end())),
                 what);
        destrf(c.f);
    }
    QVERIFY(compiled > 2000);
}

// i_trans on its own has no index of the text and scans operands directly.
void tst_Compiler::itransAlone()
{
    QRandomGenerator rng(7);
    for (int i = 0; i < 500; ++i) {
        std::string text = randomFormula(rng, 5);
        Compiled c = compile(text, "xy");
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('\0');
        std::vector<unsigned char> code(2 * text.size() + 2);
        fset_error(nullptr);
        unsigned char *end = i_trans(code.data(), buffer.data(), buffer.data() + text.size());
        QCOMPARE(bool(end), bool(c.f.code));
        if (end)
            QCOMPARE(hexCode(code.data(), int(end - code.data())), hexCode(c.f.code, c.length));
        destrf(c.f);
    }
}

void tst_Compiler::deepNesting_data()
{
    QTest::addColumn<int>("levels");
    QTest::addColumn<QByteArray>("open");
    QTest::addColumn<QByteArray>("close");
    QTest::newRow("parentheses") << 10000 << QByteArray("(") << QByteArray(")");
    QTest::newRow("calls") << 10000 << QByteArray("sin(") << QByteArray(")");
    QTest::newRow("unaryMinus") << 10000 << QByteArray("-(") << QByteArray(")");
    QTest::newRow("secondArguments") << 200 << QByteArray("atan2(1,") << QByteArray(")");
    QTest::newRow("firstArguments") << 10000 << QByteArray("atan2(") << QByteArray(",x)");
}

void tst_Compiler::deepNesting()
{
    QFETCH(int, levels);
    QFETCH(QByteArray, open);
    QFETCH(QByteArray, close);
    std::string text =
        repeat(open.toStdString(), levels) + "x" + repeat(close.toStdString(), levels);
    Compiled c = compile(text, "x");
    QVERIFY2(c.f.code, c.message.constData());

    double x = 0.75, expected = x;
    for (int i = 0; i < levels; ++i) {
        if (open == "sin(")
            expected = std::sin(expected);
        else if (open == "-(")
            expected = -expected;
        else if (open == "atan2(1,")
            expected = std::atan2(1.0, expected);
        else if (open == "atan2(")
            expected = std::atan2(expected, x);
    }
    QCOMPARE(fval(c.f, "x", x), expected);
    QVERIFY(!fget_error());
    destrf(c.f);
}

void tst_Compiler::longChains()
{
    const int terms = 100000;
    Compiled sum = compile("1" + repeat("+1", terms - 1), "x");
    QCOMPARE(hexCode(sum.f.code, sum.length), QByteArray("44 00"));
    QCOMPARE(fval(sum.f, "x", 0.0), double(terms));
    destrf(sum.f);

    Compiled mixed = compile("x" + repeat("-x*x", terms - 1), "x");
    QCOMPARE(mixed.length, 2 + (terms - 1) * 6);
    QCOMPARE(fval(mixed.f, "x", 3.0), 3.0 - 9.0 * (terms - 1));
    destrf(mixed.f);
}

void tst_Compiler::refusals_data()
{
    QTest::addColumn<QByteArray>("open");
    QTest::addColumn<int>("levels");
    QTest::addColumn<QByteArray>("leaf");
    QTest::addColumn<int>("error");
    QTest::addColumn<QByteArray>("message"); // empty: compiles
    const QByteArray tooDeep("expression too deeply nested");
    // x+(x+(...)) keeps one value pending per level: 499 levels need 500 values.
    QTest::newRow("stackNeedAtLimit")
        << QByteArray("x+(") << 499 << QByteArray("x") << -1 << QByteArray();
    QTest::newRow("stackNeedOverLimit")
        << QByteArray("x+(") << 500 << QByteArray("x") << -1 << tooDeep;
    QTest::newRow("nestingOverLimit")
        << QByteArray("(") << 60000 << QByteArray("x") << 50000 << tooDeep;
    QTest::newRow("textTooLong") << QByteArray("((") << 250001 << QByteArray("x") << 1000000
                                 << QByteArray("expression too long");
}

void tst_Compiler::refusals()
{
    QFETCH(QByteArray, open);
    QFETCH(int, levels);
    QFETCH(QByteArray, leaf);
    QFETCH(int, error);
    QFETCH(QByteArray, message);
    std::string text = repeat(open.toStdString(), levels) + leaf.toStdString() +
                       repeat(")", levels * int(open.count('(')));
    Compiled c = compile(text, "x");
    QCOMPARE(c.message, message);
    QCOMPARE(c.error, error);
    if (message.isEmpty()) {
        QVERIFY(c.f.code);
        QCOMPARE(fval(c.f, "x", 1.0), double(levels + 1));
        QVERIFY(!fget_error());
    } else {
        QVERIFY(!c.f.code);
        QCOMPARE(c.length, 0);
    }
    destrf(c.f);
}

void tst_Compiler::sizeEstimate_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("size");
    QTest::newRow("numbersOperatorsParameter") << QByteArray("3*x^2") << 9 * 2 + 2 + 2 * 1 + 1;
    QTest::newRow("call") << QByteArray("sin(x)") << 9 + 2 + 1;
    QTest::newRow("exponentIsOneNumber") << QByteArray("1E-5") << 9 + 1;
    QTest::newRow("leadingOperator") << QByteArray("-x") << 1 + 2 + 1;
    QTest::newRow("digitEndsName") << QByteArray("atan2(x,1)") << 9 * 2 + 2 * 2 + 1;
    QTest::newRow("signsAfterE") << QByteArray("E+E-1") << 9 + 1;
}

void tst_Compiler::sizeEstimate()
{
    QFETCH(QByteArray, text);
    QFETCH(int, size);
    QCOMPARE(max_size(text.constData()), size);
}

void tst_Compiler::argumentSplitting_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("nestedComma") << QByteArray("sin(x),1") << QStringList{"sin(x)", "1"};
    QTest::newRow("groupedComma") << QByteArray("a,(b,c),d") << QStringList{"a", "(b,c)", "d"};
    QTest::newRow("emptyPieces") << QByteArray("1,,2,") << QStringList{"1", "", "2", ""};
    QTest::newRow("emptyText") << QByteArray("") << QStringList{""};
    QTest::newRow("surplusClose") << QByteArray("x),(y") << QStringList{"x),(y"};
}

void tst_Compiler::argumentSplitting()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, pieces);
    QStringList actual;
    for (char *p = my_strtok(text.data()); p; p = my_strtok(nullptr))
        actual << QString::fromLatin1(p);
    QCOMPARE(actual, pieces);
}

QTEST_GUILESS_MAIN(tst_Compiler)
#include "tst_compiler.moc"
