// Parser context: the per-parser state the lexer, grammar actions and driver share.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ir/containers.h"
#include "ir/mempool.h"
#include "parse/nodefactory.h"
#include "tag/tagsourcelocationquill.h"

class CG_Ctx;
class CG_Obj;
union QULYYSTYPE;

// The display name of a token code ("QUL_IDENTIFIER", "$end").
const char* qulTokenName(int aToken);

namespace CG {

class Const;
class Expr;
class Fcn;
class OpTable;
class QulLexState;
class QulOptionalParameter;
class QulParserListener;
class QulParserLiteralFactory;
class QulSymbolTable;
class RegionFactory;
class TokenFeed;
class Scope;
class Type;
class TypeChecker;

class QulParserCtx final : public SourcePosition {
public:
    QulParserCtx(CG_Ctx* aCtx, MemPool* aPool, Scope* aOuter, Scope* aTarget, TypeChecker* aChecker, OpTable* aOps);
    ~QulParserCtx();
    QulParserCtx(const QulParserCtx&) = delete;
    QulParserCtx& operator=(const QulParserCtx&) = delete;

    // The context of the most recently constructed parser, or null.
    static QulParserCtx* current() { return sCurrent; }
    static void setCurrent(QulParserCtx* aCtx) { sCurrent = aCtx; }

    CG_Ctx* irCtx() const { return fCtx; }
    MemPool* pool() const { return fPool; }
    MemPool* managedPool() const { return fManagedPool.pool(); }
    // Where what a phrase needs only while it is read lives (the regions that assemble a body, phrase
    // lists): a pool of the body being read, dropped when the body is finished, so that its memory
    // serves the next body; the parser's pool outside bodies.
    MemPool* scratchPool() const { return fBodyPool != nullptr ? fBodyPool->pool() : managedPool(); }
    // Where the grammar's grown stacks live: a pool of the parse being read, dropped when the next one starts.
    MemPool* stackPool() const { return fStackPool->pool(); }
    // A copy of a number's text that lives as long as the parser. A number is read into a value once, and most
    // of a module's long numbers are each written once: the context keeps none of their texts.
    char* keepNumberText(std::string_view aText) { return managedPool()->copyText(aText); }
    // Hands back a kept copy once its number is read and nothing keeps the text: the next number's copy takes its
    // place, so the copies of a module's operands do not pile up in the parser's pool. A copy is a word at least.
    void releaseNumberText(char* aText)
    {
        managedPool()->recycle(aText, std::max(std::strlen(aText) + 1, sizeof(void*)));
    }
    TypeChecker* typeChecker() const { return fChecker; }
    QulSymbolTable* symbolTable() const { return fSymbols.get(); }
    QulParserLiteralFactory* literalFactory() const { return fLiterals.get(); }
    Scope* outerScope() const { return fOuterScope; }
    Scope* targetScope() const { return fTargetScope; }

    // ---- Input and scanning
    // Fails with a user error for a text of 2^31 bytes or more.
    void setInput(const char* aText, size_t aLength);
    void setReadProgress(std::function<void(size_t)> aProgress);
    // Texts of at least this many bytes are scanned on a second thread, ahead of the parse.
    static constexpr size_t kScanAheadFrom = 256 * 1024;
    void setScanAheadFrom(size_t aBytes) { fScanAheadFrom = aBytes; }
    // Starts scanning the input from its beginning.
    void resetLexer();
    // Ends the scan: what the scanner read past the last token taken is forgotten. The scan's place, its
    // newlines inside literals and its end stay readable.
    void finishScan();
    int nextToken(QULYYSTYPE* aValue);
  // The next token's code and its text (null for tokens without one) or number.
  int scanToken(const char** aText, long* aNumber);
    int line() const override;
    int column() const override;
    // Where the scanner stands in its line, also on the first line (whose column is always 0).
    int bytesIntoLine() const;
    // Offsets of the newlines read inside quoted literals, which the line count leaves out.
    const std::vector<size_t>& uncountedNewlines() const;
    // The text ended inside a quoted literal that was never closed.
    bool textEndedInLiteral() const;
    // The scanner has reached the end of the text: what is said now is said after the scan.
    bool scanEnded() const { return fScanEnded; }
    int* lineSource();
    // "[L%d, C%d]" at the current position.
    std::string position() const;

    // ---- Errors of the grammar
    void clearError() { fError.clear(); fHasError = false; }
    void reportError(const char* aMessage);
    bool hasError() const { return fHasError; }
    const std::string& error() const { return fError; }

    // ---- Scopes
    Scope* currentScope() const { return fScopes.back(); }
    void pushScope(Scope* aScope) { fScopes.push_back(aScope); }
    void popScope() { fScopes.pop_back(); }
    // The temporary scope that holds a definition's parameters while they are read; the definition
    // destroys it, or abandonParse does when the definition fails.
    void openParameterScope(Scope* aScope);
    void destroyParameterScope();

    // After a failed parse: the next one starts as a fresh parse would, in the target scope, outside any
    // function, with no call waiting for a definition. What the failed text built stays.
    void abandonParse();

    // ---- Current function
    Fcn* currentFcn() const { return fFcn; }
    void setCurrentFcn(Fcn* aFcn);
    QulNodeFactory* nodeFactory() const { return fNodeFactory.get(); }
    RegionFactory* regionFactory() const { return fRegionFactory.get(); }
    // The node factory, or a user error when no function is being defined.
    QulNodeFactory* requireNodeFactory();

    // ---- What was known of bodies when they closed
    // A body is noted with its graph's version as it closes, while its statements are still in the cache. A note
    // holds while the graph keeps that version: the end of the parse passes over the noted bodies instead of
    // reading again a large module's functions, which are far out of the cache by then.
    // Typed: its expressions were all typed and had all their operands, so the type walk has nothing to do.
    void noteTypedBody(Fcn* aFcn) { noteBody(fTypedBodies, aFcn); }
    bool isTypedBody(Fcn* aFcn) const { return isNoted(fTypedBodies, aFcn); }
    void forgetTypedBodies() { fTypedBodies.clear(); }
    // Settled: the post-processing passes would leave its graph as it is.
    void noteSettledBody(Fcn* aFcn) { noteBody(fSettledBodies, aFcn); }
    bool isSettledBody(Fcn* aFcn) const { return isNoted(fSettledBodies, aFcn); }
    void forgetSettledBodies() { fSettledBodies.clear(); }
    // Closed by this parse: every label it holds was read by it.
    void noteParsedBody(Fcn* aFcn) { fParsedBodies.add(aFcn); }
    bool isParsedBody(Fcn* aFcn) const { return fParsedBodies.contains(aFcn); }
    // A body that names two of its labels alike fails the goto pass; the labels are noted as they are read.
    void noteLabel(QulLabelStmt* aLabel);
    bool sawRepeatedLabel() const { return fRepeatedLabel; }
    // The parse is over: the notes on its bodies and labels go.
    void forgetBodies();

    // ---- Forward references: calls of functions not yet defined, by name
    // The calls waiting for each name, in the order the names were first called. A name whose calls are taken
    // keeps its place with no calls, so that adding and taking cost the same however many names wait.
    class ForwardRefs {
    public:
        using Entry = std::pair<char*, std::vector<Expr*>>;
        void add(char* aName, const std::vector<Expr*>& aCalls);
        // Moves the calls waiting for aName to the end of aCalls.
        void take(char* aName, std::vector<Expr*>& aCalls);
        bool empty() const { return fIndex.empty(); }
        void clear();
        // Every name ever added, first called first; those taken have no calls.
        const std::vector<Entry>& entries() const { return fEntries; }

    private:
        void dropTakenNames();

        std::vector<Entry> fEntries;
        std::unordered_map<char*, size_t> fIndex;
    };
    void addForwardReference(char* aName, Expr* aCall);
    // Every call waiting for aName, made by this parse or by an earlier one that failed; they wait no more.
    std::vector<Expr*> takeForwardReferences(char* aName);
    // The calls of this parse still waiting for a definition.
    const ForwardRefs& allForwardReferences() const { return fForwardRefs; }
    // The detached callee that stands in for a function not yet defined.
    Fcn* forwardPlaceholder(char* aName);

    // ---- Listeners
    void addListener(QulParserListener* aListener) { fListeners.push_back(aListener); }
    void removeListener(QulParserListener* aListener);
    // Listeners are walked by position, in registration order, so one called may add or remove listeners
    // safely: one added is called in the same walk; removing one may let the walk pass over the next.
    template <class F> void forEachListener(F&& aCall) const
    {
        for (size_t i = 0; i < fListeners.size(); ++i) {
            aCall(fListeners[i]);
        }
    }
    // The first answer that is not null, asking in registration order; null when none answers.
    template <class F> auto firstListenerAnswer(F&& aAsk) const -> decltype(aAsk(nullptr))
    {
        for (size_t i = 0; i < fListeners.size(); ++i) {
            if (auto answer = aAsk(fListeners[i])) {
                return answer;
            }
        }
        return nullptr;
    }
    void dispatchParams(CG_Obj* aObj, std::vector<QulOptionalParameter*>* aParams);

    // ---- Unnamed constants of short integer literals, shared per type and interned text: a module
    // repeats a few literals many times, and each would otherwise cost a constant and a value.
    Const* literalConst(Type* aType, const char* aText) const;
    void rememberLiteralConst(Type* aType, const char* aText, Const* aConst);

private:
    struct LiteralKey {
        Type* type;
        const char* text;
        bool operator==(const LiteralKey& aOther) const { return type == aOther.type && text == aOther.text; }
    };
    struct LiteralKeyHash {
        size_t operator()(const LiteralKey& aKey) const
        {
            return std::hash<const void*>()(aKey.type) * 31 + std::hash<const void*>()(aKey.text);
        }
    };

    char* seenName(uint32_t aNumber) const;

    // The parser made last on this thread; parsers on other threads have their own.
    static inline thread_local QulParserCtx* sCurrent = nullptr;

    CG_Ctx* fCtx;
    MemPool* fPool;
    ManagedCGPool fManagedPool;
    std::unique_ptr<ManagedCGPool> fBodyPool;
    size_t fScanAheadFrom = kScanAheadFrom;
    Fcn* fFcn = nullptr;
    std::unique_ptr<QulNodeFactory> fNodeFactory;
    std::unique_ptr<RegionFactory> fRegionFactory;
    std::unique_ptr<TypeChecker> fOwnedChecker;
    TypeChecker* fChecker;
    std::unique_ptr<QulSymbolTable> fSymbols;
    std::unique_ptr<QulLexState> fLexState;
    void* fScanner = nullptr;
    std::unique_ptr<TokenFeed> fFeed;
    // The interned texts of the names the scan has read, by the scanner's numbers for them.
    std::vector<char*> fNamesByNumber;
    std::unique_ptr<QulParserLiteralFactory> fLiterals;
    ForwardRefs fForwardRefs;
    using BodyNotes = IdMap<const Fcn*, uint64_t>;
    static void noteBody(BodyNotes& aNotes, Fcn* aFcn);
    static bool isNoted(const BodyNotes& aNotes, Fcn* aFcn);
    BodyNotes fTypedBodies;
    BodyNotes fSettledBodies;
    IdSet<const Fcn*> fParsedBodies;
    // The label names of the body last read: bodies are read one after the other.
    const Fcn* fLabelledBody = nullptr;
    IdSet<const Const*> fBodyLabels;
    bool fRepeatedLabel = false;
    // Calls left waiting by parses that failed: a later definition still binds them, but a later parse is
    // not failed for them.
    ForwardRefs fEarlierForwardRefs;
    std::unordered_map<char*, Fcn*> fPlaceholders;
    Scope* fPlaceholderScope = nullptr;
    std::vector<Scope*> fScopes;
    Scope* fParameterScope = nullptr;
    Scope* fTargetScope;
    Scope* fOuterScope;
    std::vector<QulParserListener*> fListeners;
    std::unordered_map<LiteralKey, Const*, LiteralKeyHash> fLiteralConsts;
    QulNodeFactory::LabelConsts fLabelConsts;
    std::string fError;
    bool fHasError = false;
    bool fScanEnded = false;
    std::unique_ptr<ManagedCGPool> fStackPool;
};

} // namespace CG
