// The parser's entry point: reads Quill text into IR definitions in a target scope.
#pragma once

#include "ir/containers.h"

#include <cstddef>
#include <functional>

class CG_Ctx;
class MemPool;

namespace CG {

class Fcn;
class OpTable;
class QulParserCtx;
class QulParserListener;
class Scope;
class TypeChecker;

class QulParser {
public:
    // What the text defines is made in aPool, or in the context's pool when aPool is null.
    QulParser(CG_Ctx* aCtx, MemPool* aPool, Scope* aOuter, Scope* aTarget, TypeChecker* aChecker = nullptr,
              OpTable* aOps = nullptr);
    virtual ~QulParser();
    QulParser(const QulParser&) = delete;
    QulParser& operator=(const QulParser&) = delete;

    // Listeners added here take part in every later parse, ahead of the built-in ones; a listener must
    // outlive the parser. A null listener is ignored.
    void addListener(QulParserListener* aListener);
    // Called on the parse's thread as the parse moves on, with the number of bytes of the text the scanner has
    // taken in (it reads ahead of the token the parse is on). The parse never reads the text behind that point
    // again: a caller may show progress, or let go of that part of the text. Empty, the default: never called.
    void setReadProgress(std::function<void(size_t aBytesRead)> aProgress);
    // Called on the parse's thread as the post-processing finishes each function of the target scope: this parse
    // changes its graph no more, and a caller may start work on it, on another thread too, while the parse goes
    // on with the next one. A parse that fails may have called it for some functions. Empty, the default: never
    // called.
    void setBodyFinished(std::function<void(Fcn* aFcn)> aFinished);
    // Parses the text into the target scope; errors leave by exception. Always returns null. Not reentrant:
    // called again from one of its own listeners it fails with an internal exception.
    IdSet<Fcn*>* parse(const char* aText);
    // The same for the first aLength bytes of aText, which need not end in a null byte.
    IdSet<Fcn*>* parse(const char* aText, size_t aLength);
    QulParserCtx* ctx() const { return fCtx; }

protected:
    virtual void runPostProcessing();

private:
    bool canFinishBodiesOneByOne() const;
    void handOn(Fcn* aFcn);

    MemPool* fPool;
    QulParserCtx* fCtx;
    // Set while a text is read: a listener cannot make the parser read another one meanwhile.
    bool fParsing = false;
    std::function<void(Fcn*)> fBodyFinished;
};

} // namespace CG
