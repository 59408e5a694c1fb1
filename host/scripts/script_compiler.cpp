#include "scripts/script_compiler.h"

#include <deque>
#include <map>
#include <unordered_map>

#include "files/input_file.h"
#include "files/replacing_file.h"
#include "scripts/script_bytecode.h"
#include "scripts/script_lexer.h"

namespace zorhost::script {
namespace {

// A failure already formatted with its file; it ends the compilation.
struct Diagnostic : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string place(const std::filesystem::path& file, int32_t line, int32_t column) {
  return file.string() + ":" + std::to_string(line) + ":" + std::to_string(column) + ": error: ";
}

enum class NameKind { kConstant, kNative, kGlobal, kFunction };

struct GlobalName {
  NameKind kind;
  int32_t value;  // the constant's value, or the index of the native, global or function
};

struct Function {
  uint32_t name;
  int params = -1;  // -1 while only called, not yet defined
  uint16_t locals = 0;
  std::vector<uint8_t> code;
};

struct PendingCall {
  int32_t function;
  int argc;
  int32_t line;
  int32_t column;
  std::string name;
};

struct Native {
  uint32_t name;
  uint8_t params;
};

class Compiler {
 public:
  explicit Compiler(std::filesystem::path source) : source_(std::move(source)) {
    functions_.push_back(Function{intern("<init>"), 0, 0, {}});
  }

  std::vector<uint8_t> run(std::string_view text) {
    Lexer lexer(text);
    lexer_ = &lexer;
    cur_ = lexer.next();
    peek_ = lexer.next();
    while (cur_.kind != Tok::kEnd) top_level();
    code_ = &functions_[0].code;
    emit_op(kPushInt);
    emit32(0);
    emit_op(kReturn);
    for (const PendingCall& call : pending_) {
      const Function& f = functions_[call.function];
      if (f.params < 0) throw SourceError(call.line, call.column, "no function named '" + call.name + "'");
      if (f.params != call.argc) {
        throw SourceError(call.line, call.column,
                          "'" + call.name + "' takes " + std::to_string(f.params) + " argument(s), not " +
                              std::to_string(call.argc));
      }
    }
    return serialise();
  }

 private:
  // ---- tokens
  void advance() {
    cur_ = peek_;
    peek_ = lexer_->next();
  }
  [[noreturn]] void fail(const Token& at, const std::string& message) {
    throw SourceError(at.line, at.column, message);
  }
  std::string describe(const Token& t) {
    switch (t.kind) {
      case Tok::kEnd:
        return "the end of the file";
      case Tok::kString:
        return "a string";
      case Tok::kNumber:
        return "the number " + t.text;
      default:
        return "'" + t.text + "'";
    }
  }
  bool is(const char* punct) const { return cur_.kind == Tok::kPunct && cur_.text == punct; }
  bool is_word(const char* word) const { return cur_.kind == Tok::kName && cur_.text == word; }
  void expect(const char* punct) {
    if (!is(punct)) fail(cur_, std::string("expected '") + punct + "' but found " + describe(cur_));
    advance();
  }
  Token expect_name(const char* what) {
    if (cur_.kind != Tok::kName || is_keyword(cur_.text)) {
      fail(cur_, std::string("expected ") + what + " but found " + describe(cur_));
    }
    Token t = cur_;
    advance();
    return t;
  }
  static bool is_keyword(const std::string& word) {
    return word == "include" || word == "native" || word == "var" || word == "function" || word == "if" ||
           word == "else" || word == "while" || word == "return";
  }

  // ---- tables
  uint32_t intern(const std::string& text) {
    auto [it, added] = string_index_.try_emplace(text, static_cast<uint32_t>(strings_.size()));
    if (added) strings_.push_back(text);
    return it->second;
  }
  void declare_global(const Token& name, NameKind kind, int32_t value) {
    if (locals_open_ && find_local(name.text) >= 0) fail(name, "'" + name.text + "' is already declared");
    if (!globals_.emplace(name.text, GlobalName{kind, value}).second) {
      fail(name, "'" + name.text + "' is already declared");
    }
  }
  int find_local(const std::string& name) const {
    for (auto it = locals_.rbegin(); it != locals_.rend(); ++it) {
      if (it->first == name) return it->second;
    }
    return -1;
  }
  uint16_t check_u16(size_t count, const Token& at, const char* what) {
    if (count > 0xFFFF) fail(at, std::string("too many ") + what);
    return static_cast<uint16_t>(count);
  }

  // ---- code
  void emit8(uint8_t b) { code_->push_back(b); }
  void emit_op(Op op) { emit8(op); }
  void emit16(uint16_t v) {
    emit8(v & 0xFF);
    emit8(v >> 8);
  }
  void emit32(uint32_t v) {
    for (int i = 0; i < 4; ++i) emit8((v >> (8 * i)) & 0xFF);
  }
  size_t emit_jump(Op op) {
    emit_op(op);
    const size_t at = code_->size();
    emit32(0);
    return at;
  }
  void patch(size_t at, size_t target) {
    for (int i = 0; i < 4; ++i) (*code_)[at + i] = static_cast<uint8_t>((target >> (8 * i)) & 0xFF);
  }

  // ---- declarations
  void top_level() {
    if (is_word("include")) {
      include();
    } else if (is_word("native")) {
      advance();
      const Token name = expect_name("a function name");
      const int params = parameter_list(nullptr);
      expect(";");
      declare_global(name, NameKind::kNative, static_cast<int32_t>(natives_.size()));
      check_u16(natives_.size() + 1, name, "native functions");
      natives_.push_back(Native{intern(name.text), static_cast<uint8_t>(params)});
    } else if (is_word("var")) {
      code_ = &functions_[0].code;
      var_declaration(true);
    } else if (is_word("function")) {
      function();
    } else {
      fail(cur_, "expected include, native, var or function but found " + describe(cur_));
    }
  }

  int parameter_list(std::vector<Token>* names) {
    expect("(");
    int count = 0;
    if (!is(")")) {
      for (;;) {
        const Token name = expect_name("a parameter name");
        if (names) {
          for (const Token& other : *names) {
            if (other.text == name.text) fail(name, "parameter '" + name.text + "' is named twice");
          }
          names->push_back(name);
        }
        if (++count > 255) fail(name, "more than 255 parameters");
        if (!is(",")) break;
        advance();
      }
    }
    expect(")");
    return count;
  }

  void var_declaration(bool global) {
    advance();  // var
    for (;;) {
      const Token name = expect_name("a variable name");
      uint16_t slot = 0;
      if (global) {
        slot = check_u16(global_count_, name, "global variables");
        declare_global(name, NameKind::kGlobal, slot);
        global_names_.push_back(intern(name.text));
        ++global_count_;
      }
      if (is("=")) {
        advance();
        expression();
      } else {
        emit_op(kPushInt);
        emit32(0);
      }
      if (!global) {
        // Declared after its initial value, so "var x = x;" cannot read the new x.
        slot = declare_local(name);
      }
      emit_op(global ? kStoreGlobal : kStoreLocal);
      emit16(slot);
      emit_op(kPop);
      if (!is(",")) break;
      advance();
    }
    expect(";");
  }

  uint16_t declare_local(const Token& name) {
    if (find_local(name.text) >= 0 || globals_.count(name.text)) {
      fail(name, "'" + name.text + "' is already declared");
    }
    const uint16_t slot = check_u16(locals_.size(), name, "local variables");
    locals_.emplace_back(name.text, slot);
    Function& f = functions_[current_function_];
    if (locals_.size() > f.locals) f.locals = static_cast<uint16_t>(locals_.size());
    return slot;
  }

  int32_t function_index(const Token& name) {
    auto it = globals_.find(name.text);
    if (it == globals_.end()) {
      const int32_t index = static_cast<int32_t>(functions_.size());
      check_u16(functions_.size() + 1, name, "functions");
      functions_.push_back(Function{intern(name.text), -1, 0, {}});
      globals_.emplace(name.text, GlobalName{NameKind::kFunction, index});
      return index;
    }
    if (it->second.kind != NameKind::kFunction) fail(name, "'" + name.text + "' is not a function");
    return it->second.value;
  }

  void function() {
    advance();
    const Token name = expect_name("a function name");
    if (globals_.count(name.text) && globals_.at(name.text).kind != NameKind::kFunction) {
      fail(name, "'" + name.text + "' is already declared");
    }
    const int32_t index = function_index(name);
    if (functions_[index].params >= 0) fail(name, "function '" + name.text + "' is defined twice");
    std::vector<Token> params;
    current_function_ = index;
    locals_.clear();
    locals_open_ = true;
    functions_[index].params = parameter_list(&params);
    for (const Token& p : params) declare_local(p);
    code_ = &functions_[index].code;
    block();
    emit_op(kPushInt);
    emit32(0);
    emit_op(kReturn);
    locals_.clear();
    locals_open_ = false;
    current_function_ = 0;
  }

  // ---- statements
  void block() {
    expect("{");
    const size_t scope = locals_.size();
    while (!is("}")) {
      if (cur_.kind == Tok::kEnd) fail(cur_, "expected '}' but found the end of the file");
      statement();
    }
    advance();
    locals_.resize(scope);
  }

  // Statements and expressions recurse; a limit keeps a hostile script from exhausting the stack. Every
  // recursive path passes through one of the guarded productions: statement (nested statements),
  // unary (brackets, unary operators, call arguments, the operands of binary operators) and an
  // assignment inside expression.
  struct Nesting {
    Nesting(Compiler& c, const Token& at) : compiler(c) {
      if (++compiler.depth_ > kMaxNesting) compiler.fail(at, "nested too deeply");
    }
    ~Nesting() { --compiler.depth_; }
    Compiler& compiler;
  };
  static constexpr int kMaxNesting = 256;

  void statement() {
    const Nesting nesting(*this, cur_);
    if (is("{")) {
      block();
    } else if (is(";")) {
      advance();
    } else if (is_word("var")) {
      var_declaration(false);
    } else if (is_word("if")) {
      advance();
      condition();
      const size_t to_else = emit_jump(kJumpIfFalse);
      statement();
      if (is_word("else")) {
        advance();
        const size_t to_end = emit_jump(kJump);
        patch(to_else, code_->size());
        statement();
        patch(to_end, code_->size());
      } else {
        patch(to_else, code_->size());
      }
    } else if (is_word("while")) {
      advance();
      const size_t start = code_->size();
      condition();
      const size_t to_end = emit_jump(kJumpIfFalse);
      statement();
      emit_op(kJump);
      emit32(static_cast<uint32_t>(start));
      patch(to_end, code_->size());
    } else if (is_word("return")) {
      advance();
      if (is(";")) {
        emit_op(kPushInt);
        emit32(0);
      } else {
        expression();
      }
      expect(";");
      emit_op(kReturn);
    } else if (cur_.kind == Tok::kName && (is_word("function") || is_word("native") || is_word("include"))) {
      fail(cur_, "'" + cur_.text + "' is allowed only outside functions");
    } else {
      expression();
      expect(";");
      emit_op(kPop);
    }
  }

  void condition() {
    expect("(");
    expression();
    expect(")");
  }

  // ---- expressions
  void expression() {
    if (cur_.kind == Tok::kName && peek_.kind == Tok::kPunct && peek_.text == "=") {
      // An assignment's value is an expression again: "a = a = ... 1" recurses once per name.
      const Nesting nesting(*this, cur_);
      const Token name = cur_;
      advance();
      advance();
      expression();
      const int local = find_local(name.text);
      if (local >= 0) {
        emit_op(kStoreLocal);
        emit16(static_cast<uint16_t>(local));
        return;
      }
      auto it = globals_.find(name.text);
      if (it == globals_.end()) fail(name, "no variable named '" + name.text + "'");
      if (it->second.kind != NameKind::kGlobal) fail(name, "'" + name.text + "' cannot be assigned");
      emit_op(kStoreGlobal);
      emit16(static_cast<uint16_t>(it->second.value));
      return;
    }
    binary(1);
  }

  static int precedence(const Token& t) {
    if (t.kind != Tok::kPunct) return 0;
    static const std::map<std::string, int> kTable = {
        {"||", 1}, {"&&", 2}, {"|", 3},  {"^", 4},  {"&", 5}, {"==", 6}, {"!=", 6}, {"<", 7},  {"<=", 7},
        {">", 7},  {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9}, {"-", 9},  {"*", 10}, {"/", 10}, {"%", 10}};
    auto it = kTable.find(t.text);
    return it == kTable.end() ? 0 : it->second;
  }

  // Precedence climbing over C's levels; && and || evaluate their right side only when needed and
  // give 0 or 1.
  void binary(int min_level) {
    unary();
    for (;;) {
      const int level = precedence(cur_);
      if (level == 0 || level < min_level) return;
      const std::string op = cur_.text;
      advance();
      if (op == "&&" || op == "||") {
        const size_t to_false = emit_jump(kJumpIfFalse);
        if (op == "&&") {
          binary(level + 1);
          const size_t to_false2 = emit_jump(kJumpIfFalse);
          emit_op(kPushInt);
          emit32(1);
          const size_t to_end = emit_jump(kJump);
          patch(to_false, code_->size());
          patch(to_false2, code_->size());
          emit_op(kPushInt);
          emit32(0);
          patch(to_end, code_->size());
        } else {
          // left true: 1; left false: the truth of the right side
          emit_op(kPushInt);
          emit32(1);
          const size_t to_end = emit_jump(kJump);
          patch(to_false, code_->size());
          binary(level + 1);
          emit_op(kNot);
          emit_op(kNot);
          patch(to_end, code_->size());
        }
        continue;
      }
      binary(level + 1);
      static const std::map<std::string, Op> kOps = {
          {"|", kBitOr}, {"^", kBitXor}, {"&", kBitAnd}, {"==", kEq},  {"!=", kNe},  {"<", kLt},
          {"<=", kLe},   {">", kGt},     {">=", kGe},    {"<<", kShl}, {">>", kShr}, {"+", kAdd},
          {"-", kSub},   {"*", kMul},    {"/", kDiv},    {"%", kMod}};
      emit_op(kOps.at(op));
    }
  }

  void unary() {
    const Nesting nesting(*this, cur_);
    if (is("-") || is("!") || is("~") || is("+")) {
      const std::string op = cur_.text;
      advance();
      unary();
      if (op == "-") emit_op(kNeg);
      if (op == "!") emit_op(kNot);
      if (op == "~") emit_op(kBitNot);
      return;
    }
    primary();
  }

  void primary() {
    const Token t = cur_;
    switch (t.kind) {
      case Tok::kNumber:
        advance();
        emit_op(kPushInt);
        emit32(static_cast<uint32_t>(t.number));
        return;
      case Tok::kString:
        advance();
        emit_op(kPushString);
        emit32(intern(t.text));
        return;
      case Tok::kName:
        if (is_keyword(t.text)) fail(t, "expected an expression but found '" + t.text + "'");
        advance();
        if (is("(")) {
          call(t);
        } else {
          load(t);
        }
        return;
      default:
        if (is("(")) {
          advance();
          expression();
          expect(")");
          return;
        }
        fail(t, "expected an expression but found " + describe(t));
    }
  }

  void load(const Token& name) {
    const int local = find_local(name.text);
    if (local >= 0) {
      emit_op(kLoadLocal);
      emit16(static_cast<uint16_t>(local));
      return;
    }
    auto it = globals_.find(name.text);
    if (it == globals_.end()) fail(name, "no variable or constant named '" + name.text + "'");
    switch (it->second.kind) {
      case NameKind::kConstant:
        emit_op(kPushInt);
        emit32(static_cast<uint32_t>(it->second.value));
        return;
      case NameKind::kGlobal:
        emit_op(kLoadGlobal);
        emit16(static_cast<uint16_t>(it->second.value));
        return;
      default:
        fail(name, "'" + name.text + "' is a function; call it with brackets");
    }
  }

  void call(const Token& name) {
    if (find_local(name.text) >= 0) fail(name, "'" + name.text + "' is a variable, not a function");
    auto it = globals_.find(name.text);
    const bool native = it != globals_.end() && it->second.kind == NameKind::kNative;
    const int32_t index = native ? it->second.value : function_index(name);
    expect("(");
    int argc = 0;
    if (!is(")")) {
      for (;;) {
        expression();
        if (++argc > 255) fail(name, "more than 255 arguments");
        if (!is(",")) break;
        advance();
      }
    }
    expect(")");
    if (native) {
      const int params = natives_[index].params;
      if (params != argc) {
        fail(name, "'" + name.text + "' takes " + std::to_string(params) + " argument(s), not " +
                       std::to_string(argc));
      }
      emit_op(kCallNative);
    } else {
      pending_.push_back(PendingCall{index, argc, name.line, name.column, name.text});
      emit_op(kCall);
    }
    emit16(static_cast<uint16_t>(index));
    emit8(static_cast<uint8_t>(argc));
  }

  // ---- symbol headers
  void include() {
    advance();
    if (cur_.kind != Tok::kString) fail(cur_, "expected a file name in quotes but found " + describe(cur_));
    const Token file = cur_;
    advance();
    expect(";");
    std::filesystem::path path = file.text;
    if (path.is_relative()) path = source_.parent_path() / path;
    std::string text;
    std::string reason;
    if (!read_input_file(path, &text, &reason)) fail(file, "cannot include " + path.string() + ": " + reason);
    try {
      read_symbol_header(text);
    } catch (const SourceError& e) {
      throw Diagnostic(place(path, e.line, e.column) + e.what());
    }
  }

  // The symbol header is an enum body with explicit values ("enum {", NAME=VALUE, ..., "}"), as the
  // distribution builder writes it; "#define NAME VALUE" lines are read as well. A value is a number,
  // a character constant or an earlier symbol, with an optional minus sign; an enumerator without a
  // value is the one before it plus one.
  void read_symbol_header(std::string_view text) {
    Lexer lexer(text);
    Token t = lexer.next();
    auto need = [&](const char* punct) {
      if (t.kind != Tok::kPunct || t.text != punct) {
        throw SourceError(t.line, t.column, std::string("expected '") + punct + "' but found " + describe(t));
      }
      t = lexer.next();
    };
    auto name = [&] {
      if (t.kind != Tok::kName)
        throw SourceError(t.line, t.column, "expected a name but found " + describe(t));
      Token n = t;
      t = lexer.next();
      return n;
    };
    auto value = [&]() -> int32_t {
      bool negative = false;
      if (t.kind == Tok::kPunct && t.text == "-") {
        negative = true;
        t = lexer.next();
      }
      int32_t v = 0;
      if (t.kind == Tok::kNumber) {
        v = t.number;
      } else if (t.kind == Tok::kName) {
        auto it = globals_.find(t.text);
        if (it == globals_.end() || it->second.kind != NameKind::kConstant) {
          throw SourceError(t.line, t.column, "no symbol named '" + t.text + "'");
        }
        v = it->second.value;
      } else {
        throw SourceError(t.line, t.column, "expected a value but found " + describe(t));
      }
      t = lexer.next();
      return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(v)) : v;
    };
    auto define = [&](const Token& n, int32_t v) {
      auto [it, added] = globals_.emplace(n.text, GlobalName{NameKind::kConstant, v});
      if (!added && (it->second.kind != NameKind::kConstant || it->second.value != v)) {
        throw SourceError(n.line, n.column, "'" + n.text + "' is already declared with another meaning");
      }
    };
    while (t.kind != Tok::kEnd) {
      if (t.kind == Tok::kName && t.text == "enum") {
        t = lexer.next();
        if (t.kind == Tok::kName) t = lexer.next();  // a tag
        need("{");
        int32_t next = 0;
        while (!(t.kind == Tok::kPunct && t.text == "}")) {
          const Token n = name();
          int32_t v = next;
          if (t.kind == Tok::kPunct && t.text == "=") {
            t = lexer.next();
            v = value();
          }
          define(n, v);
          next = static_cast<int32_t>(static_cast<uint32_t>(v) + 1u);
          if (t.kind == Tok::kPunct && t.text == ",") {
            t = lexer.next();
          } else if (!(t.kind == Tok::kPunct && t.text == "}")) {
            throw SourceError(t.line, t.column, "expected ',' or '}' but found " + describe(t));
          }
        }
        t = lexer.next();
        if (t.kind == Tok::kPunct && t.text == ";") t = lexer.next();
      } else if (t.kind == Tok::kPunct && t.text == "#") {
        t = lexer.next();
        if (t.kind != Tok::kName || t.text != "define") {
          throw SourceError(t.line, t.column, "expected 'define' after '#'");
        }
        t = lexer.next();
        const Token n = name();
        define(n, value());
      } else {
        throw SourceError(t.line, t.column, "expected 'enum' or '#define' but found " + describe(t));
      }
    }
  }

  // ---- output
  std::vector<uint8_t> serialise() const {
    std::vector<uint8_t> out(kMagic, kMagic + 4);
    auto u8 = [&](uint8_t v) { out.push_back(v); };
    auto u16 = [&](uint16_t v) {
      u8(v & 0xFF);
      u8(v >> 8);
    };
    auto u32 = [&](uint32_t v) {
      for (int i = 0; i < 4; ++i) u8((v >> (8 * i)) & 0xFF);
    };
    u32(static_cast<uint32_t>(strings_.size()));
    for (const std::string& s : strings_) {
      u32(static_cast<uint32_t>(s.size()));
      out.insert(out.end(), s.begin(), s.end());
    }
    u32(static_cast<uint32_t>(natives_.size()));
    for (const Native& n : natives_) {
      u32(n.name);
      u8(n.params);
    }
    u32(static_cast<uint32_t>(global_names_.size()));
    for (const uint32_t g : global_names_) u32(g);
    u32(static_cast<uint32_t>(functions_.size()));
    for (const Function& f : functions_) {
      u32(f.name);
      u8(static_cast<uint8_t>(f.params));
      u16(f.locals);
      u32(static_cast<uint32_t>(f.code.size()));
      out.insert(out.end(), f.code.begin(), f.code.end());
    }
    return out;
  }

  std::filesystem::path source_;
  Lexer* lexer_ = nullptr;
  Token cur_;
  Token peek_;

  std::vector<std::string> strings_;
  std::unordered_map<std::string, uint32_t> string_index_;
  std::unordered_map<std::string, GlobalName> globals_;
  std::vector<Native> natives_;
  std::vector<uint32_t> global_names_;
  size_t global_count_ = 0;
  // A deque, so that the code being written (code_) stays where it is when a call adds a function.
  std::deque<Function> functions_;
  std::vector<PendingCall> pending_;

  int32_t current_function_ = 0;
  int depth_ = 0;
  std::vector<std::pair<std::string, int>> locals_;
  bool locals_open_ = false;
  std::vector<uint8_t>* code_ = nullptr;
};

}  // namespace

Compilation compile_file(const std::filesystem::path& source) {
  Compilation result;
  std::string text;
  std::string reason;
  if (!read_input_file(source, &text, &reason)) {
    result.errors = source.string() + ": error: cannot read the script: " + reason + "\n";
    return result;
  }
  try {
    Compiler compiler(source);
    result.bytes = compiler.run(text);
    result.ok = true;
  } catch (const SourceError& e) {
    result.errors = place(source, e.line, e.column) + e.what() + "\n";
  } catch (const Diagnostic& e) {
    result.errors = std::string(e.what()) + "\n";
  }
  return result;
}

std::filesystem::path default_destination(const std::filesystem::path& source) {
  std::filesystem::path destination = source;
  destination.replace_extension(".tpb");
  return destination;
}

bool compile_script(const std::filesystem::path& source, const std::filesystem::path& destination,
                    std::string& errors) {
  Compilation compiled = compile_file(source);
  if (!compiled.ok) {
    errors = compiled.errors;
    return false;
  }
  const std::filesystem::path target = destination.empty() ? default_destination(source) : destination;
  ReplacingFile file;
  if (!file.open(target) || !file.write(compiled.bytes.data(), compiled.bytes.size()) || !file.commit()) {
    errors = "zorhost: " + file.error() + "\n";
    return false;
  }
  return true;
}

}  // namespace zorhost::script
