// The meaning of function bodies survives parsing and printing: random int32 programs full of gotos run the same
// from their text (a reference interpreter), as the parsed graph, and as the graph parsed back from the printed text.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <sstream>

#include "ir/cfg.h"
#include "ir/op.h"
#include "ir/symbol.h"
#include "tests/parser_support.h"
#include "tests/support/irinterp.h"

namespace {

using quill_parse_test::Module;
using quilltest::RunEnd;
using quilltest::RunResult;
using quilltest::RunSetup;

//===-- Programs ------------------------------------------------------------------------------------------===//

// Inputs a and b, output r, locals; the last three serve as for-loop indexes.
const std::vector<std::string> kVarNames = {"a", "b", "r", "t", "u", "i", "j", "k"};
const std::vector<std::string> kLoopIndexes = {"i", "j", "k"};
const std::vector<std::string> kAssignedVars = {"r", "r", "r", "t", "u", "a", "b"};
constexpr long kEventBudget = 300;

struct Expr {
  int op = 0;      // a CG::OP number; 0 for a leaf
  std::string var; // a leaf's variable; empty for a constant
  int32_t value = 0;
  std::vector<Expr> args;
};

enum class StmtKind { Assign, If, While, DoWhile, For, Switch, Label, Goto };

struct Stmt;
using Block = std::vector<Stmt>;

struct Stmt {
  StmtKind kind;
  std::string name;        // the variable assigned, the loop index, or the label
  std::vector<Expr> exprs; // assign: value; if, loops: condition; for: start, step, end; switch: operand
  std::vector<int32_t> caseValues;
  std::vector<Block> bodies; // if: then, else; loops: body; switch: one per case, then the default
};

struct Program {
  Block body;
  std::vector<std::pair<int32_t, int32_t>> inputs;
};

Expr constant(int32_t aValue) {
  return Expr{0, "", aValue, {}};
}

Expr variable(const std::string& aName) {
  return Expr{0, aName, 0, {}};
}

Expr binary(int aOp, Expr aLeft, Expr aRight) {
  return Expr{aOp, "", 0, {std::move(aLeft), std::move(aRight)}};
}

Stmt simple(StmtKind aKind, const std::string& aName, std::vector<Expr> aExprs = {}) {
  return Stmt{aKind, aName, std::move(aExprs), {}, {}};
}

//===-- Text ----------------------------------------------------------------------------------------------===//

const std::map<int, std::string> kSpellings = {{CG::OP::PLUS, "+"}, {CG::OP::MINUS, "-"}, {CG::OP::MUL, "*"},
                                               {CG::OP::EQ, "=="},  {CG::OP::NE, "!="},   {CG::OP::LT, "<"},
                                               {CG::OP::LE, "<="},  {CG::OP::GT, ">"},    {CG::OP::GE, ">="}};

std::string exprText(const Expr& aExpr) {
  if (aExpr.op == 0)
    return aExpr.var.empty() ? std::to_string(aExpr.value) : aExpr.var;
  return kSpellings.at(aExpr.op) + "(" + exprText(aExpr.args[0]) + "," + exprText(aExpr.args[1]) + ")";
}

// The function around a body: inputs a and b, output r, the other variables local.
std::string functionText(const std::string& aBody) {
  std::string text = "function((var(int32,a),var(int32,b)),(var(int32,r)),f)\n{\n";
  for (size_t i = 3; i < kVarNames.size(); ++i)
    text += "    var(int32," + kVarNames[i] + ");\n";
  return text + aBody + "}\n";
}

class TextWriter {
public:
  std::string body(const Block& aBody) {
    block(aBody, 1);
    return fText;
  }

private:
  void line(int aDepth, const std::string& aText) { fText += std::string(4 * aDepth, ' ') + aText + "\n"; }

  void block(const Block& aBlock, int aDepth) {
    for (const Stmt& stmt : aBlock)
      statement(stmt, aDepth);
  }

  void statement(const Stmt& aStmt, int aDepth) {
    switch (aStmt.kind) {
    case StmtKind::Assign:
      return line(aDepth, "=(" + aStmt.name + "," + exprText(aStmt.exprs[0]) + ");");
    case StmtKind::If:
      line(aDepth, "if(" + exprText(aStmt.exprs[0]) + ") {");
      block(aStmt.bodies[0], aDepth + 1);
      line(aDepth, "} else {");
      block(aStmt.bodies[1], aDepth + 1);
      return line(aDepth, "}");
    case StmtKind::While:
      line(aDepth, "while(" + exprText(aStmt.exprs[0]) + ") {");
      block(aStmt.bodies[0], aDepth + 1);
      return line(aDepth, "}");
    case StmtKind::DoWhile:
      line(aDepth, "do {");
      block(aStmt.bodies[0], aDepth + 1);
      return line(aDepth, "}while(" + exprText(aStmt.exprs[0]) + ");");
    case StmtKind::For:
      line(aDepth, "for(" + aStmt.name + "," + exprText(aStmt.exprs[0]) + "," + exprText(aStmt.exprs[1]) + "," +
                       exprText(aStmt.exprs[2]) + ") {");
      block(aStmt.bodies[0], aDepth + 1);
      return line(aDepth, "}");
    case StmtKind::Switch:
      return switchStatement(aStmt, aDepth);
    case StmtKind::Label:
      return line(aDepth, "label(" + aStmt.name + ");");
    case StmtKind::Goto:
      return line(aDepth, "goto(" + aStmt.name + ");");
    }
  }

  void switchStatement(const Stmt& aStmt, int aDepth) {
    line(aDepth, "switch(" + exprText(aStmt.exprs[0]) + ") {");
    for (size_t i = 0; i < aStmt.caseValues.size(); ++i) {
      line(aDepth + 1, "case(" + std::to_string(aStmt.caseValues[i]) + ") :");
      block(aStmt.bodies[i], aDepth + 2);
    }
    line(aDepth + 1, "default :");
    block(aStmt.bodies.back(), aDepth + 2);
    line(aDepth, "}");
  }

  std::string fText;
};

std::string programText(const Program& aProgram) {
  return functionText(TextWriter().body(aProgram.body));
}

//===-- Generator -----------------------------------------------------------------------------------------===//

// Random bodies of assignments, branches, loops and switches, with labels and gotos anywhere. Each goto is aimed
// at a label once the body is complete, so jumps go forward and backward, into and out of branches and loops.
class ProgramGenerator {
public:
  explicit ProgramGenerator(uint64_t aSeed) : fEngine(aSeed) {}

  Program generate() {
    Program program;
    fStmtsLeft = chance(80) ? 3 + below(12) : 15 + below(20);
    program.body = block(0);
    aimGotos(program.body);
    program.inputs = {{0, 0}, {2, 5}, {-3, 1}, {7, -4}, {between(-5, 10), between(-5, 10)}};
    return program;
  }

private:
  int below(int aBound) { return static_cast<int>(fEngine() % static_cast<uint64_t>(aBound)); }
  int32_t between(int aLow, int aHigh) { return aLow + below(aHigh - aLow + 1); }
  bool chance(int aPercent) { return below(100) < aPercent; }
  const std::string& pick(const std::vector<std::string>& aNames) {
    return aNames[below(static_cast<int>(aNames.size()))];
  }

  Block block(int aDepth) {
    Block result;
    int length = below(aDepth == 0 ? 6 : 4);
    for (int i = 0; i < length && fStmtsLeft > 0; ++i)
      addStatements(result, aDepth);
    return result;
  }

  void addStatements(Block& aBlock, int aDepth) {
    --fStmtsLeft;
    int roll = below(100);
    bool nest = aDepth < 3;
    if (roll < 28)
      return aBlock.push_back(assign());
    if (roll < 40)
      return aBlock.push_back(newLabel());
    if (roll < 48)
      return aBlock.push_back(simple(StmtKind::Goto, ""));
    if (roll < 56)
      return aBlock.push_back(conditionalGoto());
    if (roll < 58) // a loop without events: label(S); goto(S);
      return selfLoop(aBlock);
    if (roll < 61) { // the second goto is unreachable
      aBlock.push_back(simple(StmtKind::Goto, ""));
      return aBlock.push_back(simple(StmtKind::Goto, ""));
    }
    if (!nest || roll < 68)
      return aBlock.push_back(assign());
    if (roll < 77)
      return aBlock.push_back(ifStatement(aDepth));
    if (roll < 84)
      return aBlock.push_back(conditionLoop(StmtKind::While, aDepth));
    if (roll < 89)
      return aBlock.push_back(conditionLoop(StmtKind::DoWhile, aDepth));
    if (roll < 95)
      return aBlock.push_back(forLoop(aDepth));
    aBlock.push_back(switchStatement(aDepth));
  }

  Stmt newLabel() { return simple(StmtKind::Label, "lab" + std::to_string(++fLabels)); }

  void selfLoop(Block& aBlock) {
    aBlock.push_back(newLabel());
    aBlock.push_back(simple(StmtKind::Goto, aBlock.back().name));
  }

  Stmt assign() { return simple(StmtKind::Assign, pick(kAssignedVars), {value(2)}); }

  Stmt conditionalGoto() {
    Stmt branch = simple(StmtKind::If, "", {condition()});
    branch.bodies = {{simple(StmtKind::Goto, "")}, {}};
    if (chance(30))
      std::swap(branch.bodies[0], branch.bodies[1]);
    return branch;
  }

  Stmt ifStatement(int aDepth) {
    Stmt branch = simple(StmtKind::If, "", {condition()});
    branch.bodies = {block(aDepth + 1), block(aDepth + 1)};
    return branch;
  }

  // Most loops count a variable up to a bound at the end of their body, so that many of them end.
  Stmt conditionLoop(StmtKind aKind, int aDepth) {
    Block body = block(aDepth + 1);
    Expr test = condition();
    if (chance(65)) {
      std::string counter = chance(50) ? "t" : "u";
      test = binary(CG::OP::LT, variable(counter), constant(between(1, 6)));
      body.push_back(simple(StmtKind::Assign, counter, {binary(CG::OP::PLUS, variable(counter), constant(1))}));
    }
    Stmt loop = simple(aKind, "", {test});
    loop.bodies = {std::move(body)};
    return loop;
  }

  Stmt forLoop(int aDepth) {
    std::string index = unusedIndex();
    if (index.empty())
      return conditionLoop(StmtKind::While, aDepth);
    fIndexesInUse.push_back(index);
    Stmt loop = simple(StmtKind::For, index, forBounds());
    loop.bodies = {block(aDepth + 1)};
    fIndexesInUse.pop_back();
    return loop;
  }

  std::string unusedIndex() {
    for (const std::string& index : kLoopIndexes)
      if (std::find(fIndexesInUse.begin(), fIndexesInUse.end(), index) == fIndexesInUse.end())
        return index;
    return "";
  }

  // start, step, end: counting up by 1 or 2, or down by 1, to a constant or a variable bound.
  std::vector<Expr> forBounds() {
    int32_t step = chance(60) ? 1 : chance(50) ? 2 : -1;
    Expr bound = chance(50) ? constant(between(-1, 6)) : leaf();
    Expr start = chance(70) ? constant(step > 0 ? between(0, 2) : between(3, 6)) : leaf();
    return {start, constant(step), bound};
  }

  Stmt switchStatement(int aDepth) {
    Stmt choice = simple(StmtKind::Switch, "", {chance(50) ? leaf() : value(1)});
    int cases = 1 + below(3);
    int32_t next = between(-1, 2);
    for (int i = 0; i < cases; ++i) {
      choice.caseValues.push_back(next);
      choice.bodies.push_back(block(aDepth + 1));
      next += 1 + below(2);
    }
    choice.bodies.push_back(block(aDepth + 1));
    return choice;
  }

  Expr leaf() { return chance(65) ? variable(pick(kVarNames)) : constant(between(-3, 9)); }

  Expr value(int aDepth) {
    if (aDepth == 0 || chance(40))
      return leaf();
    static const int kArithmetic[] = {CG::OP::PLUS, CG::OP::PLUS, CG::OP::MINUS, CG::OP::MUL};
    return binary(kArithmetic[below(4)], value(aDepth - 1), value(aDepth - 1));
  }

  Expr condition() {
    static const int kComparisons[] = {CG::OP::EQ, CG::OP::NE, CG::OP::LT, CG::OP::LE, CG::OP::GT, CG::OP::GE};
    return binary(kComparisons[below(6)], variable(pick(kVarNames)), value(1));
  }

  // Gives every goto a label; several gotos often share one.
  void aimGotos(Block& aBody) {
    std::vector<std::string> labels;
    std::vector<Stmt*> gotos;
    collectJumps(aBody, labels, gotos);
    if (gotos.empty())
      return;
    if (labels.empty()) {
      aBody.insert(aBody.begin() + below(static_cast<int>(aBody.size()) + 1), newLabel());
      gotos.clear();
      collectJumps(aBody, labels, gotos);
    }
    std::string previous;
    for (Stmt* jump : gotos) {
      if (!jump->name.empty())
        continue;
      jump->name = !previous.empty() && chance(40) ? previous : pick(labels);
      previous = jump->name;
    }
  }

  static void collectJumps(Block& aBlock, std::vector<std::string>& aLabels, std::vector<Stmt*>& aGotos) {
    for (Stmt& stmt : aBlock) {
      if (stmt.kind == StmtKind::Label)
        aLabels.push_back(stmt.name);
      if (stmt.kind == StmtKind::Goto)
        aGotos.push_back(&stmt);
      for (Block& body : stmt.bodies)
        collectJumps(body, aLabels, aGotos);
    }
  }

  std::mt19937_64 fEngine;
  int fStmtsLeft = 0;
  int fLabels = 0;
  std::vector<std::string> fIndexesInUse;
};

//===-- Reference interpreter -----------------------------------------------------------------------------===//

// The program compiled to a flat list with jumps, as a C compiler would lay it out: the meaning of gotos into and
// out of blocks is then just a jump to the label's place.
struct Instr {
  enum class Op { Assign, Branch, Jump, Switch };
  Op op;
  std::string var;         // the variable assigned
  std::vector<Expr> exprs; // assign: value; branch: condition; switch: operand
  std::vector<int32_t> caseValues;
  std::vector<int> targets; // branch: true, false; jump: target; switch: cases, default
  std::string label;        // a goto's label, resolved once the code is complete
};

class Compiler {
public:
  std::vector<Instr> compile(const Block& aBody) {
    block(aBody);
    for (Instr& instr : fCode)
      if (!instr.label.empty())
        instr.targets = {fLabels.at(instr.label)};
    return std::move(fCode);
  }

private:
  int here() const { return static_cast<int>(fCode.size()); }

  int emit(Instr::Op aOp, std::vector<Expr> aExprs = {}, const std::string& aVar = "") {
    fCode.push_back(Instr{aOp, aVar, std::move(aExprs), {}, {}, ""});
    return here() - 1;
  }

  void block(const Block& aBlock) {
    for (const Stmt& stmt : aBlock)
      statement(stmt);
  }

  void statement(const Stmt& aStmt) {
    switch (aStmt.kind) {
    case StmtKind::Assign:
      emit(Instr::Op::Assign, aStmt.exprs, aStmt.name);
      return;
    case StmtKind::If:
      return ifStatement(aStmt);
    case StmtKind::While:
      return loop(aStmt.exprs[0], aStmt.bodies[0]);
    case StmtKind::DoWhile:
      return doWhileLoop(aStmt);
    case StmtKind::For:
      return forLoop(aStmt);
    case StmtKind::Switch:
      return switchStatement(aStmt);
    case StmtKind::Label:
      fLabels[aStmt.name] = here();
      return;
    case StmtKind::Goto:
      fCode[emit(Instr::Op::Jump)].label = aStmt.name;
      return;
    }
  }

  void ifStatement(const Stmt& aStmt) {
    int test = emit(Instr::Op::Branch, aStmt.exprs);
    block(aStmt.bodies[0]);
    int skipElse = emit(Instr::Op::Jump);
    int elseStart = here();
    block(aStmt.bodies[1]);
    fCode[test].targets = {test + 1, elseStart};
    fCode[skipElse].targets = {here()};
  }

  // The test, the body, the step if any, and a jump back to the test.
  void loop(const Expr& aCondition, const Block& aBody, const Stmt* aStep = nullptr) {
    int test = emit(Instr::Op::Branch, {aCondition});
    block(aBody);
    if (aStep != nullptr)
      statement(*aStep);
    fCode[emit(Instr::Op::Jump)].targets = {test};
    fCode[test].targets = {test + 1, here()};
  }

  void doWhileLoop(const Stmt& aStmt) {
    int top = here();
    block(aStmt.bodies[0]);
    int test = emit(Instr::Op::Branch, aStmt.exprs);
    fCode[test].targets = {top, test + 1};
  }

  // The start is assigned once, the step added after each round; the bounds are inclusive. Steps are constants, so
  // the direction of the test is known here.
  void forLoop(const Stmt& aStmt) {
    const Expr& step = aStmt.exprs[1];
    Expr index = variable(aStmt.name);
    emit(Instr::Op::Assign, {aStmt.exprs[0]}, aStmt.name);
    Stmt advance = simple(StmtKind::Assign, aStmt.name, {binary(CG::OP::PLUS, index, step)});
    loop(binary(step.value >= 0 ? CG::OP::LE : CG::OP::GE, index, aStmt.exprs[2]), aStmt.bodies[0], &advance);
  }

  void switchStatement(const Stmt& aStmt) {
    int choice = emit(Instr::Op::Switch, aStmt.exprs);
    fCode[choice].caseValues = aStmt.caseValues;
    std::vector<int> leaves;
    for (const Block& body : aStmt.bodies) {
      fCode[choice].targets.push_back(here());
      block(body);
      leaves.push_back(emit(Instr::Op::Jump));
    }
    for (int leave : leaves)
      fCode[leave].targets = {here()};
  }

  std::vector<Instr> fCode;
  std::map<std::string, int> fLabels;
};

// Runs the flat code with the graph interpreter's meter: every instruction but a jump is an event.
class ReferenceRun {
public:
  ReferenceRun(const std::vector<Instr>& aCode, const RunSetup& aSetup)
      : fCode(aCode), fValues(aSetup.initial), fMeter(aSetup.eventBudget, aCode.size() + 1) {}

  RunResult run() {
    RunEnd end = execute();
    return RunResult{end, fMeter.events(), fValues, ""};
  }

private:
  RunEnd execute() {
    for (size_t pc = 0; pc < fCode.size();) {
      bool free = fCode[pc].op == Instr::Op::Jump;
      if (free ? !fMeter.allowFreeStep() : !fMeter.allowEvent())
        return free ? RunEnd::Spins : RunEnd::OutOfEvents;
      pc = static_cast<size_t>(perform(fCode[pc], pc));
    }
    return RunEnd::Finished;
  }

  // Carries the instruction out; returns the next one's place.
  int perform(const Instr& aInstr, size_t aPc) {
    switch (aInstr.op) {
    case Instr::Op::Assign:
      slot(aInstr.var) = eval(aInstr.exprs[0]);
      break;
    case Instr::Op::Branch:
      return aInstr.targets[eval(aInstr.exprs[0]) != 0 ? 0 : 1];
    case Instr::Op::Jump:
      return aInstr.targets[0];
    case Instr::Op::Switch: {
      const std::vector<int32_t>& values = aInstr.caseValues;
      return aInstr.targets[std::find(values.begin(), values.end(), eval(aInstr.exprs[0])) - values.begin()];
    }
    }
    return static_cast<int>(aPc) + 1;
  }

  int32_t eval(const Expr& aExpr) {
    if (aExpr.op != 0)
      return quilltest::applyBinary(aExpr.op, eval(aExpr.args[0]), eval(aExpr.args[1]));
    return aExpr.var.empty() ? aExpr.value : slot(aExpr.var);
  }

  int32_t& slot(const std::string& aName) {
    return fValues.at(static_cast<size_t>(std::find(kVarNames.begin(), kVarNames.end(), aName) - kVarNames.begin()));
  }

  const std::vector<Instr>& fCode;
  std::vector<int32_t> fValues;
  quilltest::RunMeter fMeter;
};

RunSetup setupFor(std::pair<int32_t, int32_t> aInputs) {
  std::vector<int32_t> initial(kVarNames.size(), 0);
  initial[0] = aInputs.first;
  initial[1] = aInputs.second;
  return RunSetup{kVarNames, initial, kEventBudget};
}

//===-- The property --------------------------------------------------------------------------------------===//

enum class Stage { Parse, ParsedGraph, Print, Reparse, ReparsedGraph, SecondPrint };
const char* const kStageNames[] = {"parse",
                                   "parsed graph",
                                   "print",
                                   "parse of the printed text",
                                   "graph of the printed text",
                                   "graph of the second print"};

struct Finding {
  Stage stage;
  std::string detail;
};

// Why a printed text is not checked further: the emitter's note, a for-loop test whose head merge elimination
// removed (such a loop prints as nothing), or statements left out of the text.
enum class Refusal { None, EmitterNote, HeadlessLoopTest, StatementsLeftOut };

struct Outcome {
  std::optional<Finding> finding;
  Refusal refusal = Refusal::None;
  int graphRuns = 0;
  bool referenceEnds = false;
  int labelNumbersOnly = 0;
  int layoutOnly = 0;
  std::string printed;
};

CG::Fcn* functionNamed(CG_Ctx& aCtx, const char* aName) {
  for (CG::Symbol* symbol = aCtx.globalScope()->firstSymbol(); symbol; symbol = symbol->next())
    if (CG::Fcn::isa(symbol) && std::string(symbol->name()) == aName)
      return CG::Fcn::cast(symbol);
  return nullptr;
}

// The statements of class T in the function's graph.
template <class T> int countStmts(CG::Fcn* aFcn) {
  int count = 0;
  for (CG::Stmt* stmt : aFcn->cfg()->stmts())
    count += T::isa(stmt) ? 1 : 0;
  return count;
}

bool hasHeadlessLoopTest(CG::Fcn* aFcn) {
  for (CG::Stmt* stmt : aFcn->cfg()->stmts()) {
    if (!CG::AbstractForExitStmt::isa(stmt))
      continue;
    CG::AbstractForEntryStmt* head = CG::AbstractForExitStmt::cast(stmt)->entry();
    if (head == nullptr || head->isDestroyed())
      return true;
  }
  return false;
}

int countLinesMatching(const std::string& aText, const std::regex& aPattern) {
  std::istringstream lines(aText);
  int count = 0;
  for (std::string line; std::getline(lines, line);)
    count += std::regex_search(line, aPattern) ? 1 : 0;
  return count;
}

// The emitter leaves out what its walk never reaches (a loop entered only by a goto into its body prints as
// nothing); the quill tool refuses such a text.
bool leavesStatementsOut(CG::Fcn* aFcn, const std::string& aPrinted) {
  static const std::regex assignment("^ *=\\(");
  static const std::regex loop("^ *for\\(");
  return countLinesMatching(aPrinted, assignment) != countStmts<CG::ExprStmt>(aFcn) ||
         countLinesMatching(aPrinted, loop) != countStmts<CG::AbstractForExitStmt>(aFcn);
}

// Label numbers in order of first appearance: two prints of one graph may number its labels differently.
std::string withLabelsInOrderSeen(const std::string& aText) {
  static const std::regex label("(label|goto)\\(L([0-9]+)\\)");
  std::map<std::string, int> numbers;
  std::string result;
  auto rest = aText.cbegin();
  for (std::sregex_iterator it(aText.begin(), aText.end(), label), end; it != end; ++it) {
    const std::smatch& match = *it;
    auto found = numbers.emplace(match[2].str(), static_cast<int>(numbers.size())).first;
    result.append(rest, match[0].first);
    result += match[1].str() + "(L" + std::to_string(found->second) + ")";
    rest = match[0].second;
  }
  result.append(rest, aText.cend());
  return result;
}

// Parses the text quietly; why the module holds no function f afterwards, if it does not.
std::optional<std::string> parseError(Module& aModule, const std::string& aText) {
  quill_parse_test::CollectedLog quiet;
  try {
    aModule.parse(aText);
  } catch (const std::exception& error) {
    return error.what();
  }
  if (functionNamed(aModule.ctx, "f") == nullptr)
    return "no function f";
  return std::nullopt;
}

// Parses, runs, prints, parses the print and runs again: the first disagreement with the reference, if any.
class RoundTrip {
public:
  explicit RoundTrip(const Program& aProgram) : fProgram(aProgram), fCode(Compiler().compile(aProgram.body)) {}

  Outcome check() {
    for (const auto& inputs : fProgram.inputs)
      fExpected.push_back(ReferenceRun(fCode, setupFor(inputs)).run());
    fOutcome.referenceEnds = fExpected.front().end == RunEnd::Finished;
    Module parsed;
    if (!parse(parsed, programText(fProgram), Stage::Parse) || !runsAsExpected(parsed, Stage::ParsedGraph))
      return fOutcome;
    if (!print(parsed))
      return fOutcome;
    Module reparsed;
    if (!parse(reparsed, fOutcome.printed, Stage::Reparse) || !runsAsExpected(reparsed, Stage::ReparsedGraph))
      return fOutcome;
    std::string second = reparsed.emit();
    fOutcome.refusal = refusalOf(reparsed, second);
    if (fOutcome.refusal == Refusal::None)
      comparePrints(second);
    return fOutcome;
  }

private:
  bool fail(Stage aStage, const std::string& aDetail) {
    fOutcome.finding = Finding{aStage, aDetail};
    return false;
  }

  bool parse(Module& aModule, const std::string& aText, Stage aStage) {
    std::optional<std::string> error = parseError(aModule, aText);
    return error ? fail(aStage, *error) : true;
  }

  bool runsAsExpected(Module& aModule, Stage aStage) {
    CG::Fcn* fcn = functionNamed(aModule.ctx, "f");
    for (size_t i = 0; i < fProgram.inputs.size(); ++i) {
      RunResult actual = quilltest::runFcnGraph(fcn, setupFor(fProgram.inputs[i]));
      ++fOutcome.graphRuns;
      if (actual != fExpected[i])
        return fail(aStage, "a=" + std::to_string(fProgram.inputs[i].first) +
                                " b=" + std::to_string(fProgram.inputs[i].second) +
                                "\n  expected: " + quilltest::describe(fExpected[i], kVarNames) +
                                "\n  actual:   " + quilltest::describe(actual, kVarNames));
    }
    return true;
  }

  // False when the text cannot be checked further: the emitter failed or refused the graph.
  bool print(Module& aModule) {
    try {
      fOutcome.printed = aModule.emit();
    } catch (const std::exception& error) {
      return fail(Stage::Print, error.what());
    }
    fOutcome.refusal = refusalOf(aModule, fOutcome.printed);
    return fOutcome.refusal == Refusal::None;
  }

  static Refusal refusalOf(Module& aModule, const std::string& aPrinted) {
    if (aPrinted.find("Could not emit function") != std::string::npos)
      return Refusal::EmitterNote;
    CG::Fcn* fcn = functionNamed(aModule.ctx, "f");
    if (hasHeadlessLoopTest(fcn))
      return Refusal::HeadlessLoopTest;
    if (leavesStatementsOut(fcn, aPrinted))
      return Refusal::StatementsLeftOut;
    return Refusal::None;
  }

  // A loop entered by a goto to its first statement prints as gotos, and the graph read back from that as the
  // loop: the two prints may be laid out differently, but they must mean the same.
  void comparePrints(const std::string& aSecond) {
    if (aSecond == fOutcome.printed)
      return;
    if (withLabelsInOrderSeen(aSecond) == withLabelsInOrderSeen(fOutcome.printed)) {
      fOutcome.labelNumbersOnly = 1;
      return;
    }
    Module again;
    if (parse(again, aSecond, Stage::SecondPrint) && runsAsExpected(again, Stage::SecondPrint))
      fOutcome.layoutOnly = 1;
  }

  const Program& fProgram;
  std::vector<Instr> fCode;
  std::vector<RunResult> fExpected;
  Outcome fOutcome;
};

//===-- Shrinking -----------------------------------------------------------------------------------------===//

// Drops gotos whose label an edit removed.
void dropDanglingGotos(Block& aBlock, const std::vector<std::string>& aLabels) {
  aBlock.erase(std::remove_if(aBlock.begin(), aBlock.end(),
                              [&](const Stmt& aStmt) {
                                return aStmt.kind == StmtKind::Goto &&
                                       std::find(aLabels.begin(), aLabels.end(), aStmt.name) == aLabels.end();
                              }),
               aBlock.end());
  for (Stmt& stmt : aBlock)
    for (Block& body : stmt.bodies)
      dropDanglingGotos(body, aLabels);
}

void collectLabels(const Block& aBlock, std::vector<std::string>& aLabels) {
  for (const Stmt& stmt : aBlock) {
    if (stmt.kind == StmtKind::Label)
      aLabels.push_back(stmt.name);
    for (const Block& body : stmt.bodies)
      collectLabels(body, aLabels);
  }
}

// An operation replaced by an operand or by 0 or 1, a variable by 0, a constant by 0 or 1.
std::vector<Expr> simplerExprs(const Expr& aExpr) {
  if (aExpr.op != 0)
    return {aExpr.args[0], aExpr.args[1], constant(0), constant(1)};
  if (!aExpr.var.empty())
    return {constant(0)};
  if (aExpr.value == 0)
    return {};
  return aExpr.value == 1 ? std::vector<Expr>{constant(0)} : std::vector<Expr>{constant(0), constant(1)};
}

// Returns true when it takes the candidate, which ends the search.
using BlockEdit = std::function<bool(Block)>;

// Offers every block one step smaller: a statement removed, a compound replaced by one of its bodies, an expression
// replaced by a constant or an operand, or the same inside a nested body. Stops at the first one taken.
bool offerSmallerBlocks(const Block& aBlock, const BlockEdit& aTry) {
  for (size_t k = 0; k < aBlock.size(); ++k) {
    std::vector<Block> replacements = {Block{}};
    replacements.insert(replacements.end(), aBlock[k].bodies.begin(), aBlock[k].bodies.end());
    for (const Block& replacement : replacements) {
      Block replaced = aBlock;
      replaced.erase(replaced.begin() + static_cast<long>(k));
      replaced.insert(replaced.begin() + static_cast<long>(k), replacement.begin(), replacement.end());
      if (aTry(replaced))
        return true;
    }
    for (size_t e = 0; e < aBlock[k].exprs.size(); ++e) {
      for (Expr simpler : simplerExprs(aBlock[k].exprs[e])) {
        Block changed = aBlock;
        changed[k].exprs[e] = std::move(simpler);
        if (aTry(changed))
          return true;
      }
    }
    for (size_t b = 0; b < aBlock[k].bodies.size(); ++b) {
      bool taken = offerSmallerBlocks(aBlock[k].bodies[b], [&](Block aBody) {
        Block nested = aBlock;
        nested[k].bodies[b] = std::move(aBody);
        return aTry(nested);
      });
      if (taken)
        return true;
    }
  }
  return false;
}

// Labels named lab1, lab2 ... in order of appearance, so that alike failures shrink to one text.
void renameLabels(Block& aBlock, std::map<std::string, std::string>& aNames) {
  for (Stmt& stmt : aBlock) {
    if (stmt.kind == StmtKind::Label || stmt.kind == StmtKind::Goto)
      stmt.name = aNames.emplace(stmt.name, "lab" + std::to_string(aNames.size() + 1)).first->second;
    for (Block& body : stmt.bodies)
      renameLabels(body, aNames);
  }
}

using OutcomeTest = std::function<bool(const Outcome&)>;

// A smaller program whose outcome still passes the test.
Program shrink(Program aProgram, const OutcomeTest& aStillFails) {
  auto failsAlike = [&aStillFails](const Program& aCandidate) { return aStillFails(RoundTrip(aCandidate).check()); };
  for (bool smaller = true; smaller;) {
    const Block current = aProgram.body;
    smaller = offerSmallerBlocks(current, [&](Block aBody) {
      std::vector<std::string> labels;
      collectLabels(aBody, labels);
      dropDanglingGotos(aBody, labels);
      Program candidate{std::move(aBody), aProgram.inputs};
      if (!failsAlike(candidate))
        return false;
      aProgram = std::move(candidate);
      return true;
    });
  }
  std::map<std::string, std::string> names;
  renameLabels(aProgram.body, names);
  return aProgram;
}

//===-- The test ------------------------------------------------------------------------------------------===//

// Failing programs shrunk per stage; different faults at one stage show as different smallest programs.
constexpr size_t kShrunkPerStage = 8;

struct Tally {
  int programs = 0;
  int graphRuns = 0;
  int referenceEnds = 0;
  int labelNumbersOnly = 0;
  int layoutOnly = 0;
  std::map<Refusal, int> refusals;
  std::map<Stage, int> findings;
  std::map<Stage, std::vector<Program>> failing;

  void add(const Program& aProgram, const Outcome& aOutcome) {
    ++programs;
    graphRuns += aOutcome.graphRuns;
    referenceEnds += aOutcome.referenceEnds ? 1 : 0;
    labelNumbersOnly += aOutcome.labelNumbersOnly;
    layoutOnly += aOutcome.layoutOnly;
    ++refusals[aOutcome.refusal];
    if (!aOutcome.finding)
      return;
    ++findings[aOutcome.finding->stage];
    std::vector<Program>& examples = failing[aOutcome.finding->stage];
    if (examples.size() < kShrunkPerStage)
      examples.push_back(aProgram);
  }

  std::string summary() const {
    auto refused = [this](Refusal aReason) { return refusals.count(aReason) ? refusals.at(aReason) : 0; };
    std::ostringstream text;
    text << programs << " programs, " << graphRuns << " graph runs; the reference ends for the first input in "
         << referenceEnds << "; prints not checked: " << refused(Refusal::EmitterNote) << " with the emitter's note, "
         << refused(Refusal::HeadlessLoopTest) << " with a loop left by gotos only, "
         << refused(Refusal::StatementsLeftOut) << " with statements left out; " << labelNumbersOnly
         << " second prints differ in label numbers only, " << layoutOnly << " in layout only";
    return text.str();
  }
};

std::string failureText(const Program& aProgram) {
  Outcome outcome = RoundTrip(aProgram).check();
  std::string text = programText(aProgram);
  if (!outcome.finding)
    return text;
  text += outcome.finding->detail + "\n";
  if (outcome.finding->stage >= Stage::Reparse)
    text += "printed:" + outcome.printed;
  return text;
}

std::string report(Stage aStage, int aCount, const std::vector<Program>& aFailing) {
  std::vector<std::string> distinct;
  for (const Program& program : aFailing) {
    auto failsAtStage = [aStage](const Outcome& aOutcome) {
      return aOutcome.finding && aOutcome.finding->stage == aStage;
    };
    std::string text = failureText(shrink(program, failsAtStage));
    if (std::find(distinct.begin(), distinct.end(), text) == distinct.end())
      distinct.push_back(text);
  }
  std::string text = std::string(kStageNames[static_cast<int>(aStage)]) + " differs in " + std::to_string(aCount) +
                     " programs; the smallest forms of the first " + std::to_string(aFailing.size()) + ":\n";
  for (const std::string& example : distinct)
    text += "\n" + example;
  return text;
}

constexpr int kPrograms = 6000;

TEST(SemanticRoundTrip, ProgramsRunTheSameAsTextAsParsedGraphAndAsReprintedGraph) {
  Tally tally;
  for (int seed = 1; seed <= kPrograms; ++seed) {
    Program program = ProgramGenerator(static_cast<uint64_t>(seed)).generate();
    tally.add(program, RoundTrip(program).check());
  }
  std::cout << "[ semantic ] " << tally.summary() << "\n";
  for (const auto& [stage, count] : tally.findings)
    ADD_FAILURE() << report(stage, count, tally.failing.at(stage));
}

// Shapes of jumps run as written, parsed and reprinted (unless the emitter notes that it cannot print them): a body,
// its inputs a and b, and how the run ends.
struct KnownShape {
  const char* name;
  const char* body;
  std::pair<int32_t, int32_t> inputs;
  const char* expected;
};

const KnownShape kKnownShapes[] = {
    {"self loop", "label(S);\ngoto(S);\n", {1, 2}, "spins after 0 events: a=1 b=2 r=0 t=0 u=0 i=0 j=0 k=0"},
    {"self loop after work",
     "=(r,a);\nlabel(S);\ngoto(S);\n",
     {1, 2},
     "spins after 1 events: a=1 b=2 r=1 t=0 u=0 i=0 j=0 k=0"},
    {"loop made of a backward goto",
     "label(TOP);\n=(r,+(r,1));\nif(<(r,b)) {\ngoto(TOP);\n} else {\n}\n",
     {1, 4},
     "finished after 8 events: a=1 b=4 r=4 t=0 u=0 i=0 j=0 k=0"},
    {"gotos to one label, one unreachable",
     "if(>(a,0)) {\ngoto(OUT);\ngoto(OUT);\n} else {\n}\n=(r,1);\nif(>(b,0)) {\ngoto(OUT);\n} else {\n}\n=(r,2);\n"
     "label(OUT);\n",
     {0, 5},
     "finished after 3 events: a=0 b=5 r=1 t=0 u=0 i=0 j=0 k=0"},
    {"goto out of a while loop",
     "while(<(r,10)) {\n=(r,+(r,a));\nif(>(r,b)) {\ngoto(DONE);\n} else {\n}\n}\n=(r,-1);\nlabel(DONE);\n",
     {3, 7},
     "finished after 9 events: a=3 b=7 r=9 t=0 u=0 i=0 j=0 k=0"},
    {"goto back into a while body",
     "=(t,a);\nwhile(<(t,0)) {\nlabel(IN);\n=(r,+(r,1));\n=(t,+(t,1));\n}\nif(<(r,2)) {\ngoto(IN);\n} else {\n}\n",
     {1, 0},
     "finished after 11 events: a=1 b=0 r=2 t=3 u=0 i=0 j=0 k=0"},
    {"goto into a for body",
     "goto(IN);\nfor(i,0,1,2) {\nlabel(IN);\n=(r,+(r,i));\n}\n",
     {0, 0},
     "finished after 9 events: a=0 b=0 r=3 t=0 u=0 i=3 j=0 k=0"},
    {"goto from a for body to the label before the loop",
     "label(TOP);\nfor(i,0,1,1) {\n=(r,+(r,1));\nif(<(r,3)) {\ngoto(TOP);\n} else {\n}\n}\n",
     {0, 0},
     "finished after 18 events: a=0 b=0 r=4 t=0 u=0 i=2 j=0 k=0"},
    {"goto into the middle of a for body",
     "goto(IN);\nfor(i,0,1,2) {\n=(r,+(r,i));\nlabel(IN);\n=(r,+(r,10));\n}\n",
     {0, 0},
     "finished after 11 events: a=0 b=0 r=33 t=0 u=0 i=3 j=0 k=0"},
    {"goto from after a for loop to the end of its body",
     "for(i,0,1,1) {\n=(r,+(r,1));\nlabel(NEXT);\n}\n=(t,+(t,1));\nif(<(t,3)) {\ngoto(NEXT);\n} else {\n}\n",
     {0, 0},
     "finished after 18 events: a=0 b=0 r=2 t=3 u=0 i=4 j=0 k=0"},
    {"goto out of a for loop to a label the end also reaches",
     "for(i,0,1,3) {\nif(>(i,a)) {\ngoto(OUT);\n} else {\n}\n}\nlabel(OUT);\n=(r,+(r,1));\nif(<(r,b)) {\ngoto(OUT);\n} else {\n}\n",
     {1, 3},
     "finished after 15 events: a=1 b=3 r=3 t=0 u=0 i=2 j=0 k=0"},
    {"a branch joining a for loop's start and its next round",
     "if(<(a,b)) {\n} else {\ngoto(NEXT);\n}\nfor(i,0,1,1) {\n=(r,+(r,1));\nlabel(NEXT);\n}\n",
     {5, 0},
     "finished after 6 events: a=5 b=0 r=1 t=0 u=0 i=2 j=0 k=0"},
    {"labels that jump to each other",
     "if(<(a,0)) {\n=(r,1);\nlabel(A);\n} else {\n}\ngoto(A);\n",
     {1, 0},
     "spins after 1 events: a=1 b=0 r=0 t=0 u=0 i=0 j=0 k=0"},
    {"goto into a while loop that ends a for body",
     "if(<(a,0)) {\n} else {\nfor(i,0,1,1) {\nwhile(<(t,0)) {\nlabel(IN);\n}\n}\n}\n"
     "=(r,+(r,1));\nif(<(r,3)) {\ngoto(IN);\n} else {\n}\n",
     {1, 0},
     "finished after 21 events: a=1 b=0 r=3 t=0 u=0 i=4 j=0 k=0"},
};

// How the function f of a text runs, or why the text does not parse.
std::string runText(Module& aModule, const std::string& aText, std::pair<int32_t, int32_t> aInputs) {
  if (std::optional<std::string> error = parseError(aModule, aText))
    return "does not parse: " + *error;
  return quilltest::describe(quilltest::runFcnGraph(functionNamed(aModule.ctx, "f"), setupFor(aInputs)), kVarNames);
}

TEST(SemanticRoundTrip, JumpShapesRunAsWrittenWhenParsedAndWhenReprinted) {
  for (const KnownShape& shape : kKnownShapes) {
    SCOPED_TRACE(shape.name);
    Module parsed;
    std::string parsedRun = runText(parsed, functionText(shape.body), shape.inputs);
    EXPECT_EQ(shape.expected, parsedRun) << "parsed";
    if (parsedRun.rfind("does not parse", 0) == 0)
      continue;
    std::string printed = parsed.emit();
    // What the quill tool refuses to print is not read back.
    if (printed.find("Could not emit function") != std::string::npos ||
        leavesStatementsOut(functionNamed(parsed.ctx, "f"), printed))
      continue;
    Module reparsed;
    EXPECT_EQ(shape.expected, runText(reparsed, printed, shape.inputs)) << "reprinted:\n" << printed;
  }
}

} // namespace
