// Shared helpers of the parser suites: parse a text into a fresh context, emit it back, catch messages.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

#include "emit/emitter.h"
#include "emit/options.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/scope.h"
#include "kit/logging.h"
#include "parse/parser.h"
#include "parse/parserctx.h"

namespace quill_parse_test {

// Collects the logger's records as "LEVEL: id: message" lines while it lives.
class CollectedLog {
public:
  CollectedLog() : fHandler(fText, nullptr) { CG::TheLogger::instance().logger()->addHandler(&fHandler); }
  ~CollectedLog() { CG::TheLogger::instance().logger()->removeHandler(&fHandler); }
  std::string text() const { return fText.str(); }

private:
  std::ostringstream fText;
  Corvid::System::StreamHandler fHandler;
};

// A context whose global scope receives what the text defines.
struct Module {
  CG_Ctx ctx;
  CG::ManagedCGPool pool{&ctx};
  CG::QulParser parser{&ctx, pool, ctx.globalScope(), ctx.globalScope()};

  // Texts of any length are scanned ahead on a second thread, or none is.
  void scanAhead(bool aAhead) { parser.ctx()->setScanAheadFrom(aAhead ? 0 : SIZE_MAX); }
  void parse(const std::string& aText) { parser.parse(aText.c_str()); }
  std::string emit() { return CG::emitQuillEx(ctx.globalScope(), CG::QulEmitterOptions(nullptr, 3)); }
};

inline std::string parseAndEmit(const std::string& aText) {
  Module module;
  module.parse(aText);
  return module.emit();
}

struct Failure {
  std::string id;
  std::string message;
};

// The id and text of the exception the parse ends with; empty when it succeeds.
inline Failure parseFailure(const std::string& aText, bool aScanAhead = false) {
  Module module;
  module.scanAhead(aScanAhead);
  try {
    module.parse(aText);
  } catch (const CG::MessageException& aError) {
    return {aError.id(), aError.what()};
  } catch (const CG::InternalException& aError) {
    return {aError.id(), aError.what()};
  } catch (const CG::AssertionException& aError) {
    return {"assertion", aError.expression()};
  }
  return {};
}

} // namespace quill_parse_test
