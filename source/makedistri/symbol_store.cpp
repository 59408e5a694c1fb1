#include "symbol_store.h"

#include <cstdio>

#include "zor_general.h"
#include "zor_script.h"
#include "zor_string.h"

namespace {

constexpr std::string_view kFourByte = "ZOR_FOUR_BYTE";
constexpr std::string_view kFourByteCall = "ZOR_FOUR_BYTE(";

// Rejected without a message.
constexpr std::string_view kReserved[] = {"DC", "__ZOR_MEM_ALIGNMENT_MASK__", "GE_LITTLE_ENDIAN"};
// Stored (and so available to later values) and counted, but never written.
constexpr std::string_view kNeverWritten[] = {
    "NOTINDEX", "LITTLE_ENDIAN", "GE_LITTLE_ENDIAN", "ZORPL_MEMBERMULTIPLIER",
    "VECTOR_X", "VECTOR_Y",      "VECTOR_Z"};

template <std::size_t N>
bool OneOf(std::string_view name, const std::string_view (&names)[N]) {
  for (std::string_view candidate : names)
    if (candidate == name) return true;
  return false;
}

String HostText(std::string_view text) {
  String result;
  result.SetCString(text.data(), static_cast<int32_t>(text.size()));
  return result;
}

// Floating mode for a value with a point and no character constant.
bool WantsFloat(const std::string& text) {
  return text.find('.') != std::string::npos && text.find('\'') == std::string::npos;
}

}  // namespace

std::string SymbolMessage(const char* prefix, std::string_view name, std::string_view value) {
  std::string message(prefix);
  message.append(name);
  message += " = ";
  message.append(value);
  return message;
}

void SymbolStore::PrintLine(const char* text) {
  GePrint(String(text));
}

bool SymbolStore::TakeOverflow() {
  const bool overflow = overflow_;
  overflow_ = false;
  return overflow;
}

bool SymbolStore::Store(std::string_view name, int32_t value) {
  if (table_.IsFull()) {
    overflow_ = true;
    return false;
  }
  if (OneOf(name, kReserved)) return false;
  if (table_.Find(name) >= 0) {
    GePrint(HostText(std::string("DOUBLE USAGE ").append(name)));
    return false;
  }
  if (!table_.Add(name, value)) {
    // the host had no memory for the name: as good as a full table
    overflow_ = true;
    return false;
  }
  ++defineCount_;
  if (!OneOf(name, kNeverWritten)) output_.WriteSymbol(name, value);
  return true;
}

bool SymbolStore::EvaluateInteger(const std::string& text, bool wrappedCounts, int32_t& value) {
  if (evaluator_ == nullptr) return false;
  int32_t error = 0;
  const bool ok = evaluator_->EvaluateInt(HostText(text), value, error);
  return ok || (wrappedCounts && (error & ZOR_EVAL_WRAPPED) != 0);
}

std::string SymbolStore::FourCharacterValue(std::string_view valueText) {
  if (evaluator_ == nullptr || valueText.size() <= kFourByteCall.size()) return std::string();
  std::string_view rest = valueText.substr(kFourByteCall.size(), valueText.size() - kFourByteCall.size() - 1);
  uint32_t result = 0;
  uint32_t multiplier = 0x1000000;
  for (int part = 0; part < 4; ++part) {
    std::string_view text = rest;
    if (part < 3) {
      const std::size_t comma = rest.find(',');
      if (comma == std::string_view::npos) return std::string();
      // the part less its last character: the closing quote of a character constant
      text = rest.substr(0, comma == 0 ? 0 : comma - 1);
      rest.remove_prefix(comma + 1);
    }
    int32_t value = 0;
    if (!EvaluateInteger(std::string(text), false, value)) return std::string();
    result += static_cast<uint32_t>(value) * multiplier;
    multiplier /= 256;
  }
  return std::to_string(static_cast<int32_t>(result));
}

void SymbolStore::StoreDefine(std::string_view name, std::string_view valueText) {
  std::string text(valueText);
  if (text.compare(0, kFourByte.size(), kFourByte) == 0) text = FourCharacterValue(text);

  int32_t integer = 0;
  double floating = 0.0;
  bool floatMode = false;
  // Success is the evaluator's report, or a value it could only answer cut to 32 bits.
  auto evaluate = [&]() {
    floatMode = WantsFloat(text);
    if (!floatMode) return EvaluateInteger(text, true, integer);
    if (evaluator_ == nullptr) return false;
    int32_t error = 0;
    const bool ok = evaluator_->EvaluateFloat(HostText(text), floating, error);
    return ok || (error & ZOR_EVAL_WRAPPED) != 0;
  };
  bool ok = evaluate();
  if (!ok && table_.Substitute(text)) ok = evaluate();
  if (!ok) {
    GePrint(HostText(SymbolMessage("SYMBOL FAILED ", name, text)));
    return;
  }
  if (floatMode && floating != 0.0) {
    String message = HostText(SymbolMessage("REAL Constant: ", name, text));
    message += " : ";
    message += String::FromFloat(floating, 0, 3, false, '0');
    GePrint(message);
    return;
  }
  Store(name, floatMode ? 0 : integer);
}

void SymbolStore::StoreEnumerator(std::string_view name, const std::string* valueText, int32_t& counter) {
  int32_t value = counter;
  if (valueText != nullptr) {
    std::string text = *valueText;
    bool ok = EvaluateInteger(text, false, value);
    if (!ok && table_.Substitute(text)) ok = EvaluateInteger(text, false, value);
    if (!ok) {
      GePrint(HostText(SymbolMessage("SYMBOL FAILED ", name, text)));
      return;
    }
  }
  if (Store(name, value)) counter = static_cast<int32_t>(static_cast<uint32_t>(value) + 1u);
}
