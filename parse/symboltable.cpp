// Symbol table: what each name in Quill text denotes, as a stack of name maps keyed by interned names.
#include "parse/symboltable.h"

#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/scope.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "ir/typefactory.h"
#include "lang/optable.h"
#include "parse/messages.h"
#include "parse/parserctx.h"

namespace CG {

QulSymbolTable::QulSymbolTable(CG_Ctx* aCtx, MemPool* aPool, OpTable* aOps) : fCtx(aCtx), fPool(aPool), fOps(aOps)
{
    if (fOps == nullptr) {
        fOwnedOps = std::make_unique<OpTable>();
        fOps = fOwnedOps.get();
    }
    fLevels.emplace_back();
    prefill();
}

QulSymbolTable::~QulSymbolTable() = default;

template <class T, class... A>
QulSymbol* QulSymbolTable::make(A&&... aArgs)
{
    return fPool->make<T>(std::forward<A>(aArgs)...);
}

bool QulSymbolTable::contains(const char* aName) const
{
    return lookup(aName) != nullptr;
}

QulSymbol* QulSymbolTable::lookup(const char* aName) const
{
    for (const auto& level : fLevels) {
        if (QulSymbol* symbol = level.get(aName)) {
            return symbol;
        }
    }
    return nullptr;
}

void QulSymbolTable::insert(int aLevel, const char* aName, QulSymbol* aSymbol)
{
    if (contains(aName)) {
        client_assertion_failed("parse/symboltable", __LINE__, "Trying to insert existing name in symbol table");
    }
    put(aLevel, aName, aSymbol);
}

void QulSymbolTable::put(int aLevel, const char* aName, QulSymbol* aSymbol)
{
    while (aLevel >= numLevels()) {
        push();
    }
    fLevels[static_cast<size_t>(aLevel)].put(aName, aSymbol);
}

void QulSymbolTable::enterIfAbsent(const char* aName, QulSymbol* aSymbol)
{
    const char* name = fCtx->cgString(aName);
    if (name == nullptr || contains(name)) {
        return;
    }
    put(0, name, aSymbol);
}

void QulSymbolTable::prefill()
{
    prefillTypes();
    prefillOps();
    prefillIntrinsics();
    prefillGlobalScope();
}

void QulSymbolTable::prefillTypes()
{
    TypeFactory types(fCtx);
    const std::pair<const char*, Type*> builtins[] = {
        {"int8", types.signedInt8Type()},     {"int16", types.signedInt16Type()},
        {"int32", types.signedInt32Type()},   {"int64", types.signedInt64Type()},
        {"uint8", types.unsignedInt8Type()},  {"uint16", types.unsignedInt16Type()},
        {"uint32", types.unsignedInt32Type()}, {"uint64", types.unsignedInt64Type()},
        {"bool", types.boolType()},           {"char", types.charType()},
        {"int", types.intType()},             {"uint", types.uintType()},
        {"double", types.doubleType()},       {"single", types.singleType()},
        {"string", types.stringType()},       {"untyped", types.untypedType()},
        {"unknown", types.unknownType()},     {"void", types.voidType()},
        {"vxArray", types.vxArrayType()},     {"kal_int", types.kalIntType()},
    };
    for (const auto& builtin : builtins) {
        enterIfAbsent(builtin.first, make<QulSymbolType>(builtin.second));
    }
}

void QulSymbolTable::prefillOps()
{
    class Enter : public Functor {
    public:
        explicit Enter(QulSymbolTable* aTable) : fTable(aTable) {}
        void operator()(int aOp, const char* aName) const override
        {
            const char* name = (aName[0] == '|' && aName[1] == ':') ? aName + 2 : aName;
            fTable->enterIfAbsent(name, fTable->make<QulSymbolOp>(aOp));
        }

    private:
        QulSymbolTable* fTable;
    };
    fOps->initOps(Enter(this));
}

void QulSymbolTable::prefillIntrinsics()
{
    for (IntrinsicFcn* fcn : fCtx->intrinsicFcns()) {
        enterIfAbsent(fcn->intrinsic()->name(), make<QulSymbolIntrinsic>(fcn->intrinsic()->code()));
    }
    for (LibraryFcn* fcn : fCtx->libraryFcns()) {
        enterIfAbsent(fcn->intrinsic()->name(), make<QulSymbolAlgorithmIntrinsic>(fcn->intrinsic()->code()));
    }
}

void QulSymbolTable::prefillGlobalScope()
{
    for (Symbol* symbol = fCtx->globalScope()->firstSymbol(); symbol != nullptr; symbol = symbol->next()) {
        if (symbol->name() == nullptr || symbol->name()[0] == '\0') {
            continue;
        }
        // A new parser sees the module's variables, functions, constants and types, but not its symbolic
        // sizes: a text names those it uses with its own symbolicid definitions.
        if ((Fcn::isa(symbol) && Fcn::cast(symbol)->isCoreFcn()) || SymbolicSize::isa(symbol)) {
            continue;
        }
        QulSymbol* entry = symbolFor(symbol);
        if (entry != nullptr) {
            enterIfAbsent(symbol->name(), entry);
        }
    }
}

void QulSymbolTable::withdrawVarsOf(Scope* aScope)
{
    for (auto& level : fLevels) {
        std::vector<const char*> withdrawn;
        for (auto it = level.iterator(); it.hasCurrent(); it.advance()) {
            Var* var = it.value()->varView();
            if (var != nullptr && var->scope() == aScope) {
                withdrawn.push_back(it.key());
            }
        }
        for (const char* name : withdrawn) {
            level.remove(name);
        }
    }
}

QulSymbol* QulSymbolTable::symbolFor(CG_Obj* aObject)
{
    if (Var::isa(aObject)) {
        return make<QulSymbolVar>(Var::cast(aObject));
    }
    if (Fcn::isa(aObject)) {
        return make<QulSymbolFcn>(Fcn::cast(aObject));
    }
    if (Const::isa(aObject)) {
        return make<QulSymbolConst>(Const::cast(aObject));
    }
    if (Type::isa(aObject)) {
        return make<QulSymbolType>(Type::cast(aObject));
    }
    if (SymbolicSize::isa(aObject)) {
        return make<QulSymbolSymbolicSize>(SymbolicSize::cast(aObject));
    }
    return nullptr;
}

void QulSymbolTable::insertInSymbolTable(QulParserCtx* aCtx, int aLevel, const char* aName, CG_Obj* aObject)
{
    const char* name = fCtx->cgString(aName);
    if (contains(name)) {
        QulMessages::warning(aCtx, "insert_in_symbol_table::RedefinitionOfSymbol",
                             "%s: Symbol name %s is already in use and cannot be defined again", name);
        return;
    }
    // The name was just looked for: the insert need not look again.
    QulSymbol* symbol = symbolFor(aObject);
    if (symbol != nullptr) {
        put(aLevel, name, symbol);
    }
}

void QulSymbolTable::registerSymbolInScope(QulParserCtx* aCtx, int aLevel, const char* aName, CG_Obj* aObject)
{
    const char* name = aName;
    if (name == nullptr && Symbol::isa(aObject)) {
        name = Symbol::cast(aObject)->name();
    }
    if (name == nullptr || name[0] == '\0') {
        QulMessages::internalError(aCtx, "register_symbol_in_scope::SymWithoutName",
                                   "%s: Trying to register a symbol in the symbol table without a name");
    }
    insertInSymbolTable(aCtx, aLevel, name, aObject);
}

} // namespace CG
