// IR error reporting: exceptions, assertions and the message logger.
#pragma once

#include <stdexcept>
#include <string>

#include "kit/logging.h"

namespace CG {

// An error in the input or in the use of the IR by a client.
class MessageException : public std::runtime_error {
public:
  MessageException(const std::string& aId, const std::string& aMessage) : std::runtime_error(aMessage), fId(aId) {}
  const std::string& id() const { return fId; }

private:
  std::string fId;
};

// A broken invariant inside the IR or a misuse caught by it.
class InternalException : public std::logic_error {
public:
  InternalException(const std::string& aId, const std::string& aMessage) : std::logic_error(aMessage), fId(aId) {}
  const std::string& id() const { return fId; }

private:
  std::string fId;
};

class AssertionException : public std::logic_error {
public:
  AssertionException(const char* aFile, int aLine, const char* aExpression);
  const std::string& file() const { return fFile; }
  int line() const { return fLine; }
  const std::string& expression() const { return fExpression; }

private:
  std::string fFile;
  int fLine;
  std::string fExpression;
};

struct MessageId {
  std::string component;
  std::string subcomponent;
  std::string text;
  int number = 0;
};

// Formats messages printf-style, publishes them to the kit logger named "CG" and throws the
// matching exception. Constructing a TheLogger with a MessageId opens a task on the calling thread:
// until it is destroyed, that thread's records carry the task's component and subcomponent, and its
// records below the task's level are not published (exceptions are thrown regardless). Tasks nest.
class TheLogger {
public:
  static TheLogger& instance();
  TheLogger(const MessageId& aTask, Corvid::System::Level aLevel);
  ~TheLogger();
  TheLogger(const TheLogger&) = delete;
  TheLogger& operator=(const TheLogger&) = delete;

  [[noreturn]] void throwUserException(const char* aId, const char* aFormat, ...) __attribute__((format(printf, 3, 4)));
  [[noreturn]] void throwInternalException(const char* aId, const char* aFormat, ...)
      __attribute__((format(printf, 3, 4)));
  void logSevere(const char* aId, const char* aFormat, ...) __attribute__((format(printf, 3, 4)));
  void logWarning(const char* aId, const char* aFormat, ...) __attribute__((format(printf, 3, 4)));
  void logInfo(const char* aId, const char* aFormat, ...) __attribute__((format(printf, 3, 4)));

  Corvid::System::Logger* logger();
  const std::string& component() const;
  const std::string& subcomponent() const;
  // The level below which records are not published: the innermost task's, or ALL outside any task.
  Corvid::System::Level level() const;

private:
  TheLogger();
  void publish(Corvid::System::Level aLevel, const char* aId, const std::string& aMessage);

  bool fIsTask;
  MessageId fSavedTask;
  Corvid::System::Level fSavedLevel;
};

} // namespace CG

[[noreturn]] void client_assertion_failed(const char* aFile, int aLine, const char* aExpression);

#define CG_ASSERT(aCond, aSource)                                                                                      \
  ((aCond) ? static_cast<void>(0) : client_assertion_failed((aSource), __LINE__, #aCond))
#define CG_ASSERT_MSG(aCond, aSource, aText)                                                                           \
  ((aCond) ? static_cast<void>(0) : client_assertion_failed((aSource), __LINE__, (aText)))
