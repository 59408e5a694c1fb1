// The compiled form of a GUI script (".tpb"), described in docs/gui-script-language.md. All numbers are
// little-endian; the same source and headers always give the same bytes.
//
//   "TPB1"                                   magic
//   u32 string count,   per string:   u32 length, bytes
//   u32 native count,   per native:   u32 name (string index), u8 parameter count
//   u32 global count,   per global:   u32 name (string index)
//   u32 function count, per function: u32 name (string index), u8 parameter count, u16 local count
//                                     (parameters included), u32 code length, code
//
// Function 0 is "<init>": it sets the globals' initial values and is run once when the script loads.
// The code is for a stack machine; jump targets are offsets within the function's own code.
#pragma once
#include <cstdint>

namespace zorhost::script {

inline constexpr char kMagic[4] = {'T', 'P', 'B', '1'};

enum Op : uint8_t {
  kPushInt = 1,      // i32                    push the number
  kPushString = 2,   // u32 string index       push the string
  kLoadLocal = 3,    // u16 slot
  kStoreLocal = 4,   // u16 slot               store the top; it stays on the stack
  kLoadGlobal = 5,   // u16 slot
  kStoreGlobal = 6,  // u16 slot               store the top; it stays on the stack
  kCall = 7,         // u16 function, u8 argc  arguments pushed first to last; the result replaces them
  kCallNative = 8,   // u16 native, u8 argc    a host function declared with "native"
  kReturn = 9,       //                        return the top
  kPop = 10,
  kJump = 11,         // u32 target
  kJumpIfFalse = 12,  // u32 target             pops the condition
  kAdd = 20,
  kSub,
  kMul,
  kDiv,
  kMod,
  kShl,
  kShr,
  kBitAnd,
  kBitOr,
  kBitXor,
  kEq,
  kNe,
  kLt,
  kLe,
  kGt,
  kGe,
  kNeg = 40,
  kNot,
  kBitNot,
};

}  // namespace zorhost::script
