// Hands the grammar its tokens one at a time from batches the scanner fills ahead: on a second thread for a long
// text, so that scanning and parsing overlap, or on the parser's own thread a batch at a time. Either way the
// parser sees what it saw when it scanned each token itself: the token's value, the place after it, and what the
// scanner said before it, said only when the token is taken.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>

#include "parse/tokenbatch.h"

namespace CG {

class QulLexState;

class TokenFeed {
public:
    // aScanner is the scanner whose extra state is aState.
    TokenFeed(void* aScanner, QulLexState* aState);
    ~TokenFeed();
    TokenFeed(const TokenFeed&) = delete;
    TokenFeed& operator=(const TokenFeed&) = delete;

    // Starts feeding the scanner's tokens from where it stands, filled on a second thread when asked and one can
    // be started.
    void start(bool aAhead);
    // Ends the feeding: the second thread, if any, stops. The scanner forgets what it read past the last token
    // taken.
    void stop();

    // The next token, after what the scanner said before it: a message is printed, a failure thrown. After the
    // last token, it again, with nothing said.
    const ScannedToken& next()
    {
        // Nearly every token: the batch at hand holds it, and the scanner said nothing before it.
        if (fToken < fTokenCount && fToken != fNextEventToken) {
            return take(fToken++);
        }
        return nextAfterBatchOrEvents();
    }
    // The text of the last token taken, when it has one (a null byte follows it).
    const char* text() const { return fText; }
    // The place after the last token taken.
    const ScanPlace& place() const { return fPlace; }
    // The line of that place, for readers that keep its address.
    int* lineSource() { return &fPlace.line; }
    bool endedInLiteral() const { return fEndedInLiteral; }
    // Called on the parser's thread with how much of the text the scanner has taken in, whenever that grows with
    // a batch taken.
    void setReadProgress(std::function<void(size_t)> aProgress) { fReadProgress = std::move(aProgress); }

private:
    static constexpr size_t kBatchTokens = 4096;
    // Four cache lines of tokens.
    static constexpr size_t kPrefetchDistance = 16;
    // Batches in flight when filled ahead: one being taken from, the others filled or being filled.
    static constexpr size_t kBatches = 4;
    // A second thread that has filled every batch looks again this often for one given back. The parser does not
    // wake it: waking a thread is a system call that costs the parser about as much as reading a batch, where
    // the second thread's looking costs the parser nothing. A batch takes the parser several times as long.
    static constexpr std::chrono::microseconds kFillerNap{100};
    static constexpr size_t kNoEvent = static_cast<size_t>(-1);

    void fill(TokenBatch& aBatch);
    void fillAhead();
    const ScannedToken& nextAfterBatchOrEvents();
    void takeNextBatch();
    static bool hasText(const ScannedToken& aToken)
    {
        return aToken.text == TokenText::NAME || aToken.text == TokenText::NUMBER ||
               aToken.text == TokenText::LITERAL;
    }
    const ScannedToken& take(size_t aIndex)
    {
        // The tokens come from another core's cache: asking for them a few lines ahead hides the wait.
        if (aIndex + kPrefetchDistance < fTokenCount) {
            __builtin_prefetch(fTokens + aIndex + kPrefetchDistance);
        }
        const ScannedToken& token = fTokens[aIndex];
        fPlace = token.place;
        fEndedInLiteral = token.endedInLiteral;
        if (hasText(token)) {
            fText = fNextText;
            fNextText += token.textLength + 1;
        }
        return token;
    }
    void sayEventsBefore(size_t aToken);
    void findNextEvent();
    // How much of the text the scanner had taken in when it filled the batch of the last token taken.
    size_t bytesRead() const { return fBatch != nullptr ? fBatch->bytesRead : 0; }
    void say(const ScanEvent& aEvent);

    void* fScanner;
    QulLexState* fState;
    std::array<TokenBatch, kBatches> fBatches;
    // The parser's side, on a cache line the second thread does not write: the batch it takes from, that batch's
    // tokens, the next token to take and the next event to say.
    alignas(64) TokenBatch* fBatch = nullptr;
    const ScannedToken* fTokens = nullptr;
    size_t fTokenCount = 0;
    size_t fToken = 0;
    size_t fEvent = 0;
    // The index of the token the next event comes before; past every index when there is none.
    size_t fNextEventToken = kNoEvent;
    std::function<void(size_t)> fReadProgress;
    // The text of the last token taken, and where the next token's text starts.
    const char* fText = nullptr;
    const char* fNextText = nullptr;
    ScanPlace fPlace;
    bool fEndedInLiteral = false;
    // The newlines inside quoted literals before the last token taken.
    size_t fUncountedNewlines = 0;

    // Filling ahead: batch n lives in fBatches[n % kBatches]. The second thread has filled fFilled batches; the
    // parser takes batch fTaking, and has given back every batch before it.
    alignas(64) std::thread fFiller;
    std::mutex fMutex;
    std::condition_variable fChanged;
    size_t fFilled = 0;
    size_t fTaking = 0;
    bool fStopping = false;
    // Whether the parser sleeps until the next batch is filled.
    bool fParserWaits = false;
};

} // namespace CG
