// QulEmitter: turns one IR object into Quill text. One protected virtual operation per construct, so a
// subclass can change how a single construct prints and call the default for the rest.
#pragma once

#include "emit/aliasmanager.h"
#include "emit/graphuses.h"
#include "emit/lending.h"
#include "emit/options.h"
#include "emit/segment.h"
#include "emit/stackroom.h"
#include "ir/containers.h"
#include "ir/mempool.h"
#include "ir/node.h"
#include "ir/stringbuffer.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CG_Ctx;
class CG_Obj;

namespace CG {

enum Visibility : int;

class AbstractForEntryStmt;
class AbstractForExitStmt;
class BasicBlockRegion;
class CallExpr;
class Cfg;
class ChainRegion;
class CheckExpr;
class ClassType;
class ComplexType;
class Const;
class ConstExpr;
class DerefExpr;
class DoWhileRegion;
class DynamicMatrixType;
class EnumType;
class AggregateType;
class Expr;
class Fcn;
class FcnType;
class FixptType;
class IfStmt;
class IntegerType;
class IntrinsicFcn;
class LibraryFcn;
class MergeStmt;
class MethodConst;
class MultiOutputCallExpr;
class OpTable;
class PointerType;
class Pst;
class ReferenceType;
class Region;
class Scope;
class ShouldEmitPredicate;
class StaticMatrixType;
class Stmt;
class StructType;
class SwitchStmt;
class Symbol;
class SymbolicSize;
class Type;
class TypeChecker;
class UnionType;
class UnstructuredRegion;
class Var;
class VarExpr;
class WhileRegion;
class QulListenerSet;
class WorkAhead;

// Thrown by the emitter's own consistency checks; caught by the static entry points and by emitFcnDef.
class QulEmitterAborted : public std::exception {
public:
  QulEmitterAborted(const char* aMessage, const char* aFile, int aLine)
      : fMessage(aMessage), fFile(aFile), fLine(aLine) {}
  const std::string& message() const { return fMessage; }
  const std::string& file() const { return fFile; }
  int line() const { return fLine; }

private:
  std::string fMessage;
  std::string fFile;
  int fLine;
};

std::string emitQuill(CG_Obj* aObj);
std::string emitQuillEx(CG_Obj* aObj, const QulEmitterOptions& aOptions);
std::string emitQuillWithContext(CG_Obj* aObj);
void printQuill(CG_Obj* aObj, const char* aFileName);
void printQuillWithContext(CG_Obj* aObj, const char* aFileName);

class QulEmitter {
  friend class QulBaseTypeEmitterListener;
  friend class QulEmitterLiteralVisitor;
  friend class SetQuillNameFunctor;

public:
  static std::string emitObject(CG_Obj* aObj, const QulEmitterOptions& aOptions);
  static std::string emitRegion(Region* aRegion, const QulEmitterOptions& aOptions);

protected:
  QulEmitter(CG_Ctx* aCtx, const QulEmitterOptions& aOptions);

  // Control flow entry (the virtual twin of the static entry point above).
  virtual void emitRegion(Region* aRegion);
  virtual ~QulEmitter();

  // Accessors and output primitives.
  virtual CG_Ctx* ctx();
  virtual MemPool* pool();
  virtual StringBuffer& stringBuffer();
  virtual AliasManager* aliasManager();
  virtual TypeChecker* typeChecker();
  virtual int indentLevel();
  virtual void indentIncrement();
  virtual void indentDecrement();
  virtual char* getQulName(CG::OP aOp);
  virtual char* getQulName(Symbol* aSymbol);
  virtual void reserveQulName(LibraryFcn* aFcn);
  virtual void reserveQulName(IntrinsicFcn* aFcn);
  virtual void reserveQulName(int aBasicKind, const char* aName);
  virtual void reserveQulNameForOp(CG::OP aOp, const char* aName);
  virtual bool isImmediateConst(Const* aConst);
  virtual void emitString(const char* aText);
  virtual void emitString(char* aText);
  virtual void emitIndent();
  virtual void emitNewline();

  // Symbolic sizes and types.
  virtual IdLinkedList<SymbolicSize*>* collectSymbolicSizes(Scope* aScope);
  virtual void emitSymbolicSizeDef(SymbolicSize* aSize);
  virtual void emitSymbolicSizeDefs(IdLinkedList<SymbolicSize*>* aSizes);
  virtual IdLinkedList<Type*>* collectTypes(Scope* aScope);
  virtual void emitTypeDefs(IdLinkedList<Type*>* aTypeSet);
  virtual void emitTypeDef(Type* aType);
  // The text of a type (and of each kind below) is in the context's string storage. The one exception keeps
  // the memory of deeply nested types linear: the text of a part of a type being built, when longer than
  // kLongPartTypeText, lives only until the text of the type that holds it is built.
  virtual char* typeExpr(Type* aType);
  virtual char* matrixTypeExpr(StaticMatrixType* aMatrixType);
  virtual char* dynamicMatrixTypeExpr(DynamicMatrixType* aMatrixType);
  virtual char* boolTypeExpr(Type* aType);
  virtual char* integerTypeExpr(IntegerType* aIntegerType);
  virtual char* doubleTypeExpr(Type* aType);
  virtual char* singleTypeExpr(Type* aType);
  virtual char* fixptTypeExpr(FixptType* aFixptType);
  virtual char* complexTypeExpr(ComplexType* aComplexType);
  virtual char* pointerTypeExpr(PointerType* aPointerType);
  virtual char* referenceTypeExpr(ReferenceType* aReferenceType);
  virtual char* voidTypeExpr(Type* aType);
  virtual char* fcnTypeExpr(FcnType* aType);
  virtual char* structTypeExpr(StructType* aStructType);
  virtual char* unionTypeExpr(UnionType* aUnionType);
  virtual char* classTypeExpr(ClassType* aClassType);
  virtual char* enumTypeExpr(EnumType* aEnumType);

  // Constants and variables.
  virtual IdLinkedList<Const*>* collectConsts(Scope* aModuleScope);
  virtual void emitConstDefs(IdLinkedList<Const*>* aConstList);
  virtual void emitConstDef(Const* aConst);
  virtual void emitImmediateConstDef(Const* aConst);
  virtual void emitImmediateConstExprArgs(ConstExpr* aConstExpr);
  virtual void emitConstLiteral(Const* aConst);
  virtual IdLinkedList<Var*>* collectScopeVars(Scope* aScope);
  virtual void emitModuleVarDefs(IdLinkedList<Var*>* aVars);
  virtual void emitLocalVarDefs(IdLinkedList<Var*>* aVars);
  virtual void emitVarDefs(IdLinkedList<Var*>* aVars);
  virtual void emitVarDef(Var* aVar);
  virtual void addTypeIfNecessary(IdSet<Type*>* aSet, IdLinkedList<Type*>* aList, Scope* aScope, Type* aType);
  void addClassAfterItsBases(IdSet<Type*>* aSet, IdLinkedList<Type*>* aList, ClassType* aClass);
  virtual void collectTypesFromScopeVars(Scope* aScope, IdSet<Type*>* aSet, IdLinkedList<Type*>* aList);

  // Functions.
  virtual IdLinkedList<Fcn*>* collectFcns(Scope* aScope);
  virtual void emitFcnDefs(IdLinkedList<Fcn*>* aFcns);
  virtual void emitFcnDef(Fcn* aFcn);
  virtual void emitFcnHeader(Fcn* aFcn);
  virtual void emitFcnBody(Fcn* aFcn);

  // Control flow.
  virtual void emitCfg(Cfg* aCfg);
  virtual void emitFcnLocalVars(Fcn* aFcn);
  virtual void emitPst(Pst* aPst);
  virtual void emitIfStmt(IfStmt* aIf, IdSet<Stmt*>* aVisited);
  virtual void emitBasicBlockRegion(BasicBlockRegion* aRegion);
  virtual void emitChainRegion(ChainRegion* aRegion);
  virtual void emitWhileRegion(WhileRegion* aRegion);
  virtual void emitDoWhileRegion(DoWhileRegion* aRegion);
  virtual void emitSwitchStmt(SwitchStmt* aSwitch, IdSet<Stmt*>* aVisited);
  virtual void emitAbstractForLoopStmt(AbstractForEntryStmt* aEntry, IdSet<Stmt*>* aVisited);
  virtual void emitAbstractForExitStmt(AbstractForExitStmt* aExit, IdSet<Stmt*>* aVisited);
  virtual void emitParForParams(AbstractForEntryStmt* aEntry);
  virtual void emitParallelVarClassifier(Stmt* aStmt);
  virtual void emitStmt(Stmt* aStmt);
  virtual void emitCommentStmt(Stmt* aStmt);
  virtual void emitInitStmt(Stmt* aStmt);
  virtual void emitExprStmt(Stmt* aStmt);

  // Expressions.
  virtual void emitExpr(Expr* aExpr);
  virtual void emitCallExpr(CallExpr* aCall);
  virtual void emitMultiOutputCallExpr(MultiOutputCallExpr* aCall);
  virtual void emitDerefExpr(DerefExpr* aDeref);
  virtual void emitVarExpr(VarExpr* aVarExpr);
  virtual void emitConstExpr(ConstExpr* aConstExpr);
  virtual void emitMatrixCatExpr(Expr* aExpr);
  virtual void emitCheckExpr(CheckExpr* aCheck);
  virtual void emitSizeofExpr(Expr* aExpr);
  virtual void emitNewExpr(Expr* aExpr);
  virtual void emitSymbolicSizeExpr(Expr* aExpr);
  virtual void emitExprInputsAsOpenList(Expr* aExpr, int aFrom, int aTo);
  virtual void emitExprInputsAsList(Expr* aExpr, int aFrom, int aTo);
  virtual void emitOutputType(Expr* aExpr);
  virtual bool typeIsInferred(Expr* aExpr);
  virtual bool shouldNotInferTypes();

  // Scopes, regions and labels.
  virtual void initNameMappings();
  virtual void emitRecursive(Scope* aScope);
  virtual void emitScope(Scope* aScope);
  virtual void emitSubRegion(OutPort aOutPort, IdSet<Stmt*>* aVisited);
  virtual void emitUnstructuredRegion(UnstructuredRegion* aRegion);
  virtual void emitUnstructuredControlStmt(InPort aPort, IdSet<Stmt*>* aVisited);
  virtual int reserveLabel(Stmt* aStmt);
  virtual char* generateLabelString(Stmt* aStmt);
  virtual void emitVisibilityKind(StringBuffer& aBuffer, Visibility aKind, bool aWithKey);
  virtual void emitGoto(Stmt* aStmt);
  virtual void emitLabel(Stmt* aStmt);
  virtual bool hasGoto(Stmt* aStmt);
  virtual void checkGotosAgainstLabels();
  virtual void preprocessUnstructuredRegion(UnstructuredRegion* aRegion);
  virtual Stmt* realDestination(Stmt* aStmt);

  void emitBar(bool& aWritten);
  void emitCustomStmt(Stmt* aStmt);
  void emitModuleScope(Scope* aScope);
  char* nameForDef(char* aName);
  bool shouldEmitLongFormConsts() const { return fShouldEmitLongFormConsts; }

  // Dispatches on the object's kind and returns the text (the entry behind emitObject, for subclasses too).
  // The output moves into the result: the emitter is done with it.
  std::string emitTopLevel(CG_Obj* aObj);

  // Helpers shared by the construct printers.
  [[noreturn]] void abortEmission(const char* aMessage, int aLine);
  ShouldEmitPredicate* filter();
  int outputOffset() const { return static_cast<int>(fPassedOnLength + fOutput.length()); }
  void beginSegment(BlockType aType) { fSegments->begin(aType, outputOffset()); }
  bool throwExceptionOnError() const { return fThrowExceptionOnError; }
  QulListenerSet* listeners() { return fListeners; }
  IdMap<SymbolicSize*, char*>* symbolicSizeNames() { return fSymbolicSizeNames; }
  char* intern(const std::string& aText);
  char* intern(const StringBuffer& aText);
  template <class T> IdLinkedList<T*>* newList() { return fPool.pool()->make<IdLinkedList<T*>>(); }

private:
  char* dispatch(CG_Obj* aObj);
  void appendTypeKindExpr(StringBuffer& aText, Type* aType);
  void appendListenerStrings(StringBuffer& aText, Type* aType);
  void emitAliasPrefix(Symbol* aSymbol);
  void emitListenerStrings(Var* aVar);
  void emitListenerStrings(Expr* aExpr);
  void emitListenerStrings(Const* aConst);
  template <class T> void emitListenerStringsFor(T* aObj);
  void emitMethodParams(MethodConst* aMethod);
  void emitLiteralTextStmt(Stmt* aStmt);
  void emitUnstructuredMerge(MergeStmt* aMerge, IdSet<Stmt*>* aVisited);
  void emitUnstructuredForLoop(AbstractForEntryStmt* aEntry, IdSet<Stmt*>* aVisited);
  void emitForLoopFromItsBackEdge(AbstractForEntryStmt* aEntry, IdSet<Stmt*>* aVisited);
  void emitJumpToPrinted(InPort aPort);
  void emitGotoNextRound(AbstractForEntryStmt* aEntry);
  void emitNextRoundLabel(AbstractForExitStmt* aExit);
  void emitCodeFrom(OutPort aOutPort, IdSet<Stmt*>* aVisited);
  void emitCheckConstant(CG_Obj* aConst);
  void emitCheckInputConstants(CheckExpr* aCheck, int aFrom, int aTo);
  void emitCheckAuxConstants(CheckExpr* aCheck, int aFrom, int aTo);
  void emitDynamicBounds(CheckExpr* aCheck);
  void collectTypesFromGraph(Fcn* aFcn, Scope* aScope, IdSet<Type*>* aSet, IdLinkedList<Type*>* aList);
  void collectConstsFromGraph(Fcn* aFcn, IdSet<Const*>* aSeen, IdLinkedList<Const*>* aList);
  bool isReservedScope(Scope* aScope);
  bool isSkippedFcnScope(Scope* aParent, Scope* aChild);
  char* aggregateFieldsExpr(const char* aKeyword, AggregateType* aAggregate);
  static constexpr size_t kLongPartTypeText = 512;
  char* typeText(const StringBuffer& aText);
  char* wrappedTypeText(const char* aOpening, const char* aInner);
  char* sizeText(SymbolicSize* aSize);
  bool isLoopInPrint(Stmt* aStmt) const;
  bool isLabelPrinted(Stmt* aStmt);

  ManagedCGPool fPool;
  QulListenerSet* fListeners;
  int fIndentLevel;
  CG_Ctx* fCtx;
  AliasManager* fAliasManager;
  TypeChecker* fTypeChecker;
  Pst* fPst;
  // The work being done ahead on the bodies being printed: their statement orders while the types are
  // collected, their structure trees while they print. Null when none is.
  WorkAhead* fOrdersAhead = nullptr;
  WorkAhead* fTreesAhead = nullptr;
  // The long texts of the types a type is made of (see kLongPartTypeText), kept only until the text of the type
  // that holds them is built: a type nested n deep prints in memory that grows with n, not with n squared.
  // fTypeExprDepth counts the type texts being built.
  std::vector<std::unique_ptr<char[]>> fPartTypeTexts;
  int fTypeExprDepth = 0;
  IdMap<Stmt*, int>* fUnstructuredStmtToLabelMap;
  IdSet<char*>* fGotoTargets;
  IdSet<char*>* fEmittedLabels;
  // The for loops whose back edge the walk has reached.
  IdSet<Stmt*>* fLoopRoundsReached;
  // The label and loop bookkeeping of one body, lent to the four fields above while the body prints.
  struct BodyMarks {
    IdMap<Stmt*, int> labelNumbers;
    IdSet<char*> gotoTargets;
    IdSet<char*> emittedLabels;
    IdSet<Stmt*> loopRoundsReached;
    void clear();
  };
  class LentBodyMarks;
  ScratchStack<BodyMarks> fBodyMarks;
  // Per unstructured region being printed, the statements printed in it.
  ScratchStack<IdSet<Stmt*>> fRegionVisits;
  Stmt* fRegionContinuation;
  Stmt* fStopStmt;
  // The heads of the loops whose bodies are being printed, innermost last.
  std::vector<AbstractForEntryStmt*> fLoopsInPrint;
  StringBuffer fOutput;
  bool fThrowExceptionOnError;
  bool fShouldNotInferTypes;
  bool fShouldEmitLongFormConsts;
  bool fPreparesBodiesAhead;
  // Walks done ahead, taken over as the emission starts.
  GraphUsesAhead* fUsesAhead;
  // With a text stream, the text printed so far goes to it a piece at a time; fOutput holds the rest.
  std::ostream* fTextStream;
  size_t fTextPieceSize;
  size_t fPassedOnLength = 0;
  SegmentStream* fSegments;
  ShouldEmitPredicate* fFilter;
  OpTable* fOpTable;
  IdMap<SymbolicSize*, char*>* fSymbolicSizeNames;

  // What the type collection's walk of a function's graph met. Every scope above the function offers the same
  // types, and its constant collection needs the constants, without walking the graph again. Kept for one
  // emission.
  const GraphUses& graphUses(Fcn* aFcn);
  const GraphUses* currentGraphUses(Fcn* aFcn) const;
  std::vector<Fcn*> graphsToWalk(const std::vector<Fcn*>& aFcns) const;
  std::unordered_map<Fcn*, GraphUses> fGraphUses;

  // Hands the text printed so far to the text stream.
  void passOnText();
  // The text the emission returns.
  std::string takeText();

  // The recursive steps (expressions, types, regions) stop with QulNestingTooDeep before the stack runs out.
  void ensureStackRoom() const {
    if (fStackRoom.isNearlyUsedUp())
      throw QulNestingTooDeep();
  }
  StackRoom fStackRoom = StackRoom::ofThisThread();
};

} // namespace CG
