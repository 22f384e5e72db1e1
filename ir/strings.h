// Interned IR strings: equal texts share one pointer within a context.
#pragma once

#include <cstdarg>
#include <string>

class CG_Ctx;

// printf into a new string (a null format gives "").
std::string cg_string_vformat(const char* aFormat, va_list aArgs);

char* cg_string_create(CG_Ctx* aCtx, const char* aText);
char* cg_string_createf(CG_Ctx* aCtx, const char* aFormat, ...) __attribute__((format(printf, 2, 3)));
// IR strings are stored as bytes already, so the ASCII form is the string itself.
char* cg_string_toascii(const char* aText);
// strcmp that reads null as "".
int cg_strcmp(const char* aLeft, const char* aRight);
int cg_string_cmp(const char* aLeft, const char* aRight);
