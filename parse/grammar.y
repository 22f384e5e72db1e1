/* Quill grammar: the accepted language, one thin action per rule calling the rule functions. */
%require "3.8"
%define api.pure full
%define api.prefix {qulyy}
%define parse.error custom
%param {CG::QulParserCtx* aCtx}

/* The grammar has no conflicts. A bare integer in an expression is reached only through
 * const_cfg_expr, never directly from expr.
 */
%expect 0


%code requires {
#include "parse/rules.h"
}

%code provides {
int qulyylex(QULYYSTYPE* aValue, CG::QulParserCtx* aCtx);
void qulyyerror(CG::QulParserCtx* aCtx, const char* aMessage);
}

%code {
#define YYMAXDEPTH 20000
#define YYINITDEPTH 200
// Grown parse stacks come from a pool of the parse, so an exception leaving an action leaks nothing, and a
// parser that reads many texts does not keep the stacks of every one.
#define YYMALLOC(aSize) (aCtx->stackPool()->alloc(aSize))
#define YYFREE(aBlock) static_cast<void>(aBlock)
using namespace CG;
namespace R = CG::QulRules;
}

%union {
    long num;
    char* str;
    CG::TypeBuilder* type;
    CG::QulTypeBuilderList* types;
    CG::AggregateTypeFieldBuilder* field;
    CG::QulFieldList* fields;
    CG::ClassTypeFieldBuilder* member;
    CG::QulMemberList* members;
    CG::Inheritance* base;
    CG::QulBaseList* bases;
    CG::EnumTypeElement* element;
    CG::QulElementList* elements;
    CG::QulOptionalParameter* param;
    CG::QulParamList* params;
    CG::QulOptionalParameterValue* value;
    CG::QulValueList* values;
    CG::QulConstructorParam* cparam;
    CG::QulConstructorParamList* cparams;
    CG::Region* region;
    CG::Expr* expr;
    CG::QulExprList* exprs;
    CG::QulLiteral* literal;
    CG::QulLiteralList* literals;
    CG::SymbolicSize* size;
    CG::QulSizeList* sizes;
    CG::QulDynamicDim* dim;
    CG::QulDynamicDimList* dims;
    CG::QulNumberList* numbers;
    CG::QulCaseStmt* caseStmt;
    CG::QulCaseList* cases;
    CG::Var* var;
    CG::Symbol* symbol;
}

%token QUL_EOF 0 "$end"
%token QUL_SCOPE QUL_O_CURL QUL_C_CURL QUL_O_PAREN QUL_C_PAREN QUL_O_BRACKET QUL_C_BRACKET QUL_COLON
%token QUL_SEPARATOR QUL_TERMINATOR QUL_LITERAL QUL_ASSIGN QUL_DEREF QUL_VERTICALBAR QUL_VERTICALBAR_COLON
%token QUL_VERTICALBAR_GT QUL_DOUBLE_VERTICALBAR QUL_TYPE QUL_TYPEDEF QUL_TYPEALIAS QUL_FUNCTION QUL_METHOD
%token QUL_PROTOTYPE QUL_VAR QUL_VAR_EXPR QUL_CONST_EXPR QUL_SYMBOLIC_EXPR QUL_SYMBOLIC_ID
%token <num> QUL_BOOLEAN_CONSTANT
%token <str> QUL_INTEGER_CONSTANT QUL_SINGLE_QUOTED_LITERAL QUL_FLOATING_CONSTANT
%token QUL_ENUMERATION_CONSTANT
%token <str> QUL_STRING_LITERAL QUL_IDENTIFIER
%token QUL_CONST QUL_CONSTDEF QUL_ENUM QUL_SIGNED QUL_UNSIGNED QUL_FIXPT QUL_SCLDBL QUL_POINTER QUL_REFERENCE
%token QUL_DYNMATRIX QUL_DYNROWMATRIX QUL_MATRIX QUL_ROWMATRIX QUL_COLMATRIX QUL_COMPLEX QUL_FCNTYPE QUL_STRUCT
%token QUL_CLASS QUL_UNION QUL_VOLATILE QUL_READONLY
%token <str> QUL_MCAT
%token QUL_SWITCH QUL_CASE QUL_DEFAULT QUL_ELSE QUL_FOR QUL_WHILE QUL_DO QUL_GOTO QUL_LABEL QUL_IF
%token QUL_EXTERN QUL_OVERFLOW QUL_DIVBYZERO QUL_INIT QUL_COMMENT QUL_LITERAL_TEXT QUL_CHECK QUL_DELETE
%token QUL_SIZEOF QUL_NEW QUL_PARFOR QUL_PARALLELVARCLASSIFIER

%type <str> paren_identifier symbol_assignment sep_identifier
%type <str> typefieldname optional_visibility optional_parameter_tag
%type <num> type_qualifiers ne_sep_integer forlooptoken
%type <var> var_def
%type <symbol> constdef_def type_def
%type <cparam> constructor_parameter
%type <cparams> constructor_parameter_list ne_constructor_parameter_list
%type <literal> const_expr sep_const_expr
%type <literals> const_expr_list ne_const_expr_list
%type <type> type_expr type_defined_expr signed_type unsigned_type matrix_type class_type struct_type union_type
%type <type> function_type enum_type dynamicmatrix_type fixpt_type scldbl_type complex_type pointer_type
%type <type> reference_type opt_type
%type <types> parameter_list parameter_list_group
%type <field> typefieldnamepair
%type <fields> typefieldnamepairlist
%type <member> class_field
%type <members> class_field_list
%type <base> inheritance_entry
%type <bases> inheritance_list optional_inheritance_list
%type <element> enum_const_def
%type <elements> enum_def_list
%type <params> optional_parameter_list ne_optional_parameter_list
%type <param> optional_parameter
%type <value> optional_parameter_value optional_parameter_string_value optional_parameter_integer_value
%type <value> optional_parameter_double_value optional_parameter_term_value
%type <values> optional_parameter_term_argument_list
%type <region> function_body block stmts stmt if_stmt switch_stmt goto_stmt label_stmt for_stmt while_stmt
%type <region> dowhile_stmt expr_stmt listener_stmt overflow_stmt divbyzero_stmt init_stmt comment_stmt
%type <region> literal_text_stmt parallel_var_classifier_stmt delete_stmt function_symbol_def
%type <cases> cases case_list
%type <caseStmt> case_stmt
%type <expr> expr listener_expr const_cfg_expr const_cfg_expr_expr var_cfg_expr
%type <exprs> expr_list ne_expr_list
%type <size> symbolic_size ne_size
%type <sizes> ne_size_list
%type <dim> dynamic_dimension
%type <dims> dynamic_size_list
%type <numbers> intfloat_const ne_float_list sep_float_list

%start program

%%

program
    : { R::programStart(aCtx); } global_symbol_defs { R::programEnd(aCtx); }
    ;

global_symbol_defs
    : %empty
    | global_symbol_defs scope_symbol_def
    ;

scope_symbol_def
    : var_def QUL_TERMINATOR
    | constdef_def QUL_TERMINATOR
    | type_def QUL_TERMINATOR
    | scope_def
    | function_def
    | method_def
    | prototype_def
    | symbolic_id_def QUL_TERMINATOR
    ;

scope_symbol_defs
    : %empty
    | scope_symbol_defs scope_symbol_def
    ;

function_symbol_def
    : var_def QUL_TERMINATOR { $$ = R::emptyRegion(aCtx); }
    | constdef_def QUL_TERMINATOR { $$ = R::emptyRegion(aCtx); }
    | type_def QUL_TERMINATOR { $$ = R::emptyRegion(aCtx); }
    ;

scope_def
    : QUL_SCOPE paren_identifier QUL_O_CURL { R::scopeOpen(aCtx, $2); } scope_symbol_defs QUL_C_CURL { R::scopeClose(aCtx); }
    ;

paren_identifier
    : QUL_O_PAREN QUL_C_PAREN { $$ = nullptr; }
    | QUL_O_PAREN QUL_IDENTIFIER QUL_C_PAREN { $$ = $2; }
    | QUL_O_PAREN QUL_STRING_LITERAL QUL_C_PAREN { $$ = $2; }
    ;

constdef_def
    : symbol_assignment QUL_CONSTDEF QUL_O_PAREN type_expr sep_const_expr sep_identifier optional_parameter_list QUL_C_PAREN
        { $$ = R::constDef(aCtx, $1, $4, $5, $6, $7); }
    ;

var_def
    : symbol_assignment QUL_VAR QUL_O_PAREN type_expr sep_identifier optional_parameter_list QUL_C_PAREN
        { $$ = R::varDef(aCtx, $1, $4, $5, nullptr, $6); }
    | symbol_assignment QUL_VAR QUL_O_PAREN type_expr sep_identifier QUL_ASSIGN const_expr optional_parameter_list QUL_C_PAREN
        { $$ = R::varDef(aCtx, $1, $4, $5, $7, $8); }
    ;

type_def
    : symbol_assignment QUL_TYPEALIAS QUL_O_PAREN type_expr sep_identifier optional_parameter_list QUL_C_PAREN
        { $$ = R::typeDef(aCtx, $1, $4, $5, $6, true); }
    | symbol_assignment QUL_TYPEDEF QUL_O_PAREN type_expr sep_identifier optional_parameter_list QUL_C_PAREN
        { $$ = R::typeDef(aCtx, $1, $4, $5, $6, false); }
    ;

prototype_def
    : symbol_assignment QUL_PROTOTYPE { R::callableOpen(aCtx); }
      QUL_O_PAREN constructor_parameter_list optional_parameter_list QUL_C_PAREN
        { R::callableDefine(aCtx, $1, $5, $6, R::CallableKind::Prototype); }
      QUL_TERMINATOR { R::callableClose(aCtx, nullptr); }
    ;

function_def
    : symbol_assignment QUL_FUNCTION { R::callableOpen(aCtx); }
      QUL_O_PAREN constructor_parameter_list optional_parameter_list QUL_C_PAREN
        { R::callableDefine(aCtx, $1, $5, $6, R::CallableKind::Function); }
      function_body { R::callableClose(aCtx, $9); }
    ;

method_def
    : symbol_assignment QUL_METHOD { R::callableOpen(aCtx); }
      QUL_O_PAREN constructor_parameter_list optional_parameter_list QUL_C_PAREN
        { R::callableDefine(aCtx, $1, $5, $6, R::CallableKind::Method); }
      function_body { R::callableClose(aCtx, $9); }
    ;

symbolic_id_def
    : symbol_assignment QUL_SYMBOLIC_ID QUL_O_PAREN QUL_IDENTIFIER QUL_C_PAREN { R::symbolicIdDef(aCtx, $1, $4); }
    ;

symbol_assignment
    : %empty { $$ = nullptr; }
    | QUL_IDENTIFIER QUL_ASSIGN { $$ = $1; }
    ;

sep_identifier
    : %empty { $$ = nullptr; }
    | QUL_SEPARATOR QUL_IDENTIFIER { $$ = $2; }
    | QUL_SEPARATOR QUL_STRING_LITERAL { $$ = $2; }
    ;

constructor_parameter_list
    : %empty { $$ = R::newList<QulConstructorParamList>(aCtx); }
    | ne_constructor_parameter_list { $$ = $1; }
    ;

ne_constructor_parameter_list
    : constructor_parameter { $$ = R::listOf<QulConstructorParamList>(aCtx, $1); }
    | ne_constructor_parameter_list QUL_SEPARATOR constructor_parameter { $$ = R::append($1, $3); }
    ;

constructor_parameter
    : QUL_IDENTIFIER { $$ = R::nameParam(aCtx, $1); }
    | QUL_STRING_LITERAL { $$ = R::stringParam(aCtx, $1); }
    | var_def { $$ = R::varParam(aCtx, $1); }
    | QUL_O_PAREN constructor_parameter_list QUL_C_PAREN { $$ = R::listParam(aCtx, $2); }
    ;

const_expr
    : QUL_BOOLEAN_CONSTANT { $$ = R::boolLiteral(aCtx, $1); }
    | QUL_INTEGER_CONSTANT { $$ = R::integerLiteral(aCtx, $1); }
    | QUL_FLOATING_CONSTANT { $$ = R::doubleLiteral(aCtx, $1); }
    | QUL_IDENTIFIER { $$ = R::enumLiteral(aCtx, $1); }
    | QUL_STRING_LITERAL { $$ = R::stringLiteral(aCtx, $1); }
    | QUL_O_CURL const_expr_list QUL_C_CURL { $$ = R::compositeLiteral(aCtx, $2); }
    | QUL_SINGLE_QUOTED_LITERAL { $$ = R::stringLiteral(aCtx, $1); }
    ;

const_expr_list
    : %empty { $$ = R::newLiteralList(aCtx); }
    | ne_const_expr_list { $$ = $1; }
    ;

ne_const_expr_list
    : const_expr { $$ = R::appendLiteral(R::newLiteralList(aCtx), $1); }
    | ne_const_expr_list QUL_SEPARATOR const_expr { $$ = R::appendLiteral($1, $3); }
    ;

sep_const_expr
    : QUL_SEPARATOR const_expr { $$ = $2; }
    ;

type_expr
    : type_qualifiers type_defined_expr { $$ = R::qualifiedType(aCtx, $1, $2); }
    ;

type_qualifiers
    : %empty { $$ = 0; }
    | QUL_VOLATILE { $$ = R::kVolatile; }
    | QUL_READONLY { $$ = R::kReadonly; }
    | QUL_VOLATILE QUL_READONLY { $$ = R::kVolatile | R::kReadonly; }
    | QUL_READONLY QUL_VOLATILE { $$ = R::kVolatile | R::kReadonly; }
    ;

type_defined_expr
    : QUL_IDENTIFIER { $$ = R::namedType(aCtx, $1); }
    | signed_type
    | unsigned_type
    | matrix_type
    | class_type
    | struct_type
    | union_type
    | function_type
    | enum_type
    | dynamicmatrix_type
    | fixpt_type
    | scldbl_type
    | complex_type
    | pointer_type
    | reference_type
    ;

signed_type
    : QUL_SIGNED QUL_O_PAREN QUL_INTEGER_CONSTANT optional_parameter_list QUL_C_PAREN { $$ = R::integerType(aCtx, $3, true, $4); }
    ;

unsigned_type
    : QUL_UNSIGNED QUL_O_PAREN QUL_INTEGER_CONSTANT optional_parameter_list QUL_C_PAREN { $$ = R::integerType(aCtx, $3, false, $4); }
    ;

matrix_type
    : QUL_MATRIX QUL_O_PAREN type_expr QUL_SEPARATOR ne_size_list optional_parameter_list QUL_C_PAREN
        { $$ = R::matrixType(aCtx, $3, $5, R::MatrixLayout::Matrix, $6); }
    | QUL_ROWMATRIX QUL_O_PAREN type_expr QUL_SEPARATOR ne_size_list optional_parameter_list QUL_C_PAREN
        { $$ = R::matrixType(aCtx, $3, $5, R::MatrixLayout::Row, $6); }
    | QUL_COLMATRIX QUL_O_PAREN type_expr QUL_SEPARATOR ne_size_list optional_parameter_list QUL_C_PAREN
        { $$ = R::matrixType(aCtx, $3, $5, R::MatrixLayout::Column, $6); }
    ;

typefieldname
    : QUL_IDENTIFIER
    | QUL_SINGLE_QUOTED_LITERAL
    ;

typefieldnamepair
    : QUL_O_PAREN type_expr QUL_SEPARATOR typefieldname optional_parameter_list QUL_C_PAREN { $$ = R::field(aCtx, $2, $4, $5); }
    ;

typefieldnamepairlist
    : %empty { $$ = R::newList<QulFieldList>(aCtx); }
    | typefieldnamepair { $$ = R::listOf<QulFieldList>(aCtx, $1); }
    | typefieldnamepairlist QUL_SEPARATOR typefieldnamepair { $$ = R::append($1, $3); }
    ;

optional_visibility
    : %empty { $$ = nullptr; }
    | QUL_STRING_LITERAL
    ;

class_field
    : QUL_O_PAREN optional_visibility type_expr QUL_SEPARATOR QUL_IDENTIFIER optional_parameter_list QUL_C_PAREN
        { $$ = R::classField(aCtx, $2, $3, $5, $6); }
    ;

class_field_list
    : %empty { $$ = R::newList<QulMemberList>(aCtx); }
    | class_field { $$ = R::listOf<QulMemberList>(aCtx, $1); }
    | class_field_list QUL_SEPARATOR class_field { $$ = R::append($1, $3); }
    ;

inheritance_entry
    : QUL_STRING_LITERAL QUL_IDENTIFIER { $$ = R::inheritance(aCtx, $1, $2); }
    | QUL_IDENTIFIER { $$ = R::inheritance(aCtx, nullptr, $1); }
    ;

inheritance_list
    : inheritance_entry { $$ = R::listOf<QulBaseList>(aCtx, $1); }
    | inheritance_list QUL_SEPARATOR inheritance_entry { $$ = R::append($1, $3); }
    ;

optional_inheritance_list
    : %empty { $$ = R::newList<QulBaseList>(aCtx); }
    | QUL_COLON inheritance_list { $$ = $2; }
    ;

class_type
    : QUL_CLASS QUL_O_PAREN class_field_list optional_inheritance_list optional_parameter_list QUL_C_PAREN
        { $$ = R::classType(aCtx, $3, $4, $5); }
    ;

struct_type
    : QUL_STRUCT QUL_O_PAREN typefieldnamepairlist optional_parameter_list QUL_C_PAREN
        { $$ = R::aggregateType(aCtx, false, nullptr, $3, $4); }
    | QUL_STRUCT QUL_IDENTIFIER QUL_O_PAREN typefieldnamepairlist optional_parameter_list QUL_C_PAREN
        { $$ = R::aggregateType(aCtx, false, $2, $4, $5); }
    ;

union_type
    : QUL_UNION QUL_O_PAREN typefieldnamepairlist optional_parameter_list QUL_C_PAREN
        { $$ = R::aggregateType(aCtx, true, nullptr, $3, $4); }
    | QUL_UNION QUL_IDENTIFIER QUL_O_PAREN typefieldnamepairlist optional_parameter_list QUL_C_PAREN
        { $$ = R::aggregateType(aCtx, true, $2, $4, $5); }
    ;

function_type
    : QUL_FCNTYPE QUL_O_PAREN parameter_list_group QUL_SEPARATOR parameter_list_group optional_parameter_list QUL_C_PAREN
        { $$ = R::fcnType(aCtx, $3, $5, $6); }
    ;

parameter_list_group
    : QUL_O_PAREN parameter_list QUL_C_PAREN { $$ = $2; }
    ;

parameter_list
    : %empty { $$ = R::newList<QulTypeBuilderList>(aCtx); }
    | type_expr { $$ = R::listOf<QulTypeBuilderList>(aCtx, $1); }
    | type_expr QUL_SEPARATOR parameter_list { $$ = R::prepend($3, $1); }
    ;

enum_const_def
    : QUL_O_PAREN QUL_IDENTIFIER QUL_SEPARATOR QUL_INTEGER_CONSTANT QUL_C_PAREN { $$ = R::enumElement(aCtx, $2, $4); }
    ;

enum_def_list
    : enum_const_def { $$ = R::listOf<QulElementList>(aCtx, $1); }
    | enum_def_list QUL_SEPARATOR enum_const_def { $$ = R::append($1, $3); }
    ;

enum_type
    : QUL_ENUM QUL_IDENTIFIER QUL_O_PAREN enum_def_list optional_parameter_list QUL_C_PAREN { $$ = R::enumType(aCtx, $2, $4, $5); }
    | QUL_ENUM QUL_O_PAREN enum_def_list optional_parameter_list QUL_C_PAREN { $$ = R::enumType(aCtx, nullptr, $3, $4); }
    ;

dynamicmatrix_type
    : QUL_DYNMATRIX QUL_O_PAREN type_expr QUL_SEPARATOR dynamic_size_list optional_parameter_list QUL_C_PAREN
        { $$ = R::dynamicMatrixType(aCtx, $3, $5, false, $6); }
    | QUL_DYNROWMATRIX QUL_O_PAREN type_expr QUL_SEPARATOR dynamic_size_list optional_parameter_list QUL_C_PAREN
        { $$ = R::dynamicMatrixType(aCtx, $3, $5, true, $6); }
    ;

fixpt_type
    : QUL_FIXPT QUL_O_PAREN type_expr ne_sep_integer ne_sep_integer sep_float_list optional_parameter_list QUL_C_PAREN
        { $$ = R::fixptLongType(aCtx, false, $3, $4, $5, $6, $7); }
    | QUL_FIXPT QUL_O_PAREN QUL_INTEGER_CONSTANT sep_float_list QUL_C_PAREN { $$ = R::fixptShortType(aCtx, false, $3, $4); }
    ;

scldbl_type
    : QUL_SCLDBL QUL_O_PAREN type_expr ne_sep_integer ne_sep_integer sep_float_list optional_parameter_list QUL_C_PAREN
        { $$ = R::fixptLongType(aCtx, true, $3, $4, $5, $6, $7); }
    | QUL_SCLDBL QUL_O_PAREN QUL_INTEGER_CONSTANT sep_float_list QUL_C_PAREN { $$ = R::fixptShortType(aCtx, true, $3, $4); }
    ;

complex_type
    : QUL_COMPLEX QUL_O_PAREN type_expr optional_parameter_list QUL_C_PAREN { $$ = R::complexType(aCtx, $3, $4); }
    ;

pointer_type
    : QUL_POINTER QUL_O_PAREN type_expr optional_parameter_list QUL_C_PAREN { $$ = R::pointerType(aCtx, $3, $4); }
    ;

reference_type
    : QUL_REFERENCE QUL_O_PAREN type_expr optional_parameter_list QUL_C_PAREN { $$ = R::referenceType(aCtx, $3, $4); }
    ;

optional_parameter_list
    : %empty { $$ = nullptr; }
    | QUL_VERTICALBAR ne_optional_parameter_list { $$ = $2; }
    ;

ne_optional_parameter_list
    : optional_parameter { $$ = R::listOf<QulParamList>(aCtx, $1); }
    | ne_optional_parameter_list QUL_SEPARATOR optional_parameter { $$ = R::append($1, $3); }
    ;

optional_parameter
    : optional_parameter_tag QUL_COLON optional_parameter_value { $$ = R::optionalParameter(aCtx, $1, $3); }
    ;

optional_parameter_tag
    : QUL_STRING_LITERAL
    | QUL_IDENTIFIER
    ;

optional_parameter_value
    : optional_parameter_string_value
    | optional_parameter_integer_value
    | optional_parameter_double_value
    | optional_parameter_term_value
    | QUL_READONLY { $$ = R::stringValue(aCtx, R::intern(aCtx, "readonly")); }
    ;

optional_parameter_string_value
    : QUL_STRING_LITERAL { $$ = R::stringValue(aCtx, $1); }
    | QUL_IDENTIFIER { $$ = R::stringValue(aCtx, $1); }
    ;

optional_parameter_integer_value
    : QUL_INTEGER_CONSTANT { $$ = R::integerValue(aCtx, $1); }
    ;

optional_parameter_double_value
    : QUL_FLOATING_CONSTANT { $$ = R::doubleValue(aCtx, $1); }
    ;

optional_parameter_term_value
    : QUL_IDENTIFIER QUL_O_PAREN optional_parameter_term_argument_list QUL_C_PAREN { $$ = R::termValue(aCtx, $1, $3); }
    ;

optional_parameter_term_argument_list
    : optional_parameter_value { $$ = R::listOf<QulValueList>(aCtx, $1); }
    | optional_parameter_value QUL_SEPARATOR optional_parameter_term_argument_list { $$ = R::prepend($3, $1); }
    ;

function_body
    : block
    | %empty { $$ = nullptr; }
    ;

block
    : QUL_O_CURL stmts QUL_C_CURL { $$ = $2; }
    ;

stmts
    : %empty { $$ = R::emptyRegion(aCtx); }
    | stmts stmt { $$ = R::concat(aCtx, $1, $2); }
    ;

stmt
    : function_symbol_def
    | if_stmt
    | switch_stmt
    | goto_stmt
    | label_stmt
    | for_stmt
    | while_stmt
    | dowhile_stmt
    | expr_stmt
    | listener_stmt
    | overflow_stmt
    | divbyzero_stmt
    | init_stmt
    | comment_stmt
    | literal_text_stmt
    | parallel_var_classifier_stmt
    | delete_stmt
    ;

if_stmt
    : QUL_IF QUL_O_PAREN expr optional_parameter_list QUL_C_PAREN block QUL_ELSE block { $$ = R::ifStmt(aCtx, $3, $4, $6, $8); }
    ;

switch_stmt
    : QUL_SWITCH QUL_O_PAREN expr optional_parameter_list QUL_C_PAREN QUL_O_CURL cases QUL_C_CURL
        { $$ = R::switchStmt(aCtx, $3, $4, $7); }
    ;

cases
    : case_list QUL_DEFAULT QUL_COLON stmts { $$ = R::casesWithDefault(aCtx, $1, $4); }
    ;

case_list
    : %empty { $$ = R::newList<QulCaseList>(aCtx); }
    | case_stmt case_list { $$ = R::prepend($2, $1); }
    ;

case_stmt
    : QUL_CASE QUL_O_PAREN expr QUL_C_PAREN QUL_COLON stmts { $$ = R::caseStmt(aCtx, $3, $6); }
    ;

for_stmt
    : forlooptoken QUL_O_PAREN expr QUL_SEPARATOR expr QUL_SEPARATOR expr QUL_SEPARATOR expr optional_parameter_list QUL_C_PAREN block
        { $$ = R::forStmt(aCtx, $1 != 0, $3, $5, $7, $9, $10, $12); }
    ;

forlooptoken
    : QUL_FOR { $$ = 0; }
    | QUL_PARFOR { $$ = 1; }
    ;

while_stmt
    : QUL_WHILE QUL_O_PAREN expr optional_parameter_list QUL_C_PAREN block { $$ = R::whileStmt(aCtx, $3, $4, $6); }
    ;

dowhile_stmt
    : QUL_DO block QUL_WHILE QUL_O_PAREN expr optional_parameter_list QUL_C_PAREN QUL_TERMINATOR
        { $$ = R::doWhileStmt(aCtx, $2, $5, $6); }
    ;

goto_stmt
    : QUL_GOTO QUL_O_PAREN QUL_IDENTIFIER optional_parameter_list QUL_C_PAREN QUL_TERMINATOR { $$ = R::gotoStmt(aCtx, $3, $4); }
    ;

label_stmt
    : QUL_LABEL QUL_O_PAREN QUL_IDENTIFIER optional_parameter_list QUL_C_PAREN QUL_TERMINATOR { $$ = R::labelStmt(aCtx, $3, $4); }
    ;

overflow_stmt
    : QUL_OVERFLOW QUL_O_PAREN optional_parameter_list QUL_C_PAREN QUL_TERMINATOR { $$ = R::overflowStmt(aCtx, $3); }
    ;

divbyzero_stmt
    : QUL_DIVBYZERO QUL_O_PAREN optional_parameter_list QUL_C_PAREN QUL_TERMINATOR { $$ = R::divByZeroStmt(aCtx, $3); }
    ;

init_stmt
    : QUL_INIT QUL_O_PAREN expr QUL_SEPARATOR const_cfg_expr optional_parameter_list QUL_C_PAREN QUL_TERMINATOR
        { $$ = R::initStmt(aCtx, $3, $5, $6); }
    ;

delete_stmt
    : QUL_DELETE QUL_O_PAREN expr optional_parameter_list QUL_C_PAREN QUL_TERMINATOR { $$ = R::deleteStmt(aCtx, $3, $4); }
    ;

comment_stmt
    : QUL_COMMENT opt_type QUL_O_PAREN QUL_STRING_LITERAL optional_parameter_list QUL_C_PAREN QUL_TERMINATOR
        { $$ = R::commentStmt(aCtx, $4, $5); }
    ;

literal_text_stmt
    : QUL_LITERAL_TEXT opt_type QUL_O_PAREN QUL_STRING_LITERAL optional_parameter_list QUL_C_PAREN QUL_TERMINATOR
        { $$ = R::literalTextStmt(aCtx, $4, $5); }
    ;

parallel_var_classifier_stmt
    : QUL_PARALLELVARCLASSIFIER QUL_O_PAREN expr QUL_SEPARATOR expr QUL_C_PAREN QUL_TERMINATOR
        { $$ = R::parallelVarClassifierStmt(aCtx, $3, $5); }
    ;

listener_stmt
    : QUL_VERTICALBAR_COLON QUL_IDENTIFIER QUL_O_PAREN expr_list optional_parameter_list QUL_C_PAREN QUL_TERMINATOR
        { $$ = R::listenerStmt(aCtx, $2, $4, $5); }
    ;

expr_stmt
    : expr QUL_TERMINATOR { $$ = R::exprStmt(aCtx, $1); }
    ;

opt_type
    : %empty { $$ = nullptr; }
    | QUL_O_BRACKET type_expr QUL_C_BRACKET { $$ = $2; }
    ;

expr
    : QUL_IDENTIFIER opt_type QUL_O_PAREN expr_list optional_parameter_list QUL_C_PAREN { $$ = R::applyExpr(aCtx, $1, $2, $4, $5); }
    | QUL_MCAT opt_type QUL_O_PAREN QUL_INTEGER_CONSTANT QUL_SEPARATOR expr_list optional_parameter_list QUL_C_PAREN
        { $$ = R::matrixCatExpr(aCtx, $2, $4, $6, $7); }
    | QUL_NEW QUL_O_PAREN type_expr QUL_C_PAREN { $$ = R::newExpr(aCtx, $3); }
    | QUL_IDENTIFIER opt_type QUL_O_PAREN QUL_O_PAREN expr_list QUL_C_PAREN QUL_SEPARATOR QUL_O_PAREN expr_list QUL_C_PAREN optional_parameter_list QUL_C_PAREN
        { $$ = R::multiOutputCallExpr(aCtx, $1, $2, $5, $9, $11); }
    | listener_expr
    | const_cfg_expr
    | const_cfg_expr_expr
    | var_cfg_expr
    | QUL_SINGLE_QUOTED_LITERAL { $$ = R::quotedConstExpr(aCtx, $1); }
    | QUL_IDENTIFIER { $$ = R::nameExpr(aCtx, $1); }
    | QUL_SIZEOF opt_type QUL_O_PAREN type_expr QUL_C_PAREN { $$ = R::sizeofExpr(aCtx, $2, $4); }
    | QUL_COMPLEX opt_type QUL_O_PAREN expr_list optional_parameter_list QUL_C_PAREN
        { $$ = R::applyExpr(aCtx, R::intern(aCtx, "complex"), $2, $4, $5); }
    | QUL_DOUBLE_VERTICALBAR opt_type QUL_O_PAREN expr_list optional_parameter_list QUL_C_PAREN
        { $$ = R::applyExpr(aCtx, R::intern(aCtx, "||"), $2, $4, $5); }
    | QUL_SYMBOLIC_EXPR QUL_O_PAREN QUL_IDENTIFIER QUL_C_PAREN { $$ = R::symbolicSizeExpr(aCtx, $3); }
    ;

listener_expr
    : QUL_VERTICALBAR_GT QUL_IDENTIFIER opt_type QUL_O_PAREN expr_list optional_parameter_list QUL_C_PAREN
        { $$ = R::listenerExpr(aCtx, $2, $3, $5, $6); }
    | QUL_DEREF QUL_IDENTIFIER { $$ = R::derefName(aCtx, $2); }
    | QUL_DEREF opt_type QUL_O_PAREN expr optional_parameter_list QUL_C_PAREN { $$ = R::derefExpr(aCtx, $2, $4, $5); }
    | QUL_CHECK opt_type QUL_O_PAREN expr QUL_SEPARATOR QUL_IDENTIFIER sep_float_list optional_parameter_list QUL_C_PAREN
        { $$ = R::checkExpr(aCtx, $2, $4, $6, $7, $8); }
    | QUL_CHECK opt_type QUL_O_PAREN expr QUL_SEPARATOR QUL_IDENTIFIER QUL_SEPARATOR QUL_O_PAREN expr_list QUL_C_PAREN optional_parameter_list QUL_C_PAREN
        { $$ = R::checkExprList(aCtx, $2, $4, $6, $9, $11); }
    ;

const_cfg_expr
    : QUL_CONST opt_type QUL_O_PAREN type_expr sep_const_expr optional_parameter_list QUL_C_PAREN
        { $$ = R::constValueExpr(aCtx, $2, $4, $5, $6); }
    | QUL_INTEGER_CONSTANT { $$ = R::integerConstExpr(aCtx, $1); }
    ;

const_cfg_expr_expr
    : QUL_CONST_EXPR opt_type QUL_O_PAREN QUL_IDENTIFIER optional_parameter_list QUL_C_PAREN
        { $$ = R::constNameExpr(aCtx, $2, $4, $5); }
    ;

var_cfg_expr
    : QUL_VAR_EXPR opt_type QUL_O_PAREN QUL_IDENTIFIER optional_parameter_list QUL_C_PAREN { $$ = R::varNameExpr(aCtx, $2, $4, $5); }
    ;

expr_list
    : %empty { $$ = R::newList<QulExprList>(aCtx); }
    | ne_expr_list
    ;

ne_expr_list
    : expr { $$ = R::listOf<QulExprList>(aCtx, $1); }
    | ne_expr_list QUL_SEPARATOR expr { $$ = R::append($1, $3); }
    ;

symbolic_size
    : QUL_INTEGER_CONSTANT { $$ = R::knownSize(aCtx, $1); }
    | QUL_IDENTIFIER { $$ = R::namedSize(aCtx, $1); }
    | QUL_IDENTIFIER QUL_O_PAREN symbolic_size QUL_C_PAREN { $$ = R::unarySize(aCtx, $1, $3); }
    | QUL_IDENTIFIER QUL_O_PAREN symbolic_size QUL_SEPARATOR symbolic_size QUL_C_PAREN { $$ = R::binarySize(aCtx, $1, $3, $5); }
    | QUL_DOUBLE_VERTICALBAR QUL_O_PAREN symbolic_size QUL_SEPARATOR symbolic_size QUL_C_PAREN
        { $$ = R::binarySize(aCtx, R::intern(aCtx, "||"), $3, $5); }
    ;

ne_size
    : symbolic_size
    | QUL_COLON { $$ = R::unknownSize(aCtx); }
    ;

ne_size_list
    : ne_size { $$ = R::listOf<QulSizeList>(aCtx, $1); }
    | ne_size_list QUL_SEPARATOR ne_size { $$ = R::append($1, $3); }
    ;

dynamic_dimension
    : symbolic_size { $$ = R::fixedDim(aCtx, $1); }
    | QUL_COLON symbolic_size { $$ = R::variableDim(aCtx, $2); }
    | QUL_COLON { $$ = R::variableDim(aCtx, R::unknownSize(aCtx)); }
    ;

dynamic_size_list
    : dynamic_dimension { $$ = R::listOf<QulDynamicDimList>(aCtx, $1); }
    | dynamic_size_list QUL_SEPARATOR dynamic_dimension { $$ = R::append($1, $3); }
    ;

ne_sep_integer
    : QUL_SEPARATOR QUL_INTEGER_CONSTANT { $$ = R::integerValueOf(aCtx, $2); }
    ;

intfloat_const
    : QUL_INTEGER_CONSTANT { $$ = R::listOf<QulNumberList>(aCtx, $1); }
    | QUL_FLOATING_CONSTANT { $$ = R::listOf<QulNumberList>(aCtx, $1); }
    | QUL_SINGLE_QUOTED_LITERAL { $$ = R::listOf<QulNumberList>(aCtx, $1); }
    ;

ne_float_list
    : intfloat_const
    | ne_float_list QUL_SEPARATOR intfloat_const { $$ = R::appendAll($1, $3); }
    ;

sep_float_list
    : %empty { $$ = R::newList<QulNumberList>(aCtx); }
    | QUL_SEPARATOR ne_float_list { $$ = $2; }
    ;

%%

int qulyylex(QULYYSTYPE* aValue, CG::QulParserCtx* aCtx)
{
    return aCtx->nextToken(aValue);
}

void qulyyerror(CG::QulParserCtx* aCtx, const char* aMessage)
{
    aCtx->reportError(aMessage);
}

static const char* tokenDisplayName(yysymbol_kind_t aSymbol)
{
    if (aSymbol == YYSYMBOL_YYUNDEF) {
        return "$undefined";
    }
    return yysymbol_name(aSymbol);
}

// Names the unexpected token and, when there are at most four, the tokens the state accepts.
static int yyreport_syntax_error(const yypcontext_t* aContext, CG::QulParserCtx* aCtx)
{
    enum { kMaxExpected = 4 };
    yysymbol_kind_t expected[kMaxExpected + 1];
    int count = yypcontext_expected_tokens(aContext, expected, kMaxExpected + 1);
    if (count < 0) {
        aCtx->reportError("syntax error");
        return 0;
    }
    std::string message = "syntax error, unexpected ";
    message += tokenDisplayName(yypcontext_token(aContext));
    if (count > kMaxExpected) {
        count = 0;
    }
    for (int i = 0; i < count; ++i) {
        message += i == 0 ? ", expecting " : " or ";
        message += tokenDisplayName(expected[i]);
    }
    aCtx->reportError(message.c_str());
    return 0;
}

// The display name of a token code, as syntax errors print it.
const char* qulTokenName(int aToken)
{
    return tokenDisplayName(YYTRANSLATE(aToken));
}
