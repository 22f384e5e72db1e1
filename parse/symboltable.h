// Symbol table: what each name in Quill text denotes, as a stack of name maps keyed by interned names.
#pragma once

#include <memory>
#include <vector>

#include "ir/containers.h"
#include "ir/obj.h"

class CG_Ctx;
class MemPool;

namespace CG {

class Const;
class Fcn;
class OpTable;
class QulParserCtx;
class Scope;
class SymbolicSize;
class Type;
class Var;

class QulSymbol {
public:
    // A symbol holds a pointer or a number only, so the pool frees it without running its destructor (a module
    // names a symbol for every variable). A subclass must keep to that.
    using PoolReclaimsStorage = void;

    virtual ~QulSymbol() = default;
    virtual Const* constView() { return nullptr; }
    virtual Fcn* fcnView() { return nullptr; }
    // An operator code, -1 when the symbol is no operator.
    virtual int opView() { return -1; }
    virtual int intrinsicView() { return -1; }
    virtual int algorithmIntrinsicView() { return -1; }
    virtual char* stringView() { return nullptr; }
    virtual Type* typeView() { return nullptr; }
    virtual Var* varView() { return nullptr; }
    virtual SymbolicSize* symbolicSizeView() { return nullptr; }
};

#define CG_QUL_SYMBOL(aClass, aPayload, aView)                          \
    class aClass : public QulSymbol {                                   \
    public:                                                             \
        explicit aClass(aPayload aValue) : fValue(aValue) {}            \
        aPayload aView() override { return fValue; }                    \
                                                                        \
    private:                                                            \
        aPayload fValue;                                                \
    };

CG_QUL_SYMBOL(QulSymbolConst, Const*, constView)
CG_QUL_SYMBOL(QulSymbolFcn, Fcn*, fcnView)
CG_QUL_SYMBOL(QulSymbolOp, int, opView)
CG_QUL_SYMBOL(QulSymbolIntrinsic, int, intrinsicView)
CG_QUL_SYMBOL(QulSymbolAlgorithmIntrinsic, int, algorithmIntrinsicView)
CG_QUL_SYMBOL(QulSymbolString, char*, stringView)
CG_QUL_SYMBOL(QulSymbolType, Type*, typeView)
CG_QUL_SYMBOL(QulSymbolVar, Var*, varView)
CG_QUL_SYMBOL(QulSymbolSymbolicSize, SymbolicSize*, symbolicSizeView)
#undef CG_QUL_SYMBOL

class QulSymbolTable {
public:
    QulSymbolTable(CG_Ctx* aCtx, MemPool* aPool, OpTable* aOps);
    ~QulSymbolTable();

    bool contains(const char* aName) const;
    QulSymbol* lookup(const char* aName) const;
    // Unchecked: a name already held anywhere is an internal assertion.
    void insert(int aLevel, const char* aName, QulSymbol* aSymbol);
    void push() { fLevels.emplace_back(); }
    int numLevels() const { return static_cast<int>(fLevels.size()); }

    // Checked entry: a name in use only gets the redefinition warning.
    void insertInSymbolTable(QulParserCtx* aCtx, int aLevel, const char* aName, CG_Obj* aObject);
    // As insertInSymbolTable; without a name, the object's own name is used.
    void registerSymbolInScope(QulParserCtx* aCtx, int aLevel, const char* aName, CG_Obj* aObject);

    // Removes every name that denotes a variable of aScope, which is about to be destroyed.
    void withdrawVarsOf(Scope* aScope);

    // The symbol for an IR object of any kind the table holds.
    QulSymbol* symbolFor(CG_Obj* aObject);

private:
    void prefill();
    void prefillTypes();
    void prefillOps();
    void prefillIntrinsics();
    void prefillGlobalScope();
    void enterIfAbsent(const char* aName, QulSymbol* aSymbol);
    // Unchecked, for a name already looked for.
    void put(int aLevel, const char* aName, QulSymbol* aSymbol);
    template <class T, class... A>
    QulSymbol* make(A&&... aArgs);

    CG_Ctx* fCtx;
    MemPool* fPool;
    OpTable* fOps;
    std::unique_ptr<OpTable> fOwnedOps;
    // Names are interned: each level maps the name's address, in an open-addressed table.
    std::vector<IdMap<const char*, QulSymbol*>> fLevels;
};

} // namespace CG
