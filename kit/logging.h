// Logging layer: records, levels, formatters, handlers and named loggers.
#ifndef QUILL_KIT_LOGGING_H
#define QUILL_KIT_LOGGING_H

#include <memory>
#include <ostream>
#include <shared_mutex>
#include <string>
#include <vector>

namespace Corvid::System {

// Any value in 0..255 is a valid level; the named ones are landmarks.
enum Level : int { ALL = 0, FINE = 32, INFO = 64, WARNING = 128, SEVERE = 192, OFF = 255 };

struct LogRecord {
  Level level;
  std::string component, subcomponent;
  std::string id;
  std::string message;
};

class Formatter {
public:
  virtual ~Formatter();
  virtual std::string format(const LogRecord& aRecord) const = 0;
};

// One line per record: "<LEVEL>: <id>: <message>\n", where LEVEL is SEVERE,
// WARNING, INFO or the level's number.
class SimpleFormatter : public Formatter {
public:
  std::string format(const LogRecord& aRecord) const override;
};

class Handler {
public:
  virtual ~Handler();
  Level level() const { return fLevel; }
  void setLevel(Level aLevel) { fLevel = aLevel; }
  bool isLoggable(Level aLevel) const { return aLevel >= fLevel; }
  virtual void publish(const LogRecord& aRecord) = 0;
  virtual void flush();

private:
  Level fLevel = ALL;
};

// Writes each loggable record to a stream through a formatter.
class StreamHandler : public Handler {
public:
  // aFormatter is not owned; null selects a SimpleFormatter owned by the handler.
  StreamHandler(std::ostream& aStream, Formatter* aFormatter);
  void publish(const LogRecord& aRecord) override;
  void flush() override;

private:
  std::ostream& fStream;
  std::unique_ptr<Formatter> fOwnedFormatter;
  Formatter* fFormatter;
};

// A named fan-out point. Loggers live for the whole program; they never own
// their handlers, and a fresh logger has none, so nothing is printed by default.
class Logger {
public:
  static Logger* getLogger(const std::string& aName);

  const std::string& name() const { return fName; }
  void addHandler(Handler* aHandler);
  void removeHandler(Handler* aHandler);
  // A copy: another thread may add or remove a handler meanwhile.
  std::vector<Handler*> handlers() const;
  void log(const LogRecord& aRecord);

private:
  explicit Logger(std::string aName) : fName(std::move(aName)) {}

  std::string fName;
  // Records are published under a shared lock, handlers added and removed under an exclusive one: a handler
  // removed on one thread is no longer in use by a record published on another when removeHandler returns.
  mutable std::shared_mutex fHandlersLock;
  std::vector<Handler*> fHandlers;
};

} // namespace Corvid::System

#endif
