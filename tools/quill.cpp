// quill: formats, checks and round-trips Quill text from a file or standard input.
#include "tools/checks.h"
#include "tools/diagnostics.h"
#include "tools/inputtext.h"
#include "tools/outputtext.h"

#include "emit/emitter.h"
#include "emit/graphuses.h"
#include "emit/version.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/scope.h"
#include "kit/logging.h"
#include "parse/parser.h"
#include "parse/parserctx.h"
#include "tag/tagsourcelocationquill.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using quilltool::SourcePlace;

const char* const kHelp =
    "quill: read Quill text and print, check or round-trip it.\n"
    "\n"
    "  quill fmt [FILE|-]        print the canonical text (parse, then emit)\n"
    "  quill check [FILE|-]      report the first error and any warnings\n"
    "  quill roundtrip [FILE|-]  check that emitting what was parsed and parsing it again gives the same text\n"
    "\n"
    "Standard input is read when FILE is '-' or absent.\n"
    "  --all-types               print every expression's type, not only those the type checker cannot infer\n"
    "  --long-form-constants     print every constant with its type, without integer suffixes\n"
    "  --segments=FILE           write the segment listing of the printed text to FILE\n"
    "  --help, --version\n"
    "Exit status: 0 success, 1 error in the text (or texts differ), 2 usage error or unreadable file.\n";

struct Options {
  std::string command;
  std::string file = "-";
  bool allTypes = false;
  bool longFormConstants = false;
  std::string segmentsFile;
};

// A message of the library, with where the scanner was when it was said.
struct Said {
  std::string message;
  SourcePlace scannerPlace;
  // The scanner's own count of bytes into its line, also on the first line (whose column is always 0).
  int scannerBytesIntoLine = 0;
  // Said after the scan, about an object whose tag gives its place.
  bool placedByTag = false;
  // Said once the scanner had reached the end of the text: its place says nothing of the message's.
  bool afterScan = false;
};

// A message that names no place of its own ("[L.., C..]" or "Line N:" with N > 0).
bool isUnplaced(const Said& aSaid) {
  SourcePlace place;
  return !quilltool::lineInMessage(aSaid.message, &place) && !quilltool::placeInMessage(aSaid.message, &place);
}

Said saidAt(const std::string& aMessage, const CG::QulParserCtx* aScanner) {
  return Said{aMessage, SourcePlace{aScanner->line(), aScanner->column()}, aScanner->bytesIntoLine(), false,
              aScanner->scanEnded()};
}

// Collects the warnings the library logs while it parses.
class WarningCollector : public Corvid::System::Handler {
public:
  explicit WarningCollector(const CG::QulParserCtx* aScanner) : fScanner(aScanner) {
    setLevel(Corvid::System::WARNING);
    CG::TheLogger::instance().logger()->addHandler(this);
  }
  ~WarningCollector() override { CG::TheLogger::instance().logger()->removeHandler(this); }
  void publish(const Corvid::System::LogRecord& aRecord) override {
    if (aRecord.level >= Corvid::System::WARNING && aRecord.level < Corvid::System::SEVERE)
      fWarnings.push_back(saidAt(aRecord.message, fScanner));
  }
  const std::vector<Said>& warnings() const { return fWarnings; }

private:
  const CG::QulParserCtx* fScanner;
  std::vector<Said> fWarnings;
};

// A failure of the tool rather than of the text: what to say, and the exit status.
struct ToolFailure {
  std::string message;
  int status;
};

// While it lives, what the process writes to one of its standard streams goes to another file.
class StreamRedirect {
public:
  StreamRedirect(int aStream, int aTarget) : fStream(aStream) {
    std::fflush(nullptr);
    fSaved = aTarget >= 0 ? dup(aStream) : -1;
    if (fSaved >= 0)
      dup2(aTarget, aStream);
  }
  ~StreamRedirect() { restore(); }
  // Gives the stream back its own file; once is enough.
  void restore() {
    std::fflush(nullptr);
    if (fSaved >= 0) {
      dup2(fSaved, fStream);
      close(fSaved);
      fSaved = -1;
    }
  }
  StreamRedirect(const StreamRedirect&) = delete;
  StreamRedirect& operator=(const StreamRedirect&) = delete;

private:
  int fStream;
  int fSaved = -1;
};

// What the scanner writes while it reads: echoes of stray bytes in quoted literals on standard output, which
// must hold the printed text alone, and messages about stray bytes on standard error. The first reading
// gathers both, in order, and passes them on to standard error ending with a line end, so that the
// diagnostics after them start a line; a second reading of the same text, which would repeat them, sends
// them nowhere.
class ScannerOutput {
public:
  enum Reading { FIRST, REPEATED };

  explicit ScannerOutput(Reading aReading)
      : fGathered(aReading == FIRST ? std::tmpfile() : nullptr),
        fNowhere(aReading == REPEATED ? open("/dev/null", O_WRONLY) : -1), fEchoes(STDOUT_FILENO, sink(aReading)),
        fMessages(STDERR_FILENO, sink(aReading)) {}
  ~ScannerOutput() {
    fMessages.restore();
    fEchoes.restore();
    if (fNowhere >= 0)
      close(fNowhere);
    if (fGathered != nullptr) {
      passOnGathered();
      std::fclose(fGathered);
    }
  }
  ScannerOutput(const ScannerOutput&) = delete;
  ScannerOutput& operator=(const ScannerOutput&) = delete;

private:
  // Without a file to gather in, the first reading writes to standard error as it goes.
  int sink(Reading aReading) const {
    if (aReading == REPEATED)
      return fNowhere;
    return fGathered != nullptr ? fileno(fGathered) : STDERR_FILENO;
  }
  void passOnGathered() {
    std::rewind(fGathered);
    std::string text;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, fGathered)) > 0;)
      text.append(buffer, got);
    if (!text.empty() && text.back() != '\n')
      text += '\n';
    std::cerr << text;
  }

  std::FILE* fGathered;
  int fNowhere;
  StreamRedirect fEchoes;
  StreamRedirect fMessages;
};

// What one parse said; the error, if any, was said where the scanner stopped.
struct ParseOutcome {
  std::vector<Said> warnings;
  std::optional<Said> error;
  // Newlines inside quoted literals, which the scanner's line numbers leave out.
  std::vector<size_t> uncountedNewlines;

  bool hasUnplacedMessage() const {
    return (error && isUnplaced(*error)) || std::any_of(warnings.begin(), warnings.end(), isUnplaced);
  }
  // The same text read again, with tags: the messages are the same, and those the untagged reading left
  // unplaced may now name the places of their objects.
  void notePlacesByTag(const ParseOutcome& aUntagged) {
    auto noteTagged = [](Said& aTagged, const Said& aUntaggedSaid) {
      aTagged.placedByTag = isUnplaced(aUntaggedSaid) && !isUnplaced(aTagged);
    };
    for (size_t i = 0; i < warnings.size() && i < aUntagged.warnings.size(); ++i)
      noteTagged(warnings[i], aUntagged.warnings[i]);
    if (error && aUntagged.error)
      noteTagged(*error, *aUntagged.error);
  }
};

// One parse of one text into the global scope of a fresh context, with its diagnostics.
class Session {
public:
  // A session that will print what it parsed walks the graphs for the printing's type collection as the parse
  // finishes them.
  enum Use { CHECK, PRINT };

  Session(const std::string& aFileName, quilltool::InputText aText, Use aUse)
      : fFileName(aFileName), fText(std::move(aText)), fTextSize(fText.view().size()), fUse(aUse),
        fCtx(std::make_unique<CG_Ctx>()) {}

  // Parses the text; reports warnings and the first error on standard error. False after an error.
  bool parse() {
    ParseOutcome outcome = parseText(ScannerOutput::FIRST);
    // The checks made after the scan (labels, forward calls, type inference) name a place only through the
    // source-location tags of the objects involved, which a plain parse does not make: tagging every object
    // costs memory, so it is paid for only by a text that needs it.
    if (outcome.hasUnplacedMessage()) {
      fUsesAhead.reset();
      fCtx = std::make_unique<CG_Ctx>();
      fCtx->registerHandler(&fLocations);
      CG::TagCreatorForQuill tagging(&fLocations);
      ParseOutcome untagged = std::move(outcome);
      outcome = parseText(ScannerOutput::REPEATED);
      outcome.notePlacesByTag(untagged);
    }
    for (const Said& warning : outcome.warnings)
      reportAt(warning, outcome, "warning");
    if (outcome.error)
      reportAt(*outcome.error, outcome, "error");
    // Nothing is reported after the parse: the text and its line index need not outlive it.
    fLines.reset();
    fText.release();
    return !outcome.error;
  }

  // The printed text; with a text stream, the text goes there as it prints and the string is empty.
  std::string emit(const Options& aOptions, std::ostream* aTextStream = nullptr) {
    CG::QulEmitterOptions options(nullptr, 3);
    options.setPrintOnlyNotInferredTypes(!aOptions.allTypes);
    options.setPrintOnlyLongFormConstants(aOptions.longFormConstants);
    // The printed text is about as long as the text read; a little room spares the last doubling.
    options.setExpectedTextSize(fTextSize + fTextSize / 16);
    options.setTextStream(aTextStream);
    options.setGraphUsesAhead(fUsesAhead.get());
    std::ofstream segments;
    if (!aOptions.segmentsFile.empty()) {
      segments.open(aOptions.segmentsFile);
      if (!segments)
        throw ToolFailure{"cannot write '" + aOptions.segmentsFile + "'", 2};
      options.setSegmentStream(&segments);
    }
    quilltool::CheckedEmission emission;
    try {
      emission = quilltool::emitChecked(fCtx->globalScope(), options);
    } catch (const std::exception& failure) {
      throw ToolFailure{std::string("cannot print the text: ") + failure.what(), 1};
    }
    if (!emission.failure.empty())
      throw ToolFailure{"cannot print the text: " + emission.failure, 1};
    if (segments.is_open() && !segments.flush())
      throw ToolFailure{"cannot write '" + aOptions.segmentsFile + "'", 2};
    return std::move(emission.text);
  }

private:
  ParseOutcome parseText(ScannerOutput::Reading aReading) {
    ParseOutcome outcome;
    CG::QulParser parser(fCtx.get(), fCtx->pool(), fCtx->globalScope(), fCtx->globalScope());
    // The type collection's walks of the graphs run on a second thread while the parse finishes the next ones.
    if (fUse == PRINT)
      fUsesAhead = std::make_unique<CG::GraphUsesAhead>(fCtx.get());
    quilltool::DanglingGotos danglingGotos;
    parser.setBodyFinished([&](CG::Fcn* aFcn) {
      if (fUsesAhead)
        fUsesAhead->offer(aFcn);
      danglingGotos.lookIn(aFcn);
    });
    // The module grows as the text is read: the text read so far need not stay in memory beside it.
    parser.setReadProgress([this](size_t aBytesRead) { fText.letGoBefore(aBytesRead); });
    WarningCollector warnings(parser.ctx());
    std::string error;
    {
      ScannerOutput scannerOutput(aReading);
      try {
        std::string_view text = fText.view();
        parser.parse(text.data(), text.size());
      } catch (const std::exception& failure) {
        error = failure.what();
      }
    }
    if (error.empty())
      error = danglingGotos.message(*fCtx);
    if (!error.empty())
      outcome.error = saidAt(error, parser.ctx());
    outcome.warnings = warnings.warnings();
    outcome.uncountedNewlines = parser.ctx()->uncountedNewlines();
    return outcome;
  }

  // The message's own place: "Line N:" names a line, where the caret stands under the first token, unless the
  // scanner stopped on it (a bad escape); "[Lline, Ccolumn]" names a place; a message naming none was said
  // where the scanner was. On the first line, whose column is always 0, the scanner's own count is exact for a
  // message said there; a tag names the line only. Those are the scanner's lines; the header and the caret
  // name the text's.
  void reportAt(const Said& aSaid, const ParseOutcome& aOutcome, const char* aSeverity) {
    if (!fLines)
      fLines.emplace(fText.view(), aOutcome.uncountedNewlines);
    SourcePlace place;
    if (quilltool::lineInMessage(aSaid.message, &place)) {
      if (place.line == aSaid.scannerPlace.line && !aSaid.afterScan)
        place = aSaid.scannerPlace;
    } else if (!quilltool::placeInMessage(aSaid.message, &place)) {
      place = aSaid.scannerPlace;
    }
    if (place.line == 1 && place.column == 0 && aSaid.scannerPlace.line == 1 && !aSaid.placedByTag && !aSaid.afterScan)
      place.column = aSaid.scannerBytesIntoLine;
    place = fLines->textPlace(place);
    if (place.column == 0)
      place = fLines->firstToken(place.line);
    quilltool::report(std::cerr, fFileName, *fLines, place, aSeverity, aSaid.message);
  }

  std::string fFileName;
  quilltool::InputText fText;
  size_t fTextSize;
  Use fUse;
  // Indexed at the first diagnostic: a valid text never needs it.
  std::optional<quilltool::SourceLines> fLines;
  // Outlives every context it is registered with.
  CG::TagHandlerForSourceLocation fLocations;
  std::unique_ptr<CG_Ctx> fCtx;
  // Reads fCtx's graphs: made after it, and gone before it.
  std::unique_ptr<CG::GraphUsesAhead> fUsesAhead;
};

int usageError(const std::string& aMessage) {
  std::cerr << "quill: " << aMessage << '\n';
  return 2;
}

// The two texts differ: shows the first line where they do.
void showFirstDifference(const std::string& aFirst, const std::string& aSecond) {
  std::istringstream first(aFirst);
  std::istringstream second(aSecond);
  std::string a;
  std::string b;
  for (int line = 1;; ++line) {
    bool moreA = static_cast<bool>(std::getline(first, a));
    bool moreB = static_cast<bool>(std::getline(second, b));
    if (!moreA && !moreB) {
      std::cerr << "quill: the texts differ only in how their last line ends\n";
      return;
    }
    if (moreA && moreB && a == b)
      continue;
    std::cerr << "quill: the texts differ at line " << line << ":\n"
              << "  first emission:  " << (moreA ? a : "<end of text>") << '\n'
              << "  second emission: " << (moreB ? b : "<end of text>") << '\n';
    return;
  }
}

// The process ends here, its streams flushed: the system takes the modules' memory back at once, where tearing
// the contexts down would visit every IR object first.
[[noreturn]] void endProcess(int aStatus) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
#if defined(QUILL_EXIT_RUNS_HANDLERS)
  // Still without tearing the sessions down, but with the handlers registered for the exit, where a build with
  // profile feedback writes its counts. Elsewhere they are skipped: a leak checker would take every IR object
  // for a leak.
  std::exit(aStatus);
#else
  std::_Exit(aStatus);
#endif
}

// Prints the parsed text on standard output. Nothing of the text is left there when it cannot be printed whole.
void printText(Session& aSession, const Options& aOptions) {
  quilltool::TextOutput output;
  try {
    std::string emitted = aSession.emit(aOptions, output.canTakeBack() ? &std::cout : nullptr);
    std::cout.write(emitted.data(), static_cast<std::streamsize>(emitted.size()));
    if (!std::cout.flush() || std::fflush(stdout) != 0 || std::ferror(stdout))
      throw ToolFailure{"cannot write the text to standard output", 2};
  } catch (const ToolFailure&) {
    output.takeBack();
    throw;
  }
}

// Runs the command and ends the process with its exit status; a failure of the tool leaves by exception.
[[noreturn]] void runCommand(const Options& aOptions, quilltool::InputText aText) {
  std::string fileName = aOptions.file == "-" ? "<stdin>" : aOptions.file;
  Session first(fileName, std::move(aText), aOptions.command == "check" ? Session::CHECK : Session::PRINT);
  if (!first.parse())
    endProcess(1);
  if (aOptions.command == "check")
    endProcess(0);
  if (aOptions.command == "fmt") {
    printText(first, aOptions);
    endProcess(0);
  }
  std::string emitted = first.emit(aOptions);
  Session second(fileName + " (emitted)", quilltool::InputText(emitted), Session::PRINT);
  if (!second.parse())
    endProcess(1);
  std::string reemitted = second.emit(aOptions);
  bool same = reemitted == emitted;
  if (!same)
    showFirstDifference(emitted, reemitted);
  endProcess(same ? 0 : 1);
}

} // namespace

int main(int argc, char** argv) {
  Options options;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help") {
      std::cout << kHelp;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "quill " << brisk_quill_version << " (built " << brisk_quill_build_date << ")\n";
      return 0;
    }
    if (arg == "--all-types")
      options.allTypes = true;
    else if (arg == "--long-form-constants")
      options.longFormConstants = true;
    else if (arg.compare(0, 11, "--segments=") == 0 && arg.size() > 11)
      options.segmentsFile = arg.substr(11);
    else if (arg.size() > 1 && arg[0] == '-' && arg != "-")
      return usageError("unknown option '" + arg + "'");
    else
      positional.push_back(arg);
  }
  if (positional.empty())
    return usageError("missing command");
  options.command = positional[0];
  if (options.command != "fmt" && options.command != "check" && options.command != "roundtrip")
    return usageError("unknown command '" + options.command + "'");
  if (positional.size() > 2)
    return usageError("more than one input file");
  if (positional.size() == 2)
    options.file = positional[1];
  quilltool::InputText text;
  if (!text.read(options.file)) {
    std::cerr << "quill: cannot read '" << options.file << "'\n";
    return 2;
  }
  try {
    runCommand(options, std::move(text));
  } catch (const ToolFailure& failure) {
    std::cerr << "quill: " << failure.message << '\n';
    return failure.status;
  }
}
