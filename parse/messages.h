// The parser's one message helper: reports carry the position "[L%d, C%d]" unless said otherwise.
#pragma once

namespace CG {

class QulParserCtx;

namespace QulMessages {

// The format's first "%s" stands for the position text; the remaining arguments fill the rest.
[[noreturn]] void userError(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...);
[[noreturn]] void internalError(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...);
void warning(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...);
void severe(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...);
// A user error whose text names no position: every "%s" of the format is an argument.
[[noreturn]] void unplacedUserError(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...);

} // namespace QulMessages
} // namespace CG
