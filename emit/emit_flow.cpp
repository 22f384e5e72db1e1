// Control-flow emission: a function body printed through the program structure tree. Structured regions become
// nested blocks; an unstructured region becomes a walk over its merges and splits with labels and gotos.
#include "emit/emitter.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <string_view>

#include "emit/lending.h"
#include "emit/workahead.h"
#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/predicate.h"
#include "ir/pst.h"
#include "ir/strings.h"
#include "ir/symbol.h"

namespace CG {

static const char* const kFlowSource = "emit/emit_flow";

// The invariant's text is spelled out: it is part of the message users see.
#define FLOW_ASSERT(cond, text)                                                                                        \
  do {                                                                                                                 \
    if (!(cond))                                                                                                       \
      client_assertion_failed(kFlowSource, __LINE__, text);                                                            \
  } while (0)

//===-- Bodies ------------------------------------------------------------------------------------------===//

void QulEmitter::BodyMarks::clear() {
  labelNumbers.clear();
  gotoTargets.clear();
  emittedLabels.clear();
  loopRoundsReached.clear();
}

// A body's bookkeeping, lent to the emitter's fields while the body prints.
class QulEmitter::LentBodyMarks {
public:
  explicit LentBodyMarks(QulEmitter* aEmitter)
      : fMarks(aEmitter->fBodyMarks), fLendLabelNumbers(aEmitter->fUnstructuredStmtToLabelMap, &fMarks->labelNumbers),
        fLendGotoTargets(aEmitter->fGotoTargets, &fMarks->gotoTargets),
        fLendEmittedLabels(aEmitter->fEmittedLabels, &fMarks->emittedLabels),
        fLendLoopRounds(aEmitter->fLoopRoundsReached, &fMarks->loopRoundsReached) {}

private:
  ScratchStack<BodyMarks>::Loan fMarks;
  Lending<IdMap<Stmt*, int>> fLendLabelNumbers;
  Lending<IdSet<char*>> fLendGotoTargets;
  Lending<IdSet<char*>> fLendEmittedLabels;
  Lending<IdSet<Stmt*>> fLendLoopRounds;
};

void QulEmitter::emitCfg(Cfg* aCfg) {
  if (!fFilter)
    abortEmission("fFilter == NULL", __LINE__);
  if (!fFilter->shouldEmit(aCfg)) {
    emitString("// skipping body\n");
    return;
  }
  if (aCfg->isClassic()) {
    emitString("// this cfg was in classic and cannot be emitted \n");
    return;
  }
  Fcn* fcn = aCfg->fcn();
  FLOW_ASSERT(fcn != 0, "fcn != 0");
  std::unique_ptr<PooledPst> tree = fTreesAhead != nullptr ? fTreesAhead->take<PooledPst>(fcn) : nullptr;
  if (tree == nullptr)
    tree = std::make_unique<PooledPst>(fCtx, fcn);
  tree->pst.prefetchStmts();
  Lending lendPst(fPst, &tree->pst);
  // Also here, for an emitPst of a subclass that prints the tree's regions itself.
  LentBodyMarks marks(this);
  emitFcnLocalVars(fcn);
  emitPst(&tree->pst);
}

// Label numbers start from 0 in every body: a body's bookkeeping starts empty.
void QulEmitter::emitPst(Pst* aPst) {
  LentBodyMarks marks(this);
  emitRegion(aPst->root());
  checkGotosAgainstLabels();
}

//===-- Regions -----------------------------------------------------------------------------------------===//

void QulEmitter::emitRegion(Region* aRegion) {
  if (!aRegion)
    return;
  ensureStackRoom();
  if (IfRegion::isa(aRegion))
    return emitIfStmt(IfRegion::cast(aRegion)->ifStmt(), nullptr);
  if (BasicBlockRegion::isa(aRegion))
    return emitBasicBlockRegion(BasicBlockRegion::cast(aRegion));
  if (ChainRegion::isa(aRegion))
    return emitChainRegion(ChainRegion::cast(aRegion));
  if (SwitchRegion::isa(aRegion))
    return emitSwitchStmt(SwitchRegion::cast(aRegion)->switchStmt(), nullptr);
  if (ForLoopRegion::isa(aRegion))
    return emitAbstractForLoopStmt(ForLoopRegion::cast(aRegion)->entryStmt(), nullptr);
  if (ParallelForLoopRegion::isa(aRegion))
    return emitAbstractForLoopStmt(ParallelForLoopRegion::cast(aRegion)->entryStmt(), nullptr);
  if (WhileRegion::isa(aRegion))
    return emitWhileRegion(WhileRegion::cast(aRegion));
  if (DoWhileRegion::isa(aRegion))
    return emitDoWhileRegion(DoWhileRegion::cast(aRegion));
  if (UnstructuredRegion::isa(aRegion))
    return emitUnstructuredRegion(UnstructuredRegion::cast(aRegion));
  emitString("**Error: Unknown Region**");
}

void QulEmitter::emitBasicBlockRegion(BasicBlockRegion* aRegion) {
  for (Stmt* stmt : aRegion->stmts()) {
    emitIndent();
    emitStmt(stmt);
    emitNewline();
  }
}

void QulEmitter::emitChainRegion(ChainRegion* aRegion) {
  for (Region* child : aRegion->children())
    emitRegion(child);
}

// The code an out-port leads to: the regions that start there, then (inside an unstructured region) the
// merge or split reached. A branch of a split is one level deeper.
void QulEmitter::emitSubRegion(OutPort aOutPort, IdSet<Stmt*>* aVisited) {
  if (!fPst)
    abortEmission("fPst == NULL", __LINE__);
  bool isBranch = aOutPort.node->numOutPorts() > 1;
  if (isBranch)
    indentIncrement();
  emitCodeFrom(aOutPort, aVisited);
  if (isBranch)
    indentDecrement();
}

void QulEmitter::emitCodeFrom(OutPort aOutPort, IdSet<Stmt*>* aVisited) {
  ensureStackRoom();
  InPort port = aOutPort.edge() ? aOutPort.edge()->inPort() : InPort();
  while (port.valid() && fPst->isRegionEntry(port) && !(aVisited && aVisited->containsKey(port.stmt()))) {
    Region* region = fPst->outerEntryTo(port);
    emitRegion(region);
    Edge* exitEdge = region->exit().edge();
    port = exitEdge ? exitEdge->inPort() : InPort();
  }
  if (aVisited && port.valid())
    emitUnstructuredControlStmt(port, aVisited);
}

//===-- Structured statements ---------------------------------------------------------------------------===//

// if ::= 'if(' expr ') {' branch '} else {' branch '}'
void QulEmitter::emitIfStmt(IfStmt* aIf, IdSet<Stmt*>* aVisited) {
  beginSegment(BLOCK_COMPOUND);
  emitIndent();
  emitString("if(");
  emitExpr(aIf->condition());
  emitString(") {");
  emitNewline();
  emitSubRegion(aIf->trueOutPort(), aVisited);
  beginSegment(BLOCK_ALTERNATIVE);
  emitIndent();
  emitString("} else {");
  emitNewline();
  emitSubRegion(aIf->falseOutPort(), aVisited);
  beginSegment(BLOCK_CLOSE);
  emitIndent();
  emitString("}");
  emitNewline();
}

// while ::= 'while(' expr ') {' body '}'
void QulEmitter::emitWhileRegion(WhileRegion* aRegion) {
  beginSegment(BLOCK_COMPOUND);
  emitIndent();
  emitString("while(");
  emitExpr(aRegion->testStmt()->condition());
  emitString(") {");
  indentIncrement();
  emitNewline();
  emitRegion(aRegion->body());
  indentDecrement();
  beginSegment(BLOCK_CLOSE);
  emitIndent();
  emitString("}");
  emitNewline();
}

// do-while ::= 'do {' body '}while(' expr ');'
void QulEmitter::emitDoWhileRegion(DoWhileRegion* aRegion) {
  beginSegment(BLOCK_COMPOUND);
  emitIndent();
  emitString("do {");
  indentIncrement();
  emitNewline();
  emitRegion(aRegion->body());
  indentDecrement();
  beginSegment(BLOCK_CLOSE);
  emitIndent();
  emitString("}while(");
  emitExpr(aRegion->testStmt()->condition());
  emitString(");");
  emitNewline();
}

// switch ::= 'switch(' expr ') {' ('case(' expr ') :' body)* 'default :' body '}'
void QulEmitter::emitSwitchStmt(SwitchStmt* aSwitch, IdSet<Stmt*>* aVisited) {
  beginSegment(BLOCK_COMPOUND);
  emitIndent();
  emitString("switch(");
  emitExpr(aSwitch->value());
  emitString(") {");
  emitNewline();
  for (int i = 0; i < aSwitch->numCases(); ++i) {
    beginSegment(BLOCK_ALTERNATIVE);
    indentIncrement();
    emitIndent();
    emitString("case(");
    emitExpr(aSwitch->caseValue(i));
    emitString(") :");
    emitNewline();
    emitSubRegion(aSwitch->caseOutPort(i), aVisited);
    indentDecrement();
  }
  indentIncrement();
  beginSegment(BLOCK_ALTERNATIVE);
  emitIndent();
  emitString("default :");
  emitNewline();
  emitSubRegion(aSwitch->defaultOutPort(), aVisited);
  beginSegment(BLOCK_CLOSE);
  indentDecrement();
  emitIndent();
  emitString("}");
  emitNewline();
}

// for ::= ('for(' | 'parfor(') index ',' start ',' step ',' end [parfor-params] ') {' body '}'
void QulEmitter::emitAbstractForLoopStmt(AbstractForEntryStmt* aEntry, IdSet<Stmt*>* aVisited) {
  AbstractForExitStmt* exit = AbstractForExitStmt::cast(aEntry->succ());
  FLOW_ASSERT(exit != nullptr, "AbstractForExitStmt::isa(aEntry->succ())");
  beginSegment(BLOCK_COMPOUND);
  if (aVisited && hasGoto(aEntry))
    emitLabel(aEntry);
  emitIndent();
  emitString(ForEntryStmt::isa(aEntry) ? "for(" : ParallelForEntryStmt::isa(aEntry) ? "parfor(" : "unknownTypeOfFor(");
  emitExpr(aEntry->indexExpr());
  emitString(",");
  emitExpr(aEntry->indexStart());
  emitString(",");
  emitExpr(aEntry->indexStep());
  emitString(",");
  emitExpr(aEntry->indexEnd());
  if (ParallelForEntryStmt::isa(aEntry))
    emitParForParams(aEntry);
  emitString(") {");
  emitNewline();
  Lending lendStop(fStopStmt, aVisited ? aEntry : fStopStmt);
  if (aVisited)
    aVisited->add(aEntry);
  {
    fLoopsInPrint.push_back(aEntry);
    // Off the list again however the body's walk ends.
    struct InPrint {
      std::vector<AbstractForEntryStmt*>& loops;
      ~InPrint() { loops.pop_back(); }
    } inPrint{fLoopsInPrint};
    emitSubRegion(exit->bodyOutPort(), aVisited);
  }
  if (aVisited && fStopStmt != aEntry && hasGoto(fStopStmt))
    emitLabel(fStopStmt);
  // Control that reaches the back edge only after the loop has printed comes from outside the body: by a goto.
  bool roundReachedLater = aVisited && aEntry->inEdge(AbstractForEntryStmt::kBackEdgePort) &&
                           !fLoopRoundsReached->containsKey(aEntry);
  if (hasGoto(exit) || roundReachedLater)
    emitNextRoundLabel(exit);
  beginSegment(BLOCK_CLOSE);
  emitIndent();
  emitString("}");
  emitNewline();
}

// The end of a loop's body, where a jump goes on with the next round: a label keyed by the loop's test, which no
// jump names otherwise.
void QulEmitter::emitNextRoundLabel(AbstractForExitStmt* aExit) {
  indentIncrement();
  emitLabel(aExit);
  indentDecrement();
}

// The test of a for loop prints with its loop; reached on its own it is only valid inside an unstructured walk.
void QulEmitter::emitAbstractForExitStmt(AbstractForExitStmt*, IdSet<Stmt*>* aVisited) {
  if (!aVisited)
    client_assertion_failed(kFlowSource, __LINE__, "visitedStmts");
}

// parfor-params ::= '|' flag (',' flag)*    for the flags that hold
void QulEmitter::emitParForParams(AbstractForEntryStmt* aEntry) {
  if (!ParallelForEntryStmt::isa(aEntry))
    client_assertion_failed(kFlowSource, __LINE__, "parfor");
  ParallelForEntryStmt* parfor = ParallelForEntryStmt::cast(aEntry);
  const struct {
    bool holds;
    const char* item;
  } flags[] = {
      {parfor->isOrderedLoop(), "\"ordered\":\"true\""},
      {parfor->isParforMode() != 0, "\"orig\":\"true\""},
      {parfor->isBypassDependence(), "\"bypassdep\":\"true\""},
      {parfor->processedDependence(), "\"processeddep\":\"true\""},
  };
  bool written = false;
  for (const auto& flag : flags) {
    if (!flag.holds)
      continue;
    emitBar(written);
    emitString(flag.item);
  }
}

//===-- Unstructured regions ----------------------------------------------------------------------------===//

void QulEmitter::emitUnstructuredRegion(UnstructuredRegion* aRegion) {
  preprocessUnstructuredRegion(aRegion);
  Stmt* entryStmt = aRegion->entryStmt();
  Stmt* exitStmt = aRegion->exitStmt();
  FLOW_ASSERT(MergeStmt::isa(entryStmt) || SplitStmt::isa(entryStmt),
              "MergeStmt::isa(entryStmt) || SplitStmt::isa(entryStmt)");
  // A body whose end is never reached has an unstructured area without exit statement.
  FLOW_ASSERT(!exitStmt || MergeStmt::isa(exitStmt) || SplitStmt::isa(exitStmt),
              "MergeStmt::isa(exitStmt) || SplitStmt::isa(exitStmt)");
  Stmt* continuation = aRegion->successorInPort().valid() ? aRegion->successorInPort().stmt() : nullptr;
  Lending lendContinuation(fRegionContinuation, continuation);
  Lending lendStop(fStopStmt, MergeStmt::isa(exitStmt) ? exitStmt : continuation);
  // The region's own record of the statements printed.
  ScratchStack<IdSet<Stmt*>>::Loan visited(fRegionVisits);
  if (fStopStmt)
    visited->add(fStopStmt);
  emitUnstructuredControlStmt(aRegion->entry(), visited.get());
  // A jump to where the region goes on lands after the region's text, unless a region nested in it, which goes
  // on at the same place, has placed that label already.
  if (hasGoto(fStopStmt) && !isLabelPrinted(fStopStmt))
    emitLabel(fStopStmt);
}

// Whether the in-edge leaves a for loop's test through its exit port (the loop's normal way out).
static bool isForLoopExitEdge(Edge* aEdge) {
  OutPort source = aEdge->outPort();
  return AbstractForExitStmt::isa(source.node) && source.node->numOutPorts() == 2 && source.index == 1;
}

// Reserves a label for every join inside the region that two or more branches reach.
void QulEmitter::preprocessUnstructuredRegion(UnstructuredRegion* aRegion) {
  if (!aRegion)
    abortEmission("aRegion == NULL", __LINE__);
  if (!fPst)
    abortEmission("fPst == NULL", __LINE__);
  for (Stmt* stmt : aRegion->ownStmts()) {
    // A for loop's head is no join: jumps to it name the labels of the merges in front of it.
    if (stmt == aRegion->entryStmt() || stmt == aRegion->exitStmt() || AbstractForEntryStmt::isa(stmt))
      continue;
    int inEdges = 0;
    for (int i = 0; i < stmt->numInPorts(); ++i)
      inEdges += stmt->inEdge(i) ? 1 : 0;
    if (inEdges < 2 || realDestination(stmt) != stmt)
      continue;
    int fromSplits = 0;
    for (int i = 0; i < stmt->numInPorts(); ++i) {
      Edge* inEdge = stmt->inEdge(i);
      if (!inEdge)
        continue;
      Stmt* srcStmt = inEdge->outPort().stmt();
      FLOW_ASSERT(srcStmt, "srcStmt");
      if (SplitStmt::isa(srcStmt) && !isForLoopExitEdge(inEdge))
        ++fromSplits;
    }
    if (fromSplits >= 2)
      reserveLabel(stmt);
  }
}

// A loop head has two ways in: through its entry port control starts the loop afresh, through its back-edge
// port it goes on with the next round. While the loop's body prints, the head is where that body's walk
// stops for the next round; a jump that starts the loop afresh is a goto to the label printed before it, and
// one that goes on with a loop printed elsewhere is a goto to the label at the end of its body.
void QulEmitter::emitUnstructuredControlStmt(InPort aPort, IdSet<Stmt*>* aVisited) {
  Stmt* stmt = aPort.stmt();
  bool nextRound = AbstractForEntryStmt::isa(stmt) && aPort.index == AbstractForEntryStmt::kBackEdgePort;
  if (nextRound)
    fLoopRoundsReached->add(stmt);
  if (aVisited->containsKey(stmt))
    return emitJumpToPrinted(aPort);
  FLOW_ASSERT(MergeStmt::isa(stmt) || SplitStmt::isa(stmt), "MergeStmt::isa(stmt) || SplitStmt::isa(stmt)");
  aVisited->add(stmt);
  if (nextRound)
    return emitForLoopFromItsBackEdge(AbstractForEntryStmt::cast(stmt), aVisited);
  if (AbstractForEntryStmt::isa(stmt))
    return emitUnstructuredForLoop(AbstractForEntryStmt::cast(stmt), aVisited);
  if (MergeStmt::isa(stmt))
    return emitUnstructuredMerge(MergeStmt::cast(stmt), aVisited);
  if (IfStmt::isa(stmt))
    return emitIfStmt(IfStmt::cast(stmt), aVisited);
  if (SwitchStmt::isa(stmt))
    return emitSwitchStmt(SwitchStmt::cast(stmt), aVisited);
  if (AbstractForExitStmt::isa(stmt))
    return emitAbstractForExitStmt(AbstractForExitStmt::cast(stmt), aVisited);
  client_assertion_failed(kFlowSource, __LINE__, "MergeStmt::isa(stmt) || SplitStmt::isa(stmt)");
}

// Control reaching a statement already printed: a goto, or nothing where it falls through to there.
void QulEmitter::emitJumpToPrinted(InPort aPort) {
  Stmt* stmt = aPort.stmt();
  bool isLoopHead = AbstractForEntryStmt::isa(stmt);
  if (isLoopHead && aPort.index == AbstractForEntryStmt::kBackEdgePort && stmt != fStopStmt)
    return emitGotoNextRound(AbstractForEntryStmt::cast(stmt));
  bool restartsLoopInPrint = isLoopHead && aPort.index == AbstractForEntryStmt::kEntryPort && isLoopInPrint(stmt);
  Stmt* destination = realDestination(stmt);
  if (destination == fStopStmt && !restartsLoopInPrint)
    return;
  emitIndent();
  emitGoto(destination);
  emitNewline();
}

void QulEmitter::emitGotoNextRound(AbstractForEntryStmt* aEntry) {
  emitIndent();
  emitGoto(aEntry->succ());
  emitNewline();
}

// A loop met in an unstructured walk: the loop, then whatever its exit leads to, at the loop's own level.
void QulEmitter::emitUnstructuredForLoop(AbstractForEntryStmt* aEntry, IdSet<Stmt*>* aVisited) {
  emitAbstractForLoopStmt(aEntry, aVisited);
  if (AbstractForExitStmt* exit = AbstractForExitStmt::cast(aEntry->succ()))
    emitCodeFrom(exit->exitOutPort(), aVisited);
}

// Control that reaches a loop's head through its back edge before the loop has printed goes on with the next
// round: a goto to the end of the loop's body, then the loop itself, which nothing falls into after a goto. A
// jump to the loop's start then needs the label before it.
void QulEmitter::emitForLoopFromItsBackEdge(AbstractForEntryStmt* aEntry, IdSet<Stmt*>* aVisited) {
  emitGotoNextRound(aEntry);
  if (aEntry->inEdge(AbstractForEntryStmt::kEntryPort) && !hasGoto(aEntry))
    reserveLabel(aEntry);
  emitUnstructuredForLoop(aEntry, aVisited);
}

void QulEmitter::emitUnstructuredMerge(MergeStmt* aMerge, IdSet<Stmt*>* aVisited) {
  Stmt* destination = realDestination(aMerge);
  if (destination == fStopStmt)
    return;
  // The region before may have placed this label at its end, which is here.
  if (destination == aMerge && !isLabelPrinted(aMerge))
    emitLabel(aMerge);
  emitSubRegion(aMerge->outPort(), aVisited);
}

// The last merge of a chain of merges: where a jump really lands. The walk stops at the region's stop statement
// and continuation, and never steps onto the entry of a nested region (a loop head prints without a label) or
// onto the head of a for loop: a label before the loop, where a jump to its entry port starts it afresh, or
// at the end of its body, where a jump to its back-edge port goes on with the next round, belongs to the merge
// in front of the head. A chain that leads back to its start (a loop of labels only) lands at the start: each
// merge of such a loop then keeps its own label.
Stmt* QulEmitter::realDestination(Stmt* aStmt) {
  if (!MergeStmt::isa(aStmt))
    return aStmt;
  Stmt* destination = aStmt;
  size_t steps = aStmt->cfg()->stmts().size();
  while (destination != fStopStmt && steps-- > 0) {
    InPort next = destination->succInPort(0);
    if (next.node == aStmt)
      return aStmt;
    if (!next.valid() || !MergeStmt::isa(next.node) || next.node == fRegionContinuation ||
        AbstractForEntryStmt::isa(next.node))
      break;
    if (fPst && fPst->isRegionEntry(next))
      break;
    destination = next.stmt();
  }
  return destination;
}

bool QulEmitter::isLoopInPrint(Stmt* aStmt) const {
  return std::find(fLoopsInPrint.begin(), fLoopsInPrint.end(), aStmt) != fLoopsInPrint.end();
}

//===-- Labels and gotos --------------------------------------------------------------------------------===//

int QulEmitter::reserveLabel(Stmt* aStmt) {
  if (fUnstructuredStmtToLabelMap->containsKey(aStmt))
    client_assertion_failed(kFlowSource, __LINE__, "!fUnstructuredStmtToLabelMap->containsKey(aStmt)");
  int number = static_cast<int>(fUnstructuredStmtToLabelMap->size());
  fUnstructuredStmtToLabelMap->put(aStmt, number);
  return number;
}

char* QulEmitter::generateLabelString(Stmt* aStmt) {
  int number = hasGoto(aStmt) ? fUnstructuredStmtToLabelMap->get(aStmt) : reserveLabel(aStmt);
  char text[16] = "L";
  char* end = std::to_chars(text + 1, text + sizeof(text), number).ptr;
  return fCtx->cgString(std::string_view(text, static_cast<size_t>(end - text)));
}

void QulEmitter::emitGoto(Stmt* aStmt) {
  char* label = generateLabelString(aStmt);
  emitString("goto(");
  emitString(label);
  emitString(");");
  fGotoTargets->add(label);
}

void QulEmitter::emitLabel(Stmt* aStmt) {
  char* label = generateLabelString(aStmt);
  emitIndent();
  emitString("label(");
  emitString(label);
  emitString(");");
  emitNewline();
  fEmittedLabels->add(label);
}

bool QulEmitter::isLabelPrinted(Stmt* aStmt) {
  return hasGoto(aStmt) && fEmittedLabels->containsKey(generateLabelString(aStmt));
}

bool QulEmitter::hasGoto(Stmt* aStmt) {
  return aStmt && fUnstructuredStmtToLabelMap && fUnstructuredStmtToLabelMap->containsKey(aStmt);
}

void QulEmitter::checkGotosAgainstLabels() {
  for (const auto& target : *fGotoTargets)
    if (char* tgt = target.key(); !fEmittedLabels->containsKey(tgt))
      client_assertion_failed(kFlowSource, __LINE__, "fEmittedLabels->containsKey(tgt)");
}

//===-- Statements --------------------------------------------------------------------------------------===//

void QulEmitter::emitStmt(Stmt* aStmt) {
  beginSegment(BLOCK_SIMPLE);
  switch (aStmt->opcode()) {
  case OP::COMMENT:
    return emitCommentStmt(aStmt);
  case OP::LITERAL_TEXT:
    return emitLiteralTextStmt(aStmt);
  case OP::EXPR_STMT:
    return emitExprStmt(aStmt);
  case OP::PARALLEL_VAR_CLASSIFIER:
    return emitParallelVarClassifier(aStmt);
  case OP::OPEN_SCOPE:
  case OP::CLOSE_SCOPE:
  case OP::RETURN:
    return emitCustomStmt(aStmt);
  case OP::INIT:
    return emitInitStmt(aStmt);
  default:
    break;
  }
  if (fThrowExceptionOnError)
    TheLogger::instance().throwInternalException("QulEmitter::emitStmt::UnknownStmt", "Unknown Statement %s",
                                                 aStmt->opName());
  emitCustomStmt(aStmt);
}

// comment ::= 'comment("' text '");'    with every '"' written as '\"'
void QulEmitter::emitCommentStmt(Stmt* aStmt) {
  std::string text;
  for (const char* c = cg_string_toascii(CommentStmt::cast(aStmt)->text()); c && *c; ++c) {
    if (*c == '"')
      text += '\\';
    text += *c;
  }
  emitString("comment(\"");
  emitString(text.c_str());
  emitString("\");");
}

// literal-text ::= 'literal_text("' text '");'    unescaped
void QulEmitter::emitLiteralTextStmt(Stmt* aStmt) {
  char* text = LiteralTextStmt::cast(aStmt)->text();
  emitString("literal_text(\"");
  emitString(text ? text : "");
  emitString("\");");
}

void QulEmitter::emitExprStmt(Stmt* aStmt) {
  emitExpr(ExprStmt::cast(aStmt)->expr());
  emitString(";");
}

// parfor-var ::= 'parfor_var(' var ',' classification ');'
void QulEmitter::emitParallelVarClassifier(Stmt* aStmt) {
  ParallelVarClassifierStmt* parvc =
      ParallelVarClassifierStmt::isa(aStmt) ? ParallelVarClassifierStmt::cast(aStmt) : nullptr;
  if (!parvc)
    client_assertion_failed(kFlowSource, __LINE__, "parvc");
  emitString("parfor_var(");
  emitExpr(parvc->varExpr());
  emitString(",");
  emitExpr(parvc->classification());
  emitString(");");
}

// init ::= 'init(' var ',' immediate-const ');'
void QulEmitter::emitInitStmt(Stmt* aStmt) {
  InitStmt* init = InitStmt::cast(aStmt);
  emitString("init(");
  emitExpr(init->lhs());
  emitString(",");
  emitImmediateConstExprArgs(init->rhs());
  emitString(");");
}

// custom-stmt ::= '|:' name '(' inputs ');'    followed by its own line end
void QulEmitter::emitCustomStmt(Stmt* aStmt) {
  const char* name = getQulName(CG::OP(aStmt->opcode()));
  if (!name || !*name)
    name = aStmt->opName();
  // Always the prefix, also before a name that has one of its own ("|:return" prints as "|:|:return").
  emitString("|:");
  emitString(name);
  emitString("(");
  for (int i = 0; i < aStmt->numInputs(); ++i) {
    if (i > 0)
      emitString(", ");
    emitExpr(aStmt->input(i));
  }
  emitString(");");
  emitNewline();
}

} // namespace CG
