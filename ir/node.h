// Node definitions and the nodes of a control-flow graph: expressions, statements, ports and edges.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <vector>

#include "ir/mempool.h"
#include "ir/obj.h"
#include "ir/op.h"

namespace CG {

class Cfg;
class Const;
class Edge;
class Expr;
class Node;
class TypedExpr;
class Stmt;
class VariablePortStmt;
class SymbolicSize;
class Type;
class Var;

} // namespace CG

// The definition of an operator: its code, IR name, operand count and whether it makes statements.
class CG_NodeDef : public CG_CtxObj {
public:
  enum Flags : int { FLAG_NONE = 0, FLAG_BUILTIN = 1 };

  struct Shape {
    int flags = FLAG_NONE;
    char* name = nullptr;
    int category = 0;
    int numResults = 1;
    int numInputs = 0;
    int numOutputs = 1;
    bool isVariadic = false;
    int opcode = 0;
    uint32_t effects = 0;
  };

  // Use create(); public only so the context's pool can construct it.
  CG_NodeDef(CG_Ctx* aCtx, const Shape& aShape);
  // Gives the definition's index back for reuse.
  ~CG_NodeDef();

  static bool isa(const CG_Obj* aObj) { return aObj != nullptr && aObj->id() == CG_NODEDEF; }
  CG_DECLARE_CASTS(CG_NodeDef)

  // The registered definition for the opcode; null when unknown.
  static CG_NodeDef* getDefByEnum(CG_Ctx* aCtx, int aOp);
  // Makes and registers a definition (replacing one with the same opcode). numOutputs 0 makes a
  // statement definition; for variadic definitions numInputs is the minimum operand count.
  static CG_NodeDef* create(CG_Ctx* aCtx, int aFlags, const char* aName, int aCategory, int aNumResults, int aNumInputs,
                            int aNumOutputs, int aIsVariadic, void* aUnused1, void* aUnused2, int aOpcode, int aEffects,
                            int aReserved);

  int opcode() const { return fShape.opcode; }
  char* name() const { return fShape.name; }
  int category() const { return fShape.category; }
  int flags() const { return fShape.flags; }
  int numResults() const { return fShape.numResults; }
  int numInputs() const { return fShape.numInputs; }
  int numOutputs() const { return fShape.numOutputs; }
  bool isStmt() const { return fShape.numOutputs == 0; }
  bool isVariadic() const { return fShape.isVariadic; }
  bool isBuiltin() const { return (fShape.flags & FLAG_BUILTIN) != 0; }
  uint32_t defaultEffects() const { return fShape.effects; }

  // Every live definition has an index, unique in the process, so that a node can name its definition in
  // kIndexBits bits instead of a pointer. An index is reused once its definition is gone with its context.
  static constexpr int kIndexBits = 24;
  uint32_t index() const { return fIndex; }
  static CG_NodeDef* byIndex(uint32_t aIndex) {
    return sIndexBlocks[aIndex >> kIndexBlockBits][aIndex & (kIndexBlockSize - 1)];
  }

private:
  static constexpr int kIndexBlockBits = 12;
  static constexpr uint32_t kIndexBlockSize = 1u << kIndexBlockBits;
  static constexpr uint32_t kNumIndexBlocks = 1u << (kIndexBits - kIndexBlockBits);

  static uint32_t takeIndex(CG_NodeDef* aDef);
  static void releaseIndex(uint32_t aIndex);

  // Blocks of the index table, made as indexes are first taken and never moved, so that a look-up needs no lock.
  // Each slot is written under the lock before its index is given out, and nothing reads a slot but through a node
  // of its definition, made after it: plain reads see it written.
  inline static CG_NodeDef** sIndexBlocks[kNumIndexBlocks] = {};

  Shape fShape;
  uint32_t fIndex;
};

namespace CG {

using NodeDef = ::CG_NodeDef;

// A node's numeric modes, and the type of a variable or constant operand that was given one other than its
// symbol's, as the graph keeps them for the few nodes that have any.
struct NodeModes {
  unsigned rounding = 0;
  unsigned overflow = 0;
  Type* operandType = nullptr;
};

// An effects word: 3-bit status fields read and written through EffectInfo (ir/effects.h).
class CanHaveEffects {
public:
  uint32_t effects() const { return fEffects; }
  void setEffects(uint32_t aEffects) { fEffects = aEffects; }

protected:
  uint32_t fEffects = 0;
};

// The target end of an edge: an in-port of a statement.
struct InPort {
  Node* node = nullptr;
  int index = -1;

  InPort() = default;
  InPort(Node* aNode, int aIndex) : node(aNode), index(aIndex) {}
  bool valid() const;
  Stmt* stmt() const;
  Edge* edge() const;
  bool operator==(const InPort& aOther) const { return node == aOther.node && index == aOther.index; }
  bool operator!=(const InPort& aOther) const { return !(*this == aOther); }
};

// The source end of an edge: an out-port of a statement.
struct OutPort {
  Node* node = nullptr;
  int index = -1;

  OutPort() = default;
  OutPort(Node* aNode, int aIndex) : node(aNode), index(aIndex) {}
  bool valid() const;
  Stmt* stmt() const;
  Edge* edge() const;
  // Joins this port to aTarget with a new edge; an edge already on either port is removed first.
  Edge* connect(InPort aTarget) const;
  bool operator==(const OutPort& aOther) const { return node == aOther.node && index == aOther.index; }
  bool operator!=(const OutPort& aOther) const { return !(*this == aOther); }
};

// A control-flow edge from one out-port to one in-port. It lives in its source's out-port, so the
// port's edge is always the same object: connecting the port again brings it back to life with the
// new target. A removed edge keeps no ends (both invalid).
class Edge {
public:
  OutPort outPort() const { return isLive() ? OutPort(source(), fSourceIndex) : OutPort(); }
  InPort inPort() const { return InPort(fTarget, fTargetIndex); }
  bool isLive() const { return fTarget != nullptr; }

private:
  friend class Node;
  friend struct OutPort;

  // The out-port edges lie right before their node, the edge of out-port i at i + 1 edges before it: a live
  // edge finds its source from where it lies, and keeps no pointer to it.
  Node* source() const { return reinterpret_cast<Node*>(const_cast<Edge*>(this) + 1 + fSourceIndex); }

  Node* fTarget = nullptr;
  int fSourceIndex = -1;
  int fTargetIndex = -1;
};

class Node : public CG_Obj, public CanHaveEffects {
public:
  // Nodes hold only pool memory: the pool frees them without running destructors.
  using PoolReclaimsStorage = void;

  // The concrete class of a node; ranges group the abstract classes.
  enum class Kind : uint8_t {
    EXPR,
    VAR_EXPR,
    CONST_EXPR,
    CALL_EXPR,
    MULTI_OUTPUT_CALL_EXPR,
    DEREF_EXPR,
    CAST_EXPR,
    CHECK_EXPR,
    DYNAMIC_BOUNDS_CHECK_EXPR,
    MATRIX_CAT_EXPR,
    SIZEOF_EXPR,
    NEW_EXPR,
    SYMBOLIC_SIZE_EXPR,
    CUSTOM_STMT,
    EXPR_STMT,
    COMMENT_STMT,
    LITERAL_TEXT_STMT,
    INIT_STMT,
    PARALLEL_VAR_CLASSIFIER_STMT,
    OVERFLOW_STMT,
    DIV_BY_ZERO_STMT,
    DELETE_STMT,
    MERGE_STMT,
    FOR_ENTRY_STMT,
    PARALLEL_FOR_ENTRY_STMT,
    IF_STMT,
    SWITCH_STMT,
    FOR_EXIT_STMT,
    START_STMT,
    END_STMT
  };

  struct Shape {
    int numInputs = 0;
    int numAux = 0;
    int numInPorts = 0;
    int numOutPorts = 0;
    // Bytes from the node to its slots: the size of the maker's class, set by create().
    size_t slotOffset = 0;
    // In pointers: an operand, or the edge that enters an in-port. The out-port edges lie before the node.
    int numSlots() const { return numInputs + numAux + numInPorts; }
  };

  // Makes a node of class T in aPool, in one block with its out-port edges before it and its operand and
  // in-port slots behind it.
  // Makers (NodeFactory, Cfg::create) list the finished node in aCfg with Cfg::addNode.
  template <class T> static T* create(MemPool* aPool, CG_NodeDef* aDef, Cfg* aCfg, Kind aKind, const Shape& aShape);

  // Use create(), which leaves room for the slots behind the object.
  Node(CG_NodeDef* aDef, Kind aKind, const Shape& aShape);

  static bool isa(const CG_Obj* aObj) { return aObj != nullptr && aObj->id() == CG_NODE; }
  CG_DECLARE_CASTS(Node)
  // isa() support: aObj is a node of that concrete kind, or of a kind in [aFirst, aLast].
  static bool isKind(const CG_Obj* aObj, Kind aKind) { return isKindIn(aObj, aKind, aKind); }
  static bool isKindIn(const CG_Obj* aObj, Kind aFirst, Kind aLast) {
    if (!isa(aObj)) {
      return false;
    }
    Kind kind = static_cast<const Node*>(aObj)->kind();
    return kind >= aFirst && kind <= aLast;
  }

  CG_NodeDef* def() const { return CG_NodeDef::byIndex(fFields.defIndex); }
  CG_Ctx* ctx() const { return def()->ctx(); }
  int opcode() const { return def()->opcode(); }
  const char* opName() const { return def()->name(); }
  // An expression reaches its graph through its operand tree: a walk up to its statement.
  inline Cfg* cfg() const;
  Kind kind() const { return static_cast<Kind>(fSubclassByte); }
  static bool isExprKind(Kind aKind) { return aKind <= Kind::SYMBOLIC_SIZE_EXPR; }
  // Variable and constant operands, which keep no type of their own.
  static bool isSymbolOperandKind(Kind aKind) { return aKind == Kind::VAR_EXPR || aKind == Kind::CONST_EXPR; }
  bool isExpr() const { return isExprKind(kind()); }
  bool isStmt() const { return !isExpr(); }
  // A statement's position in its graph's statement list (-1 for an expression); makeCompact renumbers.
  inline int number() const;

  int numInputs() const { return static_cast<int>(fFields.numInputs); }
  // The most operands a node takes.
  static constexpr int kInputCountBits = 24;
  static constexpr int kMaxInputs = (1 << kInputCountBits) - 1;
  // Asks the processor to start loading the operand nodes: a walk that calls this on reaching a
  // node finds its operands arriving instead of waiting for each in turn.
  void prefetchInputs() const {
    for (int i = 0, count = numInputs(); i < count; ++i) {
      __builtin_prefetch(inputSlots()[i]);
    }
  }
  Expr* input(int aIndex) const {
    checkInputIndex(aIndex);
    return inputSlots()[aIndex];
  }
  // Sets the operand and makes this node its parent; the replaced operand loses its parent.
  void setInput(int aIndex, Expr* aExpr);

  int numAux() const { return static_cast<int>(fFields.numAux); }
  CG_Obj* aux(int aIndex) const {
    checkPortIndex(aIndex, numAux(), "aux operand");
    return auxSlots()[aIndex];
  }
  void setAux(int aIndex, CG_Obj* aObj);

  // Numeric modes, 0 unless set. Few nodes set one, so the graph keeps them for those nodes.
  unsigned roundingMode() const { return fFields.hasModes ? modes().rounding : 0; }
  void setRoundingMode(unsigned aMode);
  unsigned overflowMode() const { return fFields.hasModes ? modes().overflow : 0; }
  void setOverflowMode(unsigned aMode);

  bool isMarkedForDeletion() const { return fFields.markedForDeletion; }
  // Marks the node; the graph destroys it (and its operand tree) at its next clean-up.
  void markForDeletion();
  // Removed from its graph by a clean-up: no edges, no parent, not listed.
  bool isDestroyed() const { return fFields.destroyed; }
  // Tells the graph its shape changed (cached orders are stale).
  void markCfgDirty();

  int numInPorts() const {
    int8_t fixed = kPortPatterns[static_cast<int>(kind())].in;
    return fixed == kVariablePorts ? openPorts() : fixed;
  }
  int numOutPorts() const {
    int8_t fixed = kPortPatterns[static_cast<int>(kind())].out;
    return fixed == kVariablePorts ? openPorts() : fixed;
  }
  // For walks along the edges, which otherwise wait on memory at every step: the first starts
  // loading the out-port edges, the second (once they are in) the nodes they lead to.
  void prefetchOutEdges() const { __builtin_prefetch(outEdgeAt(0)); }
  void prefetchSuccessors() const {
    for (int i = 0, count = numOutPorts(); i < count; ++i) {
      if (Node* target = outEdgeAt(i)->fTarget) {
        __builtin_prefetch(target);
      }
    }
  }
  Edge* inEdge(int aIndex) const {
    checkPortIndex(aIndex, numInPorts(), "in-port");
    return inEdgeSlots()[aIndex];
  }
  Edge* outEdge(int aIndex) const {
    checkPortIndex(aIndex, numOutPorts(), "out-port");
    Edge* edge = outEdgeAt(aIndex);
    return edge->fTarget != nullptr ? edge : nullptr;
  }
  // Moves aEdge's source end to out-port aIndex: the port's own edge now leads to aEdge's target, and
  // aEdge, left behind on its old port, is removed. The edge that was on this port is disconnected.
  // Null just disconnects the port.
  void setOutEdge(int aIndex, Edge* aEdge);
  // Removes the edge on out-port aIndex, clearing its target's in-port too.
  void disconnectOutEdge(int aIndex);
  void disconnectInEdge(int aIndex);
  // Removes every edge on every port of this node.
  void disconnectAllEdges();

private:
  friend class Cfg;
  friend class Expr;
  friend struct OutPort;

  void** slots() const { return reinterpret_cast<void**>(const_cast<Node*>(this)) + fFields.slotOffset; }
  Expr** inputSlots() const { return reinterpret_cast<Expr**>(slots()); }
  CG_Obj** auxSlots() const { return reinterpret_cast<CG_Obj**>(slots() + fFields.numInputs); }
  Edge** inEdgeSlots() const { return reinterpret_cast<Edge**>(slots() + fFields.numInputs + fFields.numAux); }
  // Out-port aIndex's edge, whether live or not.
  Edge* outEdgeAt(int aIndex) const { return reinterpret_cast<Edge*>(const_cast<Node*>(this)) - 1 - aIndex; }
  void checkInputIndex(int aIndex) const {
    if (static_cast<unsigned>(aIndex) >= fFields.numInputs) {
      failInputIndex(aIndex);
    }
  }
  void checkPortIndex(int aIndex, int aCount, const char* aWhat) const {
    if (static_cast<unsigned>(aIndex) >= static_cast<unsigned>(aCount)) {
      failPortIndex(aIndex, aCount, aWhat);
    }
  }
  // Before the node is made: counts its fields can hold.
  static void checkOperandCounts(CG_NodeDef* aDef, const Shape& aShape) {
    if (static_cast<unsigned>(aShape.numAux) > UINT8_MAX ||
        static_cast<unsigned>(aShape.numInputs) > static_cast<unsigned>(kMaxInputs)) {
      failOperandCounts(aDef, aShape);
    }
  }
  void checkPortCounts(const Shape& aShape) const;
  // The count a statement keeps for the side of its ports that kPortPatterns leaves open.
  inline int openPorts() const;
  static bool hasVariablePorts(Kind aKind) {
    PortPattern pattern = kPortPatterns[static_cast<int>(aKind)];
    return pattern.in == kVariablePorts || pattern.out == kVariablePorts;
  }
  NodeModes modes() const;
  void setMode(unsigned NodeModes::*aField, unsigned aMode);
  [[noreturn]] static void failNodeClass(CG_NodeDef* aDef);
  [[noreturn]] static void failOperandCounts(CG_NodeDef* aDef, const Shape& aShape);
  [[noreturn]] void failInputIndex(int aIndex) const;
  [[noreturn]] void failPortIndex(int aIndex, int aCount, const char* aWhat) const;
  static void detachEdge(Edge* aEdge);

  static constexpr int kSlotOffsetBits = 4;
  static_assert(sizeof(Edge) == 2 * sizeof(void*), "an edge packs into two words");

  // Each kind of node has a fixed number of ports on at least one side; kVariablePorts marks the side
  // whose count the node keeps (a merge's in-ports, a split's out-ports).
  static constexpr int8_t kVariablePorts = -1;
  struct PortPattern {
    int8_t in;
    int8_t out;
  };
  static constexpr PortPattern kPortPatterns[] = {
      {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
      {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1},
      {kVariablePorts, 1}, {kVariablePorts, 1}, {kVariablePorts, 1},
      {1, kVariablePorts}, {1, kVariablePorts}, {1, kVariablePorts},
      {0, 1}, {1, 0}};
  static_assert(sizeof(kPortPatterns) / sizeof(PortPattern) == static_cast<size_t>(Kind::END_STMT) + 1,
                "one port pattern per kind");

  // Behind the bases (three bytes of id and flags, the kind in the fourth, four of effects), one word holds the
  // rest: a graph holds many nodes, and their size is most of its memory. The operand count, read most, takes the
  // low bits, where reading it needs no shift.
  struct Fields {
    uint64_t numInputs : kInputCountBits;
    uint64_t numAux : 8;
    // In pointers: the slots (operands, aux operands, in-port and out-port edges) follow the object.
    uint64_t slotOffset : kSlotOffsetBits;
    uint64_t markedForDeletion : 1;
    uint64_t destroyed : 1;
    // The graph holds modes for this node (Cfg::modesOf).
    uint64_t hasModes : 1;
    // An expression's flag, kept here where it costs no room.
    uint64_t breakpointOnOverflow : 1;
    // The definition's process-wide index (CG_NodeDef::byIndex): a pointer would take a word of its own.
    uint64_t defIndex : CG_NodeDef::kIndexBits;
  };
  Fields fFields;

protected:
  bool breakpointFlag() const { return fFields.breakpointOnOverflow; }
  void setBreakpointFlag(bool aOn) { fFields.breakpointOnOverflow = aOn; }
  // The count of ports on the side of aKind's pattern that the node decides; 0 when both are fixed.
  static int openPortCount(Kind aKind, const Shape& aShape);
};

// Expressions are most of a graph: what only statements need (a graph, a list position) is kept by Stmt, a port count
// by the merges and splits that decide one, and an expression keeps its graph only while it has no parent.
static_assert(sizeof(void*) != 8 || sizeof(Node) == 16, "a node's fields pack into two words");

template <class T> T* Node::create(MemPool* aPool, CG_NodeDef* aDef, Cfg* aCfg, Kind aKind, const Shape& aShape) {
  static_assert(sizeof(T) % sizeof(void*) == 0 && sizeof(T) / sizeof(void*) < (1u << kSlotOffsetBits),
                "slots follow the node");
  static_assert(!std::is_polymorphic_v<T>, "a virtual table would put the node base behind it, away from the slots");
  static_assert(std::is_base_of_v<Expr, T> || std::is_base_of_v<Stmt, T>, "a node is an expression or a statement");
  static_assert(sizeof(Edge) % alignof(T) == 0, "the node behind its out-port edges stays aligned");
  // A statement's own fields sit where an expression keeps its parent and type; only variable and constant
  // operands are made without room for a type, and only merges and splits with room for a port count.
  if (std::is_base_of_v<Stmt, T> == isExprKind(aKind) ||
      (isExprKind(aKind) && std::is_base_of_v<TypedExpr, T> == isSymbolOperandKind(aKind)) ||
      std::is_base_of_v<VariablePortStmt, T> != hasVariablePorts(aKind)) {
    failNodeClass(aDef);
  }
  checkOperandCounts(aDef, aShape);
  Shape shape = aShape;
  shape.slotOffset = sizeof(T);
  size_t slotBytes = sizeof(void*) * static_cast<size_t>(shape.numSlots() > 0 ? shape.numSlots() : 0);
  size_t numOutEdges = static_cast<size_t>(shape.numOutPorts > 0 ? shape.numOutPorts : 0);
  auto* outEdges = static_cast<Edge*>(aPool->alloc(sizeof(Edge) * numOutEdges + sizeof(T) + slotBytes,
                                                   std::max(alignof(T), alignof(Edge))));
  for (size_t i = 0; i < numOutEdges; ++i) {
    new (&outEdges[i]) Edge();
  }
  return new (outEdges + numOutEdges) T(aDef, aCfg, aKind, shape);
}

// ---- Expressions -----------------------------------------------------------------------------

class Expr : public Node {
public:
  Expr(CG_NodeDef* aDef, Cfg* aCfg, Kind aKind, const Shape& aShape)
      : Node(aDef, aKind, aShape), fUp(detachedIn(aCfg)) {}

  static bool isa(const CG_Obj* aObj) { return Node::isa(aObj) && static_cast<const Node*>(aObj)->isExpr(); }
  CG_DECLARE_CASTS(Expr)

  // A variable or constant operand has its symbol's type unless it was given another: the most numerous nodes
  // keep no type of their own.
  inline Type* type() const;
  void setType(Type* aType);
  bool breakpointOnOverflow() const { return breakpointFlag(); }
  void setBreakpointOnOverflow(bool aOn) { setBreakpointFlag(aOn); }
  // The value is a matrix (static or dynamic).
  bool isVectorExpr() const;
  // The node this expression is an operand of; null for a detached tree.
  Node* parent() const { return (fUp & kDetached) != 0 ? nullptr : reinterpret_cast<Node*>(fUp); }
  Cfg* cfg() const;

private:
  // Node::setInput keeps the parent.
  friend class Node;

  static constexpr uintptr_t kDetached = 1;
  static uintptr_t detachedIn(Cfg* aCfg) { return reinterpret_cast<uintptr_t>(aCfg) | kDetached; }

  // The symbol's type, or the one the operand was given; null when neither is known.
  Type* symbolOperandType() const;

  // The parent node, or, for the root of a detached tree, its graph with kDetached set.
  uintptr_t fUp;
};

// Every expression but a variable or constant operand: its type is its own.
class TypedExpr : public Expr {
public:
  using Expr::Expr;

private:
  friend class Expr;

  Type* fType = nullptr;
};

inline Type* Expr::type() const {
  return isSymbolOperandKind(kind()) ? symbolOperandType() : static_cast<const TypedExpr*>(this)->fType;
}

// aux 0: the variable.
class VarExpr : public Expr {
public:
  using Expr::Expr;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::VAR_EXPR); }
  CG_DECLARE_CASTS(VarExpr)
  Var* var() const;
};

// aux 0: the constant.
class ConstExpr : public Expr {
public:
  using Expr::Expr;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::CONST_EXPR); }
  CG_DECLARE_CASTS(ConstExpr)
  Const* constant() const;
};

// Input 0: the callee; inputs 1.. the arguments.
class CallExpr : public TypedExpr {
public:
  using TypedExpr::TypedExpr;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::CALL_EXPR); }
  CG_DECLARE_CASTS(CallExpr)
  Expr* callee() const { return input(0); }
  int numArgs() const { return numInputs() - 1; }
  Expr* arg(int aIndex) const { return input(aIndex + 1); }
  int numOutputs() const { return fNumOutputs; }
  void setNumOutputs(int aCount) { fNumOutputs = aCount; }

private:
  int fNumOutputs = 1;
};

// Input 0: the callee; then numCallInputs() inputs; then the output expressions.
class MultiOutputCallExpr : public TypedExpr {
public:
  using TypedExpr::TypedExpr;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::MULTI_OUTPUT_CALL_EXPR); }
  CG_DECLARE_CASTS(MultiOutputCallExpr)
  Expr* callee() const { return input(0); }
  int numCallInputs() const { return fNumCallInputs; }
  Expr* callInput(int aIndex) const { return input(1 + aIndex); }
  int numCallOutputs() const { return numInputs() - 1 - fNumCallInputs; }
  Expr* callOutput(int aIndex) const { return input(1 + fNumCallInputs + aIndex); }
  // Caller-defined flag word given at creation.
  int callFlags() const { return fCallFlags; }
  void setCallLayout(int aNumCallInputs, int aFlags) {
    fNumCallInputs = aNumCallInputs;
    fCallFlags = aFlags;
  }

private:
  int fNumCallInputs = 0;
  int fCallFlags = 0;
};

class DerefExpr : public TypedExpr {
public:
  using TypedExpr::TypedExpr;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::DEREF_EXPR); }
  CG_DECLARE_CASTS(DerefExpr)
  Expr* pointer() const { return input(0); }
};

class CastExpr : public TypedExpr {
public:
  using TypedExpr::TypedExpr;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::CAST_EXPR); }
  CG_DECLARE_CASTS(CastExpr)
  Expr* operand() const { return input(0); }
};

// A run-time check on input 0. Aux 1..6 hold constants describing the check (messages, limits).
class CheckExpr : public TypedExpr {
public:
  enum CheckKind {
    CHECK_NONE = 0,
    CHECK_OVERFLOW = 1,
    CHECK_DIVIDE_BY_ZERO = 2,
    CHECK_NULL_POINTER = 3,
    CHECK_RANGE = 4,
    CHECK_ARRAY_BOUNDS = 5,
    CHECK_ASSERTION = 6,
    CHECK_CAST_RANGE = 7,
    CHECK_DYNAMIC_BOUNDS = 8
  };
  static constexpr int kNumAux = 7;
  static constexpr int kNumCheckKinds = 9;

  using TypedExpr::TypedExpr;
  static bool isa(const CG_Obj* aObj) { return isKindIn(aObj, Kind::CHECK_EXPR, Kind::DYNAMIC_BOUNDS_CHECK_EXPR); }
  CG_DECLARE_CASTS(CheckExpr)
  int checkKind() const { return fCheckKind; }
  void setCheckKind(int aKind) { fCheckKind = aKind; }
  const char* checkName() const { return checkKindName(fCheckKind); }
  // "overflow", "divideByZero", ...; null for an unknown kind.
  static const char* checkKindName(int aKind);
  // The kind with that name, or -1.
  static int checkKindByName(const char* aName);

private:
  int fCheckKind = CHECK_NONE;
};

// Inputs: 0 the index, 1 the low bound, 2 the high bound.
class DynamicBoundsCheckExpr : public CheckExpr {
public:
  using CheckExpr::CheckExpr;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::DYNAMIC_BOUNDS_CHECK_EXPR); }
  CG_DECLARE_CASTS(DynamicBoundsCheckExpr)
  Expr* lowBound() const { return input(1); }
  Expr* highBound() const { return input(2); }
};

class MatrixCatExpr : public TypedExpr {
public:
  using TypedExpr::TypedExpr;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::MATRIX_CAT_EXPR); }
  CG_DECLARE_CASTS(MatrixCatExpr)
  // The dimension the operands are joined along (0 rows, 1 columns, ...).
  int dimension() const { return fDimension; }
  void setDimension(int aDimension) { fDimension = aDimension; }

private:
  int fDimension = 0;
};

// aux 0: the type measured.
class SizeofExpr : public TypedExpr {
public:
  using TypedExpr::TypedExpr;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::SIZEOF_EXPR); }
  CG_DECLARE_CASTS(SizeofExpr)
  Type* sizedType() const;
};

// aux 0: the type allocated.
class NewExpr : public TypedExpr {
public:
  using TypedExpr::TypedExpr;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::NEW_EXPR); }
  CG_DECLARE_CASTS(NewExpr)
  Type* allocatedType() const;
};

// aux 0: the symbolic size.
class SymbolicSizeExpr : public TypedExpr {
public:
  using TypedExpr::TypedExpr;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::SYMBOLIC_SIZE_EXPR); }
  CG_DECLARE_CASTS(SymbolicSizeExpr)
  SymbolicSize* size() const;
};

// ---- Statements ------------------------------------------------------------------------------

class Stmt : public Node {
public:
  Stmt(CG_NodeDef* aDef, Cfg* aCfg, Kind aKind, const Shape& aShape);

  static bool isa(const CG_Obj* aObj) { return Node::isa(aObj) && static_cast<const Node*>(aObj)->isStmt(); }
  CG_DECLARE_CASTS(Stmt)

  InPort inPort(int aIndex) const { return InPort(const_cast<Stmt*>(this), aIndex); }
  OutPort outPort(int aIndex) const { return OutPort(const_cast<Stmt*>(this), aIndex); }
  // The statement whose edge enters in-port aInPort, and its out-port; null / invalid when unconnected.
  Stmt* pred(int aInPort) const;
  OutPort predOutPort(int aInPort) const;
  // The statement out-port aOutPort leads to, and its in-port; null / invalid when unconnected.
  Stmt* succ(int aOutPort) const;
  InPort succInPort(int aOutPort) const;
  int number() const { return fNumber; }
  Cfg* cfg() const;
  // The graph's number in its context (CG_Ctx::cfg): among statements of one context, equal numbers mean one graph.
  uint32_t cfgNumber() const { return fCfgNumber; }

private:
  friend class Cfg;

  // Half the room of a pointer, in the most numerous statements.
  uint32_t fCfgNumber;
  int fNumber = -1;
};

// A statement that decides how many ports one of its sides has: a merge's in-ports, a split's out-ports.
class VariablePortStmt : public Stmt {
public:
  VariablePortStmt(CG_NodeDef* aDef, Cfg* aCfg, Kind aKind, const Shape& aShape)
      : Stmt(aDef, aCfg, aKind, aShape), fOpenPorts(openPortCount(aKind, aShape)) {}

private:
  friend class Node;

  int fOpenPorts;
};

static_assert(sizeof(void*) != 8 || sizeof(Stmt) == 24, "a statement adds one word to a node");

Cfg* Node::cfg() const {
  return isStmt() ? static_cast<const Stmt*>(this)->cfg() : static_cast<const Expr*>(this)->cfg();
}

int Node::number() const {
  return isStmt() ? static_cast<const Stmt*>(this)->number() : -1;
}

int Node::openPorts() const {
  return static_cast<const VariablePortStmt*>(this)->fOpenPorts;
}

// One in-port, one out-port.
class SeseStmt : public Stmt {
public:
  using Stmt::Stmt;
  static bool isa(const CG_Obj* aObj) { return isKindIn(aObj, Kind::CUSTOM_STMT, Kind::DELETE_STMT); }
  CG_DECLARE_CASTS(SeseStmt)

  using Stmt::inPort;
  using Stmt::outPort;
  using Stmt::pred;
  using Stmt::predOutPort;
  using Stmt::succ;
  using Stmt::succInPort;
  InPort inPort() const { return inPort(0); }
  OutPort outPort() const { return outPort(0); }
  Stmt* pred() const { return pred(0); }
  OutPort predOutPort() const { return predOutPort(0); }
  Stmt* succ() const { return succ(0); }
  InPort succInPort() const { return succInPort(0); }
  // Unhooks the statement, joins its predecessor to its successor and marks it for deletion.
  void remove();
};

// Any statement definition without a dedicated class (scopes, returns, run-time definitions).
class CustomStmt : public SeseStmt {
public:
  using SeseStmt::SeseStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::CUSTOM_STMT); }
  CG_DECLARE_CASTS(CustomStmt)
};

class ExprStmt : public SeseStmt {
public:
  using SeseStmt::SeseStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::EXPR_STMT); }
  CG_DECLARE_CASTS(ExprStmt)
  Expr* expr() const { return input(0); }
};

class CommentStmt : public SeseStmt {
public:
  using SeseStmt::SeseStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::COMMENT_STMT); }
  CG_DECLARE_CASTS(CommentStmt)
  char* text() const { return fText; }
  void setText(char* aText) { fText = aText; }

private:
  char* fText = nullptr;
};

class LiteralTextStmt : public SeseStmt {
public:
  using SeseStmt::SeseStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::LITERAL_TEXT_STMT); }
  CG_DECLARE_CASTS(LiteralTextStmt)
  char* text() const { return fText; }
  void setText(char* aText) { fText = aText; }

private:
  char* fText = nullptr;
};

// Input 0: the variable (VarExpr); input 1: its initial value (ConstExpr).
class InitStmt : public SeseStmt {
public:
  using SeseStmt::SeseStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::INIT_STMT); }
  CG_DECLARE_CASTS(InitStmt)
  VarExpr* lhs() const { return VarExpr::cast(input(0)); }
  ConstExpr* rhs() const { return ConstExpr::cast(input(1)); }
};

// Input 0: the variable expression; input 1: the classification constant expression.
class ParallelVarClassifierStmt : public SeseStmt {
public:
  using SeseStmt::SeseStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::PARALLEL_VAR_CLASSIFIER_STMT); }
  CG_DECLARE_CASTS(ParallelVarClassifierStmt)
  Expr* varExpr() const { return input(0); }
  Expr* classification() const { return input(1); }
};

class OverflowStmt : public SeseStmt {
public:
  using SeseStmt::SeseStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::OVERFLOW_STMT); }
  CG_DECLARE_CASTS(OverflowStmt)
};

class DivByZeroStmt : public SeseStmt {
public:
  using SeseStmt::SeseStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::DIV_BY_ZERO_STMT); }
  CG_DECLARE_CASTS(DivByZeroStmt)
};

class DeleteStmt : public SeseStmt {
public:
  using SeseStmt::SeseStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::DELETE_STMT); }
  CG_DECLARE_CASTS(DeleteStmt)
  Expr* pointer() const { return input(0); }
};

// Joins control: n in-ports, one out-port.
class MergeStmt : public VariablePortStmt {
public:
  using VariablePortStmt::VariablePortStmt;
  static bool isa(const CG_Obj* aObj) { return isKindIn(aObj, Kind::MERGE_STMT, Kind::PARALLEL_FOR_ENTRY_STMT); }
  CG_DECLARE_CASTS(MergeStmt)

  using Stmt::outPort;
  using Stmt::succ;
  using Stmt::succInPort;
  OutPort outPort() const { return outPort(0); }
  Stmt* succ() const { return succ(0); }
  InPort succInPort() const { return succInPort(0); }
};

// Loop head: in-port 0 the entry, in-port 1 the back edge; inputs index, start, step, end.
class AbstractForEntryStmt : public MergeStmt {
public:
  static constexpr int kEntryPort = 0;
  static constexpr int kBackEdgePort = 1;

  using MergeStmt::MergeStmt;
  static bool isa(const CG_Obj* aObj) { return isKindIn(aObj, Kind::FOR_ENTRY_STMT, Kind::PARALLEL_FOR_ENTRY_STMT); }
  CG_DECLARE_CASTS(AbstractForEntryStmt)
  Expr* indexExpr() const { return input(0); }
  Expr* indexStart() const { return input(1); }
  Expr* indexStep() const { return input(2); }
  Expr* indexEnd() const { return input(3); }
};

class ForEntryStmt : public AbstractForEntryStmt {
public:
  using AbstractForEntryStmt::AbstractForEntryStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::FOR_ENTRY_STMT); }
  CG_DECLARE_CASTS(ForEntryStmt)
};

class ParallelForEntryStmt : public AbstractForEntryStmt {
public:
  using AbstractForEntryStmt::AbstractForEntryStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::PARALLEL_FOR_ENTRY_STMT); }
  CG_DECLARE_CASTS(ParallelForEntryStmt)
  bool isOrderedLoop() const { return fOrderedLoop; }
  void setOrderedLoop(bool aOn) { fOrderedLoop = aOn; }
  int isParforMode() const { return fParforMode; }
  void setParforMode(int aMode) { fParforMode = aMode; }
  bool isBypassDependence() const { return fBypassDependence; }
  void setBypassDependence(bool aOn) { fBypassDependence = aOn; }
  bool processedDependence() const { return fProcessedDependence; }
  void setProcessedDependence(bool aOn) { fProcessedDependence = aOn; }

private:
  int fParforMode = 0;
  bool fOrderedLoop = false;
  bool fBypassDependence = false;
  bool fProcessedDependence = false;
};

// Branches control: one in-port, n out-ports.
class SplitStmt : public VariablePortStmt {
public:
  using VariablePortStmt::VariablePortStmt;
  static bool isa(const CG_Obj* aObj) { return isKindIn(aObj, Kind::IF_STMT, Kind::FOR_EXIT_STMT); }
  CG_DECLARE_CASTS(SplitStmt)

  using Stmt::inPort;
  using Stmt::pred;
  using Stmt::predOutPort;
  InPort inPort() const { return inPort(0); }
  Stmt* pred() const { return pred(0); }
  OutPort predOutPort() const { return predOutPort(0); }
};

// Input 0: the condition; out-port 0 taken when true, 1 when false.
class IfStmt : public SplitStmt {
public:
  static constexpr int kTruePort = 0;
  static constexpr int kFalsePort = 1;

  using SplitStmt::SplitStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::IF_STMT); }
  CG_DECLARE_CASTS(IfStmt)
  Expr* condition() const { return input(0); }
  OutPort trueOutPort() const { return outPort(kTruePort); }
  OutPort falseOutPort() const { return outPort(kFalsePort); }
};

// Input 0: the value; inputs 1..n the case values. Out-ports: one per case, then the default.
class SwitchStmt : public SplitStmt {
public:
  using SplitStmt::SplitStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::SWITCH_STMT); }
  CG_DECLARE_CASTS(SwitchStmt)
  Expr* value() const { return input(0); }
  int numCases() const { return numInputs() - 1; }
  Expr* caseValue(int aCase) const { return input(1 + aCase); }
  OutPort caseOutPort(int aCase) const { return outPort(aCase); }
  OutPort defaultOutPort() const { return outPort(numCases()); }
};

// Loop test: out-port 0 enters the body, out-port 1 leaves the loop.
class AbstractForExitStmt : public SplitStmt {
public:
  static constexpr int kBodyPort = 0;
  static constexpr int kExitPort = 1;

  using SplitStmt::SplitStmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::FOR_EXIT_STMT); }
  CG_DECLARE_CASTS(AbstractForExitStmt)
  AbstractForEntryStmt* entry() const { return fEntry; }
  void setEntry(AbstractForEntryStmt* aEntry) { fEntry = aEntry; }
  bool isParallel() const { return opcode() == OP::PARFOR_EXIT; }
  OutPort bodyOutPort() const { return outPort(kBodyPort); }
  OutPort exitOutPort() const { return outPort(kExitPort); }

private:
  AbstractForEntryStmt* fEntry = nullptr;
};

// Begins a body: one out-port.
class StartStmt : public Stmt {
public:
  using Stmt::Stmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::START_STMT); }
  CG_DECLARE_CASTS(StartStmt)
  OutPort outPort() const { return Stmt::outPort(0); }
  Stmt* succ() const { return Stmt::succ(0); }
};

// Ends a body: one in-port.
class EndStmt : public Stmt {
public:
  using Stmt::Stmt;
  static bool isa(const CG_Obj* aObj) { return isKind(aObj, Kind::END_STMT); }
  CG_DECLARE_CASTS(EndStmt)
  InPort inPort() const { return Stmt::inPort(0); }
  Stmt* pred() const { return Stmt::pred(0); }
};

// Calls aVisit on every expression under aRoot's operands, children before parents, operands in
// index order. Iterative: expression depth is not limited by the call stack.
void forEachExprPostOrder(Node* aRoot, const std::function<void(Expr*)>& aVisit);

// The same walk for any callable, called directly. Frames live in a small array while the tree is shallow,
// which is the usual case, and spill to the heap beyond it.
template <class Visit> void forEachExprPostOrder(Node* aRoot, Visit&& aVisit) {
  if (aRoot == nullptr) {
    return;
  }
  struct Frame {
    Node* node;
    int nextInput;
  };
  constexpr size_t kInlineFrames = 32;
  Frame inlineFrames[kInlineFrames];
  std::vector<Frame> spilled;
  Frame* frames = inlineFrames;
  size_t capacity = kInlineFrames;
  size_t depth = 0;
  frames[depth++] = Frame{aRoot, 0};
  while (depth > 0) {
    Frame& top = frames[depth - 1];
    if (top.nextInput == 0) {
      top.node->prefetchInputs();
    }
    if (top.nextInput < top.node->numInputs()) {
      Expr* operand = top.node->input(top.nextInput++);
      if (operand == nullptr) {
        continue;
      }
      if (depth == capacity) {
        if (frames == inlineFrames) {
          spilled.assign(inlineFrames, inlineFrames + depth);
        }
        spilled.resize(capacity * 2);
        frames = spilled.data();
        capacity = spilled.size();
      }
      frames[depth++] = Frame{operand, 0};
      continue;
    }
    Node* finished = top.node;
    --depth;
    if (finished->isExpr()) {
      aVisit(static_cast<Expr*>(finished));
    }
  }
}

} // namespace CG

unsigned cg_node_rounding_mode(const CG::Node* aNode);
void cg_node_set_rounding_mode(CG::Node* aNode, unsigned aMode);
unsigned cg_node_overflow_mode(const CG::Node* aNode);
void cg_node_set_overflow_mode(CG::Node* aNode, unsigned aMode);
void cg_node_mark_for_deletion(CG::Node* aNode);
int cg_node_check_enum(const CG::Node* aNode);
const char* cg_node_check_name(const CG::Node* aNode);
