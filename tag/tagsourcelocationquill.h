// Source-location tags for IR built from Quill text, and the creator that stamps the lexer's position.
#pragma once

#include <string>

#include "ir/tag.h"

namespace CG {

class TagSourceLocationQuill : public TagSourceLocation {
public:
    static constexpr int kLocationType = 6;
    // A location holds two numbers: the pool frees it without running its destructor.
    using PoolReclaimsStorage = void;

    TagSourceLocationQuill(unsigned int aLine, unsigned int aColumn) : fLine(aLine), fColumn(aColumn) {}
    TagSourceLocationQuill& operator=(const TagSourceLocationQuill& aOther) = default;

    std::string toPrettyPrintString() const override { return toString(); }
    int getLocationType() const override { return kLocationType; }
    std::string toString() const override;
    std::string getSIDStr() const override { return "module:" + toString(); }
    std::string getNAGStr() const override { return std::string(); }
    std::string getTraceStr() const override { return getSIDStr(); }
    TagSourceLocation* clone(MemPool* aPool) const override;
    std::string getSourceBlockFullPath() const override { return std::string(); }
    void accept(TagSourceLocationVisitor* aVisitor) override;

    unsigned int line() const { return fLine; }
    unsigned int column() const { return fColumn; }

    static bool isa(const TagSourceLocation* aTag) { return aTag != nullptr && aTag->getLocationType() == kLocationType; }
    static TagSourceLocationQuill* cast(TagSourceLocation* aTag);
    static const TagSourceLocationQuill* cast(const TagSourceLocation* aTag);
    // The Quill location tag of an object, or null.
    static TagSourceLocationQuill* of(const CG_Obj* aObj);

private:
    TagSourceLocationQuill(const TagSourceLocationQuill& aOther) = default;

    unsigned int fLine;
    unsigned int fColumn;
};

// Where the text being read stands. The parse in progress lends its position to the tag creator, which
// so need not know the parser.
class SourcePosition {
public:
    virtual int line() const = 0;
    virtual int column() const = 0;

protected:
    ~SourcePosition() = default;
};

class TagCreatorForQuill : public TagCreator {
public:
    // The position of the text the calling thread is parsing, null outside a parse; tags made outside one say
    // line 0.
    static const SourcePosition* reading();
    static void setReading(const SourcePosition* aPosition);

    explicit TagCreatorForQuill(TagHandlerForSourceLocation* aHandler);
    ~TagCreatorForQuill() override;
    TagCreatorForQuill(const TagCreatorForQuill&) = delete;
    TagCreatorForQuill& operator=(const TagCreatorForQuill&) = delete;

    Tag* create(MemPool* aPool, CG_Obj* aObj) override;
    Tag::Kind kind() const override { return Tag::SOURCE_LOCATION; }

private:
    TagHandlerForSourceLocation* fHandler;
};

} // namespace CG
