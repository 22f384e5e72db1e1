// quill: formats, checks and round-trips Quill text from a file or standard input.
#include "tools/checks.h"
#include "tools/diagnostics.h"
#include "tools/inputtext.h"

#include "emit/emitter.h"
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
    "  quill check [FILE|-]      report the first error; silent when the text is valid\n"
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

// Collects the warnings the library logs while it parses.
class WarningCollector : public Corvid::System::Handler {
public:
  WarningCollector() {
    setLevel(Corvid::System::WARNING);
    CG::TheLogger::instance().logger()->addHandler(this);
  }
  ~WarningCollector() override { CG::TheLogger::instance().logger()->removeHandler(this); }
  void publish(const Corvid::System::LogRecord& aRecord) override {
    if (aRecord.level >= Corvid::System::WARNING && aRecord.level < Corvid::System::SEVERE)
      fMessages.push_back(aRecord.message);
  }
  const std::vector<std::string>& messages() const { return fMessages; }

private:
  std::vector<std::string> fMessages;
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
  ~StreamRedirect() {
    std::fflush(nullptr);
    if (fSaved >= 0) {
      dup2(fSaved, fStream);
      close(fSaved);
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
// sends both to standard error; a second reading of the same text, which would repeat them, to nowhere.
class ScannerOutput {
public:
  enum Reading { FIRST, REPEATED };

  explicit ScannerOutput(Reading aReading)
      : fNowhere(aReading == REPEATED ? open("/dev/null", O_WRONLY) : -1),
        fEchoes(STDOUT_FILENO, aReading == REPEATED ? fNowhere : STDERR_FILENO),
        fMessages(STDERR_FILENO, fNowhere) {}
  ~ScannerOutput() {
    if (fNowhere >= 0)
      close(fNowhere);
  }
  ScannerOutput(const ScannerOutput&) = delete;
  ScannerOutput& operator=(const ScannerOutput&) = delete;

private:
  int fNowhere;
  StreamRedirect fEchoes;
  StreamRedirect fMessages;
};

// What one parse said, and where its scanner stopped: the place of a message that names none.
struct ParseOutcome {
  std::vector<std::string> warnings;
  std::string error;
  SourcePlace scannerStop;
  // The scanner's own count of bytes into its line, also on the first line (whose column is always 0).
  int scannerBytesIntoLine = 0;
  // Newlines inside quoted literals, which the scanner's line numbers leave out.
  std::vector<size_t> uncountedNewlines;

  // A message that names no place of its own ("[L.., C..]" or "Line N:" with N > 0).
  bool hasUnplacedMessage() const {
    auto unplaced = [](const std::string& aMessage) {
      SourcePlace place;
      return !quilltool::lineInMessage(aMessage, &place) && !quilltool::placeInMessage(aMessage, &place);
    };
    return (!error.empty() && unplaced(error)) || std::any_of(warnings.begin(), warnings.end(), unplaced);
  }
};

// One parse of one text into the global scope of a fresh context, with its diagnostics.
class Session {
public:
  Session(const std::string& aFileName, quilltool::InputText aText)
      : fFileName(aFileName), fText(std::move(aText)), fTextSize(fText.view().size()),
        fCtx(std::make_unique<CG_Ctx>()) {}

  // Parses the text; reports warnings and the first error on standard error. False after an error.
  bool parse() {
    ParseOutcome outcome = parseText(ScannerOutput::FIRST);
    // The checks made after the scan (labels, forward calls, type inference) name a place only through the
    // source-location tags of the objects involved, which a plain parse does not make: tagging every object
    // costs memory, so it is paid for only by a text that needs it.
    if (outcome.hasUnplacedMessage()) {
      fCtx = std::make_unique<CG_Ctx>();
      fCtx->registerHandler(&fLocations);
      CG::TagCreatorForQuill tagging(&fLocations);
      outcome = parseText(ScannerOutput::REPEATED);
    }
    for (const std::string& warning : outcome.warnings)
      reportAt(warning, outcome, "warning");
    if (!outcome.error.empty())
      reportAt(outcome.error, outcome, "error");
    // Nothing is reported after the parse: the text and its line index need not outlive it.
    fLines.reset();
    fText.release();
    return outcome.error.empty();
  }

  std::string emit(const Options& aOptions) {
    CG::QulEmitterOptions options(nullptr, 3);
    options.setPrintOnlyNotInferredTypes(!aOptions.allTypes);
    options.setPrintOnlyLongFormConstants(aOptions.longFormConstants);
    // The printed text is about as long as the text read; a little room spares the last doubling.
    options.setExpectedTextSize(fTextSize + fTextSize / 16);
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
    WarningCollector warnings;
    CG::QulParser parser(fCtx.get(), fCtx->pool(), fCtx->globalScope(), fCtx->globalScope());
    try {
      ScannerOutput scannerOutput(aReading);
      std::string_view text = fText.view();
      parser.parse(text.data(), text.size());
    } catch (const std::exception& failure) {
      outcome.error = failure.what();
    }
    if (outcome.error.empty())
      outcome.error = quilltool::danglingGotoMessage(*fCtx);
    outcome.warnings = warnings.messages();
    outcome.scannerStop = SourcePlace{parser.ctx()->line(), parser.ctx()->column()};
    outcome.scannerBytesIntoLine = parser.ctx()->bytesIntoLine();
    outcome.uncountedNewlines = parser.ctx()->uncountedNewlines();
    return outcome;
  }

  // A "Line N:" message names its line, and the caret stands under the line's first token. Otherwise the place
  // is where the scanner stopped, as the message's "[Lline, Ccolumn]" says when it has one; on the first line,
  // whose column is always 0, the scanner's own count is more precise. Those are the scanner's lines; the
  // header and the caret name the text's.
  void reportAt(const std::string& aMessage, const ParseOutcome& aOutcome, const char* aSeverity) {
    if (!fLines)
      fLines.emplace(fText.view(), aOutcome.uncountedNewlines);
    SourcePlace place;
    if (quilltool::lineInMessage(aMessage, &place)) {
      place = fLines->firstToken(fLines->textPlace(place).line);
    } else {
      if (!quilltool::placeInMessage(aMessage, &place))
        place = aOutcome.scannerStop;
      if (place.line == 1 && aOutcome.scannerStop.line == 1)
        place.column = aOutcome.scannerBytesIntoLine;
      place = fLines->textPlace(place);
    }
    quilltool::report(std::cerr, fFileName, *fLines, place, aSeverity, aMessage);
  }

  std::string fFileName;
  quilltool::InputText fText;
  size_t fTextSize;
  // Indexed at the first diagnostic: a valid text never needs it.
  std::optional<quilltool::SourceLines> fLines;
  // Outlives every context it is registered with.
  CG::TagHandlerForSourceLocation fLocations;
  std::unique_ptr<CG_Ctx> fCtx;
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

int runCommand(const Options& aOptions, quilltool::InputText aText) {
  std::string fileName = aOptions.file == "-" ? "<stdin>" : aOptions.file;
  Session first(fileName, std::move(aText));
  if (!first.parse())
    return 1;
  if (aOptions.command == "check")
    return 0;
  std::string emitted = first.emit(aOptions);
  if (aOptions.command == "fmt") {
    std::fwrite(emitted.data(), 1, emitted.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
      throw ToolFailure{"cannot write the text to standard output", 2};
    // The process ends here: the system takes the module's memory back at once, where tearing the
    // context down would visit every IR object first.
    std::_Exit(0);
  }
  Session second(fileName + " (emitted)", quilltool::InputText(emitted));
  if (!second.parse())
    return 1;
  std::string reemitted = second.emit(aOptions);
  if (reemitted == emitted)
    return 0;
  showFirstDifference(emitted, reemitted);
  return 1;
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
    return runCommand(options, std::move(text));
  } catch (const ToolFailure& failure) {
    std::cerr << "quill: " << failure.message << '\n';
    return failure.status;
  }
}
