// Scanner state of one parse: position, line counting and the quoted-literal buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CG_Ctx;

namespace CG {

class QulParserCtx;

class QulLexState {
public:
    explicit QulLexState(QulParserCtx* aCtx);

    QulParserCtx* ctx() const { return fCtx; }
    void reset();

    void advance(size_t aLength) { fPos += static_cast<int64_t>(aLength); }
    void newLine();
    int line() const { return fLine; }
    // Zero on the first line of the text, else bytes since the last newline.
    int column() const { return fLineStart < 0 ? 0 : static_cast<int>(fPos - fLineStart); }
    // Bytes since the start of the line, on the first line too.
    int bytesIntoLine() const { return static_cast<int>(fPos - (fLineStart < 0 ? 0 : fLineStart)); }
    // The line counter the literal factory reads from.
    int* lineSource() { return &fLine; }

    // The text up to its first null byte.
    char* intern(const char* aText);
    // A token's text, which holds no null byte.
    char* intern(const char* aText, size_t aLength);

    void startLiteral() { fLiteral.clear(); }
    void appendLiteral(char aByte) { fLiteral.push_back(aByte); }
    void appendLiteral(const char* aText, size_t aLength) { fLiteral.append(aText, aLength); }
    // Appends an escaped byte; a value beyond a byte is a user error.
    void appendEscape(long aValue, const char* aMessageId);
    // An escaped null byte ends the literal's text.
    char* finishLiteral() { return intern(fLiteral.c_str()); }
    // A newline inside a quoted literal: the line count stays, but the newline's offset is kept for callers
    // that map the scanner's lines to the text's.
    void skipNewline() { fUncountedNewlines.push_back(static_cast<size_t>(fPos - 1)); }
    const std::vector<size_t>& uncountedNewlines() const { return fUncountedNewlines; }
    // The text ended inside a quoted literal.
    void endInLiteral() { fEndedInLiteral = true; }
    bool endedInLiteral() const { return fEndedInLiteral; }

private:
    QulParserCtx* fCtx;
    int fLine = 1;
    int64_t fLineStart = -1;
    int64_t fPos = 0;
    std::string fLiteral;
    std::vector<size_t> fUncountedNewlines;
    bool fEndedInLiteral = false;
};

// The value of an escape's digits in the base; anything above a byte reads as 256.
long qulEscapeValue(const char* aDigits, int aBase);
// A byte the scanner has no rule for: reported on standard error and skipped.
void qulLexBogus(char aByte);
// Scanner-internal failure: an internal exception instead of ending the process.
[[noreturn]] void qulLexFatal(const char* aMessage);

} // namespace CG
