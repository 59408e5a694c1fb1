// The GUI script compiler; compiled programs run on a small stack machine written here from the format.
#include "scripts/script_compiler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "host_test_support.h"
#include "scripts/script_bytecode.h"
#include "unit/scratch_folder.h"

namespace {

using test_support::Contains;

using namespace zorhost::script;

// Little-endian numbers read from a byte vector, checked against its end.
struct Reader {
  const std::vector<uint8_t>& bytes;
  size_t pos = 0;
  uint32_t le(int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) value |= uint32_t{bytes.at(pos++)} << 8 * i;
    return value;
  }
  uint8_t u8() { return static_cast<uint8_t>(le(1)); }
  uint16_t u16() { return static_cast<uint16_t>(le(2)); }
  uint32_t u32() { return le(4); }
  std::vector<uint8_t> take(uint32_t n) {
    pos += n;
    return {bytes.begin() + long(pos - n), bytes.begin() + long(pos)};
  }
};

// Reads a compiled file back and runs its functions; integers only, natives record their calls.
class Machine {
 public:
  explicit Machine(const std::vector<uint8_t>& bytes) {
    EXPECT_EQ(std::memcmp(bytes.data(), kMagic, 4), 0);
    Reader in{bytes, 4};
    for (uint32_t n = in.u32(); n > 0; --n) {
      const std::vector<uint8_t> text = in.take(in.u32());
      strings_.emplace_back(text.begin(), text.end());
    }
    for (uint32_t n = in.u32(); n > 0; --n) {
      natives_.push_back(strings_.at(in.u32()));
      in.u8();
    }
    globals_.resize(in.u32());
    for (auto& g : globals_) g = 0 * in.u32();
    for (uint32_t n = in.u32(); n > 0; --n) {
      Fn f{strings_.at(in.u32()), in.u8(), in.u16(), {}};
      f.code = in.take(in.u32());
      index_[f.name] = functions_.size();
      functions_.push_back(f);
    }
    EXPECT_EQ(in.pos, bytes.size());
    run_function(0, {});
  }

  int32_t call(const std::string& name, std::vector<int32_t> args = {}) {
    return run_function(index_.at(name), args);
  }
  std::vector<std::string> native_log;

 private:
  struct Fn {
    std::string name;
    int params = 0;
    int locals = 0;
    std::vector<uint8_t> code;
  };

  int32_t run_function(size_t index, const std::vector<int32_t>& args) {
    const Fn& f = functions_.at(index);
    EXPECT_EQ(static_cast<int>(args.size()), f.params) << f.name;
    std::vector<int32_t> locals(f.locals, 0);
    std::copy(args.begin(), args.end(), locals.begin());
    std::vector<int32_t> stack;
    Reader code{f.code};
    auto pop = [&] {
      EXPECT_FALSE(stack.empty());
      const int32_t v = stack.back();
      stack.pop_back();
      return v;
    };
    for (int steps = 0; steps < 1000000; ++steps) {
      const uint8_t op = code.u8();
      if (op >= kAdd && op <= kGe) {
        const int32_t r = pop();
        const int32_t l = pop();
        const uint32_t ul = static_cast<uint32_t>(l), ur = static_cast<uint32_t>(r);
        // in the order of the opcodes, kAdd to kGe
        const int32_t results[] = {int32_t(ul + ur), int32_t(ul - ur), int32_t(ul * ur),
                                   (r ? l / r : 0),  (r ? l % r : 0),  int32_t(ul << (r & 31)),
                                   (l >> (r & 31)),  (l & r),          (l | r),
                                   (l ^ r),          (l == r),         (l != r),
                                   (l < r),          (l <= r),         (l > r),
                                   (l >= r)};
        stack.push_back(results[op - kAdd]);
        continue;
      }
      if ((op < kPushInt || op > kJumpIfFalse) && (op < kNeg || op > kBitNot)) {
        ADD_FAILURE() << "unknown opcode " << int(op);
        return 0;
      }
      if (op == kPushInt) stack.push_back(static_cast<int32_t>(code.u32()));
      if (op == kPushString) stack.push_back(static_cast<int32_t>(strings_.at(code.u32()).size()));
      if (op == kLoadLocal) stack.push_back(locals.at(code.u16()));
      if (op == kStoreLocal) locals.at(code.u16()) = stack.back();
      if (op == kLoadGlobal) stack.push_back(globals_.at(code.u16()));
      if (op == kStoreGlobal) globals_.at(code.u16()) = stack.back();
      if (op == kCall || op == kCallNative) {
        const uint16_t fn = code.u16();
        const uint8_t argc = code.u8();
        const std::vector<int32_t> a(stack.end() - argc, stack.end());
        stack.resize(stack.size() - argc);
        std::string entry = op == kCallNative ? natives_.at(fn) : "";
        for (const int32_t v : a) entry += " " + std::to_string(v);
        if (op == kCallNative) native_log.push_back(entry);
        stack.push_back(op == kCall ? run_function(fn, a) : 0);
      }
      if (op == kReturn) return pop();
      if (op == kPop) pop();
      if (op == kJump) code.pos = code.u32();
      if (op == kJumpIfFalse) {
        const uint32_t target = code.u32();
        if (pop() == 0) code.pos = target;
      }
      if (op == kNeg) stack.back() = static_cast<int32_t>(0u - static_cast<uint32_t>(stack.back()));
      if (op == kNot) stack.back() = !stack.back();
      if (op == kBitNot) stack.back() = ~stack.back();
    }
    ADD_FAILURE() << "no return";
    return 0;
  }

  std::vector<std::string> strings_;
  std::vector<std::string> natives_;
  std::vector<int32_t> globals_;
  std::vector<Fn> functions_;
  std::map<std::string, size_t> index_;
};

std::vector<uint8_t> read_bytes(const std::filesystem::path& file) {
  const std::string bytes = test_support::ReadFile(file);
  return {bytes.begin(), bytes.end()};
}

const char* kProgram = R"(// a program that uses every construct
include "symbols.h";
native add_button(id, text);
var total = 10 * 2, unset;

function fib(n) { if (n < 2) return n; return fib(n - 1) + fib(n - 2); }
function sum_to(n) { var i = 0, s = 0; while (i < n) { i = i + 1; s = s + i; } return s; }
/* && and || give 0 or 1 and skip the right side when they can */
function logic(a, b) { return (a && b) * 10 + (a || b) * 100 + !a; }
function precedence() { return 1 + 2 * 3 << 1 | 1 & 3 ^ 4; }
function branches(x) {
  if (x > 0) { if (x > 5) return 2; else return 1; } else if (x == 0) return 0;
  else { return -1; }
}
function uses_symbols() {
  add_button(ID_OK, "OK"); add_button(ID_CANCEL, "Cancel");
  unset = BASE_ID + ID_NEXT;
  return unset + total + 'ab' - NEG;
}
function early() { var a = 1; return later(a + 1) * 3 + later2(); }
function later(x) { return x + 1; }
function later2() { return 100; }
function shadow(t) { var inner = t * 2; { var deeper = inner + 1; inner = deeper; } return inner; }
)";

const char* kSymbols =
    "enum {\nID_OK=1,\nID_CANCEL=2,\nID_NEXT,\nBASE_ID=1000,\nNEG=-5,\n"
    "TARPON_HEADERFILE_END_\n}\n#define EXTRA ID_CANCEL\n";

TEST(ScriptCompiler, CompiledProgramsComputeWhatTheSourceSaysAndSymbolHeadersAgreeOrFail) {
  test_support::ScratchFolder folder;
  folder.write("symbols.h", kSymbols);
  const auto source = folder.write("gui.tpn", kProgram);
  std::string errors;
  ASSERT_TRUE(compile_script(source, "", errors)) << errors;
  const auto output = folder.path() / "gui.tpb";  // an empty destination writes beside the source
  const std::vector<uint8_t> bytes = read_bytes(output);
  ASSERT_FALSE(bytes.empty());

  Machine m(bytes);
  EXPECT_EQ(m.call("fib", {10}), 55);
  EXPECT_EQ(m.call("sum_to", {100}), 5050);
  EXPECT_EQ((std::vector{m.call("logic", {0, 5}), m.call("logic", {3, 5}), m.call("logic", {0, 0})}),
            (std::vector{100 + 1, 10 + 100, 1}));
  EXPECT_EQ(m.call("precedence"), ((1 + 2 * 3) << 1) | ((1 & 3) ^ 4));
  EXPECT_EQ((std::vector{m.call("branches", {9}), m.call("branches", {3}), m.call("branches", {0}),
                         m.call("branches", {-4})}),
            (std::vector{2, 1, 0, -1}));
  EXPECT_EQ(m.call("uses_symbols"), 1003 + 20 + ('a' * 256 + 'b') + 5);
  EXPECT_EQ(m.native_log, (std::vector<std::string>{"add_button 1 2", "add_button 2 6"}));
  EXPECT_EQ(m.call("shadow", {4}), 9);
  EXPECT_EQ(m.call("early"), 3 * 3 + 100);  // calls to functions defined further down

  // The same source gives the same bytes, also to another destination.
  ASSERT_TRUE(compile_script(source, folder.path() / "again.bin", errors)) << errors;
  EXPECT_EQ(read_bytes(folder.path() / "again.bin"), bytes);

  // The same name twice with one value is fine (two headers may share a symbol); another value is not.
  folder.write("a.h", "enum {\nX=1,\nY=2,\n}\n");
  folder.write("b.h", "#define X 1\nenum { Z = -Y, W }\n");
  folder.write("c.h", "#define X 7\n");
  Compilation ok = compile_file(
      folder.write("ok.tpn", "include \"a.h\"; include \"b.h\";\nfunction f() { return Z * 10 + W; }"));
  ASSERT_TRUE(ok.ok) << ok.errors;
  EXPECT_EQ(Machine(ok.bytes).call("f"), -20 + -1);
  Compilation bad = compile_file(folder.write("bad.tpn", "include \"a.h\";\ninclude \"c.h\";\n"));
  EXPECT_FALSE(bad.ok);
  EXPECT_TRUE(Contains(bad.errors, "c.h:1:9: error: 'X' is already declared with another meaning"));
}

TEST(ScriptCompiler, ErrorsNameFileLineAndColumnAndWriteNothing) {
  test_support::ScratchFolder folder;
  folder.write("symbols.h", kSymbols);
  // the source, the place of the error (line:column) and a part of its message
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"function f() {\n  return 1 +;\n}\n", "2:13", "expected an expression but found ';'"},
      {"function f() { return x; }", "1:23", "no variable or constant named 'x'"},
      {"function f() {\n  g(1);\n}\nfunction g(a, b) {}\n", "2:3", "'g' takes 2 argument(s), not 1"},
      {"function f() { h(); }", "1:16", "no function named 'h'"},
      {"function f() { var a; var a; }", "1:27", "'a' is already declared"},
      {"include \"symbols.h\";\nfunction f() { ID_OK = 3; }", "2:16", "'ID_OK' cannot be assigned"},
      {"include \"missing.h\";", "1:9", "cannot include"},
      {"function f() { while (1) { }", "1:29", "expected '}' but found the end of the file"},
      {"function f() { return \"open; }", "1:23", "string not closed"},
      {"var x = 1\nvar y;", "2:1", "expected ';' but found 'var'"},
      {"function f() { return 0x1FFFFFFFF; }", "1:23", "does not fit in 32 bits"},
      {"function f() { return 1a; }", "1:23", "malformed number '1a'"},
      {"/* never closed", "1:1", "comment not closed"},
      {"function f() {} function f() {}", "1:26", "defined twice"},
      {"if (1) {}", "1:1", "expected include, native, var or function"},
      {"function f() { return $; }", "1:23", "unexpected character '$'"},
  };
  for (const auto& [text, where, words] : cases) {
    const auto source = folder.write("bad.tpn", text);
    std::string errors;
    EXPECT_FALSE(compile_script(source, "", errors)) << text;
    EXPECT_TRUE(errors.starts_with(source.string() + ":" + where + ": error: ")) << text << errors;
    EXPECT_TRUE(Contains(errors, words));
    EXPECT_EQ(errors.back(), '\n');
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "bad.tpb")) << text;
  }

  // An error inside an included header names the header; an old output stays as it was.
  folder.write("broken.h", "enum {\nA=1,\nB=*\n}\n");
  const auto source = folder.write("uses.tpn", "include \"broken.h\";\n");
  const auto output = folder.write("uses.tpb", "old");
  std::string errors;
  EXPECT_FALSE(compile_script(source, "", errors));
  EXPECT_TRUE(errors.starts_with((folder.path() / "broken.h").string() + ":3:3: error: ")) << errors;
  EXPECT_EQ(read_bytes(output), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_FALSE(compile_script(folder.path() / "none.tpn", "", errors));
  EXPECT_TRUE(Contains(errors, "does not exist")) << errors;
  // a destination that cannot be written
  const auto good = folder.write("good.tpn", "function f() { return 1; }");
  EXPECT_FALSE(compile_script(good, folder.write("plain", "x") / "good.tpb", errors));
  EXPECT_TRUE(Contains(errors, "cannot write"));
  EXPECT_TRUE(Contains(errors, "good.tpb"));
}

// Every production that recurses is limited, so that a hostile script is a compile error at the place
// where it gets too deep instead of a stack overflow; a deep but reasonable script still compiles.
TEST(ScriptCompiler, DeepNestingIsACompileErrorNotACrash) {
  test_support::ScratchFolder folder;
  const auto repeat = [](const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
  };
  constexpr int kDeep = 60000;
  const std::string fn = "function f(x) {\n  var a;\n  ";
  // The first token past 256 levels is refused (a function body's statement is level 1; an assignment,
  // a statement and a bracket, operator or argument each open one). Columns are on line 3, which
  // starts at column 3.
  const std::pair<std::string, std::string> cases[] = {
      {fn + repeat("a = ", kDeep) + "1;\n}\n", "3:" + std::to_string(3 + 4 * 255)},
      {fn + "return " + repeat("f(", kDeep) + "1" + repeat(")", kDeep) + ";\n}\n",
       "3:" + std::to_string(10 + 2 * 255)},
      {fn + "return " + repeat("(", kDeep) + "1" + repeat(")", kDeep) + ";\n}\n",
       "3:" + std::to_string(10 + 255)},
      {fn + "return " + repeat("-", kDeep) + "1;\n}\n", "3:" + std::to_string(10 + 255)},
      {fn + repeat("a = (", kDeep) + "1" + repeat(")", kDeep) + ";\n}\n",
       "3:" + std::to_string(3 + 5 * 127 + 4)},
      {fn + repeat("{", kDeep) + repeat("}", kDeep) + "\n}\n", "3:" + std::to_string(3 + 256)},
      {fn + repeat("if (1) ", kDeep) + ";\n}\n", "3:" + std::to_string(3 + 7 * 255 + 4)},
  };
  for (const auto& [text, where] : cases) {
    const auto source = folder.write("deep.tpn", text);
    std::string errors;
    EXPECT_FALSE(compile_script(source, "", errors)) << text.substr(0, 60);
    EXPECT_TRUE(errors.starts_with(source.string() + ":" + where + ": error: nested too deeply"))
        << text.substr(0, 60) << "\n"
        << errors;
  }

  const auto source = folder.write("fine.tpn", fn + "return " + repeat("a = ", 200) + "x + 1;\n}\n");
  std::string errors;
  ASSERT_TRUE(compile_script(source, "", errors)) << errors;
  Machine m(read_bytes(folder.path() / "fine.tpb"));
  EXPECT_EQ(m.call("f", {41}), 42);
}

}  // namespace
