// Node definitions, nodes, ports and edges: construction, operands and edge bookkeeping.
#include "ir/node.h"

#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/type.h"

// ---- CG_NodeDef ------------------------------------------------------------------------------

namespace {

// The indexes given out. Taking and giving back lock; look-ups need no lock.
struct DefIndexes {
  std::mutex mutex;
  // Given back, taken again before fresh ones.
  std::vector<uint32_t> free;
  uint32_t nextFresh = 0;
};

// Made on first use and never destroyed: contexts may be made and destroyed around static initialisation and exit.
DefIndexes& defIndexes() {
  static DefIndexes* indexes = new DefIndexes();
  return *indexes;
}

} // namespace

CG_NodeDef::CG_NodeDef(CG_Ctx* aCtx, const Shape& aShape)
    : CG_CtxObj(CG_NODEDEF, aCtx), fShape(aShape), fIndex(takeIndex(this)) {}

CG_NodeDef::~CG_NodeDef() {
  releaseIndex(fIndex);
}

uint32_t CG_NodeDef::takeIndex(CG_NodeDef* aDef) {
  DefIndexes& indexes = defIndexes();
  std::lock_guard<std::mutex> lock(indexes.mutex);
  uint32_t index;
  if (!indexes.free.empty()) {
    index = indexes.free.back();
    indexes.free.pop_back();
  } else if (indexes.nextFresh < (1u << kIndexBits)) {
    index = indexes.nextFresh++;
  } else {
    CG::TheLogger::instance().throwInternalException("CG/NodeDef/index",
                                                     "node definition '%s': more than %u definitions are alive",
                                                     aDef->name(), (1u << kIndexBits));
  }
  CG_NodeDef**& entries = sIndexBlocks[index >> kIndexBlockBits];
  if (entries == nullptr) {
    // Never freed: a look-up in another thread may be reading the block.
    entries = new CG_NodeDef*[kIndexBlockSize]();
  }
  entries[index & (kIndexBlockSize - 1)] = aDef;
  return index;
}

void CG_NodeDef::releaseIndex(uint32_t aIndex) {
  DefIndexes& indexes = defIndexes();
  std::lock_guard<std::mutex> lock(indexes.mutex);
  sIndexBlocks[aIndex >> kIndexBlockBits][aIndex & (kIndexBlockSize - 1)] = nullptr;
  indexes.free.push_back(aIndex);
}

CG_NodeDef* CG_NodeDef::getDefByEnum(CG_Ctx* aCtx, int aOp) {
  if (aCtx == nullptr) {
    return nullptr;
  }
  return aCtx->nodeDef(aOp);
}

CG_NodeDef* CG_NodeDef::create(CG_Ctx* aCtx, int aFlags, const char* aName, int aCategory, int aNumResults,
                               int aNumInputs, int aNumOutputs, int aIsVariadic, void* /*aUnused1*/, void* /*aUnused2*/,
                               int aOpcode, int aEffects, int /*aReserved*/) {
  CG_ASSERT_MSG(aCtx != nullptr, "ir/node.cpp", "CG_NodeDef::create: null context");
  if (aName == nullptr || aName[0] == '\0') {
    CG::TheLogger::instance().throwInternalException("CG/NodeDef/name", "node definition %d: the name is empty",
                                                     aOpcode);
  }
  if (aNumInputs < 0 || aNumOutputs < 0) {
    CG::TheLogger::instance().throwInternalException(
        "CG/NodeDef/counts", "node definition '%s' (%d): negative operand count (%d inputs, %d outputs)", aName,
        aOpcode, aNumInputs, aNumOutputs);
  }
  Shape shape;
  shape.flags = aFlags;
  shape.name = aCtx->cgString(aName);
  shape.category = aCategory;
  shape.numResults = aNumResults;
  shape.numInputs = aNumInputs;
  shape.numOutputs = aNumOutputs;
  shape.isVariadic = aIsVariadic != 0;
  shape.opcode = aOpcode;
  shape.effects = static_cast<uint32_t>(aEffects);
  CG_NodeDef* def = aCtx->pool()->make<CG_NodeDef>(aCtx, shape);
  aCtx->registerNodeDef(def);
  return def;
}

namespace CG {

// ---- Ports -----------------------------------------------------------------------------------

bool InPort::valid() const {
  return node != nullptr && index >= 0 && index < node->numInPorts();
}

Stmt* InPort::stmt() const {
  return Stmt::cast(node);
}

Edge* InPort::edge() const {
  return valid() ? node->inEdge(index) : nullptr;
}

bool OutPort::valid() const {
  return node != nullptr && index >= 0 && index < node->numOutPorts();
}

Stmt* OutPort::stmt() const {
  return Stmt::cast(node);
}

Edge* OutPort::edge() const {
  return valid() ? node->outEdge(index) : nullptr;
}

namespace {

// Whether two statements lie in one graph, without looking the graph up.
bool inOneGraph(const Node* aStmt, const Node* aOther) {
  return static_cast<const Stmt*>(aStmt)->cfgNumber() == static_cast<const Stmt*>(aOther)->cfgNumber() &&
         aStmt->ctx() == aOther->ctx();
}

} // namespace

Edge* OutPort::connect(InPort aTarget) const {
  if (!valid() || !aTarget.valid()) {
    TheLogger::instance().throwInternalException(
        "CG/Edge/port", "cannot connect %s out-port %d to %s in-port %d: no such port",
        node != nullptr ? node->opName() : "(null)", index, aTarget.node != nullptr ? aTarget.node->opName() : "(null)",
        aTarget.index);
  }
  if (!inOneGraph(node, aTarget.node)) {
    TheLogger::instance().throwInternalException("CG/Edge/graph",
                                                 "cannot connect '%s' to '%s': they are in different graphs",
                                                 node->opName(), aTarget.node->opName());
  }
  node->disconnectOutEdge(index);
  aTarget.node->disconnectInEdge(aTarget.index);
  Edge* edge = node->outEdgeAt(index);
  edge->fSourceIndex = index;
  edge->fTarget = aTarget.node;
  edge->fTargetIndex = aTarget.index;
  aTarget.node->inEdgeSlots()[aTarget.index] = edge;
  node->markCfgDirty();
  return edge;
}

// ---- Node ------------------------------------------------------------------------------------

Node::Node(CG_NodeDef* aDef, Kind aKind, const Shape& aShape) : CG_Obj(CG_NODE, aDef->ctx()) {
  // Made in a register and copied as one word: setting the fields, or assigning the struct, reads the word first.
  Fields fields{static_cast<unsigned>(aShape.numInputs),
                static_cast<unsigned>(aShape.numAux),
                aShape.slotOffset / sizeof(void*),
                false,
                false,
                false,
                false,
                aDef->index()};
  std::memcpy(&fFields, &fields, sizeof fields);
  fSubclassByte = static_cast<uint8_t>(aKind);
  checkPortCounts(aShape);
  if (aShape.slotOffset < sizeof(Node)) {
    TheLogger::instance().throwInternalException("CG/Node/create", "'%s' node not made by Node::create", aDef->name());
  }
  // The node is the first base of the maker's class, so the slots are aShape.slotOffset bytes on.
  if (aShape.numSlots() > 0) {
    std::memset(slots(), 0, sizeof(void*) * static_cast<size_t>(aShape.numSlots()));
  }
  fEffects = aDef->defaultEffects();
}

void Node::failOperandCounts(CG_NodeDef* aDef, const Shape& aShape) {
  if (aShape.numAux < 0 || aShape.numAux > UINT8_MAX) {
    TheLogger::instance().throwInternalException("CG/Node/aux", "'%s' node: %d aux operands (at most %d)", aDef->name(),
                                                 aShape.numAux, UINT8_MAX);
  }
  TheLogger::instance().throwInternalException("CG/Node/inputs", "'%s' node: %d operands (at most %d)", aDef->name(),
                                               aShape.numInputs, kMaxInputs);
}

// The fixed side of the kind's ports must have the kind's count, and the open side a count of zero or more.
void Node::checkPortCounts(const Shape& aShape) const {
  PortPattern pattern = kPortPatterns[static_cast<int>(kind())];
  bool inPortsFit = pattern.in == kVariablePorts ? aShape.numInPorts >= 0 : aShape.numInPorts == pattern.in;
  bool outPortsFit = pattern.out == kVariablePorts ? aShape.numOutPorts >= 0 : aShape.numOutPorts == pattern.out;
  if (!inPortsFit || !outPortsFit) {
    TheLogger::instance().throwInternalException("CG/Node/ports", "'%s' node: %d in-ports and %d out-ports", opName(),
                                                 aShape.numInPorts, aShape.numOutPorts);
  }
}

int Node::openPortCount(Kind aKind, const Shape& aShape) {
  PortPattern pattern = kPortPatterns[static_cast<int>(aKind)];
  return pattern.in == kVariablePorts ? aShape.numInPorts : pattern.out == kVariablePorts ? aShape.numOutPorts : 0;
}

NodeModes Node::modes() const {
  return cfg()->modesOf(this);
}

// A node that never had a mode keeps none: setting 0 there changes nothing.
void Node::setMode(unsigned NodeModes::*aField, unsigned aMode) {
  if (aMode == 0 && !fFields.hasModes) {
    return;
  }
  NodeModes modes = this->modes();
  modes.*aField = aMode;
  cfg()->setModes(this, modes);
  fFields.hasModes = true;
}

void Node::setRoundingMode(unsigned aMode) {
  setMode(&NodeModes::rounding, aMode);
}

void Node::setOverflowMode(unsigned aMode) {
  setMode(&NodeModes::overflow, aMode);
}

void Node::failNodeClass(CG_NodeDef* aDef) {
  TheLogger::instance().throwInternalException(
      "CG/Node/create", "'%s' node: its class does not fit its kind", aDef->name());
}

void Node::failInputIndex(int aIndex) const {
  TheLogger::instance().throwInternalException("CG/Node/input", "'%s' node: operand %d out of range (%d operands)",
                                               opName(), aIndex, numInputs());
}

void Node::failPortIndex(int aIndex, int aCount, const char* aWhat) const {
  TheLogger::instance().throwInternalException("CG/Node/port", "'%s' node: %s %d out of range (%d %ss)", opName(),
                                               aWhat, aIndex, aCount, aWhat);
}

void Node::setInput(int aIndex, Expr* aExpr) {
  checkInputIndex(aIndex);
  Expr* old = inputSlots()[aIndex];
  if (old == aExpr) {
    if (aExpr != nullptr) {
      aExpr->fUp = reinterpret_cast<uintptr_t>(this);
    }
    return;
  }
  if (aExpr != nullptr && aExpr->parent() != nullptr) {
    Node* oldParent = aExpr->parent();
    for (int i = 0, count = oldParent->numInputs(); i < count; ++i) {
      if (oldParent->inputSlots()[i] == aExpr) {
        oldParent->inputSlots()[i] = nullptr;
      }
    }
  }
  inputSlots()[aIndex] = aExpr;
  if (aExpr != nullptr) {
    aExpr->fUp = reinterpret_cast<uintptr_t>(this);
  }
  if (old != nullptr && old->parent() == this) {
    old->fUp = Expr::detachedIn(cfg());
  }
}

void Node::setAux(int aIndex, CG_Obj* aObj) {
  checkPortIndex(aIndex, numAux(), "aux operand");
  auxSlots()[aIndex] = aObj;
}

void Node::markForDeletion() {
  if (fFields.markedForDeletion) {
    return;
  }
  fFields.markedForDeletion = true;
  if (Cfg* graph = cfg()) {
    graph->fMarked.push_back(this);
  }
  markCfgDirty();
}

void Node::markCfgDirty() {
  if (Cfg* graph = cfg()) {
    graph->markDirty();
  }
}

// The edge is its source's out-port: emptying it disconnects the port.
void Node::detachEdge(Edge* aEdge) {
  if (aEdge->isLive()) {
    aEdge->source()->markCfgDirty();
  }
  if (aEdge->fTarget != nullptr && aEdge->fTarget->inEdgeSlots()[aEdge->fTargetIndex] == aEdge) {
    aEdge->fTarget->inEdgeSlots()[aEdge->fTargetIndex] = nullptr;
    aEdge->fTarget->markCfgDirty();
  }
  aEdge->fSourceIndex = -1;
  aEdge->fTarget = nullptr;
  aEdge->fTargetIndex = -1;
}

void Node::setOutEdge(int aIndex, Edge* aEdge) {
  checkPortIndex(aIndex, numOutPorts(), "out-port");
  if (outEdge(aIndex) == aEdge) {
    return;
  }
  if (aEdge != nullptr && aEdge->fTarget == nullptr) {
    TheLogger::instance().throwInternalException("CG/Edge/dead", "'%s' out-port %d: the edge has no target", opName(),
                                                 aIndex);
  }
  if (aEdge != nullptr && !inOneGraph(aEdge->fTarget, this)) {
    TheLogger::instance().throwInternalException("CG/Edge/graph", "'%s' out-port %d: the edge leads into another graph",
                                                 opName(), aIndex);
  }
  if (aEdge == nullptr) {
    disconnectOutEdge(aIndex);
    return;
  }
  InPort target = aEdge->inPort();
  detachEdge(aEdge);
  OutPort(this, aIndex).connect(target);
}

void Node::disconnectOutEdge(int aIndex) {
  if (Edge* edge = outEdge(aIndex)) {
    detachEdge(edge);
  }
}

void Node::disconnectInEdge(int aIndex) {
  checkPortIndex(aIndex, numInPorts(), "in-port");
  if (inEdgeSlots()[aIndex] != nullptr) {
    detachEdge(inEdgeSlots()[aIndex]);
  }
}

void Node::disconnectAllEdges() {
  for (int i = 0, count = numInPorts(); i < count; ++i) {
    disconnectInEdge(i);
  }
  for (int i = 0, count = numOutPorts(); i < count; ++i) {
    disconnectOutEdge(i);
  }
}

// ---- Expressions -----------------------------------------------------------------------------

Cfg* Expr::cfg() const {
  const Expr* expr = this;
  while ((expr->fUp & kDetached) == 0) {
    const Node* parent = reinterpret_cast<const Node*>(expr->fUp);
    if (parent->isStmt()) {
      return static_cast<const Stmt*>(parent)->cfg();
    }
    expr = static_cast<const Expr*>(parent);
  }
  return reinterpret_cast<Cfg*>(expr->fUp & ~kDetached);
}

bool Expr::isVectorExpr() const {
  Type* type = this->type();
  return StaticMatrixType::isa(type) || DynamicMatrixType::isa(type);
}

static Type* typeOfSymbol(const Expr* aOperand) {
  if (aOperand->kind() == Node::Kind::VAR_EXPR) {
    Var* var = static_cast<const VarExpr*>(aOperand)->var();
    return var != nullptr ? var->type() : nullptr;
  }
  Const* constant = static_cast<const ConstExpr*>(aOperand)->constant();
  return constant != nullptr ? constant->type() : nullptr;
}

Type* Expr::symbolOperandType() const {
  if (fFields.hasModes) {
    if (Type* given = modes().operandType) {
      return given;
    }
  }
  return typeOfSymbol(this);
}

// An operand given its symbol's type keeps nothing: it follows the symbol. Any other type the graph keeps for it.
void Expr::setType(Type* aType) {
  if (!isSymbolOperandKind(kind())) {
    static_cast<TypedExpr*>(this)->fType = aType;
    return;
  }
  Type* given = aType == typeOfSymbol(this) ? nullptr : aType;
  if (given == nullptr && !fFields.hasModes) {
    return;
  }
  NodeModes modes = this->modes();
  modes.operandType = given;
  cfg()->setModes(this, modes);
  fFields.hasModes = true;
}

Var* VarExpr::var() const {
  return Var::cast(aux(0));
}

Const* ConstExpr::constant() const {
  return Const::cast(aux(0));
}

Type* SizeofExpr::sizedType() const {
  return Type::cast(aux(0));
}

Type* NewExpr::allocatedType() const {
  return Type::cast(aux(0));
}

SymbolicSize* SymbolicSizeExpr::size() const {
  return SymbolicSize::cast(aux(0));
}

namespace {

const char* const kCheckKindNames[CheckExpr::kNumCheckKinds] = {
    "none",        "arithmeticOverflow", "divideByZero", "nullPointer",   "range",
    "arrayBounds", "assertion",          "castRange",    "dynamicBounds",
};

} // namespace

const char* CheckExpr::checkKindName(int aKind) {
  if (aKind < 0 || aKind >= kNumCheckKinds) {
    return nullptr;
  }
  return kCheckKindNames[aKind];
}

int CheckExpr::checkKindByName(const char* aName) {
  for (int kind = 0; aName != nullptr && kind < kNumCheckKinds; ++kind) {
    if (std::strcmp(kCheckKindNames[kind], aName) == 0) {
      return kind;
    }
  }
  return -1;
}

// ---- Statements ------------------------------------------------------------------------------

// The statement finds its graph through its definition's context, so the two must agree.
Stmt::Stmt(CG_NodeDef* aDef, Cfg* aCfg, Kind aKind, const Shape& aShape)
    : Node(aDef, aKind, aShape), fCfgNumber(aCfg->number()) {
  if (aCfg->ctx() != aDef->ctx()) {
    TheLogger::instance().throwInternalException("CG/Node/create", "'%s' node: its definition and its graph are "
                                                 "of two contexts", aDef->name());
  }
}

Cfg* Stmt::cfg() const {
  return ctx()->cfg(fCfgNumber);
}

Stmt* Stmt::pred(int aInPort) const {
  Edge* edge = inEdge(aInPort);
  return edge != nullptr ? Stmt::cast(edge->outPort().node) : nullptr;
}

OutPort Stmt::predOutPort(int aInPort) const {
  Edge* edge = inEdge(aInPort);
  return edge != nullptr ? edge->outPort() : OutPort();
}

Stmt* Stmt::succ(int aOutPort) const {
  Edge* edge = outEdge(aOutPort);
  return edge != nullptr ? Stmt::cast(edge->inPort().node) : nullptr;
}

InPort Stmt::succInPort(int aOutPort) const {
  Edge* edge = outEdge(aOutPort);
  return edge != nullptr ? edge->inPort() : InPort();
}

void SeseStmt::remove() {
  OutPort from = predOutPort();
  InPort to = succInPort();
  disconnectAllEdges();
  if (from.valid() && to.valid() && from.node != this) {
    from.connect(to);
  }
  markForDeletion();
}

void forEachExprPostOrder(Node* aRoot, const std::function<void(Expr*)>& aVisit) {
  forEachExprPostOrder<const std::function<void(Expr*)>&>(aRoot, aVisit);
}

} // namespace CG

unsigned cg_node_rounding_mode(const CG::Node* aNode) {
  return aNode->roundingMode();
}

void cg_node_set_rounding_mode(CG::Node* aNode, unsigned aMode) {
  aNode->setRoundingMode(aMode);
}

unsigned cg_node_overflow_mode(const CG::Node* aNode) {
  return aNode->overflowMode();
}

void cg_node_set_overflow_mode(CG::Node* aNode, unsigned aMode) {
  aNode->setOverflowMode(aMode);
}

void cg_node_mark_for_deletion(CG::Node* aNode) {
  aNode->markForDeletion();
}

int cg_node_check_enum(const CG::Node* aNode) {
  const CG::CheckExpr* check = CG::CheckExpr::cast(aNode);
  return check->checkKind();
}

const char* cg_node_check_name(const CG::Node* aNode) {
  const CG::CheckExpr* check = CG::CheckExpr::cast(aNode);
  return check->checkName();
}
