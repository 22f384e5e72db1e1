// Scanner state of one parse: position, line counting, the quoted-literal buffer, and the batch of tokens the
// scanner's rules write what they read into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "parse/namenumbers.h"
#include "parse/tokenbatch.h"

namespace CG {

class QulLexState {
public:
    // Starts again at the beginning of the text.
    void reset();

    // ---- The text
    // The text to scan, which outlives the scans of it.
    void setText(const char* aText, size_t aLength);
    size_t textLength() const { return fLength; }
    // Copies up to aMax bytes of the text not yet read into aBuffer; their number.
    size_t read(char* aBuffer, size_t aMax);
    size_t bytesRead() const { return fReadPos; }

    // ---- Where the scanner stands
    void advance(size_t aLength) { fPos += static_cast<int64_t>(aLength); }
    void newLine();
    ScanPlace place() const;

    // ---- What the rules read, recorded in the batch being filled
    void fillInto(TokenBatch* aBatch) { fBatch = aBatch; }
    void keepName(const char* aText, size_t aLength);
    void keepNumber(const char* aText, size_t aLength) { keepText(TokenText::NUMBER, aText, aLength); }
    void keepBoolean(bool aValue);
    // The token the scanner returned, with the text the rules kept for it and the place after it.
    void addToken(int aCode);

    // ---- Quoted literals
    void startLiteral() { fLiteral.clear(); }
    void appendLiteral(char aByte) { fLiteral.push_back(aByte); }
    void appendLiteral(const char* aText, size_t aLength) { fLiteral.append(aText, aLength); }
    // Appends an escaped byte; a value beyond a byte stops the scan, and the parser reports it as a user error.
    void appendEscape(long aValue, const char* aMessageId);
    // An escaped null byte ends the literal's text.
    void finishLiteral() { keepText(TokenText::LITERAL, fLiteral.data(), fLiteral.size()); }
    // A newline inside a quoted literal, echoed: the line count stays, but the newline's offset is kept for
    // callers that map the scanner's lines to the text's.
    void literalNewline()
    {
        fUncountedNewlines.push_back(static_cast<size_t>(fPos - 1));
        echo('\n');
    }
    const std::vector<size_t>& uncountedNewlines() const { return fUncountedNewlines; }
    // Forgets the newlines read after the first aCount: the scanner read ahead of where the parse stopped.
    void keepUncountedNewlines(size_t aCount);
    // The text ended inside a quoted literal.
    void endInLiteral() { fEndedInLiteral = true; }

    // ---- What the scanner says, passed on when the parser reaches the token it comes before
    // A byte the scanner has no rule for, skipped.
    void bogusByte(char aByte) { addEvent(ScanEvent::BOGUS_BYTE, aByte); }
    // A byte of a quoted literal that the scanner echoes instead of keeping.
    void echo(char aByte) { addEvent(ScanEvent::ECHO, aByte); }
    // Any of them, at the scanner's line, before the token the scanner returns next.
    void addEvent(ScanEvent::Kind aKind, char aByte, const char* aMessage = nullptr);

private:
    void keepText(TokenText aKind, const char* aText, size_t aLength);
    void forgetPendingText();

    const char* fText = "";
    size_t fLength = 0;
    size_t fReadPos = 0;
    TokenBatch* fBatch = nullptr;
    // What the rules kept of the token the scanner is about to return.
    TokenText fPendingText = TokenText::NONE;
    uint32_t fPendingTextLength = 0;
    NameNumbers fNameNumbers;
    int fLine = 1;
    int64_t fLineStart = -1;
    int64_t fPos = 0;
    std::string fLiteral;
    std::vector<size_t> fUncountedNewlines;
    bool fEndedInLiteral = false;
};

// The value of an escape's digits in the base; anything above a byte reads as 256.
long qulEscapeValue(const char* aDigits, int aBase);
// Scanner-internal failure: the scan stops, and the parser reports it as an internal exception.
[[noreturn]] void qulLexFatal(const char* aMessage);

} // namespace CG
