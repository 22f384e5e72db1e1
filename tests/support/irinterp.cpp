// Runs function graphs of a small int32 subset: the IR side of the semantic round-trip test.
#include "tests/support/irinterp.h"

#include <unordered_map>

#include "ir/cfg.h"
#include "ir/node.h"
#include "ir/op.h"
#include "ir/symbol.h"
#include "ir/value.h"

namespace quilltest {

namespace {

constexpr const char* kEndNames[] = {"finished", "out of events", "spins", "broken"};

int32_t wrap(int64_t aValue) {
  return static_cast<int32_t>(static_cast<uint32_t>(aValue));
}

} // namespace

std::string describe(const RunResult& aResult, const std::vector<std::string>& aNames) {
  std::string text = kEndNames[static_cast<int>(aResult.end)];
  if (aResult.end == RunEnd::Broken)
    return text + " (" + aResult.problem + ")";
  text += " after " + std::to_string(aResult.events) + " events:";
  for (size_t i = 0; i < aNames.size() && i < aResult.values.size(); ++i)
    text += " " + aNames[i] + "=" + std::to_string(aResult.values[i]);
  return text;
}

bool isBinaryOfSubset(int aOpcode) {
  switch (aOpcode) {
  case CG::OP::PLUS:
  case CG::OP::MINUS:
  case CG::OP::MUL:
  case CG::OP::EQ:
  case CG::OP::NE:
  case CG::OP::LT:
  case CG::OP::LE:
  case CG::OP::GT:
  case CG::OP::GE:
    return true;
  default:
    return false;
  }
}

int32_t applyBinary(int aOpcode, int32_t aLeft, int32_t aRight) {
  int64_t left = aLeft;
  int64_t right = aRight;
  switch (aOpcode) {
  case CG::OP::PLUS:
    return wrap(left + right);
  case CG::OP::MINUS:
    return wrap(left - right);
  case CG::OP::MUL:
    return wrap(left * right);
  case CG::OP::EQ:
    return left == right;
  case CG::OP::NE:
    return left != right;
  case CG::OP::LT:
    return left < right;
  case CG::OP::LE:
    return left <= right;
  case CG::OP::GT:
    return left > right;
  case CG::OP::GE:
    return left >= right;
  default:
    return 0;
  }
}

bool RunMeter::allowEvent() {
  if (fEvents >= fBudget)
    return false;
  ++fEvents;
  fFreeSteps = 0;
  return true;
}

bool RunMeter::allowFreeStep() {
  return ++fFreeSteps <= fPositions;
}

namespace {

// Thrown when the graph holds something the subset does not define.
struct Unrunnable {
  std::string problem;
};

// Thrown when the meter stops the run.
struct Stopped {
  RunEnd end;
};

class GraphRun {
public:
  GraphRun(CG::Fcn* aFcn, const RunSetup& aSetup)
      : fCfg(aFcn->cfg()), fSetup(aSetup), fValues(aSetup.initial),
        fMeter(aSetup.eventBudget, aFcn->cfg()->stmts().size() + 1) {}

  RunResult run() {
    RunResult result;
    try {
      walk();
    } catch (const Stopped& stop) {
      result.end = stop.end;
    } catch (const Unrunnable& failure) {
      result.end = RunEnd::Broken;
      result.problem = failure.problem;
    }
    result.events = fMeter.events();
    result.values = fValues;
    return result;
  }

private:
  void walk() {
    CG::InPort at = next(fCfg->start(), 0);
    while (!CG::EndStmt::isa(at.node))
      at = step(at.stmt(), at.index);
  }

  // Executes the statement control reaches through aInPort; returns where control goes next.
  CG::InPort step(CG::Stmt* aStmt, int aInPort) {
    if (CG::ExprStmt::isa(aStmt)) {
      event();
      assign(CG::ExprStmt::cast(aStmt)->expr());
      return next(aStmt, 0);
    }
    if (CG::AbstractForEntryStmt::isa(aStmt)) {
      event();
      enterLoopHead(CG::AbstractForEntryStmt::cast(aStmt), aInPort);
      return next(aStmt, 0);
    }
    if (CG::MergeStmt::isa(aStmt)) {
      freeStep();
      return next(aStmt, 0);
    }
    if (CG::AbstractForExitStmt::isa(aStmt)) {
      event();
      return next(aStmt, loopContinues(CG::AbstractForExitStmt::cast(aStmt)) ? CG::AbstractForExitStmt::kBodyPort
                                                                             : CG::AbstractForExitStmt::kExitPort);
    }
    if (CG::IfStmt::isa(aStmt)) {
      event();
      return next(aStmt,
                  eval(CG::IfStmt::cast(aStmt)->condition()) != 0 ? CG::IfStmt::kTruePort : CG::IfStmt::kFalsePort);
    }
    if (CG::SwitchStmt::isa(aStmt)) {
      event();
      return next(aStmt, switchPort(CG::SwitchStmt::cast(aStmt)));
    }
    throw Unrunnable{std::string("statement '") + aStmt->opName() + "' outside the subset"};
  }

  CG::InPort next(CG::Stmt* aStmt, int aOutPort) {
    CG::InPort target = aStmt->succInPort(aOutPort);
    if (!target.valid())
      throw Unrunnable{"out-port " + std::to_string(aOutPort) + " of '" + aStmt->opName() + "' leads nowhere"};
    return target;
  }

  void event() {
    if (!fMeter.allowEvent())
      throw Stopped{RunEnd::OutOfEvents};
  }

  void freeStep() {
    if (!fMeter.allowFreeStep())
      throw Stopped{RunEnd::Spins};
  }

  void assign(CG::Expr* aExpr) {
    if (aExpr == nullptr || aExpr->opcode() != CG::OP::ASSIGN)
      throw Unrunnable{std::string("expression statement '") + (aExpr ? aExpr->opName() : "null") + "'"};
    int32_t value = eval(aExpr->input(1));
    slot(aExpr->input(0)) = value;
  }

  void enterLoopHead(CG::AbstractForEntryStmt* aEntry, int aInPort) {
    int32_t& index = slot(aEntry->indexExpr());
    if (aInPort == CG::AbstractForEntryStmt::kEntryPort) {
      index = eval(aEntry->indexStart());
      return;
    }
    index = applyBinary(CG::OP::PLUS, index, eval(aEntry->indexStep()));
  }

  // Merge elimination may replace the head of a loop that its body never comes back to by an assignment of the
  // start; the test then still holds the replaced head, whose operands are the only record of the loop's bounds.
  bool loopContinues(CG::AbstractForExitStmt* aExit) {
    CG::AbstractForEntryStmt* entry = aExit->entry();
    if (entry == nullptr)
      throw Unrunnable{"for-loop test without its head"};
    int32_t index = eval(entry->indexExpr());
    int32_t end = eval(entry->indexEnd());
    return eval(entry->indexStep()) >= 0 ? index <= end : index >= end;
  }

  int switchPort(CG::SwitchStmt* aSwitch) {
    int32_t value = eval(aSwitch->value());
    for (int i = 0; i < aSwitch->numCases(); ++i)
      if (eval(aSwitch->caseValue(i)) == value)
        return i;
    return aSwitch->numCases();
  }

  int32_t eval(CG::Expr* aExpr) {
    if (aExpr == nullptr)
      throw Unrunnable{"missing operand"};
    if (CG::VarExpr::isa(aExpr))
      return slot(aExpr);
    if (CG::ConstExpr::isa(aExpr))
      return constantValue(CG::ConstExpr::cast(aExpr));
    int op = aExpr->opcode();
    if (op == CG::OP::UMINUS && aExpr->numInputs() == 1)
      return applyBinary(CG::OP::MINUS, 0, eval(aExpr->input(0)));
    if (isBinaryOfSubset(op) && aExpr->numInputs() == 2)
      return applyBinary(op, eval(aExpr->input(0)), eval(aExpr->input(1)));
    throw Unrunnable{std::string("operator '") + aExpr->opName() + "' outside the subset"};
  }

  static int32_t constantValue(CG::ConstExpr* aExpr) {
    CG::Ref<CG::Value> value = aExpr->constant() ? aExpr->constant()->value() : CG::Ref<CG::Value>();
    if (CG::IntegerValue* integer = CG::IntegerValue::cast(value.get()))
      return wrap(integer->dataValue().toInt64());
    if (CG::BoolValue* flag = CG::BoolValue::cast(value.get()))
      return flag->isTrue() ? 1 : 0;
    throw Unrunnable{"constant outside the subset"};
  }

  int32_t& slot(CG::Expr* aExpr) {
    CG::VarExpr* ref = CG::VarExpr::cast(aExpr);
    if (ref == nullptr)
      throw Unrunnable{std::string("'") + (aExpr ? aExpr->opName() : "null") + "' where a variable belongs"};
    auto known = fSlots.find(ref->var());
    if (known != fSlots.end())
      return fValues[known->second];
    for (size_t i = 0; i < fSetup.names.size(); ++i) {
      if (ref->var() != nullptr && fSetup.names[i] == ref->var()->name()) {
        fSlots.emplace(ref->var(), i);
        return fValues[i];
      }
    }
    throw Unrunnable{"unknown variable"};
  }

  CG::Cfg* fCfg;
  const RunSetup& fSetup;
  std::vector<int32_t> fValues;
  RunMeter fMeter;
  std::unordered_map<const CG::Var*, size_t> fSlots;
};

} // namespace

RunResult runFcnGraph(CG::Fcn* aFcn, const RunSetup& aSetup) {
  if (aFcn == nullptr || aFcn->cfg() == nullptr) {
    RunResult missing;
    missing.end = RunEnd::Broken;
    missing.problem = "no graph";
    return missing;
  }
  return GraphRun(aFcn, aSetup).run();
}

} // namespace quilltest
