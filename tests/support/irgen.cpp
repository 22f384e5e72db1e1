// Seeded generator of random, well-formed IR modules: types, constants, variables and function bodies.
#include "tests/support/irgen.h"

#include "emit/emitter.h"
#include "ir/ctx.h"
#include "ir/nodefactory.h"
#include "ir/region.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/tag.h"
#include "ir/type.h"
#include "ir/typefactory.h"
#include "ir/value.h"

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace quilltest {
namespace {

// The scalar types expressions are built over.
enum Scalar { INT32, INT16, UINT32, DOUBLE, SINGLE, BOOL, kNumScalars };

constexpr Scalar kNumericScalars[] = {INT32, INT16, UINT32, DOUBLE, SINGLE};

bool isInteger(Scalar aScalar) {
  return aScalar == INT32 || aScalar == INT16 || aScalar == UINT32;
}

// Deterministic choices from one seed; std::mt19937_64 gives the same sequence on every platform.
class Random {
public:
  explicit Random(uint64_t aSeed) : fEngine(aSeed) {}
  int below(int aBound) { return aBound <= 1 ? 0 : static_cast<int>(fEngine() % static_cast<uint64_t>(aBound)); }
  bool chance(int aPercent) { return below(100) < aPercent; }
  template <class T, size_t N> T pick(const T (&aItems)[N]) { return aItems[below(static_cast<int>(N))]; }
  template <class T> T pick(const std::vector<T>& aItems) { return aItems[below(static_cast<int>(aItems.size()))]; }

private:
  std::mt19937_64 fEngine;
};

// Module-level symbols that function bodies use.
struct ModuleSymbols {
  CG::Type* scalarTypes[kNumScalars] = {};
  std::vector<CG::Var*> readableVars[kNumScalars];
  std::vector<CG::Var*> assignableVars[kNumScalars];
  std::vector<CG::Const*> namedConsts[kNumScalars];
  std::vector<CG::Fcn*> fcns;
  CG::Var* intPointerVar = nullptr;
  CG::Fcn* sqrtFcn = nullptr;
};

// Immediate (unnamed) constants, shared per value.
class ImmediateConsts {
public:
  ImmediateConsts(CG_Ctx* aCtx, CG::TypeFactory& aTypes) : fTypes(aTypes), fValues(aCtx), fConsts(aCtx) {}

  CG::Const* int32(long long aValue) {
    CG::Const*& cached = fInts[aValue];
    if (!cached)
      cached = fConsts.create(fTypes.signedInt32Type(), fValues.integerValueRef(fTypes.signedInt32Type(), aValue),
                              nullptr, nullptr);
    return cached;
  }
  CG::Const* real(double aValue) {
    CG::Const*& cached = fDoubles[aValue];
    if (!cached)
      cached =
          fConsts.create(fTypes.doubleType(), fValues.doubleValueRef(fTypes.doubleType(), aValue), nullptr, nullptr);
    return cached;
  }
  CG::Const* boolean(bool aValue) {
    CG::Const*& cached = fBools[aValue ? 1 : 0];
    if (!cached)
      cached = fConsts.create(fTypes.boolType(), fValues.boolValueRef(aValue), nullptr, nullptr);
    return cached;
  }
  // Markers are used once each, so they are not kept.
  CG::Const* marker(int aIndex) {
    return fConsts.create(fTypes.signedInt32Type(),
                          fValues.integerValueRef(fTypes.signedInt32Type(), kMarkerBase + aIndex), nullptr, nullptr);
  }

private:
  CG::TypeFactory& fTypes;
  CG::ValueFactory fValues;
  CG::ConstFactory fConsts;
  std::map<long long, CG::Const*> fInts;
  std::map<double, CG::Const*> fDoubles;
  CG::Const* fBools[2] = {nullptr, nullptr};
};

//===-- Function bodies ---------------------------------------------------------------------------------===//

class BodyGenerator {
public:
  BodyGenerator(CG::Fcn* aFcn, const ModuleSymbols& aModule, ImmediateConsts& aImmediates, Random& aRandom,
                int& aNextMarker, const IrGenOptions& aOptions)
      : fFcn(aFcn), fModule(aModule), fImmediates(aImmediates), fRandom(aRandom), fNextMarker(aNextMarker),
        fOptions(aOptions), fNodes(aFcn, nullptr), fRegions(&fNodes) {}

  void generate(int aNumStmts);

private:
  static constexpr int kMaxDepth = 5;
  static constexpr int kMaxConstructSize = 24;

  void makeLocals();
  CG::Var* addLocal(Scalar aType, const char* aPrefix, bool aAssignable = true);

  // Blocks and structured constructs.
  CG::Region* block(int aNumStmts, int aDepth);
  CG::Region* item(int& aRemaining, int aDepth);
  CG::Region* emptyConstruct();
  CG::Region* construct(int aNumStmts, int aDepth);
  CG::Region* ifConstruct(int aNumStmts, int aDepth);
  CG::Region* loopConstruct(int aNumStmts, int aDepth);
  CG::Region* forConstruct(CG::Region* aBody, bool aParallel);
  CG::Region* switchConstruct(int aNumStmts, int aDepth);
  std::vector<CG::Region*> slots(int aNumStmts, int aNumSlots, int aDepth);
  std::vector<CG::Region*> graphParts(int aNumStmts, int aNumParts, int aDepth);
  std::vector<int> spread(int aNumStmts, int aNumParts);

  // Unstructured graphs, each a single-entry single-exit fragment built from bare merges and splits.
  CG::Region* unstructuredConstruct(int aNumStmts, int aDepth);
  CG::Region* unstructuredGraph(int aNumStmts, int aDepth);
  CG::Region* sharedLabel(int aNumStmts, int aDepth);
  CG::Region* backwardJump(int aNumStmts, int aDepth);
  CG::Region* jumpIntoBranch(int aNumStmts, int aDepth);
  CG::Region* breakOutOfLoop(int aNumStmts, int aDepth);
  CG::Region* jumpIntoLoop(int aNumStmts, int aDepth);
  CG::Region* mergeChain(int aNumStmts, int aDepth);
  CG::Region* loopInsideUnstructured(int aNumStmts, int aDepth);
  CG::Region* branchJumpsOut(int aNumStmts, int aDepth);
  CG::Region* loopBodyJumpsOut(int aNumStmts, int aDepth);
  void link(CG::OutPort aFrom, CG::Region* aPart, CG::InPort aTo);
  CG::Region* fragment(CG::InPort aEntry, CG::OutPort aExit);
  static CG::InPort entryOf(CG::Region* aPart, CG::InPort aFallback);
  static CG::OutPort exitOf(CG::Region* aPart, CG::OutPort aFallback);

  // Counted statements.
  CG::Region* leafStmt();
  CG::SeseStmt* commentStmt(int aMarker);
  CG::SeseStmt* literalTextStmt(int aMarker);
  CG::SeseStmt* initStmt(int aMarker);
  CG::SeseStmt* assignStmt(int aMarker);
  CG::SeseStmt* callStmt(int aMarker);

  // Expressions typed as the type checker infers them.
  CG::Expr* expr(Scalar aType, int aDepth);
  CG::Expr* condition() { return expr(BOOL, 2); }
  CG::Expr* leaf(Scalar aType);
  CG::Expr* boolExpr(int aDepth);
  CG::Expr* numericExpr(Scalar aType, int aDepth);
  CG::Expr* callExpr(CG::Fcn* aCallee, int aDepth, CG::Expr* aFirstArg);
  CG::Expr* markerExpr(int aMarker) { return fNodes.constExpr(fImmediates.marker(aMarker)); }
  CG::Fcn* calleeReturning(Scalar aType);
  Scalar scalarOf(CG::Type* aType) const;
  int nextMarker() { return fNextMarker++; }

  CG::Fcn* fFcn;
  const ModuleSymbols& fModule;
  ImmediateConsts& fImmediates;
  Random& fRandom;
  int& fNextMarker;
  const IrGenOptions& fOptions;
  CG::NodeFactory fNodes;
  CG::RegionFactory fRegions;
  std::vector<CG::Var*> fReadable[kNumScalars];
  std::vector<CG::Var*> fAssignable[kNumScalars];
  std::vector<CG::Var*> fInitTargets;
  int fNumLocals = 0;
};

void BodyGenerator::generate(int aNumStmts) {
  makeLocals();
  fRegions.setBody(block(aNumStmts, 0));
}

CG::Var* BodyGenerator::addLocal(Scalar aType, const char* aPrefix, bool aAssignable) {
  // Names are unique in the module: the text's symbol table is one namespace for every function.
  std::string name = std::string(fFcn->name()) + "_" + aPrefix + std::to_string(fNumLocals++);
  CG::Var* local = cg_var_create(fFcn->localScope(), fModule.scalarTypes[aType], name.c_str());
  fReadable[aType].push_back(local);
  if (aAssignable)
    fAssignable[aType].push_back(local);
  return local;
}

// Inputs and outputs are readable and writable; every scalar type has at least one local.
void BodyGenerator::makeLocals() {
  for (int i = 0; i < fFcn->numInputs(); ++i) {
    Scalar type = scalarOf(fFcn->inputVar(i)->type());
    fReadable[type].push_back(fFcn->inputVar(i));
    fAssignable[type].push_back(fFcn->inputVar(i));
  }
  for (int i = 0; i < fFcn->numOutputs(); ++i) {
    Scalar type = scalarOf(fFcn->outputVar(i)->type());
    fReadable[type].push_back(fFcn->outputVar(i));
    fAssignable[type].push_back(fFcn->outputVar(i));
  }
  for (int type = 0; type < kNumScalars; ++type)
    addLocal(static_cast<Scalar>(type), "v");
  fInitTargets.push_back(addLocal(INT32, "v"));
  for (int extra = fRandom.below(3); extra > 0; --extra)
    addLocal(fRandom.pick(kNumericScalars), "v");
  for (int type = 0; type < kNumScalars; ++type) {
    const std::vector<CG::Var*>& moduleReadable = fModule.readableVars[type];
    fReadable[type].insert(fReadable[type].end(), moduleReadable.begin(), moduleReadable.end());
    const std::vector<CG::Var*>& moduleAssignable = fModule.assignableVars[type];
    fAssignable[type].insert(fAssignable[type].end(), moduleAssignable.begin(), moduleAssignable.end());
  }
}

Scalar BodyGenerator::scalarOf(CG::Type* aType) const {
  for (int type = 0; type < kNumScalars; ++type)
    if (fModule.scalarTypes[type] == aType)
      return static_cast<Scalar>(type);
  return INT32;
}

//===-- Blocks ------------------------------------------------------------------------------------------===//

CG::Region* BodyGenerator::block(int aNumStmts, int aDepth) {
  std::vector<CG::Region*> parts;
  int remaining = aNumStmts;
  while (remaining > 0)
    parts.push_back(item(remaining, aDepth));
  return fRegions.sequenceRegion(parts);
}

// One statement or one construct holding some of the remaining statements.
CG::Region* BodyGenerator::item(int& aRemaining, int aDepth) {
  if (aDepth >= kMaxDepth || fRandom.chance(55)) {
    --aRemaining;
    return leafStmt();
  }
  if (fRandom.chance(4))
    return emptyConstruct();
  int count = 1 + fRandom.below(std::min(aRemaining, kMaxConstructSize));
  aRemaining -= count;
  if (fOptions.unstructured && fRandom.chance(35))
    return unstructuredConstruct(count, aDepth + 1);
  return construct(count, aDepth + 1);
}

// Constructs without statements: an if with two empty branches or a loop with an empty body.
CG::Region* BodyGenerator::emptyConstruct() {
  switch (fRandom.below(4)) {
  case 0:
    return fRegions.ifRegion(condition(), fRegions.emptyRegion(), fRegions.emptyRegion());
  case 1:
    return fRegions.whileRegion(condition(), fRegions.emptyRegion());
  case 2:
    return fRegions.doWhileRegion(fRegions.emptyRegion(), condition());
  default:
    return forConstruct(fRegions.emptyRegion(), fRandom.chance(50));
  }
}

CG::Region* BodyGenerator::construct(int aNumStmts, int aDepth) {
  switch (fRandom.below(4)) {
  case 0:
    return ifConstruct(aNumStmts, aDepth);
  case 1:
    return switchConstruct(aNumStmts, aDepth);
  default:
    return loopConstruct(aNumStmts, aDepth);
  }
}

// An if whose else branch is sometimes empty; the then branch is rarely empty.
CG::Region* BodyGenerator::ifConstruct(int aNumStmts, int aDepth) {
  int thenCount = fRandom.chance(10) ? 0 : 1 + fRandom.below(aNumStmts);
  if (fRandom.chance(30))
    thenCount = aNumStmts;
  CG::Expr* test = condition();
  CG::Region* thenPart = block(thenCount, aDepth);
  CG::Region* elsePart = block(aNumStmts - thenCount, aDepth);
  return fRegions.ifRegion(test, thenPart, elsePart);
}

CG::Region* BodyGenerator::loopConstruct(int aNumStmts, int aDepth) {
  int kind = fRandom.below(4);
  if (kind == 0) {
    CG::Expr* test = condition();
    return fRegions.whileRegion(test, block(aNumStmts, aDepth));
  }
  if (kind == 1) {
    CG::Region* body = block(aNumStmts, aDepth);
    return fRegions.doWhileRegion(body, condition());
  }
  return forConstruct(block(aNumStmts, aDepth), kind == 3);
}

// for(i, 0, 1, end) with a fresh index; a parallel loop gets a random set of flags.
CG::Region* BodyGenerator::forConstruct(CG::Region* aBody, bool aParallel) {
  CG::Var* index = addLocal(INT32, "i", false);
  CG::Expr* end = fRandom.chance(50) ? fNodes.constExpr(fImmediates.int32(1 + fRandom.below(100))) : expr(INT32, 1);
  CG::Region* loop =
      fRegions.forRegion(fNodes.varExpr(index), fNodes.constExpr(fImmediates.int32(0)),
                         fNodes.constExpr(fImmediates.int32(1 + fRandom.below(2))), end, aBody, aParallel);
  if (!aParallel)
    return loop;
  CG::ParallelForEntryStmt* entry = CG::ParallelForEntryStmt::cast(loop->entry().node);
  bool ordered = fRandom.chance(50);
  bool parforMode = fRandom.chance(30);
  bool bypass = fRandom.chance(50);
  bool processed = fRandom.chance(30);
  if (!fOptions.annotations)
    return loop;
  entry->setOrderedLoop(ordered);
  entry->setParforMode(parforMode ? 1 : 0);
  entry->setBypassDependence(bypass);
  entry->setProcessedDependence(processed);
  return loop;
}

CG::Region* BodyGenerator::switchConstruct(int aNumStmts, int aDepth) {
  int numCases = 1 + fRandom.below(3);
  std::vector<CG::Region*> parts = slots(aNumStmts, numCases + 1, aDepth);
  CG::SwitchRegionBuilder builder(&fRegions);
  builder.setCondition(expr(INT32, 2));
  int caseValue = fRandom.below(4);
  for (int i = 0; i < numCases; ++i) {
    caseValue += 1 + fRandom.below(3);
    builder.addCase(fNodes.constExpr(fImmediates.int32(caseValue)), parts[i]);
  }
  builder.setDefault(parts[numCases]);
  return builder.build();
}

// aNumStmts counted at random into aNumParts parts.
std::vector<int> BodyGenerator::spread(int aNumStmts, int aNumParts) {
  std::vector<int> counts(aNumParts, 0);
  for (int i = 0; i < aNumStmts; ++i)
    ++counts[fRandom.below(aNumParts)];
  return counts;
}

// aNumStmts statements spread over aNumSlots blocks, some of which may stay empty.
std::vector<CG::Region*> BodyGenerator::slots(int aNumStmts, int aNumSlots, int aDepth) {
  std::vector<int> counts = spread(aNumStmts, aNumSlots);
  std::vector<CG::Region*> parts;
  for (int count : counts)
    parts.push_back(block(count, aDepth));
  return parts;
}

//===-- Unstructured graphs -----------------------------------------------------------------------------===//

// The parts of an unstructured graph; with separateJoins each non-empty part opens with a plain statement.
std::vector<CG::Region*> BodyGenerator::graphParts(int aNumStmts, int aNumParts, int aDepth) {
  if (!fOptions.separateJoins)
    return slots(aNumStmts, aNumParts, aDepth);
  std::vector<CG::Region*> parts;
  for (int count : spread(aNumStmts, aNumParts)) {
    if (count == 0) {
      parts.push_back(fRegions.emptyRegion());
      continue;
    }
    CG::Region* first = leafStmt();
    parts.push_back(fRegions.concatRegion(first, block(count - 1, aDepth)));
  }
  return parts;
}

CG::Region* BodyGenerator::unstructuredConstruct(int aNumStmts, int aDepth) {
  if (!fOptions.separateJoins)
    return unstructuredGraph(aNumStmts, aDepth);
  CG::Region* graph = unstructuredGraph(aNumStmts - 1, aDepth);
  return fRegions.concatRegion(graph, leafStmt());
}

CG::Region* BodyGenerator::unstructuredGraph(int aNumStmts, int aDepth) {
  switch (fRandom.below(9)) {
  case 0:
    return sharedLabel(aNumStmts, aDepth);
  case 1:
    return backwardJump(aNumStmts, aDepth);
  case 2:
    return jumpIntoBranch(aNumStmts, aDepth);
  case 3:
    return breakOutOfLoop(aNumStmts, aDepth);
  case 4:
    return jumpIntoLoop(aNumStmts, aDepth);
  case 5:
    return mergeChain(aNumStmts, aDepth);
  case 6:
    return loopInsideUnstructured(aNumStmts, aDepth);
  case 7:
    return branchJumpsOut(aNumStmts, aDepth);
  default:
    return loopBodyJumpsOut(aNumStmts, aDepth);
  }
}

void BodyGenerator::link(CG::OutPort aFrom, CG::Region* aPart, CG::InPort aTo) {
  if (aPart->isEmpty()) {
    aFrom.connect(aTo);
    return;
  }
  aFrom.connect(aPart->entry());
  aPart->exit().connect(aTo);
}

CG::Region* BodyGenerator::fragment(CG::InPort aEntry, CG::OutPort aExit) {
  return fNodes.pool()->make<CG::Region>(aEntry, aExit);
}

CG::InPort BodyGenerator::entryOf(CG::Region* aPart, CG::InPort aFallback) {
  return aPart->isEmpty() ? aFallback : aPart->entry();
}

CG::OutPort BodyGenerator::exitOf(CG::Region* aPart, CG::OutPort aFallback) {
  return aPart->isEmpty() ? aFallback : aPart->exit();
}

// if(c1) {a; L: e} else if(c2) {b; goto L} else if(c3) {c; goto L} else {d}
CG::Region* BodyGenerator::sharedLabel(int aNumStmts, int aDepth) {
  std::vector<CG::Region*> part = graphParts(aNumStmts, 5, aDepth);
  CG::IfStmt* if1 = fNodes.ifStmt(condition());
  CG::IfStmt* if2 = fNodes.ifStmt(condition());
  CG::IfStmt* if3 = fNodes.ifStmt(condition());
  CG::MergeStmt* label = fNodes.mergeStmt(3);
  CG::MergeStmt* join = fNodes.mergeStmt(2);
  link(if1->trueOutPort(), part[0], label->inPort(0));
  if1->falseOutPort().connect(if2->inPort());
  link(if2->trueOutPort(), part[1], label->inPort(1));
  if2->falseOutPort().connect(if3->inPort());
  link(if3->trueOutPort(), part[2], label->inPort(2));
  link(if3->falseOutPort(), part[3], join->inPort(1));
  link(label->outPort(), part[4], join->inPort(0));
  return fragment(if1->inPort(), join->outPort());
}

// L: a; if(c) {b} else {c; goto L}
CG::Region* BodyGenerator::backwardJump(int aNumStmts, int aDepth) {
  std::vector<CG::Region*> part = graphParts(aNumStmts, 3, aDepth);
  CG::MergeStmt* head = fNodes.mergeStmt(2);
  CG::IfStmt* test = fNodes.ifStmt(condition());
  link(head->outPort(), part[0], test->inPort());
  link(test->falseOutPort(), part[2], head->inPort(1));
  if (!part[1]->isEmpty())
    test->trueOutPort().connect(part[1]->entry());
  return fragment(head->inPort(0), exitOf(part[1], test->trueOutPort()));
}

// if(c1) {a; L: b} else {c; if(c2) goto L; d}
CG::Region* BodyGenerator::jumpIntoBranch(int aNumStmts, int aDepth) {
  std::vector<CG::Region*> part = graphParts(aNumStmts, 4, aDepth);
  CG::IfStmt* if1 = fNodes.ifStmt(condition());
  CG::IfStmt* if2 = fNodes.ifStmt(condition());
  CG::MergeStmt* label = fNodes.mergeStmt(2);
  CG::MergeStmt* join = fNodes.mergeStmt(2);
  link(if1->trueOutPort(), part[0], label->inPort(0));
  link(if1->falseOutPort(), part[2], if2->inPort());
  if2->trueOutPort().connect(label->inPort(1));
  link(if2->falseOutPort(), part[3], join->inPort(1));
  link(label->outPort(), part[1], join->inPort(0));
  return fragment(if1->inPort(), join->outPort());
}

// L: if(c1) {a; if(c2) goto out; b; goto L}  out:
CG::Region* BodyGenerator::breakOutOfLoop(int aNumStmts, int aDepth) {
  std::vector<CG::Region*> part = graphParts(aNumStmts, 2, aDepth);
  CG::MergeStmt* head = fNodes.mergeStmt(2);
  CG::IfStmt* test = fNodes.ifStmt(condition());
  CG::IfStmt* breakTest = fNodes.ifStmt(condition());
  CG::MergeStmt* out = fNodes.mergeStmt(2);
  head->outPort().connect(test->inPort());
  link(test->trueOutPort(), part[0], breakTest->inPort());
  test->falseOutPort().connect(out->inPort(1));
  breakTest->trueOutPort().connect(out->inPort(0));
  link(breakTest->falseOutPort(), part[1], head->inPort(1));
  return fragment(head->inPort(0), out->outPort());
}

// if(c0) {a; H: c} else {b} M: d; if(c1) goto H   (a loop with two entries)
CG::Region* BodyGenerator::jumpIntoLoop(int aNumStmts, int aDepth) {
  std::vector<CG::Region*> part = graphParts(aNumStmts, 4, aDepth);
  CG::IfStmt* choose = fNodes.ifStmt(condition());
  CG::MergeStmt* head = fNodes.mergeStmt(2);
  CG::MergeStmt* middle = fNodes.mergeStmt(2);
  CG::IfStmt* test = fNodes.ifStmt(condition());
  link(choose->trueOutPort(), part[0], head->inPort(0));
  link(choose->falseOutPort(), part[1], middle->inPort(1));
  link(head->outPort(), part[2], middle->inPort(0));
  link(middle->outPort(), part[3], test->inPort());
  test->trueOutPort().connect(head->inPort(1));
  return fragment(choose->inPort(), test->falseOutPort());
}

// Three merges in a row reached from four branches, and a jump back to the first of them.
CG::Region* BodyGenerator::mergeChain(int aNumStmts, int aDepth) {
  std::vector<CG::Region*> part = graphParts(aNumStmts, 5, aDepth);
  CG::IfStmt* if1 = fNodes.ifStmt(condition());
  CG::IfStmt* if2 = fNodes.ifStmt(condition());
  CG::IfStmt* if3 = fNodes.ifStmt(condition());
  CG::IfStmt* back = fNodes.ifStmt(condition());
  CG::MergeStmt* first = fNodes.mergeStmt(3);
  CG::MergeStmt* second = fNodes.mergeStmt(2);
  CG::MergeStmt* third = fNodes.mergeStmt(2);
  link(if1->trueOutPort(), part[0], first->inPort(0));
  if1->falseOutPort().connect(if2->inPort());
  link(if2->trueOutPort(), part[1], first->inPort(1));
  if2->falseOutPort().connect(if3->inPort());
  link(if3->trueOutPort(), part[2], second->inPort(1));
  link(if3->falseOutPort(), part[3], third->inPort(1));
  first->outPort().connect(second->inPort(0));
  second->outPort().connect(third->inPort(0));
  link(third->outPort(), part[4], back->inPort());
  back->trueOutPort().connect(first->inPort(2));
  return fragment(if1->inPort(), back->falseOutPort());
}

// if(c1) {for(...) {a}; L: d} else {while(c) {b}; if(c2) goto L; c}
CG::Region* BodyGenerator::loopInsideUnstructured(int aNumStmts, int aDepth) {
  std::vector<CG::Region*> part = graphParts(aNumStmts, 4, aDepth);
  CG::IfStmt* if1 = fNodes.ifStmt(condition());
  CG::Region* forLoop = forConstruct(part[0], fRandom.chance(30));
  CG::Region* whileLoop = fRegions.whileRegion(condition(), part[1]);
  CG::IfStmt* if2 = fNodes.ifStmt(condition());
  CG::MergeStmt* label = fNodes.mergeStmt(2);
  CG::MergeStmt* join = fNodes.mergeStmt(2);
  link(if1->trueOutPort(), forLoop, label->inPort(0));
  link(if1->falseOutPort(), whileLoop, if2->inPort());
  if2->trueOutPort().connect(label->inPort(1));
  link(if2->falseOutPort(), part[2], join->inPort(1));
  link(label->outPort(), part[3], join->inPort(0));
  return fragment(if1->inPort(), join->outPort());
}

// A structured if whose then branch is a hand-made region: its inner if leaves the branch for a merge after
// the whole if.   if(c1) {a; if(c2) {b} else goto M} else {c}  e; M: d
CG::Region* BodyGenerator::branchJumpsOut(int aNumStmts, int aDepth) {
  std::vector<CG::Region*> part = graphParts(aNumStmts, 5, aDepth);
  CG::IfStmt* inner = fNodes.ifStmt(condition());
  if (!part[0]->isEmpty())
    part[0]->exit().connect(inner->inPort());
  if (!part[1]->isEmpty())
    inner->trueOutPort().connect(part[1]->entry());
  CG::Region* thenPart = fragment(entryOf(part[0], inner->inPort()), exitOf(part[1], inner->trueOutPort()));
  CG::Region* branch = fRegions.ifRegion(condition(), thenPart, part[2]);
  CG::MergeStmt* target = fNodes.mergeStmt(2);
  link(branch->exit(), part[4], target->inPort(0));
  inner->falseOutPort().connect(target->inPort(1));
  if (!part[3]->isEmpty())
    target->outPort().connect(part[3]->entry());
  return fragment(branch->entry(), exitOf(part[3], target->outPort()));
}

// A structured loop whose body is a hand-made region that can leave the loop:
// while(c1) {a; if(c2) {b} else goto M}  M: c
CG::Region* BodyGenerator::loopBodyJumpsOut(int aNumStmts, int aDepth) {
  std::vector<CG::Region*> part = graphParts(aNumStmts, 3, aDepth);
  CG::IfStmt* inner = fNodes.ifStmt(condition());
  if (!part[0]->isEmpty())
    part[0]->exit().connect(inner->inPort());
  if (!part[1]->isEmpty())
    inner->trueOutPort().connect(part[1]->entry());
  CG::Region* body = fragment(entryOf(part[0], inner->inPort()), exitOf(part[1], inner->trueOutPort()));
  CG::Region* loop = fRandom.chance(50) ? fRegions.whileRegion(condition(), body) : forConstruct(body, false);
  CG::MergeStmt* target = fNodes.mergeStmt(2);
  loop->exit().connect(target->inPort(0));
  inner->falseOutPort().connect(target->inPort(1));
  if (!part[2]->isEmpty())
    target->outPort().connect(part[2]->entry());
  return fragment(loop->entry(), exitOf(part[2], target->outPort()));
}

//===-- Counted statements ------------------------------------------------------------------------------===//

CG::Region* BodyGenerator::leafStmt() {
  int marker = nextMarker();
  int roll = fRandom.below(100);
  CG::SeseStmt* stmt = nullptr;
  if (roll < 20)
    stmt = commentStmt(marker);
  else if (roll < 30)
    stmt = literalTextStmt(marker);
  else if (roll < 40)
    stmt = initStmt(marker);
  else if (roll < 85 || fModule.fcns.empty())
    stmt = assignStmt(marker);
  else
    stmt = callStmt(marker);
  return fRegions.stmtRegion(stmt);
}

CG::SeseStmt* BodyGenerator::commentStmt(int aMarker) {
  static const char* const kTails[] = {"", " check", " says \"hi\"", " x = y + 1;", " \"quoted\" at both ends \""};
  std::string text = "s" + std::to_string(aMarker) + fRandom.pick(kTails);
  return fNodes.commentStmt(text.c_str());
}

CG::SeseStmt* BodyGenerator::literalTextStmt(int aMarker) {
  static const char* const kTails[] = {"", " raw", "();"};
  std::string text = "s" + std::to_string(aMarker) + fRandom.pick(kTails);
  return fNodes.literalTextStmt(text.c_str());
}

CG::SeseStmt* BodyGenerator::initStmt(int aMarker) {
  CG::VarExpr* target = fNodes.varExpr(fRandom.pick(fInitTargets));
  return fNodes.initStmt(target, CG::ConstExpr::cast(markerExpr(aMarker)));
}

// x = e op marker for a numeric x; b = e < marker for a bool b.
CG::SeseStmt* BodyGenerator::assignStmt(int aMarker) {
  if (fRandom.chance(15)) {
    CG::Var* flag = fRandom.pick(fAssignable[BOOL]);
    CG::Expr* test = fNodes.expr(CG::OP::LT, {expr(INT32, 2), markerExpr(aMarker)});
    return fNodes.exprStmt(fNodes.assignExpr(fNodes.varExpr(flag), test));
  }
  Scalar type = fRandom.pick(kNumericScalars);
  CG::Var* target = fRandom.pick(fAssignable[type]);
  static const int kOps[] = {CG::OP::PLUS, CG::OP::MINUS, CG::OP::MUL};
  CG::Expr* value = fNodes.expr(fRandom.pick(kOps), {expr(type, 3), markerExpr(aMarker)});
  return fNodes.exprStmt(fNodes.assignExpr(fNodes.varExpr(target), value));
}

// f(marker, ...) for an earlier function; every function's first input is an int32.
CG::SeseStmt* BodyGenerator::callStmt(int aMarker) {
  CG::Fcn* callee = fRandom.pick(fModule.fcns);
  return fNodes.exprStmt(callExpr(callee, 2, markerExpr(aMarker)));
}

//===-- Expressions -------------------------------------------------------------------------------------===//

CG::Expr* BodyGenerator::expr(Scalar aType, int aDepth) {
  if (aDepth <= 0 || fRandom.chance(30))
    return leaf(aType);
  if (aType == BOOL)
    return boolExpr(aDepth);
  return numericExpr(aType, aDepth);
}

// A variable, a named or immediate constant or a dereferenced pointer. Struct fields are left out: an sref
// prints without its field name, so its text could not be read back.
CG::Expr* BodyGenerator::leaf(Scalar aType) {
  int roll = fRandom.below(100);
  const std::vector<CG::Const*>& named = fModule.namedConsts[aType];
  if (roll < 15 && !named.empty())
    return fNodes.constExpr(fRandom.pick(named));
  if (roll < 30 && aType == INT32)
    return fNodes.constExpr(fImmediates.int32(fRandom.below(64)));
  if (roll < 30 && aType == DOUBLE)
    return fNodes.constExpr(fImmediates.real(0.25 * fRandom.below(40)));
  if (roll < 30 && aType == BOOL)
    return fNodes.constExpr(fImmediates.boolean(fRandom.chance(50)));
  if (roll < 36 && aType == INT32 && fModule.intPointerVar)
    return fNodes.derefExpr(fNodes.varExpr(fModule.intPointerVar));
  return fNodes.varExpr(fRandom.pick(fReadable[aType]));
}

CG::Expr* BodyGenerator::boolExpr(int aDepth) {
  static const int kComparisons[] = {CG::OP::EQ, CG::OP::NE, CG::OP::LT, CG::OP::LE, CG::OP::GT, CG::OP::GE};
  int roll = fRandom.below(100);
  if (roll < 55) {
    Scalar operands = fRandom.pick(kNumericScalars);
    return fNodes.expr(fRandom.pick(kComparisons), {expr(operands, aDepth - 1), expr(operands, aDepth - 1)});
  }
  if (roll < 80) {
    int op = fRandom.chance(50) ? CG::OP::LOGICAL_AND : CG::OP::LOGICAL_OR;
    return fNodes.expr(op, {expr(BOOL, aDepth - 1), expr(BOOL, aDepth - 1)});
  }
  if (roll < 90)
    return fNodes.expr(CG::OP::NOT, {expr(BOOL, aDepth - 1)});
  if (roll < 95 && calleeReturning(BOOL))
    return callExpr(calleeReturning(BOOL), aDepth - 1, nullptr);
  return fNodes.castExpr(expr(INT32, aDepth - 1), fModule.scalarTypes[BOOL]);
}

// Operands of the result's own type, so the inferred type is the result's type.
CG::Expr* BodyGenerator::numericExpr(Scalar aType, int aDepth) {
  static const int kArithmetic[] = {CG::OP::PLUS, CG::OP::MINUS, CG::OP::MUL, CG::OP::DIV};
  static const int kIntegerOnly[] = {CG::OP::MOD, CG::OP::BITAND, CG::OP::BITOR, CG::OP::BITXOR};
  static const int kShifts[] = {CG::OP::SHL, CG::OP::SHR};
  int roll = fRandom.below(100);
  if (roll < 40)
    return fNodes.expr(fRandom.pick(kArithmetic), {expr(aType, aDepth - 1), expr(aType, aDepth - 1)});
  if (roll < 55 && isInteger(aType))
    return fNodes.expr(fRandom.pick(kIntegerOnly), {expr(aType, aDepth - 1), expr(aType, aDepth - 1)});
  if (roll < 62 && isInteger(aType))
    return fNodes.expr(fRandom.pick(kShifts),
                       {expr(aType, aDepth - 1), fNodes.constExpr(fImmediates.int32(1 + fRandom.below(7)))});
  if (roll < 67 && isInteger(aType))
    return fNodes.expr(CG::OP::BITNOT, {expr(aType, aDepth - 1)});
  if (roll < 72)
    return fNodes.expr(CG::OP::UMINUS, {expr(aType, aDepth - 1)});
  if (roll < 80 && aType == DOUBLE && fModule.sqrtFcn)
    return callExpr(fModule.sqrtFcn, aDepth - 1, nullptr);
  if (roll < 90 && calleeReturning(aType))
    return callExpr(calleeReturning(aType), aDepth - 1, nullptr);
  Scalar from = fRandom.pick(kNumericScalars);
  return fNodes.castExpr(expr(from == aType ? INT32 : from, aDepth - 1), fModule.scalarTypes[aType]);
}

// A call with one argument per input, each of the input's type; aFirstArg (when given) is the first.
CG::Expr* BodyGenerator::callExpr(CG::Fcn* aCallee, int aDepth, CG::Expr* aFirstArg) {
  std::vector<CG::Expr*> args;
  for (int i = 0; i < aCallee->numInputs(); ++i) {
    if (i == 0 && aFirstArg) {
      args.push_back(aFirstArg);
      continue;
    }
    args.push_back(expr(scalarOf(aCallee->inputVar(i)->type()), aDepth));
  }
  return fNodes.callExpr(fNodes.constExpr(aCallee), args);
}

// The last earlier function whose first output has that type, or null.
CG::Fcn* BodyGenerator::calleeReturning(Scalar aType) {
  for (auto it = fModule.fcns.rbegin(); it != fModule.fcns.rend(); ++it)
    if ((*it)->numOutputs() > 0 && scalarOf((*it)->outputVar(0)->type()) == aType)
      return *it;
  return nullptr;
}

//===-- Module level ------------------------------------------------------------------------------------===//

class ModuleGenerator {
public:
  ModuleGenerator(CG_Ctx* aCtx, const IrGenOptions& aOptions)
      : fCtx(aCtx), fOptions(aOptions), fRandom(aOptions.seed), fTypes(aCtx), fValues(aCtx), fConsts(aCtx),
        fImmediates(aCtx, fTypes), fGlobal(aCtx->globalScope()) {}

  IrGenSummary run();

private:
  void makeScalarTypes();
  std::vector<CG::Type*> makeNamedTypes();
  void makeNamedConsts();
  void makeModuleVars(const std::vector<CG::Type*>& aTypes);
  CG::Var* makeModuleVar(CG::Scope* aScope, CG::Type* aType);
  void setRandomFlags(CG::Var* aVar);
  void makeNestedScope();
  void makeFcns();
  CG::Fcn* makeFcnSignature(int aIndex);
  CG::Const* initialValue(CG::Type* aType);
  Scalar randomScalar() { return static_cast<Scalar>(fRandom.below(kNumScalars)); }

  CG_Ctx* fCtx;
  IrGenOptions fOptions;
  Random fRandom;
  CG::TypeFactory fTypes;
  CG::ValueFactory fValues;
  CG::ConstFactory fConsts;
  ImmediateConsts fImmediates;
  CG::Scope* fGlobal;
  ModuleSymbols fModule;
  int fNumModuleVars = 0;
  int fNextMarker = 0;
  bool fLastDrawnReadOnly = false;
};

IrGenSummary ModuleGenerator::run() {
  makeScalarTypes();
  makeModuleVars(makeNamedTypes());
  makeNamedConsts();
  makeNestedScope();
  makeFcns();
  IrGenSummary summary;
  summary.numMarkedStmts = fNextMarker;
  summary.numFcns = static_cast<int>(fModule.fcns.size());
  return summary;
}

void ModuleGenerator::makeScalarTypes() {
  fModule.scalarTypes[INT32] = fTypes.signedInt32Type();
  fModule.scalarTypes[INT16] = fTypes.signedInt16Type();
  fModule.scalarTypes[UINT32] = fTypes.unsignedInt32Type();
  fModule.scalarTypes[DOUBLE] = fTypes.doubleType();
  fModule.scalarTypes[SINGLE] = fTypes.singleType();
  fModule.scalarTypes[BOOL] = fTypes.boolType();
  for (CG::IntrinsicFcn* intrinsic : fCtx->intrinsicFcns())
    if (std::string(intrinsic->name()) == "sqrt")
      fModule.sqrtFcn = intrinsic;
}

// One type of every kind; the pointer also serves as an operand in bodies.
std::vector<CG::Type*> ModuleGenerator::makeNamedTypes() {
  CG::SymbolicSizeFactory sizes(fCtx);
  CG::SymbolicSize* rows = sizes.idSize(fGlobal, "N");
  CG::SymbolicSize* cols = sizes.idSize(fGlobal, "M");
  CG::Type* int32 = fTypes.signedInt32Type();
  CG::Type* real = fTypes.doubleType();
  auto name = [this](const char* aText) { return fCtx->cgString(aText); };
  CG::StructType* point = fTypes.structType(fGlobal, "Point", "point_tag", {{name("x"), int32}, {name("y"), real}});
  CG::UnionType* bits = fTypes.unionType(
      fGlobal, "Bits", nullptr, {{name("word"), fTypes.unsignedInt32Type()}, {name("half"), fTypes.signedInt16Type()}});
  CG::ClassType* base = fTypes.classType(
      fGlobal, "Base", {{name("id"), int32, CG::VISIBILITY_PUBLIC}, {name("secret"), real, CG::VISIBILITY_PRIVATE}},
      {});
  CG::ClassType* derived =
      fTypes.classType(fGlobal, "Derived", {{name("extra"), fTypes.boolType(), CG::VISIBILITY_PROTECTED}},
                       {{base, fRandom.chance(50) ? CG::VISIBILITY_PUBLIC : CG::VISIBILITY_PRIVATE}});
  CG::EnumType* color = fTypes.enumType(fGlobal, "Color", "color_tag",
                                        {{name("RED"), 0}, {name("GREEN"), 1}, {name("BLUE"), 4}}, nullptr);
  CG::Type* counter = fTypes.namedCopy(int32, fGlobal, "Counter");
  return {point,
          bits,
          base,
          derived,
          color,
          counter,
          fTypes.pointerType(int32),
          fTypes.referenceType(real),
          fTypes.complexType(real),
          fTypes.fixptType(true, 16, 1.0, -8 - fRandom.below(4), 0.0, false),
          fTypes.matrixType(int32, {rows, sizes.size64(3)}, fRandom.chance(50)),
          fTypes.dynamicMatrixType(real, {{true, cols}, {false, sizes.size64(4)}}, fRandom.chance(50)),
          fTypes.fcnType({int32, real}, {fTypes.boolType()})};
}

void ModuleGenerator::makeNamedConsts() {
  for (int i = 0, n = 1 + fRandom.below(3); i < n; ++i) {
    std::string name = "kInt" + std::to_string(i);
    fModule.namedConsts[INT32].push_back(fConsts.create(fTypes.signedInt32Type(),
                                                        fValues.integerValueRef(fTypes.signedInt32Type(), 7 + 10 * i),
                                                        fGlobal, name.c_str()));
    name = "kReal" + std::to_string(i);
    fModule.namedConsts[DOUBLE].push_back(fConsts.create(
        fTypes.doubleType(), fValues.doubleValueRef(fTypes.doubleType(), 0.5 + i), fGlobal, name.c_str()));
    name = "kFlag" + std::to_string(i);
    fModule.namedConsts[BOOL].push_back(
        fConsts.create(fTypes.boolType(), fValues.boolValueRef(i % 2 == 0), fGlobal, name.c_str()));
  }
}

// A variable of every named type, then scalar variables that bodies read and write.
void ModuleGenerator::makeModuleVars(const std::vector<CG::Type*>& aTypes) {
  for (CG::Type* type : aTypes) {
    CG::Var* var = makeModuleVar(fGlobal, type);
    if (CG::PointerType::isa(type))
      fModule.intPointerVar = var;
  }
  for (int type = 0; type < kNumScalars; ++type) {
    for (int i = 0, n = 1 + fRandom.below(2); i < n; ++i) {
      CG::Var* var = makeModuleVar(fGlobal, fModule.scalarTypes[type]);
      var->setInitialValue(initialValue(var->type()));
      fModule.readableVars[type].push_back(var);
      // The flag as drawn, set or not: the module stays the same with annotations turned off.
      if (!fLastDrawnReadOnly)
        fModule.assignableVars[type].push_back(var);
    }
  }
}

CG::Var* ModuleGenerator::makeModuleVar(CG::Scope* aScope, CG::Type* aType) {
  std::string name = "g" + std::to_string(fNumModuleVars++);
  CG::Var* var = cg_var_create(aScope, aType, name.c_str());
  setRandomFlags(var);
  if (fRandom.chance(40)) {
    int origin = fRandom.below(3);
    if (fOptions.annotations)
      CG::OriginTag::setOrigin(var, origin);
  }
  return var;
}

void ModuleGenerator::setRandomFlags(CG::Var* aVar) {
  bool isStatic = fRandom.chance(30);
  bool readOnly = fRandom.chance(20);
  fLastDrawnReadOnly = readOnly;
  bool byReference = fRandom.chance(15);
  bool isAuto = fRandom.chance(10);
  bool isTemp = fRandom.chance(10);
  bool unaliased = fRandom.chance(10);
  bool aliasSafe = fRandom.chance(10);
  bool constInC = fRandom.chance(10);
  if (!fOptions.annotations)
    return;
  aVar->setIsStatic(isStatic);
  aVar->setReadOnly(readOnly);
  aVar->setPassByReference(byReference);
  aVar->setIsAuto(isAuto);
  aVar->setIsTemp(isTemp);
  aVar->setUnaliased(unaliased);
  aVar->setAliasSafe(aliasSafe);
  aVar->setConstInC(constInC);
}

// Only int32, double and bool variables start with a value; the others start without one.
CG::Const* ModuleGenerator::initialValue(CG::Type* aType) {
  if (aType == fModule.scalarTypes[INT32])
    return fImmediates.int32(fRandom.below(100));
  if (aType == fModule.scalarTypes[DOUBLE])
    return fImmediates.real(0.5 * fRandom.below(20));
  if (aType == fModule.scalarTypes[BOOL])
    return fImmediates.boolean(fRandom.chance(50));
  return nullptr;
}

void ModuleGenerator::makeNestedScope() {
  CG::Scope* inner = cg_scope_create(fGlobal, "inner", fCtx->pool());
  for (int i = 0, n = 1 + fRandom.below(3); i < n; ++i)
    makeModuleVar(inner, fModule.scalarTypes[randomScalar()]);
  CG::Scope* deeper = cg_scope_create(inner, "deeper", fCtx->pool());
  makeModuleVar(deeper, fModule.scalarTypes[DOUBLE]);
}

// Statements spread evenly over the functions; each body may call the functions made before it.
void ModuleGenerator::makeFcns() {
  int numFcns = 1 + fOptions.size / 60;
  for (int i = 0; i < numFcns; ++i) {
    CG::Fcn* fcn = makeFcnSignature(i);
    int numStmts = fOptions.size / numFcns + (i < fOptions.size % numFcns ? 1 : 0);
    BodyGenerator(fcn, fModule, fImmediates, fRandom, fNextMarker, fOptions).generate(numStmts);
    fModule.fcns.push_back(fcn);
  }
}

// f<i>((int32 f<i>_a0, ...), (f<i>_r0)): the first input is always an int32, the output sometimes missing.
CG::Fcn* ModuleGenerator::makeFcnSignature(int aIndex) {
  std::string name = "f" + std::to_string(aIndex);
  CG::Fcn* fcn = CG::Fcn::create(fGlobal, name.c_str());
  fcn->addInput(fModule.scalarTypes[INT32], (name + "_a0").c_str());
  for (int i = 1, n = 1 + fRandom.below(3); i < n; ++i)
    fcn->addInput(fModule.scalarTypes[randomScalar()], (name + "_a" + std::to_string(i)).c_str());
  if (fRandom.chance(80))
    fcn->addOutput(fModule.scalarTypes[randomScalar()], (name + "_r0").c_str());
  if (fRandom.chance(30) && fOptions.annotations)
    CG::OriginTag::setOrigin(fcn, CG::OriginTag::USER);
  return fcn;
}

} // namespace

IrGenSummary generateModule(CG_Ctx* aCtx, const IrGenOptions& aOptions) {
  return ModuleGenerator(aCtx, aOptions).run();
}

} // namespace quilltest

namespace quilltest {

namespace {
IrGenOptions textModuleOptions(uint64_t aSeed, int aSize) {
  IrGenOptions options;
  options.seed = aSeed;
  options.size = aSize;
  options.unstructured = true;
  options.annotations = false;
  return options;
}

std::string emitGenerated(const IrGenOptions& aOptions) {
  CG_Ctx ctx;
  generateModule(&ctx, aOptions);
  return CG::emitQuill(ctx.globalScope());
}
} // namespace

std::string generateModuleText(uint64_t aSeed, double aTargetBytes) {
  constexpr int kSampleSize = 4000;
  double bytesPerStmt = static_cast<double>(emitGenerated(textModuleOptions(aSeed, kSampleSize)).size()) / kSampleSize;
  return emitGenerated(textModuleOptions(aSeed, static_cast<int>(aTargetBytes / bytesPerStmt)));
}

} // namespace quilltest
