// The quill command-line tool: output, exit codes and diagnostics.
#include "support/irgen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

std::string readFile(const std::string& aPath) {
  std::ifstream in(aPath);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Temporary files live in a directory named after the process (ctest runs the tests of this file in
// parallel processes), removed when the process ends.
class TempDirectory {
public:
  TempDirectory() : fPath(::testing::TempDir() + "quill_tool_" + std::to_string(getpid()) + "/") {
    std::filesystem::create_directories(fPath);
  }
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(fPath, ignored);
  }
  const std::string& path() const { return fPath; }

private:
  std::string fPath;
};

std::string tempPath(const std::string& aName) {
  static const TempDirectory directory;
  return directory.path() + aName;
}

std::string writeTemp(const std::string& aName, const std::string& aText) {
  std::string path = tempPath(aName);
  std::ofstream(path) << aText;
  return path;
}

// Runs the tool with the arguments (a shell word list) and the given standard input.
ToolRun quill(const std::string& aArgs, const std::string& aInput = "") {
  std::string in = writeTemp("in.txt", aInput);
  std::string out = tempPath("out.txt");
  std::string err = tempPath("err.txt");
  std::string command = std::string(QUILL_TOOL_PATH) + " " + aArgs + " <" + in + " >" + out + " 2>" + err;
  int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
}

const char* const kModule = "var(int32,x);\nfunction((var(int32,a),var(int32,b)),(var(int32,c)),add)\n{\n"
                            "    =(c,+(a,b));\n}\n";
const char* const kCanonical = "\nvar(int32,x);\nfunction((var(int32,a),var(int32,b)),(var(int32,c)),add)\n{\n"
                               "    =(c,+(a,b));\n}\n";

TEST(QuillTool, FormatsFileAndStandardInput) {
  std::string file = writeTemp("module.qul", kModule);
  for (const std::string& args : {"fmt " + file, std::string("fmt -"), std::string("fmt")}) {
    ToolRun run = quill(args, kModule);
    EXPECT_EQ(0, run.status) << args;
    EXPECT_EQ(kCanonical, run.out) << args;
    EXPECT_EQ("", run.err) << args;
  }
}

TEST(QuillTool, OptionsMirrorTheEmitterOptions) {
  ToolRun typed = quill("fmt --all-types", kModule);
  EXPECT_NE(std::string::npos, typed.out.find("=[int32](varexpr[int32](c),+[int32](varexpr[int32](a),")) << typed.out;
  std::string segments = tempPath("segments.txt");
  ToolRun listed = quill("fmt --segments=" + segments, kModule);
  EXPECT_EQ(0, listed.status);
  EXPECT_EQ("1 14 \n", readFile(segments).substr(0, 6));
}

TEST(QuillTool, CheckIsSilentOnValidText) {
  ToolRun run = quill("check", kModule);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.out);
  EXPECT_EQ("", run.err);
}

TEST(QuillTool, RoundTripOfCanonicalText) {
  EXPECT_EQ(0, quill("roundtrip", kModule).status);
}

// A null pointer less one prints as all ones, which reads back as the largest signed 32-bit address.
TEST(QuillTool, RoundTripNamesTheFirstLineThatDiffers) {
  ToolRun run = quill("roundtrip", "var(pointer(int32),p <- -1);\nvar(int32,x);\n");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("quill: the texts differ at line 2:\n"
            "  first emission:  var(pointer(int32),p <- 0xffffffffffffffff );\n"
            "  second emission: var(pointer(int32),p <- 0x7fffffff );\n",
            run.err);
}
// A file is read in place, so one that fills its last page exactly has no byte after its text; a pipe is read
// in blocks.
TEST(QuillTool, ReadsWholePagesAndPipes) {
  std::string padded = kModule;
  padded.insert(0, 4096 - padded.size(), ' ');
  std::string file = writeTemp("page.qul", padded);
  ToolRun run = quill("fmt " + file);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(kCanonical, run.out);

  std::string out = tempPath("piped.txt");
  std::string command = "cat " + file + " | " + QUILL_TOOL_PATH + " fmt - >" + out;
  EXPECT_EQ(0, std::system(command.c_str()));
  EXPECT_EQ(kCanonical, readFile(out));

  // Standard input that an earlier reader left part way through a file is read from where it stands.
  std::string skipped = writeTemp("skipped.qul", std::string("garbage") + kModule);
  command = "(dd bs=7 count=1 of=/dev/null 2>/dev/null; " + std::string(QUILL_TOOL_PATH) + " fmt -) <" + skipped +
            " >" + out;
  EXPECT_EQ(0, std::system(command.c_str()));
  EXPECT_EQ(kCanonical, readFile(out));
}

// A large text is printed into a regular file as it is made, and into a pipe once it is whole: the same text.
TEST(QuillTool, LargeTextIsTheSameInAFileAndThroughAPipe) {
  std::string file = writeTemp("large.qul", quilltest::generateModuleText(11, 2.5e6));
  ToolRun run = quill("fmt " + file);
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_GT(run.out.size(), size_t(2) << 20);
  std::string piped = tempPath("large_piped.txt");
  std::string command = std::string(QUILL_TOOL_PATH) + " fmt " + file + " | cat >" + piped;
  EXPECT_EQ(0, std::system(command.c_str()));
  EXPECT_EQ(run.out, readFile(piped));
}

// A text that cannot be printed whole leaves nothing of it in the file, however the file was opened; what was
// there before stays, and the messages of a shared standard error stay in their order.
TEST(QuillTool, FailedPrintLeavesNothingOfTheTextInTheFile) {
  std::string file = writeTemp("unprintable.qul", "var(int32,x);\nvar(matrix(int32, 2),a <- {1} );\n");
  const std::string kMessages = "Max size of a dimension and the number of elements in the literal list don't match \n"
                                "quill: cannot print the text: variable 'a': aLiteral == NULL\n";
  const struct {
    const char* redirection;
    std::string expected;
  } cases[] = {
      {" >>OUT 2>/dev/null", "earlier text\n"},
      {" 1<>OUT 2>/dev/null", "earlier text\n"},
      {" >OUT 2>&1", kMessages},
      {" >>OUT 2>&1", "earlier text\n" + kMessages},
  };
  for (const auto& c : cases) {
    std::string out = writeTemp("unprinted.txt", "earlier text\n");
    std::string redirection = c.redirection;
    redirection.replace(redirection.find("OUT"), 3, out);
    std::string command = std::string(QUILL_TOOL_PATH) + " fmt " + file + redirection;
    int status = std::system(command.c_str());
    EXPECT_EQ(1, WIFEXITED(status) ? WEXITSTATUS(status) : -1) << c.redirection;
    EXPECT_EQ(c.expected, readFile(out)) << c.redirection;
  }
}

// The memory of a large text is given back as it is read, and all of it once the text is read: a diagnostic
// still shows its line, whether the scanner stopped there or a later pass found it, at either end of the text.
TEST(QuillTool, DiagnosticsInALargeTextShowTheirLines) {
  std::string declarations;
  for (int i = 0; i < 600000; ++i)
    declarations += "var(int32,v" + std::to_string(i) + ");\n";
  const std::string kTwoLabels = "f <- function((),(),f) {\n  goto(L);\n  label(L);\n  label(L);\n}\n";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {declarations + "var(int32 last);\n",
       "<stdin>:600001:14: error: [L600001, C14]: A parser error occurred: syntax error, unexpected "
       "QUL_IDENTIFIER, expecting QUL_C_PAREN\nvar(int32 last);\n             ^\n"},
      {declarations + kTwoLabels,
       "<stdin>:600004:3: error: Line 600004: label(L) has duplicate label\n  label(L);\n  ^\n"},
      {kTwoLabels + declarations, "<stdin>:4:3: error: Line 4: label(L) has duplicate label\n  label(L);\n  ^\n"},
  };
  for (const auto& c : cases) {
    ToolRun run = quill("check -", c.text);
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(c.error, run.err);
  }
}

// A text handed to the tool and what it writes to standard error.
struct TextAndError {
  const char* text;
  const char* error;
};

// Each diagnostic names the place, repeats the source line and puts a caret under the last token read.
TEST(QuillTool, ErrorsNameFileLineColumnWithCaret) {
  const TextAndError cases[] = {
      {"var(int32,x);\nvar(int32 y);\n",
       "<stdin>:2:11: error: [L2, C11]: A parser error occurred: syntax error, unexpected QUL_IDENTIFIER, "
       "expecting QUL_C_PAREN\nvar(int32 y);\n          ^\n"},
      {"var(int32,x);\nvar(nosuch,y);\n",
       "<stdin>:2:10: error: [L2, C10]: Identifier nosuch is being used without being defined\n"
       "var(nosuch,y);\n         ^\n"},
      // The first line's messages say column 0; the caret still finds the token.
      {"constdef(int32,,x);\n",
       "<stdin>:1:16: error: [L1, C0]: A parser error occurred: syntax error, unexpected QUL_SEPARATOR\n"
       "constdef(int32,,x);\n               ^\n"},
      // A multi-byte character before the place takes one column on the screen.
      {"x <- var(int32,x);\nf <- function((),(),f) {\n  comment(\"h\xc3\xa9\") +;\n}\n",
       "<stdin>:3:18: error: [L3, C18]: A parser error occurred: syntax error, unexpected QUL_IDENTIFIER, "
       "expecting QUL_TERMINATOR\n  comment(\"h\xc3\xa9\") +;\n                ^\n"},
      // A newline inside a quoted literal is echoed and not counted by the scanner; the header and the caret
      // still name the text's own line.
      {"x <- var(int32,x);\nf <- function((),(),f) {\n  comment(\"one\ntwo\");\n  =(x,1) +;\n}\n",
       "\n<stdin>:5:10: error: [L4, C10]: A parser error occurred: syntax error, unexpected QUL_IDENTIFIER, "
       "expecting QUL_TERMINATOR\n  =(x,1) +;\n         ^\n"},
      // Checks made after the scan name the place of the objects involved, not the end of the text.
      {"x <- var(int32,x);\nf <- function((),(),f) {\n  g();\n  =(x,1);\n}\n",
       "<stdin>:3:5: error: Found unresolved forward references: \nsymbol: 'g', location: [L3, C5]\n"
       "  g();\n    ^\n"},
      {"x <- var(int32,x);\nf <- function((),(),f) {\n  label(L);\n  goto(L);\n  label(L);\n}\n",
       "<stdin>:5:3: error: Line 5: label(L) has duplicate label\n  label(L);\n  ^\n"},
      // Placed by tag after a newline inside a literal, which the tag's line leaves out; a tab before the place
      // is kept in the caret's line, so the caret stands under the token on screen.
      {"f <- function((),(),f) {\n  comment(\"a\nb\");\n  goto(L);\n  label(L);\n  label(L);\n}\n",
       "\n<stdin>:6:3: error: Line 5: label(L) has duplicate label\n  label(L);\n  ^\n"},
      {"f <- function((),(),f) {\n\tgoto(L);\n\tlabel(L);\n\tlabel(L);\n}\n",
       "<stdin>:4:2: error: Line 4: label(L) has duplicate label\n\tlabel(L);\n\t^\n"},
      // Also on the last line, where the scanner stood when the check was made.
      {"f <- function((),(),f) {\n  goto(L); label(L); label(L); }",
       "<stdin>:2:3: error: Line 2: label(L) has duplicate label\n  goto(L); label(L); label(L); }\n  ^\n"},
      // The library leaves a goto to a label its function lacks as a placeholder that cannot be printed.
      {"x <- var(int32,x);\nf <- function((),(),f) {\n  goto(L2);\n  =(x,1);\n}\n",
       "<stdin>:3:11: error: [L3, C11]: goto(L2): function 'f' has no label(L2)\n  goto(L2);\n          ^\n"},
      // The first such goto in the module's order is the one reported.
      {"x <- var(int32,x);\nf <- function((),(),f) {\n  =(x,1);\n}\ng <- function((),(),g) {\n  goto(A);\n}\n"
       "h <- function((),(),h) {\n  goto(B);\n}\n",
       "<stdin>:6:10: error: [L6, C10]: goto(A): function 'g' has no label(A)\n  goto(A);\n         ^\n"},
      // A bad escape: the caret stands under it, on the text's line, even after a newline inside the literal.
      {"var(int32,x);\nconstdef(string,\"a\nb\\777\",g);\n",
       "\n<stdin>:3:5: error: Line 2: character index out of bounds\nb\\777\",g);\n    ^\n"},
      // An object on the first line, placed by its tag after the scan: the line is known, not the column.
      {"f <- function((),(),f) { g(); }\n",
       "<stdin>:1:1: error: Found unresolved forward references: \nsymbol: 'g', location: [L1, C0]\n"
       "f <- function((),(),f) { g(); }\n^\n"},
      // A message that names no place, also read again with tags, stands where the scanner stopped.
      {"constdef(string,5,x);\n",
       "<stdin>:1:20: error: Non valid type given, cannot create constant\nconstdef(string,5,x);\n                   ^\n"},
      // The end of the text on an empty line: column 1, where the caret is.
      {"var(int32,x);\nvar(int32,y\n",
       "<stdin>:3:1: error: [L3, C0]: A parser error occurred: syntax error, unexpected $end, expecting "
       "QUL_C_PAREN\n\n^\n"},
      // A line that ends with a carriage return is shown without it.
      {"var(int32,x);\r\nvar(int32 y);\r\n",
       "<stdin>:2:11: error: [L2, C11]: A parser error occurred: syntax error, unexpected QUL_IDENTIFIER, "
       "expecting QUL_C_PAREN\nvar(int32 y);\n          ^\n"},
      // Gotos are rewritten in the functions of the module scope only.
      {"scope(s) {\nx <- var(int32,x);\nf <- function((),(),f) {\n  goto(L);\n  label(L);\n}\n}\n",
       "<stdin>:4:10: error: [L4, C10]: goto(L): function 'f' is in a nested scope, where gotos are not resolved\n"
       "  goto(L);\n         ^\n"},
  };
  for (const auto& c : cases) {
    ToolRun run = quill("check -", c.text);
    EXPECT_EQ(1, run.status) << c.text;
    EXPECT_EQ(c.error, run.err) << c.text;
  }
}

// Standard output holds the printed text alone, and all of the input is read.
TEST(QuillTool, ScannerEchoesGoToStandardErrorAndNullBytesDoNotEndTheText) {
  ToolRun run = quill("fmt", "var(int32,x|origin:\"a\\qb\");\n");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("\nvar(int32,x);\n", run.out);
  EXPECT_EQ("\\\n", run.err) << "the echoes end with a line end";

  // A diagnostic after an echo starts a line of its own.
  run = quill("check", "constdef(string,\"a\\qb\",g);\nvar(int32 y);\n");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(0u, run.err.find("\\\n<stdin>:2:11: error: ")) << run.err;

  // A text read twice to place a message has its stray bytes reported once.
  run = quill("check", "x <- var(int32,x);\nf <- function((),(),f) {\n  label(L); $\n  =(x,1);\n}\n");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("ignoring bogus character in input: $\n<stdin>:3:3: warning: Line 3: label(L) defined but not used\n"
            "  label(L); $\n  ^\n",
            run.err);

  run = quill("check", std::string("var(int32,x);\0(\n", 17));
  EXPECT_EQ(1, run.status);
  EXPECT_NE(std::string::npos, run.err.find("unexpected QUL_O_PAREN")) << run.err;
}

TEST(QuillTool, WarningsDoNotChangeTheExitStatus) {
  ToolRun run = quill("check", "var(int32,x);\nvar(double,x);\n");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("<stdin>:2:13: warning: [L2, C13]: Symbol name x is already in use and cannot be defined again\n"
            "var(double,x);\n            ^\n",
            run.err);

  // A warning on the first line has its caret where the scanner was when it was said, not where it stopped.
  run = quill("check", "var(int32,x); var(int32,x); var(int32,y);");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("<stdin>:1:26: warning: [L1, C0]: Symbol name x is already in use and cannot be defined again\n"
            "var(int32,x); var(int32,x); var(int32,y);\n                         ^\n",
            run.err);

  run = quill("check", "x <- var(int32,x);\nf <- function((),(),f) {\n  label(L);\n  =(x,1);\n}\n");
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("<stdin>:3:3: warning: Line 3: label(L) defined but not used\n  label(L);\n  ^\n", run.err);
}

// A usage error or a file the tool cannot read or write: one line, exit status 2.
TEST(QuillTool, UsageErrorsExitWithTwo) {
  struct {
    const char* args;
    const char* message;
  } cases[] = {
      {"", "quill: missing command\n"},
      {"frobnicate", "quill: unknown command 'frobnicate'\n"},
      {"fmt --bogus", "quill: unknown option '--bogus'\n"},
      {"fmt a b", "quill: more than one input file\n"},
      {"fmt /nonexistent/file.qul", "quill: cannot read '/nonexistent/file.qul'\n"},
      {"fmt /", "quill: cannot read '/'\n"},
  };
  std::string module = writeTemp("module.qul", kModule);
  for (const auto& c : cases) {
    ToolRun run = quill(c.args);
    EXPECT_EQ(2, run.status) << c.args;
    EXPECT_EQ(c.message, run.err) << c.args;
  }
  ToolRun unwritable = quill("fmt --segments=/nonexistent/dir/s.txt " + module);
  EXPECT_EQ(2, unwritable.status);
  EXPECT_EQ("quill: cannot write '/nonexistent/dir/s.txt'\n", unwritable.err);
  if (std::filesystem::exists("/dev/full")) {
    std::string command = std::string(QUILL_TOOL_PATH) + " fmt " + module + " >/dev/full 2>/dev/null";
    int status = std::system(command.c_str());
    EXPECT_EQ(2, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  }
}

// The library accepts these texts, but prints them with a note in place of what it could not print: the tool
// prints nothing and says what failed.
TEST(QuillTool, TextsThatCannotBePrintedAreRefused) {
  const TextAndError cases[] = {
      {"function((),(),f)\n{\n    overflow();\n}\n",
       "quill: cannot print the text: function 'f': Unknown Statement overflow\n"},
      // A loop that every path leaves by a goto is no loop once parsed; what remains of it prints as nothing.
      {"var(int32,x);\nvar(int32,i);\nfunction((),(),f)\n{\n    for(i,0,1,10) {\n        =(x,1);\n"
       "        goto(out);\n    }\n    =(x,5);\n    label(out);\n    =(x,7);\n}\n",
       "quill: cannot print the text: function 'f': the text would show 2 of its 5 statements\n"},
      // Nothing but the loop's start remains of an endless loop left by a goto: its test is missing too.
      {"var(int32,x);\nvar(int32,i);\nfunction((),(),f)\n{\n    label(S);\n    for(i,5,-1,3) {\n        goto(S);\n"
       "    }\n}\n",
       "quill: cannot print the text: function 'f': the text would show 1 of its 2 statements\n"},
      // A matrix literal short of elements leaves them without a value, which has no printed form.
      {"var(matrix(int32, 2),a <- {1} );\n",
       "Max size of a dimension and the number of elements in the literal list don't match \n"
       "quill: cannot print the text: variable 'a': aLiteral == NULL\n"},
      // The failure names the definitions it is in; a later one in another function is not reported.
      {"function((),(),f)\n{\n    var(matrix(int32, 2),a <- {1} );\n}\nfunction((),(),g)\n{\n    overflow();\n}\n",
       "Max size of a dimension and the number of elements in the literal list don't match \n"
       "quill: cannot print the text: function 'f': variable 'a': aLiteral == NULL\n"},
  };
  for (const auto& c : cases) {
    for (const char* command : {"fmt", "roundtrip"}) {
      ToolRun run = quill(command, c.text);
      EXPECT_EQ(1, run.status) << command << ' ' << c.text;
      EXPECT_EQ("", run.out) << command << ' ' << c.text;
      EXPECT_EQ(c.error, run.err) << command << ' ' << c.text;
    }
  }
}

TEST(QuillTool, HelpAndVersion) {
  EXPECT_EQ(0, quill("--help").status);
  EXPECT_NE(std::string::npos, quill("--help").out.find("quill roundtrip"));
  EXPECT_EQ(0, quill("--version").out.find("quill "));
}

} // namespace
