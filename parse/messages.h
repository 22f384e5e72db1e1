// The parser's one message helper: every report carries the position "[L%d, C%d]".
#pragma once

namespace CG {

class QulParserCtx;

namespace QulMessages {

// The format's first "%s" stands for the position text; the remaining arguments fill the rest.
[[noreturn]] void userError(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...);
[[noreturn]] void internalError(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...);
void warning(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...);
void severe(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...);

} // namespace QulMessages
} // namespace CG
