// What the library accepts but the quill tool refuses, because the text it would print is wrong.
#include "tools/checks.h"

#include <exception>
#include <stdexcept>
#include <vector>

#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "parse/gotostmt.h"
#include "tag/tagsourcelocationquill.h"

namespace quilltool {

void DanglingGotos::lookIn(CG::Fcn* aFcn) {
  if (fGoto != nullptr || !fLookedIn.add(aFcn))
    return;
  fGoto = firstGoto(aFcn);
  if (fGoto != nullptr)
    fFcn = aFcn;
}

CG::Stmt* DanglingGotos::firstGoto(CG::Fcn* aFcn) {
  for (CG::Stmt* stmt : aFcn->cfg()->stmts())
    if (CG::QulGotoStmt::isa(stmt))
      return stmt;
  return nullptr;
}

std::string DanglingGotos::message(CG_Ctx& aCtx) {
  CG::Scope* found = nullptr;
  CG::forEachScopeBelow(aCtx.globalScope(), [&](CG::Scope* aScope) {
    CG::forEachFcnWithGraph(aScope, [&](CG::Fcn* aFcn) {
      if (found != nullptr || (aFcn != fFcn && fLookedIn.contains(aFcn)))
        return;
      CG::Stmt* stmt = aFcn == fFcn ? fGoto : firstGoto(aFcn);
      if (stmt != nullptr) {
        fFcn = aFcn;
        fGoto = stmt;
        found = aScope;
      }
    });
  });
  if (found == nullptr)
    return std::string();
  CG::TagSourceLocationQuill* location = CG::TagSourceLocationQuill::of(fGoto);
  std::string label = CG::QulGotoStmt::cast(fGoto)->label();
  // Gotos are resolved in the functions of the module scope only.
  std::string problem = found == aCtx.globalScope() ? "' has no label(" + label + ")"
                                                      : "' is in a nested scope, where gotos are not resolved";
  return (location != nullptr ? location->toString() + ": " : std::string()) + "goto(" + label + "): function '" +
         fFcn->name() + problem;
}

namespace {

// Statements that print on a line of their own, and loop tests, each of which prints with its loop's head; the
// others give the text its structure.
int countLineStmts(CG::Cfg* aCfg) {
  int count = 0;
  for (CG::Stmt* stmt : aCfg->stmts())
    count += CG::SeseStmt::isa(stmt) || CG::AbstractForExitStmt::isa(stmt) ? 1 : 0;
  return count;
}

// The emitter as emitQuillEx runs it, noting the first failure on its way out: the steps overridden here are
// the ones a failure passes through before the emitter catches it. A body is also checked for statements
// the printed text leaves out (or repeats), which the emitter does without a note.
class FailureNotingEmitter : public CG::QulEmitter {
public:
  FailureNotingEmitter(CG_Ctx* aCtx, const CG::QulEmitterOptions& aOptions) : QulEmitter(aCtx, aOptions) {}

  CheckedEmission emit(CG_Obj* aObj) {
    std::string text = emitTopLevel(aObj);
    return CheckedEmission{std::move(text), fFailure};
  }

protected:
  void emitScope(CG::Scope* aScope) override {
    noting(nullptr, nullptr, [&] { QulEmitter::emitScope(aScope); });
  }
  void emitFcnHeader(CG::Fcn* aFcn) override {
    noting("function", aFcn, [&] { QulEmitter::emitFcnHeader(aFcn); });
  }
  void emitConstDef(CG::Const* aConst) override {
    noting("constant", aConst, [&] { QulEmitter::emitConstDef(aConst); });
  }
  void emitVarDef(CG::Var* aVar) override {
    noting("variable", aVar, [&] { QulEmitter::emitVarDef(aVar); });
  }
  void emitFcnBody(CG::Fcn* aFcn) override {
    noting("function", aFcn, [&] {
      int printedBefore = fPrintedStmts;
      QulEmitter::emitFcnBody(aFcn);
      int expected = aFcn->cfg() != nullptr ? countLineStmts(aFcn->cfg()) : 0;
      if (fPrintedStmts - printedBefore != expected)
        throw std::runtime_error("the text would show " + std::to_string(fPrintedStmts - printedBefore) + " of its " +
                                 std::to_string(expected) + " statements");
    });
  }
  void emitStmt(CG::Stmt* aStmt) override {
    ++fPrintedStmts;
    QulEmitter::emitStmt(aStmt);
  }
  void emitAbstractForLoopStmt(CG::AbstractForEntryStmt* aEntry, CG::IdSet<CG::Stmt*>* aVisited) override {
    ++fPrintedStmts;
    QulEmitter::emitAbstractForLoopStmt(aEntry, aVisited);
  }

private:
  // A failure passes through the steps of every construct that holds the one that failed: the innermost
  // notes the reason, and each one around it puts its own name in front. The emitter may catch a failure and
  // go on; only the first one is noted.
  template <class Step> void noting(const char* aKind, CG::Symbol* aSymbol, Step aStep) {
    try {
      aStep();
    } catch (const CG::QulEmitterAborted& abort) {
      note(aKind, aSymbol, abort.message());
      throw;
    } catch (const std::exception& failure) {
      note(aKind, aSymbol, failure.what());
      throw;
    } catch (...) {
      note(aKind, aSymbol, "an unknown exception");
      throw;
    }
  }

  void note(const char* aKind, CG::Symbol* aSymbol, const std::string& aReason) {
    std::exception_ptr failure = std::current_exception();
    if (!fNotedFailure) {
      fNotedFailure = failure;
      fFailure = aReason;
    } else if (failure != fNotedFailure) {
      return;
    }
    if (aKind != nullptr) {
      const char* name = aSymbol != nullptr && aSymbol->name() != nullptr ? aSymbol->name() : "";
      fFailure = std::string(aKind) + " '" + name + "': " + fFailure;
    }
  }

  std::string fFailure;
  std::exception_ptr fNotedFailure;
  int fPrintedStmts = 0;
};

} // namespace

CheckedEmission emitChecked(CG_Obj* aObj, const CG::QulEmitterOptions& aOptions) {
  FailureNotingEmitter emitter(aObj->ctx(), aOptions);
  return emitter.emit(aObj);
}

} // namespace quilltool
