// Logging layer: formatting, stream publishing and the logger registry.
#include "kit/logging.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace Corvid::System {

Formatter::~Formatter() = default;

static std::string levelName(Level aLevel) {
  if (aLevel == SEVERE)
    return "SEVERE";
  if (aLevel == WARNING)
    return "WARNING";
  if (aLevel == INFO)
    return "INFO";
  return std::to_string(static_cast<int>(aLevel));
}

std::string SimpleFormatter::format(const LogRecord& aRecord) const {
  std::string line = levelName(aRecord.level) + ": " + aRecord.id + ": " + aRecord.message;
  if (line.empty() || line.back() != '\n')
    line += '\n';
  return line;
}

Handler::~Handler() = default;

void Handler::flush() {}

StreamHandler::StreamHandler(std::ostream& aStream, Formatter* aFormatter) : fStream(aStream), fFormatter(aFormatter) {
  if (fFormatter)
    return;
  fOwnedFormatter = std::make_unique<SimpleFormatter>();
  fFormatter = fOwnedFormatter.get();
}

void StreamHandler::publish(const LogRecord& aRecord) {
  if (!isLoggable(aRecord.level))
    return;
  fStream << fFormatter->format(aRecord);
}

void StreamHandler::flush() {
  fStream.flush();
}

Logger* Logger::getLogger(const std::string& aName) {
  static std::mutex registryMutex;
  static std::map<std::string, std::unique_ptr<Logger>> registry;
  std::lock_guard<std::mutex> lock(registryMutex);
  std::unique_ptr<Logger>& logger = registry[aName];
  if (!logger)
    logger.reset(new Logger(aName));
  return logger.get();
}

void Logger::addHandler(Handler* aHandler) {
  std::unique_lock<std::shared_mutex> lock(fHandlersLock);
  if (!aHandler || std::find(fHandlers.begin(), fHandlers.end(), aHandler) != fHandlers.end())
    return;
  fHandlers.push_back(aHandler);
}

void Logger::removeHandler(Handler* aHandler) {
  std::unique_lock<std::shared_mutex> lock(fHandlersLock);
  fHandlers.erase(std::remove(fHandlers.begin(), fHandlers.end(), aHandler), fHandlers.end());
}

std::vector<Handler*> Logger::handlers() const {
  std::shared_lock<std::shared_mutex> lock(fHandlersLock);
  return fHandlers;
}

void Logger::log(const LogRecord& aRecord) {
  std::shared_lock<std::shared_mutex> lock(fHandlersLock);
  for (Handler* handler : fHandlers)
    handler->publish(aRecord);
}

} // namespace Corvid::System
