// Scanner state of one parse: position, line counting, the quoted-literal buffer and the batch being filled.
#include "parse/lexstate.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace CG {

void QulLexState::setText(const char* aText, size_t aLength)
{
    fText = aText;
    fLength = aLength;
}

void QulLexState::reset()
{
    fReadPos = 0;
    forgetPendingText();
    fNameNumbers.clear();
    fLine = 1;
    fLineStart = -1;
    fPos = 0;
    fLiteral.clear();
    fUncountedNewlines.clear();
    fEndedInLiteral = false;
}

size_t QulLexState::read(char* aBuffer, size_t aMax)
{
    size_t count = std::min(aMax, fLength - fReadPos);
    std::memcpy(aBuffer, fText + fReadPos, count);
    fReadPos += count;
    return count;
}

void QulLexState::newLine()
{
    ++fLine;
    fLineStart = fPos;
}

ScanPlace QulLexState::place() const
{
    ScanPlace place;
    place.line = fLine;
    place.bytesIntoLine = static_cast<int>(fPos - (fLineStart < 0 ? 0 : fLineStart));
    return place;
}

void QulLexState::keepText(TokenText aKind, const char* aText, size_t aLength)
{
    fPendingText = aKind;
    fPendingTextLength = static_cast<uint32_t>(aLength);
    fBatch->texts.append(aText, aLength);
    fBatch->texts.push_back('\0');
}

void QulLexState::keepName(const char* aText, size_t aLength)
{
    uint32_t number = fNameNumbers.numberOf(std::string_view(aText, aLength));
    if (number == NameNumbers::kFirstSeen) {
        keepText(TokenText::NAME, aText, aLength);
        return;
    }
    fPendingText = TokenText::SEEN_NAME;
    fPendingTextLength = number;
}

void QulLexState::keepBoolean(bool aValue)
{
    fPendingText = TokenText::BOOLEAN;
    fPendingTextLength = aValue ? 1 : 0;
}

void QulLexState::addToken(int aCode)
{
    // Each field goes straight into the token's slot. Copying in a whole token that was just stored in pieces
    // stalls the scanner: a sixteen-byte load cannot be forwarded from several smaller pending stores.
    ScannedToken& token = fBatch->tokens.emplace_back();
    token.code = static_cast<int16_t>(aCode);
    token.text = fPendingText;
    token.endedInLiteral = fEndedInLiteral;
    token.textLength = fPendingTextLength;
    token.place = place();
    forgetPendingText();
}

void QulLexState::forgetPendingText()
{
    fPendingText = TokenText::NONE;
    fPendingTextLength = 0;
}

void QulLexState::keepUncountedNewlines(size_t aCount)
{
    if (aCount < fUncountedNewlines.size()) {
        fUncountedNewlines.resize(aCount);
    }
}

void QulLexState::appendEscape(long aValue, const char* aMessageId)
{
    if (aValue >= 256) {
        addEvent(ScanEvent::BAD_ESCAPE, '\0', aMessageId);
        throw ScanStopped();
    }
    fLiteral.push_back(static_cast<char>(aValue));
}

void QulLexState::addEvent(ScanEvent::Kind aKind, char aByte, const char* aMessage)
{
    fBatch->events.push_back(ScanEvent{aKind, aByte, fLine, static_cast<uint32_t>(fBatch->tokens.size()), aMessage});
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

void qulLexFatal(const char* aMessage)
{
    throw ScanFatal{aMessage};
}

} // namespace CG
