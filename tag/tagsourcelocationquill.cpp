// Source-location tags for IR built from Quill text, and the creator that stamps the lexer's position.
#include "tag/tagsourcelocationquill.h"

#include <cstdio>

#include "ir/logger.h"
#include "ir/mempool.h"
#include "ir/obj.h"

namespace CG {

std::string TagSourceLocationQuill::toString() const
{
    char text[48];
    std::snprintf(text, sizeof text, "[L%u, C%u]", fLine, fColumn);
    return text;
}

TagSourceLocation* TagSourceLocationQuill::clone(MemPool* aPool) const
{
    return aPool->make<TagSourceLocationQuill>(fLine, fColumn);
}

void TagSourceLocationQuill::accept(TagSourceLocationVisitor*)
{
    client_assertion_failed("tag/tagsourcelocationquill", __LINE__, "false");
}

TagSourceLocationQuill* TagSourceLocationQuill::cast(TagSourceLocation* aTag)
{
    if (aTag == nullptr) {
        return nullptr;
    }
    if (!isa(aTag)) {
        client_assertion_failed("tag/tagsourcelocationquill", __LINE__, "isa(aTag)");
    }
    return static_cast<TagSourceLocationQuill*>(aTag);
}

const TagSourceLocationQuill* TagSourceLocationQuill::cast(const TagSourceLocation* aTag)
{
    return cast(const_cast<TagSourceLocation*>(aTag));
}

TagSourceLocationQuill* TagSourceLocationQuill::of(const CG_Obj* aObj)
{
    if (aObj == nullptr) {
        return nullptr;
    }
    auto* location = dynamic_cast<TagSourceLocation*>(aObj->tag(Tag::SOURCE_LOCATION));
    return isa(location) ? static_cast<TagSourceLocationQuill*>(location) : nullptr;
}

TagCreatorForQuill::TagCreatorForQuill(TagHandlerForSourceLocation* aHandler) : fHandler(aHandler)
{
    fHandler->setCreator(this);
}

TagCreatorForQuill::~TagCreatorForQuill()
{
    fHandler->resetCreator();
}

namespace {

// A parse runs on one thread and the objects it makes are tagged on that thread: each thread has its own
// position, so parses on other threads neither lend theirs nor restore a position of a parse that is gone.
thread_local const SourcePosition* sReading = nullptr;

} // namespace

const SourcePosition* TagCreatorForQuill::reading()
{
    return sReading;
}

void TagCreatorForQuill::setReading(const SourcePosition* aPosition)
{
    sReading = aPosition;
}

Tag* TagCreatorForQuill::create(MemPool* aPool, CG_Obj*)
{
    unsigned int line = sReading != nullptr ? static_cast<unsigned int>(sReading->line()) : 0;
    unsigned int column = sReading != nullptr ? static_cast<unsigned int>(sReading->column()) : 0;
    return aPool->make<TagSourceLocationQuill>(line, column);
}

} // namespace CG
