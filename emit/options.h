// Options of one emission: type checker, how much to print, error policy, segment stream, filter, op table.
#pragma once

#include <cstddef>
#include <ostream>

namespace CG {

class GraphUsesAhead;
class TypeChecker;
class ShouldEmitPredicate;
class OpTable;

// Bit set handed to the options constructor.
enum QuillPrinterOptions {
  QUILL_PRINT_NO_OPTIONS = 0,
  QUILL_PRINT_ONLY_NOT_INFERRED_TYPES = 1,
  QUILL_THROW_EXCEPTION_ON_ERROR = 2,
  QUILL_PRINT_ONLY_LONG_FORM_CONSTANTS = 4,
};

inline QuillPrinterOptions operator|(QuillPrinterOptions a, QuillPrinterOptions b) {
  return static_cast<QuillPrinterOptions>(static_cast<int>(a) | static_cast<int>(b));
}

// A stream without a buffer: everything written to it is dropped.
std::ostream& nullstream();

// The filter that accepts every object, a null object included.
ShouldEmitPredicate* defaultEmitFilter();

class QulEmitterOptions {
public:
  QulEmitterOptions(TypeChecker* aTypeChecker, QuillPrinterOptions aOptions);
  QulEmitterOptions(TypeChecker* aTypeChecker, int aOptions)
      : QulEmitterOptions(aTypeChecker, static_cast<QuillPrinterOptions>(aOptions)) {}
  QulEmitterOptions() : QulEmitterOptions(nullptr, 3) {}
  QulEmitterOptions(const QulEmitterOptions&) = default;
  QulEmitterOptions& operator=(const QulEmitterOptions&) = default;

  TypeChecker* typeChecker() const { return fTypeChecker; }
  void setTypeChecker(TypeChecker* aTypeChecker) { fTypeChecker = aTypeChecker; }
  bool printOnlyNotInferredTypes() const { return fPrintOnlyNotInferredTypes; }
  void setPrintOnlyNotInferredTypes(bool aValue) { fPrintOnlyNotInferredTypes = aValue; }
  bool throwExceptionOnError() const { return fThrowExceptionOnError; }
  void setThrowExceptionOnError(bool aValue) { fThrowExceptionOnError = aValue; }
  std::ostream* segmentStream() const { return fSegmentStream; }
  // A null stream discards the listing, as the default does.
  void setSegmentStream(std::ostream* aStream) { fSegmentStream = aStream ? aStream : &nullstream(); }
  ShouldEmitPredicate* filter() const { return fFilter; }
  void setFilter(ShouldEmitPredicate* aFilter) { fFilter = aFilter; }
  OpTable* opTable() const { return fOpTable; }
  void setOpTable(OpTable* aOpTable) { fOpTable = aOpTable; }
  bool printOnlyLongFormConstants() const { return fPrintOnlyLongFormConstants; }
  void setPrintOnlyLongFormConstants(bool aValue) { fPrintOnlyLongFormConstants = aValue; }
  // Room the text is given before it is written, for a caller that can tell its size (0: none). The
  // text still grows past it; a fitting guess saves moving a large text as it grows.
  size_t expectedTextSize() const { return fExpectedTextSize; }
  void setExpectedTextSize(size_t aBytes) { fExpectedTextSize = aBytes; }
  // Whether a second thread prepares the function bodies a few bodies ahead of the printing: it finds the order
  // of their statements for the walk that collects types and constants, and builds their structure trees (on by
  // default). The graphs are then read by two threads while the text prints; a listener, filter or subclass that
  // edits graphs as they print needs this off.
  bool preparesBodiesAhead() const { return fPreparesBodiesAhead; }
  void setPreparesBodiesAhead(bool aValue) { fPreparesBodiesAhead = aValue; }
  // Where the text goes as it prints, for a caller that writes it out anyway: the emitter hands it over in
  // pieces of about aPieceSize bytes, each ending at a line end, and holds only the piece it is writing, so a
  // large text never lies whole in memory. The emission then returns an empty string (the quit-early mark alone
  // when it stops early; what printed before stays written). A type's text is returned as always. Null, the
  // default: the text is returned whole. Whether the stream took the text is for the caller to check.
  // A piece of 64 KB, a pipe's whole buffer, keeps the writes few and the memory the piece is written in small.
  static constexpr size_t kDefaultTextPieceSize = size_t(1) << 16;
  std::ostream* textStream() const { return fTextStream; }
  size_t textPieceSize() const { return fTextPieceSize; }
  void setTextStream(std::ostream* aStream, size_t aPieceSize = kDefaultTextPieceSize) {
    fTextStream = aStream;
    fTextPieceSize = aPieceSize;
  }

  // The walks of function graphs that a second thread made while the parse finished them (see GraphUsesAhead):
  // the emission takes over the walks done and does the rest, and the type collection does not walk those
  // graphs again. Taken only by an emitter with its own type checker, the core domain's. Null, the default: none.
  GraphUsesAhead* graphUsesAhead() const { return fGraphUsesAhead; }
  void setGraphUsesAhead(GraphUsesAhead* aAhead) { fGraphUsesAhead = aAhead; }

private:
  TypeChecker* fTypeChecker;
  bool fPrintOnlyNotInferredTypes;
  bool fThrowExceptionOnError;
  std::ostream* fSegmentStream;
  ShouldEmitPredicate* fFilter;
  OpTable* fOpTable;
  bool fPrintOnlyLongFormConstants;
  size_t fExpectedTextSize = 0;
  bool fPreparesBodiesAhead = true;
  std::ostream* fTextStream = nullptr;
  size_t fTextPieceSize = kDefaultTextPieceSize;
  GraphUsesAhead* fGraphUsesAhead = nullptr;
};

} // namespace CG
