// The parser's entry point: reads Quill text into IR definitions in a target scope.
#include "parse/parser.h"

#include <cstring>

#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/pageahead.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "listener/effectlistener.h"
#include "listener/testidlistener.h"
#include "parse/gotostmt.h"
#include "parse/mergeelim.h"
#include "parse/parserctx.h"
#include "parse/grammar.hpp"

namespace CG {

QulParser::QulParser(CG_Ctx* aCtx, MemPool* aPool, Scope* aOuter, Scope* aTarget, TypeChecker* aChecker, OpTable* aOps)
    : fPool(aPool != nullptr ? aPool : aCtx->pool()),
      fCtx(new QulParserCtx(aCtx, fPool, aOuter, aTarget, aChecker, aOps))
{
    QulParserCtx::setCurrent(fCtx);
}

QulParser::~QulParser()
{
    if (QulParserCtx::current() == fCtx) {
        QulParserCtx::setCurrent(nullptr);
    }
    delete fCtx;
}

void QulParser::setReadProgress(std::function<void(size_t aBytesRead)> aProgress)
{
    fCtx->setReadProgress(std::move(aProgress));
}

void QulParser::setBodyFinished(std::function<void(Fcn* aFcn)> aFinished)
{
    fBodyFinished = std::move(aFinished);
}

void QulParser::addListener(QulParserListener* aListener)
{
    if (aListener != nullptr) {
        fCtx->addListener(aListener);
    }
}

namespace {

// The parser's own listeners for one parse: registered after the caller's, withdrawn when it ends.
class BuiltinListeners {
public:
    explicit BuiltinListeners(QulParserCtx* aCtx) : fCtx(aCtx), fTestIds(aCtx->irCtx())
    {
        fCtx->addListener(&fEffects);
        fCtx->addListener(&fTestIds);
    }
    ~BuiltinListeners()
    {
        fCtx->removeListener(&fTestIds);
        fCtx->removeListener(&fEffects);
    }
    BuiltinListeners(const BuiltinListeners&) = delete;
    BuiltinListeners& operator=(const BuiltinListeners&) = delete;

private:
    QulParserCtx* fCtx;
    QulEffectListener fEffects;
    TestIdListener fTestIds;
};

// Tags made during the parse take its position; after it, the position of the parse it interrupted, if any.
class ReadingPosition {
public:
    explicit ReadingPosition(const SourcePosition* aPosition) : fInterrupted(TagCreatorForQuill::reading())
    {
        TagCreatorForQuill::setReading(aPosition);
    }
    ~ReadingPosition() { TagCreatorForQuill::setReading(fInterrupted); }
    ReadingPosition(const ReadingPosition&) = delete;
    ReadingPosition& operator=(const ReadingPosition&) = delete;

private:
    const SourcePosition* fInterrupted;
};

} // namespace

IdSet<Fcn*>* QulParser::parse(const char* aText)
{
    return parse(aText, aText != nullptr ? std::strlen(aText) : 0);
}

IdSet<Fcn*>* QulParser::parse(const char* aText, size_t aLength)
{
    if (fParsing) {
        TheLogger::instance().throwInternalException("QulParser::parse::Reentered",
                                                     "a parser cannot read a text while it is reading one");
    }
    fParsing = true;
    struct ParsingEnds {
        bool& parsing;
        ~ParsingEnds() { parsing = false; }
    } parsingEnds{fParsing};
    // The parse's records name the parser as their source; what the caller filters out stays filtered.
    TheLogger task(MessageId{"QUILL", "Parser", "", 5}, TheLogger::instance().level());
    ReadingPosition reading(fCtx);
    BuiltinListeners builtins(fCtx);
    const char* text = aText != nullptr ? aText : "";
    size_t length = aText != nullptr ? aLength : 0;
    fCtx->setInput(text, length);
    // A module interns about one new name per 256 bytes of text (its numbers are not interned). Reserving
    // more would leave slots empty for good; a text with more names grows the table as usual.
    constexpr size_t kBytesPerName = 256;
    fCtx->irCtx()->reserveStrings(length / kBytesPerName);
    // A long text grows the module by many huge pages: they are faulted in on a second thread, one ahead.
    PagingAhead pagingAhead(fCtx->irCtx()->pool());
    fCtx->resetLexer();
    fCtx->clearError();
    try {
        qulyyparse(fCtx);
        fCtx->finishScan();
        if (fCtx->hasError()) {
            TheLogger::instance().throwUserException("yyerror::GenericParserError", "%s", fCtx->error().c_str());
        }
        runPostProcessing();
    } catch (...) {
        fCtx->finishScan();
        fCtx->abandonParse();
        throw;
    }
    return nullptr;
}

// Each pass runs over every function before the next pass starts, unless no goto pass can fail: then each
// function goes through all of them, and is handed on, before the next one starts. Both orders leave the same
// graphs and say the same warnings in the same order. A goto pass that fails, which only the first order meets,
// leaves the functions before it with the later passes still to run.
void QulParser::runPostProcessing()
{
    SettledTest settled = [this](Fcn* aFcn) { return fCtx->isSettledBody(aFcn); };
    QulTransformGoto gotos(fPool, settled);
    // The pass's sets serve while it runs. In the parser's pool they would last as long as the IR: a scope read
    // into again and again would keep two sets per function for every parse, old functions included.
    ManagedCGPool scratch(fCtx->irCtx());
    QulEliminateMergeStmts merges(scratch.pool(), settled);
    if (canFinishBodiesOneByOne()) {
        forEachFcnWithGraph(fCtx->targetScope(), [&](Fcn* aFcn) {
            if (unsettledBody(aFcn, settled) != nullptr) {
                gotos.transformFcn(aFcn);
                merges.transformFcn(aFcn);
            }
            aFcn->cfg()->makeCompact();
            handOn(aFcn);
        });
    } else {
        gotos.transformScope(fCtx->targetScope());
        merges.transformScope(fCtx->targetScope());
        forEachFcnWithGraph(fCtx->outerScope(), [](Fcn* aFcn) { aFcn->cfg()->makeCompact(); });
        forEachFcnWithGraph(fCtx->targetScope(), [this](Fcn* aFcn) { handOn(aFcn); });
    }
    fCtx->forgetBodies();
}

// The goto pass fails only on a label named twice in one function. The parse notes those it read; a function it
// did not read may hold placeholders of its own. Functions are compacted in the outer scope: one by one, it must
// be the scope the passes run over.
bool QulParser::canFinishBodiesOneByOne() const
{
    if (fCtx->outerScope() != fCtx->targetScope() || fCtx->sawRepeatedLabel()) {
        return false;
    }
    bool allParsed = true;
    forEachFcnWithGraph(fCtx->targetScope(), [&](Fcn* aFcn) { allParsed = allParsed && fCtx->isParsedBody(aFcn); });
    return allParsed;
}

void QulParser::handOn(Fcn* aFcn)
{
    if (fBodyFinished) {
        fBodyFinished(aFcn);
    }
}

} // namespace CG
