// Parser context: the per-parser state the lexer, grammar actions and driver share.
#include "parse/parserctx.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/region.h"
#include "ir/scope.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/typechecker.h"
#include "lang/literal.h"
#include "listener/parserlistener.h"
#include "parse/gotostmt.h"
#include "parse/lexstate.h"
#include "parse/messages.h"
#include "parse/nodefactory.h"
#include "parse/symboltable.h"
#include "parse/tokenfeed.h"
#include "parse/grammar.hpp"

int qulyylex_init_extra(CG::QulLexState* aExtra, void** aScanner);
int qulyylex_destroy(void* aScanner);
namespace CG {
void qulLexReset(void* aScanner);
}

namespace CG {

QulParserCtx::QulParserCtx(CG_Ctx* aCtx, MemPool* aPool, Scope* aOuter, Scope* aTarget, TypeChecker* aChecker,
                           OpTable* aOps)
    : fCtx(aCtx), fPool(aPool), fManagedPool(aCtx), fChecker(aChecker), fTargetScope(aTarget), fOuterScope(aOuter)
{
    if (fChecker == nullptr) {
        fOwnedChecker = std::make_unique<CoreDomainTypeChecker>(aCtx);
        fChecker = fOwnedChecker.get();
    }
    // Symbols serve only while the text is read, like the literals.
    fSymbols = std::make_unique<QulSymbolTable>(aCtx, managedPool(), aOps);
    fLexState = std::make_unique<QulLexState>();
    if (qulyylex_init_extra(fLexState.get(), &fScanner) != 0) {
        TheLogger::instance().throwInternalException("QulParserCtx::QulParserCtx::NoScanner",
                                                     "unable to create the Quill scanner");
    }
    fFeed = std::make_unique<TokenFeed>(fScanner, fLexState.get());
    // Literals only carry text to the values made from them: they live as long as the parser.
    fLiterals = std::make_unique<QulParserLiteralFactory>(fFeed->lineSource(), managedPool());
    fStackPool = std::make_unique<ManagedCGPool>(aCtx);
    fScopes.reserve(8);
    fScopes.push_back(aOuter);
    fScopes.push_back(aTarget);
}

QulParserCtx::~QulParserCtx()
{
    // The second thread scans until it stops.
    fFeed.reset();
    if (fScanner != nullptr) {
        qulyylex_destroy(fScanner);
    }
}

void QulParserCtx::setInput(const char* aText, size_t aLength)
{
    if (aLength >= (static_cast<size_t>(1) << 31)) {
        TheLogger::instance().throwUserException("QulParser::parse::TextTooLong",
                                                 "The Quill text has %zu bytes; texts must be shorter than 2^31 bytes",
                                                 aLength);
    }
    fLexState->setText(aText, aLength);
}

void QulParserCtx::resetLexer()
{
    fFeed->stop();
    qulLexReset(fScanner);
    fLexState->reset();
    fNamesByNumber.clear();
    fFeed->start(fLexState->textLength() >= fScanAheadFrom);
    fScanEnded = false;
    fStackPool = std::make_unique<ManagedCGPool>(fCtx);
}

void QulParserCtx::finishScan()
{
    fFeed->stop();
}

void QulParserCtx::setReadProgress(std::function<void(size_t)> aProgress)
{
    fFeed->setReadProgress(std::move(aProgress));
}

int QulParserCtx::nextToken(QULYYSTYPE* aValue)
{
    const ScannedToken& token = fFeed->next();
    switch (token.text) {
    case TokenText::NONE:
        break;
    case TokenText::NAME:
        aValue->str = fCtx->cgString(std::string_view(fFeed->text(), token.textLength));
        fNamesByNumber.push_back(aValue->str);
        break;
    case TokenText::SEEN_NAME:
        aValue->str = seenName(token.textLength);
        break;
    case TokenText::NUMBER:
        aValue->str = keepNumberText(std::string_view(fFeed->text(), token.textLength));
        break;
    case TokenText::LITERAL:
        // An escaped null byte ends the literal's text.
        aValue->str = cg_string_create(fCtx, fFeed->text());
        break;
    case TokenText::BOOLEAN:
        aValue->num = token.textLength;
        break;
    }
    fScanEnded = token.code == QUL_EOF;
    return token.code;
}

// The scanner numbers a name when the batch holding it is filled, and the parser takes every token in order: a
// name's first appearance is always interned before its number comes back.
char* QulParserCtx::seenName(uint32_t aNumber) const
{
    if (aNumber >= fNamesByNumber.size()) {
        TheLogger::instance().throwInternalException("QulParser/seenName",
                                                     "the scanner numbered a name the parser has not taken");
    }
    return fNamesByNumber[aNumber];
}

int QulParserCtx::scanToken(const char** aText, long* aNumber)
{
    QULYYSTYPE value;
    value.str = nullptr;
    int token = nextToken(&value);
    bool numeric = token == QUL_BOOLEAN_CONSTANT;
    *aText = numeric ? nullptr : value.str;
    *aNumber = numeric ? value.num : 0;
    return token;
}

int QulParserCtx::line() const
{
    return fFeed->place().line;
}

int QulParserCtx::column() const
{
    return fFeed->place().column();
}

int QulParserCtx::bytesIntoLine() const
{
    return fFeed->place().bytesIntoLine;
}

const std::vector<size_t>& QulParserCtx::uncountedNewlines() const
{
    return fLexState->uncountedNewlines();
}

bool QulParserCtx::textEndedInLiteral() const
{
    return fFeed->endedInLiteral();
}

int* QulParserCtx::lineSource()
{
    return fFeed->lineSource();
}

std::string QulParserCtx::position() const
{
    char text[64];
    std::snprintf(text, sizeof text, "[L%d, C%d]", line(), column());
    return text;
}

void QulParserCtx::reportError(const char* aMessage)
{
    if (fHasError) {
        return;
    }
    fHasError = true;
    fError = position() + ": A parser error occurred: " + aMessage;
}

void QulParserCtx::openParameterScope(Scope* aScope)
{
    fParameterScope = aScope;
    pushScope(aScope);
}

void QulParserCtx::destroyParameterScope()
{
    if (fParameterScope != nullptr) {
        cg_scope_destroy(fParameterScope);
        fParameterScope = nullptr;
    }
}

void QulParserCtx::ForwardRefs::add(char* aName, const std::vector<Expr*>& aCalls)
{
    auto [slot, added] = fIndex.try_emplace(aName, fEntries.size());
    if (added) {
        fEntries.emplace_back(aName, aCalls);
        return;
    }
    std::vector<Expr*>& calls = fEntries[slot->second].second;
    calls.insert(calls.end(), aCalls.begin(), aCalls.end());
}

void QulParserCtx::ForwardRefs::take(char* aName, std::vector<Expr*>& aCalls)
{
    auto slot = fIndex.find(aName);
    if (slot == fIndex.end()) {
        return;
    }
    std::vector<Expr*>& calls = fEntries[slot->second].second;
    aCalls.insert(aCalls.end(), calls.begin(), calls.end());
    calls = std::vector<Expr*>();
    fIndex.erase(slot);
    // The names taken give up their places once they outnumber those that wait.
    if (fEntries.size() > 2 * fIndex.size() + 32) {
        dropTakenNames();
    }
}

void QulParserCtx::ForwardRefs::dropTakenNames()
{
    std::vector<Entry> waiting;
    waiting.reserve(fIndex.size());
    for (Entry& entry : fEntries) {
        if (!entry.second.empty()) {
            fIndex[entry.first] = waiting.size();
            waiting.push_back(std::move(entry));
        }
    }
    fEntries = std::move(waiting);
}

void QulParserCtx::ForwardRefs::clear()
{
    fEntries.clear();
    fIndex.clear();
}

void QulParserCtx::abandonParse()
{
    fScopes.resize(2);
    if (fParameterScope != nullptr) {
        symbolTable()->withdrawVarsOf(fParameterScope);
    }
    destroyParameterScope();
    setCurrentFcn(nullptr);
    for (const auto& [name, calls] : fForwardRefs.entries()) {
        if (!calls.empty()) {
            fEarlierForwardRefs.add(name, calls);
        }
    }
    fForwardRefs.clear();
    forgetBodies();
}

void QulParserCtx::forgetBodies()
{
    forgetTypedBodies();
    forgetSettledBodies();
    fParsedBodies.clear();
    fLabelledBody = nullptr;
    fBodyLabels.clear();
    fRepeatedLabel = false;
}

void QulParserCtx::noteLabel(QulLabelStmt* aLabel)
{
    if (fLabelledBody != fFcn) {
        fLabelledBody = fFcn;
        fBodyLabels.clear();
    }
    if (!fBodyLabels.add(aLabel->labelStringConst())) {
        fRepeatedLabel = true;
    }
}

void QulParserCtx::noteBody(BodyNotes& aNotes, Fcn* aFcn)
{
    aNotes.put(aFcn, aFcn->cfg()->version());
}

bool QulParserCtx::isNoted(const BodyNotes& aNotes, Fcn* aFcn)
{
    const uint64_t* version = aNotes.lookup(aFcn);
    return version != nullptr && aFcn->cfg() != nullptr && aFcn->cfg()->version() == *version;
}

void QulParserCtx::setCurrentFcn(Fcn* aFcn)
{
    fFcn = aFcn;
    fRegionFactory.reset();
    fNodeFactory.reset();
    fBodyPool.reset();
    if (aFcn == nullptr) {
        return;
    }
    fBodyPool = std::make_unique<ManagedCGPool>(fCtx);
    fNodeFactory = std::make_unique<QulNodeFactory>(aFcn, fPool, fChecker, &fLabelConsts);
    fRegionFactory = std::make_unique<RegionFactory>(fNodeFactory.get(), fBodyPool->pool());
}

QulNodeFactory* QulParserCtx::requireNodeFactory()
{
    if (fNodeFactory == nullptr) {
        QulMessages::userError(this, "qulY::Rule::NoCurrentFunction",
                               "%s: expressions and statements can only appear inside a function body");
    }
    return fNodeFactory.get();
}

void QulParserCtx::addForwardReference(char* aName, Expr* aCall)
{
    fForwardRefs.add(aName, {aCall});
}

std::vector<Expr*> QulParserCtx::takeForwardReferences(char* aName)
{
    std::vector<Expr*> calls;
    fForwardRefs.take(aName, calls);
    fEarlierForwardRefs.take(aName, calls);
    return calls;
}

Fcn* QulParserCtx::forwardPlaceholder(char* aName)
{
    auto found = fPlaceholders.find(aName);
    if (found != fPlaceholders.end()) {
        return found->second;
    }
    if (fPlaceholderScope == nullptr) {
        fPlaceholderScope = cg_scope_create_detached(fCtx, "$forward");
    }
    Fcn* placeholder = fCtx->pool()->make<Fcn>(fCtx, fPlaceholderScope, aName);
    fPlaceholders.emplace(aName, placeholder);
    return placeholder;
}

void QulParserCtx::removeListener(QulParserListener* aListener)
{
    fListeners.erase(std::remove(fListeners.begin(), fListeners.end(), aListener), fListeners.end());
}

void QulParserCtx::dispatchParams(CG_Obj* aObj, std::vector<QulOptionalParameter*>* aParams)
{
    if (aParams == nullptr || aObj == nullptr) {
        return;
    }
    for (QulOptionalParameter* param : *aParams) {
        forEachListener([&](QulParserListener* aListener) { aListener->objConstr(aObj, param); });
    }
    forEachListener([&](QulParserListener* aListener) { aListener->objConstrEnd(aObj); });
}

Const* QulParserCtx::literalConst(Type* aType, const char* aText) const
{
    auto found = fLiteralConsts.find(LiteralKey{aType, aText});
    return found != fLiteralConsts.end() ? found->second : nullptr;
}

void QulParserCtx::rememberLiteralConst(Type* aType, const char* aText, Const* aConst)
{
    fLiteralConsts[LiteralKey{aType, aText}] = aConst;
}

} // namespace CG
