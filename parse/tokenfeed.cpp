// The grammar's tokens from batches the scanner fills ahead, on a second thread or on the parser's.
#include "parse/tokenfeed.h"

#include <cctype>
#include <cstdio>
#include <system_error>

#include "ir/logger.h"
#include "parse/lexstate.h"
#include "parse/grammar.hpp"

int qulLex(void* aScanner);

namespace CG {

TokenFeed::TokenFeed(void* aScanner, QulLexState* aState) : fScanner(aScanner), fState(aState) {}

TokenFeed::~TokenFeed()
{
    stop();
}

void TokenFeed::start(bool aAhead)
{
    stop();
    fBatch = nullptr;
    fTokens = nullptr;
    fTokenCount = 0;
    fToken = 0;
    fEvent = 0;
    fNextEventToken = kNoEvent;
    fText = nullptr;
    fNextText = nullptr;
    fPlace = ScanPlace();
    fEndedInLiteral = false;
    fUncountedNewlines = 0;
    fFilled = 0;
    fTaking = 0;
    fStopping = false;
    if (!aAhead) {
        return;
    }
    try {
        fFiller = std::thread(&TokenFeed::fillAhead, this);
    } catch (const std::system_error&) {
        // No thread to spare: the batches are filled as the parser needs them.
    }
}

void TokenFeed::stop()
{
    if (fFiller.joinable()) {
        {
            std::lock_guard<std::mutex> lock(fMutex);
            fStopping = true;
        }
        fChanged.notify_all();
        fFiller.join();
    }
    fState->keepUncountedNewlines(fUncountedNewlines);
}

// Batches are taken only here: this is where what the scanner has read grows.
const ScannedToken& TokenFeed::nextAfterBatchOrEvents()
{
    size_t readBefore = bytesRead();
    while (fToken == fTokenCount) {
        if (fBatch != nullptr && fBatch->last) {
            return fTokens[fTokenCount - 1];
        }
        takeNextBatch();
    }
    size_t index = fToken++;
    const ScannedToken& token = take(index);
    sayEventsBefore(index);
    if (fReadProgress && bytesRead() != readBefore) {
        fReadProgress(bytesRead());
    }
    return token;
}

// Scans up to a batch of tokens. A failure of the scan ends the batch with an end-of-text token, after the event
// that says what failed.
void TokenFeed::fill(TokenBatch& aBatch)
{
    aBatch.clear();
    fState->fillInto(&aBatch);
    bool stopped = true;
    try {
        while (!aBatch.last && aBatch.tokens.size() < kBatchTokens) {
            int code = qulLex(fScanner);
            fState->addToken(code);
            aBatch.last = code == QUL_EOF;
        }
        stopped = false;
    } catch (const ScanStopped&) {
    } catch (const ScanFatal& aFatal) {
        fState->addEvent(ScanEvent::FATAL, '\0', aFatal.message);
    } catch (...) {
        aBatch.failure = std::current_exception();
        fState->addEvent(ScanEvent::FAILURE, '\0');
    }
    if (stopped) {
        fState->addToken(QUL_EOF);
        aBatch.last = true;
    }
    aBatch.bytesRead = fState->bytesRead();
}

// The second thread: fills batch after batch while fewer than kBatches wait to be taken.
void TokenFeed::fillAhead()
{
    for (size_t n = 0;; ++n) {
        {
            std::unique_lock<std::mutex> lock(fMutex);
            while (!fStopping && n >= fTaking + kBatches) {
                fChanged.wait_for(lock, kFillerNap);
            }
            if (fStopping) {
                return;
            }
        }
        TokenBatch& batch = fBatches[n % kBatches];
        fill(batch);
        bool parserWaits = false;
        {
            std::lock_guard<std::mutex> lock(fMutex);
            fFilled = n + 1;
            parserWaits = fParserWaits;
        }
        if (parserWaits) {
            fChanged.notify_all();
        }
        if (batch.last) {
            return;
        }
    }
}

void TokenFeed::takeNextBatch()
{
    fToken = 0;
    fEvent = 0;
    if (!fFiller.joinable()) {
        fBatch = &fBatches[0];
        fill(*fBatch);
    } else {
        std::unique_lock<std::mutex> lock(fMutex);
        if (fBatch != nullptr) {
            ++fTaking;
        }
        if (fFilled <= fTaking) {
            fParserWaits = true;
            fChanged.wait(lock, [&] { return fFilled > fTaking; });
            fParserWaits = false;
        }
        fBatch = &fBatches[fTaking % kBatches];
    }
    fTokens = fBatch->tokens.data();
    fTokenCount = fBatch->tokens.size();
    fNextText = fBatch->texts.data();
    findNextEvent();
}

void TokenFeed::sayEventsBefore(size_t aToken)
{
    while (fEvent < fBatch->events.size() && fBatch->events[fEvent].token == aToken) {
        say(fBatch->events[fEvent++]);
    }
    findNextEvent();
}

void TokenFeed::findNextEvent()
{
    fNextEventToken = fEvent < fBatch->events.size() ? fBatch->events[fEvent].token : kNoEvent;
}

void TokenFeed::say(const ScanEvent& aEvent)
{
    switch (aEvent.kind) {
    case ScanEvent::BOGUS_BYTE: {
        unsigned char byte = static_cast<unsigned char>(aEvent.byte);
        if (std::isprint(byte)) {
            std::fprintf(stderr, "ignoring bogus character in input: %c\n", byte);
        } else {
            std::fprintf(stderr, "ignoring bogus character in input: \\%o\n", byte);
        }
        return;
    }
    case ScanEvent::ECHO:
        std::fwrite(&aEvent.byte, 1, 1, stdout);
        fUncountedNewlines += aEvent.byte == '\n' ? 1 : 0;
        return;
    case ScanEvent::BAD_ESCAPE:
        TheLogger::instance().throwUserException(aEvent.message, "Line %d: %s\n", aEvent.line,
                                                 "character index out of bounds");
    case ScanEvent::FATAL:
        TheLogger::instance().throwInternalException("quillLexer::Fatal", "%s", aEvent.message);
    case ScanEvent::FAILURE:
        std::rethrow_exception(fBatch->failure);
    }
}

} // namespace CG
