// Options of one emission: type checker, how much to print, error policy, segment stream, filter, op table.
#include "emit/options.h"

#include "ir/predicate.h"

namespace CG {

std::ostream& nullstream() {
  static std::ostream stream(nullptr);
  return stream;
}

ShouldEmitPredicate* defaultEmitFilter() {
  static ShouldEmitPredicate filter;
  return &filter;
}

QulEmitterOptions::QulEmitterOptions(TypeChecker* aTypeChecker, QuillPrinterOptions aOptions)
    : fTypeChecker(aTypeChecker), fPrintOnlyNotInferredTypes((aOptions & QUILL_PRINT_ONLY_NOT_INFERRED_TYPES) != 0),
      fThrowExceptionOnError((aOptions & QUILL_THROW_EXCEPTION_ON_ERROR) != 0), fSegmentStream(&nullstream()),
      fFilter(defaultEmitFilter()), fOpTable(nullptr),
      fPrintOnlyLongFormConstants((aOptions & QUILL_PRINT_ONLY_LONG_FORM_CONSTANTS) != 0) {}

} // namespace CG
