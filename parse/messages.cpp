// The parser's one message helper: reports carry the position "[L%d, C%d]" unless said otherwise.
#include "parse/messages.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "ir/logger.h"
#include "parse/parserctx.h"

namespace CG {
namespace QulMessages {
namespace {

enum class Level { USER, INTERNAL, WARNING, SEVERE };

// The format with its first "%s" replaced by the position, "%" of the position doubled.
std::string withPosition(QulParserCtx* aCtx, const char* aFormat)
{
    std::string format = aFormat;
    size_t slot = format.find("%s");
    if (slot == std::string::npos) {
        return format;
    }
    return format.substr(0, slot) + aCtx->position() + format.substr(slot + 2);
}

std::string formatMessage(QulParserCtx* aCtx, bool aPlaced, const char* aFormat, va_list aArgs)
{
    std::string format = aPlaced ? withPosition(aCtx, aFormat) : std::string(aFormat);
    va_list copy;
    va_copy(copy, aArgs);
    int length = std::vsnprintf(nullptr, 0, format.c_str(), copy);
    va_end(copy);
    if (length < 0) {
        return format;
    }
    std::vector<char> text(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format.c_str(), aArgs);
    return std::string(text.data(), static_cast<size_t>(length));
}

void publish(Level aLevel, const char* aId, const std::string& aText)
{
    TheLogger& logger = TheLogger::instance();
    switch (aLevel) {
    case Level::USER:
        logger.throwUserException(aId, "%s", aText.c_str());
    case Level::INTERNAL:
        logger.throwInternalException(aId, "%s", aText.c_str());
    case Level::WARNING:
        logger.logWarning(aId, "%s", aText.c_str());
        return;
    case Level::SEVERE:
        logger.logSevere(aId, "%s", aText.c_str());
        return;
    }
}

} // namespace

#define QUL_REPORT(aLevel, aPlaced)                                 \
    va_list args;                                                   \
    va_start(args, aFormat);                                        \
    std::string text = formatMessage(aCtx, aPlaced, aFormat, args); \
    va_end(args);                                                   \
    publish(aLevel, aId, text)

void userError(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...)
{
    QUL_REPORT(Level::USER, true);
    throw std::logic_error("unreachable");
}

void internalError(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...)
{
    QUL_REPORT(Level::INTERNAL, true);
    throw std::logic_error("unreachable");
}

void warning(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...)
{
    QUL_REPORT(Level::WARNING, true);
}

void severe(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...)
{
    QUL_REPORT(Level::SEVERE, true);
}

void unplacedUserError(QulParserCtx* aCtx, const char* aId, const char* aFormat, ...)
{
    QUL_REPORT(Level::USER, false);
    throw std::logic_error("unreachable");
}

#undef QUL_REPORT

} // namespace QulMessages
} // namespace CG
