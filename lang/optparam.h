// Optional parameters: the annotations written after "|" in Quill text, as tag and typed value.
#pragma once

#include <vector>

namespace CG {

class QulOptionalParameterValue {
public:
    enum Class { TERM = 1, STRING = 2, INTEGER = 3, DOUBLE = 4 };

    virtual ~QulOptionalParameterValue() = default;
    virtual int lineNumber() { return fLineNumber; }
    virtual void setLineNumber(int aLineNumber) { fLineNumber = aLineNumber; }
    int whichClass() const { return fClass; }
    static bool isa(const QulOptionalParameterValue*) { return true; }

protected:
    QulOptionalParameterValue(int aClass, int aLineNumber) : fClass(aClass), fLineNumber(aLineNumber) {}
    [[noreturn]] static void badCast();

private:
    int fClass;
    int fLineNumber;
};

#define CG_OPTPARAM_CASTS(aClass, aCode)                                                          \
    static bool isa(const QulOptionalParameterValue* aValue) { return aValue != nullptr && aValue->whichClass() == (aCode); } \
    static aClass* cast(QulOptionalParameterValue* aValue)                                      \
    {                                                                                           \
        if (!isa(aValue)) {                                                                     \
            badCast();                                                                          \
        }                                                                                       \
        return static_cast<aClass*>(aValue);                                                    \
    }

class QulOptionalParameterTermValue : public QulOptionalParameterValue {
public:
    using Arguments = std::vector<QulOptionalParameterValue*>;
    QulOptionalParameterTermValue(char* aFunctor, Arguments* aArguments, int aLine)
        : QulOptionalParameterValue(TERM, aLine), fFunctor(aFunctor), fArguments(aArguments) {}
    CG_OPTPARAM_CASTS(QulOptionalParameterTermValue, TERM)
    char* functor() const { return fFunctor; }
    int numArguments() const { return fArguments == nullptr ? 0 : static_cast<int>(fArguments->size()); }
    QulOptionalParameterValue* argument(int aIndex) const;

private:
    char* fFunctor;
    Arguments* fArguments;
};

class QulOptionalParameterStringValue : public QulOptionalParameterValue {
public:
    QulOptionalParameterStringValue(char* aText, int aLine) : QulOptionalParameterValue(STRING, aLine), fText(aText) {}
    CG_OPTPARAM_CASTS(QulOptionalParameterStringValue, STRING)
    char* toString() const { return fText; }

private:
    char* fText;
};

class QulOptionalParameterIntegerValue : public QulOptionalParameterValue {
public:
    QulOptionalParameterIntegerValue(char* aText, int aLine) : QulOptionalParameterValue(INTEGER, aLine), fText(aText) {}
    CG_OPTPARAM_CASTS(QulOptionalParameterIntegerValue, INTEGER)
    // The text as a signed 32-bit integer (rounded to nearest, saturated).
    int toInt() const;
    double toDouble() const { return toInt(); }
    char* text() const { return fText; }

private:
    char* fText;
};

class QulOptionalParameterDoubleValue : public QulOptionalParameterValue {
public:
    QulOptionalParameterDoubleValue(char* aText, int aLine) : QulOptionalParameterValue(DOUBLE, aLine), fText(aText) {}
    CG_OPTPARAM_CASTS(QulOptionalParameterDoubleValue, DOUBLE)
    double toDouble() const;
    char* text() const { return fText; }

private:
    char* fText;
};

#undef CG_OPTPARAM_CASTS

class QulOptionalParameter {
public:
    QulOptionalParameter(char* aTag, QulOptionalParameterValue* aValue) : fTag(aTag), fValue(aValue) {}
    virtual ~QulOptionalParameter() = default;
    char* tag() const { return fTag; }
    QulOptionalParameterValue* value() const { return fValue; }

private:
    char* fTag;
    QulOptionalParameterValue* fValue;
};

} // namespace CG
