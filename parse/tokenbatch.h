// Tokens as the scanner reads them, a batch at a time, ahead of the grammar that takes them: each with its text
// and the place the scanner stood after it, and what the scanner had to say on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace CG {

// Where the scanner stood after a token: the place the parser reports while that token is its latest.
struct ScanPlace {
    int line = 1;
    // Bytes since the start of the line, on the first line too.
    int bytesIntoLine = 0;

    // Zero on the first line of the text, else bytes since the last newline.
    int column() const { return line == 1 ? 0 : bytesIntoLine; }
};

// What a token's value is made of when the parser takes it.
// A name the scanner read before in the same scan carries its number instead of its text (see NameNumbers).
enum class TokenText : uint8_t { NONE, NAME, SEEN_NAME, NUMBER, LITERAL, BOOLEAN };

// Sixteen bytes, four to a cache line: the parser reads every one of them from the cache of another core.
struct ScannedToken {
    int16_t code = 0;
    TokenText text = TokenText::NONE;
    // The text ended inside a quoted literal (on the end-of-text token).
    bool endedInLiteral = false;
    // The length of the token's text, which follows the text of the token before that had one in the batch's
    // texts; a boolean's value; a seen name's number.
    uint32_t textLength = 0;
    ScanPlace place;
};
static_assert(sizeof(ScannedToken) == 16, "tokens are packed four to a cache line");

// Something the scanner says or fails with, before the token of index `token` in its batch.
struct ScanEvent {
    enum Kind : uint8_t {
        BOGUS_BYTE, // a byte no rule matches, skipped
        ECHO,       // a byte of a quoted literal written out as it is; a newline is one the line count leaves out
        BAD_ESCAPE, // an escape beyond a byte; ends the scan
        FATAL,      // the scanner itself failed; ends the scan
        FAILURE     // anything else thrown while scanning (the batch's failure); ends the scan
    };
    Kind kind;
    char byte;
    int line;
    uint32_t token;
    // The message id of a bad escape, or the scanner's own message.
    const char* message;
};

// Batches are filled on one thread and taken from on another: each keeps to cache lines of its own.
struct alignas(64) TokenBatch {
    std::vector<ScannedToken> tokens;
    std::vector<ScanEvent> events;
    // The texts of the tokens, each followed by a null byte.
    std::string texts;
    std::exception_ptr failure;
    // No token follows this batch's last: it is the end of the text, or the scan stopped there.
    bool last = false;
    // How much of the text the scanner had taken in when the batch was full.
    size_t bytesRead = 0;

    void clear()
    {
        tokens.clear();
        events.clear();
        texts.clear();
        failure = nullptr;
        last = false;
        bytesRead = 0;
    }
};

// Thrown by a scanner rule that has recorded why the scan stops as the batch's last event.
struct ScanStopped {};
// Thrown by the scanner's own failure handler with its message, a literal of the scanner.
struct ScanFatal {
    const char* message;
};

} // namespace CG
