// IR exceptions, assertion failures and the task-scoped message logger.
#include "ir/logger.h"

#include "ir/strings.h"

#include <cstdarg>
#include <cstdio>

namespace CG {

namespace {

struct LoggerState {
  MessageId task;
  Corvid::System::Level level = Corvid::System::ALL;
};

// A task scopes the messages of the thread that opened it: work on other threads keeps its own task and level.
LoggerState& state() {
  thread_local LoggerState theState;
  return theState;
}

std::string assertionText(const char* aFile, int aLine, const char* aExpression) {
  return "Assertion failed: " + std::string(aExpression != nullptr ? aExpression : "") + " (" +
         std::string(aFile != nullptr ? aFile : "") + ":" + std::to_string(aLine) + ")";
}

} // namespace

AssertionException::AssertionException(const char* aFile, int aLine, const char* aExpression)
    : std::logic_error(assertionText(aFile, aLine, aExpression)), fFile(aFile != nullptr ? aFile : ""), fLine(aLine),
      fExpression(aExpression != nullptr ? aExpression : "") {}

TheLogger& TheLogger::instance() {
  static TheLogger theInstance;
  return theInstance;
}

TheLogger::TheLogger() : fIsTask(false), fSavedLevel(Corvid::System::ALL) {}

TheLogger::TheLogger(const MessageId& aTask, Corvid::System::Level aLevel)
    : fIsTask(true), fSavedTask(state().task), fSavedLevel(state().level) {
  state().task = aTask;
  state().level = aLevel;
}

TheLogger::~TheLogger() {
  if (!fIsTask) {
    return;
  }
  state().task = fSavedTask;
  state().level = fSavedLevel;
}

Corvid::System::Logger* TheLogger::logger() {
  return Corvid::System::Logger::getLogger("CG");
}

const std::string& TheLogger::component() const {
  return state().task.component;
}

const std::string& TheLogger::subcomponent() const {
  return state().task.subcomponent;
}

Corvid::System::Level TheLogger::level() const {
  return state().level;
}

void TheLogger::publish(Corvid::System::Level aLevel, const char* aId, const std::string& aMessage) {
  if (aLevel < state().level) {
    return;
  }
  Corvid::System::LogRecord record;
  record.level = aLevel;
  record.component = state().task.component;
  record.subcomponent = state().task.subcomponent;
  record.id = aId != nullptr ? aId : "";
  record.message = aMessage;
  logger()->log(record);
}

void TheLogger::throwUserException(const char* aId, const char* aFormat, ...) {
  va_list args;
  va_start(args, aFormat);
  std::string message = cg_string_vformat(aFormat, args);
  va_end(args);
  publish(Corvid::System::SEVERE, aId, message);
  throw MessageException(aId != nullptr ? aId : "", message);
}

void TheLogger::throwInternalException(const char* aId, const char* aFormat, ...) {
  va_list args;
  va_start(args, aFormat);
  std::string message = cg_string_vformat(aFormat, args);
  va_end(args);
  publish(Corvid::System::SEVERE, aId, message);
  throw InternalException(aId != nullptr ? aId : "", message);
}

void TheLogger::logSevere(const char* aId, const char* aFormat, ...) {
  va_list args;
  va_start(args, aFormat);
  std::string message = cg_string_vformat(aFormat, args);
  va_end(args);
  publish(Corvid::System::SEVERE, aId, message);
}

void TheLogger::logWarning(const char* aId, const char* aFormat, ...) {
  va_list args;
  va_start(args, aFormat);
  std::string message = cg_string_vformat(aFormat, args);
  va_end(args);
  publish(Corvid::System::WARNING, aId, message);
}

void TheLogger::logInfo(const char* aId, const char* aFormat, ...) {
  va_list args;
  va_start(args, aFormat);
  std::string message = cg_string_vformat(aFormat, args);
  va_end(args);
  publish(Corvid::System::INFO, aId, message);
}

void throwFailFastModification() {
  throw InternalException("CG:containers:failFast", "Fail-fast: Map modified for MapIterator");
}

} // namespace CG

void client_assertion_failed(const char* aFile, int aLine, const char* aExpression) {
  throw CG::AssertionException(aFile, aLine, aExpression);
}
