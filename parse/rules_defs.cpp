// Program, scope and definition phrases: variables, constants, type names, functions and their parameters.
#include <cstring>
#include <string>
#include <vector>

#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/scope.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "ir/typechecker.h"
#include "ir/typefactory.h"
#include "listener/parserlistener.h"
#include "parse/gotostmt.h"
#include "parse/mergeelim.h"
#include "parse/messages.h"
#include "parse/nodefactory.h"
#include "parse/rules.h"
#include "parse/symboltable.h"
#include "tag/tagsourcelocationquill.h"

namespace CG {
namespace QulRules {
namespace {

constexpr int kDefinitionLevel = 0;
constexpr int kFcnLevel = 1;

char* symbolName(char* aSymbolName, char* aIrName)
{
    return aSymbolName != nullptr ? aSymbolName : aIrName;
}

void enter(QulParserCtx* aCtx, int aLevel, char* aName, CG_Obj* aObject)
{
    if (aName == nullptr) {
        return;
    }
    aCtx->symbolTable()->registerSymbolInScope(aCtx, aLevel, aName, aObject);
}

// The literal classes a variable of the type may be initialised with.
bool admitsLiteral(Type* aType, QulLiteral::CLASS aClass)
{
    Type* type = aType->unqualified();
    if (BoolType::isa(type)) {
        return aClass == QulLiteral::QULBOOL;
    }
    if (IntegerType::isa(type)) {
        return aClass == QulLiteral::QULINTEGER;
    }
    if (DoubleType::isa(type) || SingleType::isa(type)) {
        return aClass == QulLiteral::QULDOUBLE;
    }
    if (CharType::isa(type)) {
        return aClass == QulLiteral::QULCHAR || aClass == QulLiteral::QULSTRING;
    }
    if (EnumType::isa(type)) {
        return aClass == QulLiteral::QULENUM;
    }
    if (StringType::isa(type)) {
        return aClass == QulLiteral::QULSTRING;
    }
    if (StaticMatrixType::isa(type) || ComplexType::isa(type) || StructType::isa(type)) {
        return aClass == QulLiteral::QULCOMPOSITE;
    }
    if (PointerType::isa(type)) {
        return aClass == QulLiteral::QULPOINTER || aClass == QulLiteral::QULINTEGER;
    }
    return false;
}

bool typeHasInitializers(Type* aType)
{
    Type* type = aType->unqualified();
    return BoolType::isa(type) || IntegerType::isa(type) || DoubleType::isa(type) || SingleType::isa(type) ||
           CharType::isa(type) || EnumType::isa(type) || StringType::isa(type) || StaticMatrixType::isa(type) ||
           ComplexType::isa(type) || StructType::isa(type) || PointerType::isa(type);
}

const char* typeText(Type* aType)
{
    return aType->name() != nullptr ? aType->name() : "";
}

Const* initialValue(QulParserCtx* aCtx, Type* aType, QulLiteral* aInit)
{
    if (!typeHasInitializers(aType)) {
        QulMessages::unplacedUserError(aCtx, "qulY::Rule::symbol_var::UnsupportedInitializer",
                                       "Constants of type |%s| are not supported in variable initializers.",
                                       typeText(aType));
    }
    if (!admitsLiteral(aType, aInit->whichClass())) {
        QulMessages::userError(aCtx, "qulY::Rule::symbol_var::WrongInitializerClass",
                               "%s: the initial value does not fit the variable's type");
    }
    return ConstFactory(aCtx->irCtx()).create(aType, literalValue(aCtx, aInit, aType), nullptr, nullptr);
}

QulConstructorParam* param(QulParserCtx* aCtx, QulConstructorParam::Kind aKind, char* aText, Var* aVar,
                           QulConstructorParamList* aList)
{
    return aCtx->pool()->make<QulConstructorParam>(QulConstructorParam{aKind, aText, aVar, aList});
}

// ---- Callables

struct Io {
    const char* notList;
    const char* notListText;
    const char* notVar;
    const char* symbolNotVar;
    const char* notVarText;
};

const Io kInputs = {"qulY::Rule::symbol_callable::InputListNotAList",
                    "%s: In definition of a function the input var list is not a list. Please add ( ) around the var(s)",
                    "qulY::Rule::symbol_callable::FcnDefInputNotVar",
                    "qulY::Rule::symbol_callable::FcnDefInputSymbolNotVar",
                    "%s: an input parameter to the function is not a var"};
const Io kOutputs = {"qulY::Rule::symbol_callable::OutputListNotAList",
                     "%s: In definition of a function the output var list is not a list. Please add ( ) around the var(s)",
                     "qulY::Rule::symbol_callable::FcnDefOutputNotVar",
                     "qulY::Rule::symbol_callable::FcnDefOutputSymbolNotVar",
                     "%s: an output parameter to the function is not a var"};

std::vector<Var*> ioVars(QulParserCtx* aCtx, QulConstructorParam* aList, const Io& aIo)
{
    if (aList->kind != QulConstructorParam::Kind::LIST) {
        QulMessages::userError(aCtx, aIo.notList, aIo.notListText);
    }
    std::vector<Var*> vars;
    for (QulConstructorParam* entry : *aList->list) {
        if (entry->kind == QulConstructorParam::Kind::VAR) {
            vars.push_back(entry->var);
            continue;
        }
        if (entry->kind != QulConstructorParam::Kind::NAME) {
            QulMessages::userError(aCtx, aIo.notVar, aIo.notVarText);
        }
        QulSymbol* symbol = aCtx->symbolTable()->lookup(entry->text);
        if (symbol == nullptr || symbol->varView() == nullptr) {
            QulMessages::userError(aCtx, aIo.symbolNotVar, aIo.notVarText);
        }
        vars.push_back(symbol->varView());
    }
    return vars;
}

char* irNameOf(QulParserCtx* aCtx, QulConstructorParamList* aParams, size_t aIndex)
{
    if (aParams->size() <= aIndex) {
        return nullptr;
    }
    QulConstructorParam* entry = (*aParams)[aIndex];
    if (entry->kind != QulConstructorParam::Kind::NAME && entry->kind != QulConstructorParam::Kind::STRING) {
        QulMessages::userError(aCtx, "qulY::Rule::symbol_callable::NameNotText",
                               "%s: the name of a function must be an identifier or a string");
    }
    return entry->text;
}

ClassType* methodClass(QulParserCtx* aCtx, QulConstructorParam* aEntry)
{
    QulSymbol* symbol = aEntry->kind == QulConstructorParam::Kind::NAME ? aCtx->symbolTable()->lookup(aEntry->text)
                                                                        : nullptr;
    if (symbol == nullptr) {
        QulMessages::userError(aCtx, "qulY::Rule::symbol_method:NoSuchSymbol", "%s: %s",
                               "method definition: missing class name");
    }
    Type* type = symbol->typeView();
    if (type == nullptr || !ClassType::isa(type->unqualified())) {
        QulMessages::userError(aCtx, "qulY::Rule::symbol_method:SymbolIsNotAClass", "%s: %s",
                               "method definition: class name is not a class");
    }
    return ClassType::cast(type->unqualified());
}

void checkForwardCall(QulParserCtx* aCtx, char* aName, Fcn* aFcn, Expr* aCall)
{
    if (CallExpr::isa(aCall)) {
        CallExpr* call = CallExpr::cast(aCall);
        bool inputsFit = aFcn->takesVariableInputs() ? call->numArgs() >= aFcn->numInputs()
                                                     : call->numArgs() == aFcn->numInputs();
        if (!inputsFit) {
            QulMessages::userError(aCtx, "patch_forward_references::WrongNumberOfInputArgs",
                                   "%s: There is a call to function %s that provides a different number of input "
                                   "arguments than the definition",
                                   aName);
        }
        if (aFcn->numOutputs() > 1) {
            QulMessages::userError(aCtx, "patch_forward_references::WrongNumberOfOutputArgs",
                                   "%s: There is a call to function %s that expects more than one output", aName);
        }
        return;
    }
    MultiOutputCallExpr* call = MultiOutputCallExpr::cast(aCall);
    if (call->numCallInputs() + call->numCallOutputs() != aFcn->numInputs() + aFcn->numOutputs()) {
        QulMessages::userError(aCtx, "patch_forward_references::WrongNumberOfIOArgs",
                               "%s: There is a call to function %s where the total number of input/output arguments "
                               "that do not agree with the definition",
                               aName);
    }
}

void patchForwardReferences(QulParserCtx* aCtx, char* aName, Fcn* aFcn)
{
    for (Expr* call : aCtx->takeForwardReferences(aName)) {
        checkForwardCall(aCtx, aName, aFcn, call);
        // A call still typed as its placeholder made it was written without an explicit type: it takes
        // the type its function gives it. An explicit type stays.
        bool inferred = call->type() == aCtx->typeChecker()->expectedType(call);
        NodeFactory nodes(call->cfg(), aCtx->typeChecker());
        call->setInput(0, nodes.constExpr(aFcn));
        Type* type = aCtx->typeChecker()->expectedType(call);
        if (inferred && type != nullptr) {
            call->setType(type);
        }
    }
}

// ---- End of program

std::string nodeText(Expr* aCall)
{
    TagSourceLocationQuill* location = TagSourceLocationQuill::of(aCall);
    if (location != nullptr) {
        return "location: " + location->toString();
    }
    return std::string("node: ") + aCall->opName();
}

void checkForwardReferences(QulParserCtx* aCtx)
{
    const auto& refs = aCtx->allForwardReferences();
    if (refs.empty()) {
        return;
    }
    std::string all = "Found unresolved forward references: \n";
    bool first = true;
    for (const auto& entry : refs.entries()) {
        if (entry.second.empty()) {
            continue;
        }
        std::string entries;
        for (Expr* call : entry.second) {
            std::string text = std::string("symbol: '") + entry.first + "', " + nodeText(call);
            entries += (entries.empty() ? "" : "\n") + text;
        }
        all += (first ? "" : "\n") + entries;
        first = false;
        TheLogger::instance().logSevere("ensureEmpty::NoFcnDef",
                                        "%s: Unable to find a definition for function call '%s' in the QUILL program",
                                        entries.c_str(), entry.first);
    }
    TheLogger::instance().throwUserException("ensureEmpty::ProgramErrors", "%s", all.c_str());
}

std::string locationOf(Node* aNode)
{
    TagSourceLocationQuill* location = TagSourceLocationQuill::of(aNode);
    return location != nullptr ? location->toString() : std::string();
}

bool feedsForEntry(Expr* aExpr)
{
    Node* parent = aExpr->parent();
    return parent != nullptr && AbstractForEntryStmt::isa(parent);
}

void inferNodeType(QulParserCtx* aCtx, Expr* aExpr)
{
    if (aExpr->type() == nullptr || !UntypedType::isa(aExpr->type())) {
        return;
    }
    Type* type = aCtx->typeChecker()->expectedType(aExpr);
    if (type == nullptr) {
        return;
    }
    if (!UntypedType::isa(type)) {
        aExpr->setType(type);
        return;
    }
    if (aExpr->isVectorExpr() && feedsForEntry(aExpr)) {
        return;
    }
    TheLogger::instance().logWarning("post_order_traverse_node::TypeCheckUntyped",
                                     "%s: Type checker returned untyped for expression '%s'",
                                     locationOf(aExpr).c_str(), aExpr->opName());
    aExpr->setType(type);
}

// The operand tree is broken, but the rest of it can still be typed: the report is severe, not fatal.
void reportMissingChild(Node* aNode, int aIndex)
{
    const char* content = aNode->opName() != nullptr ? aNode->opName() : "unknownContent";
    TheLogger::instance().logSevere("post_order_traverse_node::IllFormedIR",
                                    "%s: The child '%i' of the node with content '%s' does not exist, but it should exist!",
                                    locationOf(aNode).c_str(), aIndex, content);
}

struct InferFrame {
    Node* node;
    int next;
};

// Post-order over a node's operand tree, children from last to first, without recursion. The
// stack is the caller's, reused from tree to tree.
void inferTreeTypes(QulParserCtx* aCtx, Node* aRoot, std::vector<InferFrame>& aStack)
{
    aStack.assign(1, InferFrame{aRoot, aRoot->numInputs() - 1});
    while (!aStack.empty()) {
        InferFrame& top = aStack.back();
        if (top.next < 0) {
            Node* done = top.node;
            aStack.pop_back();
            if (done->isExpr()) {
                inferNodeType(aCtx, static_cast<Expr*>(done));
            }
            continue;
        }
        int index = top.next--;
        Expr* child = top.node->input(index);
        if (child == nullptr) {
            reportMissingChild(top.node, index);
            continue;
        }
        aStack.push_back(InferFrame{child, child->numInputs() - 1});
    }
}

bool isUntyped(Node* aNode)
{
    return aNode->isExpr() && static_cast<Expr*>(aNode)->type() != nullptr &&
           UntypedType::isa(static_cast<Expr*>(aNode)->type());
}

// Whether the walk over a graph's operand trees has anything to type or report. Going through the
// statement list reads memory nearly front to back (operands are made just before their statement):
// far cheaper than walking the statements in graph order, and most functions have no expression
// left untyped. The order of the nodes does not matter here, so a plain stack of nodes serves.
bool needsTypeWalk(Cfg* aCfg)
{
    if (aCfg == nullptr) {
        return false;
    }
    std::vector<Node*> pending;
    for (Stmt* stmt : aCfg->stmts()) {
        pending.push_back(stmt);
        while (!pending.empty()) {
            Node* node = pending.back();
            pending.pop_back();
            if (isUntyped(node)) {
                return true;
            }
            for (int index = 0, count = node->numInputs(); index < count; ++index) {
                Expr* operand = node->input(index);
                if (operand == nullptr) {
                    return true;
                }
                pending.push_back(operand);
            }
        }
    }
    return false;
}

void inferTypes(QulParserCtx* aCtx)
{
    std::vector<InferFrame> stack;
    forEachFcnWithGraph(aCtx->targetScope(), [&](Fcn* aFcn) {
        if (aCtx->isTypedBody(aFcn) || !needsTypeWalk(aFcn->cfg())) {
            return;
        }
        for (StmtIterator it(aFcn); it.hasCurrent(); it.advance()) {
            inferTreeTypes(aCtx, it.current(), stack);
        }
    });
    aCtx->forgetTypedBodies();
}

} // namespace

// ---- Lists and names

QulNumberList* appendAll(QulNumberList* aList, QulNumberList* aMore)
{
    aList->insert(aList->end(), aMore->begin(), aMore->end());
    return aList;
}

char* intern(QulParserCtx* aCtx, const char* aText)
{
    return cg_string_create(aCtx->irCtx(), aText);
}

// ---- Program and scopes

void programStart(QulParserCtx* aCtx)
{
    aCtx->literalFactory()->setLineSource(aCtx->lineSource());
    aCtx->forEachListener([&](QulParserListener* aListener) { aListener->start(); });
}

void programEnd(QulParserCtx* aCtx)
{
    // An open quote swallows the rest of the text. Between definitions the grammar accepts the end
    // that follows, so the missing quote is reported here, as the end it did not expect.
    if (aCtx->textEndedInLiteral()) {
        aCtx->reportError("syntax error, unexpected $end");
        return;
    }
    checkForwardReferences(aCtx);
    inferTypes(aCtx);
    aCtx->forEachListener([&](QulParserListener* aListener) { aListener->end(); });
}

void scopeOpen(QulParserCtx* aCtx, char* aName)
{
    aCtx->pushScope(cg_scope_create(aCtx->currentScope(), aName, aCtx->pool()));
}

void scopeClose(QulParserCtx* aCtx)
{
    aCtx->popScope();
}

// ---- Definitions

Symbol* constDef(QulParserCtx* aCtx, char* aSymbolName, TypeBuilder* aType, QulLiteral* aValue, char* aIrName,
                 QulParamList* aParams)
{
    Type* type = aType->build();
    Ref<Value> value = literalValue(aCtx, aValue, type);
    Const* constant = ConstFactory(aCtx->irCtx()).create(type, value, aCtx->currentScope(), aIrName);
    aCtx->dispatchParams(constant, aParams);
    enter(aCtx, kDefinitionLevel, symbolName(aSymbolName, aIrName), constant);
    return constant;
}

Var* varDef(QulParserCtx* aCtx, char* aSymbolName, TypeBuilder* aType, char* aIrName, QulLiteral* aInit,
            QulParamList* aParams)
{
    Type* type = aType != nullptr ? aType->build() : nullptr;
    if (type == nullptr) {
        QulMessages::userError(aCtx, "qulY::Rule::symbol_var::NullTypeParam",
                               "%s: during variable definition the type parameter is NULL");
    }
    Const* init = aInit != nullptr ? initialValue(aCtx, type, aInit) : nullptr;
    Scope* scope = aCtx->currentFcn() != nullptr ? aCtx->currentFcn()->localScope() : aCtx->currentScope();
    Var* var = cg_var_create(scope, type, aIrName);
    var->setInitialValue(init);
    aCtx->dispatchParams(var, aParams);
    char* name = symbolName(aSymbolName, aIrName);
    if (name == nullptr) {
        QulMessages::internalError(aCtx, "register_symbol_in_scope::SymWithoutName",
                                   "%s: Trying to register a symbol in the symbol table without a name");
    }
    enter(aCtx, kDefinitionLevel, name, var);
    return var;
}

Symbol* typeDef(QulParserCtx* aCtx, char* aSymbolName, TypeBuilder* aType, char* aIrName, QulParamList* aParams,
                bool aAlias)
{
    if (aType == nullptr) {
        QulMessages::userError(aCtx, "qulY::Rule::symbol_type::NullType", "%s: In qulY::Rule::symbol_type aType is NULL");
    }
    // Types belong to the outer scope, like every type the parser builds, whichever scope is current.
    TypeBuilder* builder = aType;
    Scope* scope = aCtx->outerScope();
    if (aAlias) {
        builder = aCtx->scratchPool()->make<RenamedTypeBuilder>(scope, aType, aIrName);
    } else if (aIrName != nullptr && NamedTypeBuilder::isa(aType) && NamedTypeBuilder::cast(aType)->name() == nullptr) {
        NamedTypeBuilder::cast(aType)->setName(aIrName);
    } else if (aIrName != nullptr) {
        builder = aCtx->scratchPool()->make<CopyTypeBuilder>(scope, aType, aIrName);
    }
    aCtx->forEachListener([&](QulParserListener* aListener) { aListener->typeDefn(builder, aParams); });
    Type* type = builder->build();
    aCtx->dispatchParams(type, aParams);
    enter(aCtx, kDefinitionLevel, symbolName(aSymbolName, aIrName), type);
    return type;
}

void symbolicIdDef(QulParserCtx* aCtx, char* aSymbolName, char* aName)
{
    SymbolicSize* size = SymbolicSizeFactory(aCtx->irCtx()).idSize(aCtx->currentScope(), aName);
    enter(aCtx, kDefinitionLevel, symbolName(aSymbolName, aName), size);
}

// ---- Callables

void callableOpen(QulParserCtx* aCtx)
{
    aCtx->openParameterScope(cg_scope_create(aCtx->currentScope(), "$parameters", aCtx->pool()));
}

void callableDefine(QulParserCtx* aCtx, char* aSymbolName, QulConstructorParamList* aParams, QulParamList* aOptions,
                    CallableKind aKind)
{
    aCtx->popScope();
    size_t first = 0;
    ClassType* owner = nullptr;
    if (aKind == CallableKind::Method) {
        if (aParams->size() != 3 && aParams->size() != 4) {
            QulMessages::userError(aCtx, "qulY::Rule::symbol_method::MethDefArgsMustBe3_4",
                                   "%s: A method definition must have either 3 or 4 arguments");
        }
        owner = methodClass(aCtx, (*aParams)[2]);
    } else if (aParams->size() != 2 && aParams->size() != 3) {
        QulMessages::userError(aCtx, "qulY::Rule::symbol_fcn::FcnDefArgsMustBe2_3",
                               "%s: In definition of a function the number of arguments must be either 2 or 3");
    }
    char* irName = irNameOf(aCtx, aParams, aKind == CallableKind::Method ? 3 : 2);
    FcnBuilder::Kind kind = aKind == CallableKind::Method      ? FcnBuilder::Kind::METHOD
                            : aKind == CallableKind::Prototype ? FcnBuilder::Kind::PROTOTYPE
                                                               : FcnBuilder::Kind::FUNCTION;
    FcnBuilder builder(aCtx->currentScope(), irName, kind);
    builder.setOwningClass(owner);
    for (Var* input : ioVars(aCtx, (*aParams)[first], kInputs)) {
        builder.addInput(input);
    }
    for (Var* output : ioVars(aCtx, (*aParams)[first + 1], kOutputs)) {
        builder.addOutput(output);
    }
    aCtx->forEachListener([&](QulParserListener* aListener) { aListener->objPreConstr(&builder, aOptions); });
    Fcn* fcn = builder.build();
    aCtx->destroyParameterScope();
    aCtx->dispatchParams(fcn, aOptions);
    // Unlike other definitions, a callable must have a name: the symbol table reports one without.
    char* name = symbolName(aSymbolName, irName);
    aCtx->symbolTable()->registerSymbolInScope(aCtx, kFcnLevel, name, fcn);
    patchForwardReferences(aCtx, name, fcn);
    aCtx->setCurrentFcn(aKind == CallableKind::Prototype ? nullptr : fcn);
}

void callableClose(QulParserCtx* aCtx, Region* aBody)
{
    if (aBody != nullptr && aCtx->regionFactory() != nullptr) {
        aCtx->regionFactory()->setBody(aBody);
    }
    // The body's statements are still in the cache: whether the type walk has work in it is cheap to read now.
    Fcn* fcn = aCtx->currentFcn();
    if (fcn != nullptr && fcn->cfg() != nullptr) {
        aCtx->noteParsedBody(fcn);
        Cfg* cfg = fcn->cfg();
        if (!needsTypeWalk(cfg)) {
            aCtx->noteTypedBody(fcn);
        }
        if (!QulTransformGoto::hasWork(cfg) && !QulEliminateMergeStmts::hasWork(cfg)) {
            aCtx->noteSettledBody(fcn);
        }
    }
    aCtx->setCurrentFcn(nullptr);
}

QulConstructorParam* nameParam(QulParserCtx* aCtx, char* aName)
{
    return param(aCtx, QulConstructorParam::Kind::NAME, aName, nullptr, nullptr);
}

QulConstructorParam* stringParam(QulParserCtx* aCtx, char* aText)
{
    return param(aCtx, QulConstructorParam::Kind::STRING, aText, nullptr, nullptr);
}

QulConstructorParam* varParam(QulParserCtx* aCtx, Var* aVar)
{
    return param(aCtx, QulConstructorParam::Kind::VAR, nullptr, aVar, nullptr);
}

QulConstructorParam* listParam(QulParserCtx* aCtx, QulConstructorParamList* aList)
{
    return param(aCtx, QulConstructorParam::Kind::LIST, nullptr, nullptr, aList);
}

// ---- Literals

Ref<Value> literalValue(QulParserCtx* aCtx, QulLiteral* aLiteral, Type* aType)
{
    return readValue(aCtx, [&] { return aLiteral->createValue(aType, aCtx->irCtx(), aCtx->pool()); });
}

QulLiteral* boolLiteral(QulParserCtx* aCtx, long aValue)
{
    return aCtx->literalFactory()->boolLiteral(aValue != 0);
}

QulLiteral* integerLiteral(QulParserCtx* aCtx, char* aText)
{
    return aCtx->literalFactory()->integerLiteral(aText);
}

QulLiteral* doubleLiteral(QulParserCtx* aCtx, char* aText)
{
    return aCtx->literalFactory()->doubleLiteral(aText);
}

QulLiteral* enumLiteral(QulParserCtx* aCtx, char* aName)
{
    return aCtx->literalFactory()->enumLiteral(aName);
}

QulLiteral* stringLiteral(QulParserCtx* aCtx, char* aText)
{
    return aCtx->literalFactory()->stringLiteral(aText);
}

QulLiteral* compositeLiteral(QulParserCtx* aCtx, QulLiteralList* aElements)
{
    return aCtx->literalFactory()->compositeLiteral(aElements);
}

QulLiteralList* newLiteralList(QulParserCtx* aCtx)
{
    return aCtx->managedPool()->make<QulLiteralList>();
}

QulLiteralList* appendLiteral(QulLiteralList* aList, QulLiteral* aLiteral)
{
    aList->append(aLiteral);
    return aList;
}

// ---- Optional parameters

QulOptionalParameter* optionalParameter(QulParserCtx* aCtx, char* aTag, QulOptionalParameterValue* aValue)
{
    return aCtx->managedPool()->make<QulOptionalParameter>(aTag, aValue);
}

QulOptionalParameterValue* stringValue(QulParserCtx* aCtx, char* aText)
{
    return aCtx->managedPool()->make<QulOptionalParameterStringValue>(aText, aCtx->line());
}

QulOptionalParameterValue* integerValue(QulParserCtx* aCtx, char* aText)
{
    return aCtx->managedPool()->make<QulOptionalParameterIntegerValue>(intern(aCtx, aText), aCtx->line());
}

QulOptionalParameterValue* doubleValue(QulParserCtx* aCtx, char* aText)
{
    return aCtx->managedPool()->make<QulOptionalParameterDoubleValue>(intern(aCtx, aText), aCtx->line());
}

QulOptionalParameterValue* termValue(QulParserCtx* aCtx, char* aFunctor, QulValueList* aArguments)
{
    return aCtx->managedPool()->make<QulOptionalParameterTermValue>(aFunctor, aArguments, aCtx->line());
}

} // namespace QulRules
} // namespace CG
