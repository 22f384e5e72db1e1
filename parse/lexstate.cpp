// Scanner state of one parse: position, line counting and the quoted-literal buffer.
#include "parse/lexstate.h"

#include <cctype>
#include <cstdio>

#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/strings.h"
#include "parse/parserctx.h"

namespace CG {

QulLexState::QulLexState(QulParserCtx* aCtx) : fCtx(aCtx) {}

void QulLexState::reset()
{
    fLine = 1;
    fLineStart = -1;
    fPos = 0;
    fLiteral.clear();
    fUncountedNewlines.clear();
    fEndedInLiteral = false;
}

void QulLexState::newLine()
{
    ++fLine;
    fLineStart = fPos;
}

char* QulLexState::intern(const char* aText)
{
    return cg_string_create(fCtx->irCtx(), aText);
}

char* QulLexState::intern(const char* aText, size_t aLength)
{
    return fCtx->irCtx()->cgString(std::string_view(aText, aLength));
}

void QulLexState::appendEscape(long aValue, const char* aMessageId)
{
    if (aValue >= 256) {
        TheLogger::instance().throwUserException(aMessageId, "Line %d: %s\n", fLine, "character index out of bounds");
    }
    fLiteral.push_back(static_cast<char>(aValue));
}

long qulEscapeValue(const char* aDigits, int aBase)
{
    long value = 0;
    for (const char* digit = aDigits; *digit != '\0'; ++digit) {
        int d = std::isdigit(static_cast<unsigned char>(*digit)) ? *digit - '0'
                                                                 : std::tolower(static_cast<unsigned char>(*digit)) - 'a' + 10;
        value = value * aBase + d;
        if (value >= 256) {
            return 256;
        }
    }
    return value;
}

void qulLexBogus(char aByte)
{
    unsigned char byte = static_cast<unsigned char>(aByte);
    if (std::isprint(byte)) {
        std::fprintf(stderr, "ignoring bogus character in input: %c\n", byte);
        return;
    }
    std::fprintf(stderr, "ignoring bogus character in input: \\%o\n", byte);
}

void qulLexFatal(const char* aMessage)
{
    TheLogger::instance().throwInternalException("quillLexer::Fatal", "%s", aMessage);
}

} // namespace CG
