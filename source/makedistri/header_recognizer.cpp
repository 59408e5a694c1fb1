#include "header_recognizer.h"

namespace {

bool IsWord(const nexal::TextToken& token, std::string_view text) {
  return token.kind == NEXAL_TOKEN_WORD && token.text == text;
}

bool IsOpening(int32_t kind) {
  return kind == NEXAL_TOKEN_BRACE_OPEN || kind == NEXAL_TOKEN_PAREN_OPEN;
}

bool IsClosing(int32_t kind) {
  return kind == NEXAL_TOKEN_BRACE_CLOSE || kind == NEXAL_TOKEN_PAREN_CLOSE;
}

// The tokens that end an enumerator.
bool EndsEnumerator(int32_t kind) {
  return kind == NEXAL_TOKEN_LINE_END || kind == NEXAL_TOKEN_COMMA || kind == NEXAL_TOKEN_BRACE_CLOSE;
}

constexpr std::string_view kFourByte = "ZOR_FOUR_BYTE";

}  // namespace

void HeaderRecognizer::KeepSlash(const nexal::TextToken& token) {
  // The token's text belongs to the tokenizer only until its next token; the slash outlives that.
  _pendingSlash = token;
  _pendingSlash.text = "/";
}

bool HeaderRecognizer::Process(const nexal::TextToken& token) {
  const bool glued = !token.separated;
  switch (_comment) {
    case Comment::None:
      if (token.kind == NEXAL_TOKEN_SLASH) {
        _comment = Comment::SlashSeen;
        KeepSlash(token);
        return false;
      }
      return Recognize(token);
    case Comment::SlashSeen:
      if (token.kind == NEXAL_TOKEN_SLASH) {
        if (glued) {
          _comment = Comment::Line;
          return false;
        }
        // "/ /": the first slash opened nothing and goes on; the second may still open a comment
        const nexal::TextToken first = _pendingSlash;
        const bool skip = Recognize(first);
        KeepSlash(token);
        return skip;
      }
      if (token.kind == NEXAL_TOKEN_STAR && glued) {
        _comment = Comment::Block;
        return false;
      }
      // A slash that opens no comment is part of the text (a division in a define value): both it
      // and this token go on. The skip a recogniser may ask for after the slash concerns this token's
      // line too, so this token is then dropped as the skip would drop it.
      _comment = Comment::None;
      if (Recognize(_pendingSlash)) return token.kind != NEXAL_TOKEN_LINE_END || Recognize(token);
      return Recognize(token);
    case Comment::Block:
      if (token.kind == NEXAL_TOKEN_STAR) _comment = Comment::BlockStar;
      return false;
    case Comment::BlockStar:
      if (token.kind == NEXAL_TOKEN_SLASH && glued) {
        _comment = Comment::None;
      } else if (token.kind != NEXAL_TOKEN_STAR) {
        _comment = Comment::Block;
      }
      return false;
    case Comment::Line:
      if (token.kind != NEXAL_TOKEN_LINE_END) return false;
      _comment = Comment::None;
      return Recognize(token);
  }
  return false;
}

bool HeaderRecognizer::Recognize(const nexal::TextToken& token) {
  if (_directive == Directive::None) {
    if (token.kind == NEXAL_TOKEN_HASH && token.separated) {
      _directive = Directive::AfterHash;
      return false;
    }
    RecognizeEnum(token);
    return false;
  }
  return RecognizeDirective(token);
}

bool HeaderRecognizer::RecognizeDirective(const nexal::TextToken& token) {
  // A skip asked for on a line end would pass over the whole next line, which belongs to no directive.
  const bool lineEnded = token.kind == NEXAL_TOKEN_LINE_END;
  switch (_directive) {
    case Directive::None:
      return false;
    case Directive::AfterHash:
      // Only "#define" matters; conditionals are not evaluated, so the defines of every branch count.
      _directive = Directive::None;
      if (IsWord(token, "define") && !token.separated) {
        _directive = Directive::AfterDefine;
        return false;
      }
      return !lineEnded;
    case Directive::AfterDefine:
      if (token.kind == NEXAL_TOKEN_WORD) {
        _defineName.assign(token.text);
        _defineValue.clear();
        _depth = 0;
        _directive = Directive::CollectingValue;
        return false;
      }
      _sink.PrintLine("ERROR ERROR ERROR ERROR ERROR ERROR ERROR ERROR");
      _directive = Directive::None;
      return !lineEnded;
    case Directive::CollectingValue:
      if (token.kind == NEXAL_TOKEN_LINE_END) {
        if (_pass == ScanPass::Defines && !_defineValue.empty()) _sink.StoreDefine(_defineName, _defineValue);
        _directive = Directive::None;
        return false;
      }
      if (IsOpening(token.kind)) {
        if (_depth == -1) {
          // a bracket group followed by another: the parameter list and body of a function-like macro
          _directive = Directive::None;
          return true;
        }
        ++_depth;
      } else if (IsClosing(token.kind)) {
        if (--_depth == 0) _depth = -1;
      }
      _defineValue.append(token.text);
      return false;
  }
  return false;
}

void HeaderRecognizer::FinishEnumerator(bool withValue) {
  if (_enumName.empty() || _pass != ScanPass::Enums) return;
  _sink.StoreEnumerator(_enumName, withValue ? &_enumValue : nullptr, _enumCounter);
}

void HeaderRecognizer::RecognizeEnum(const nexal::TextToken& token) {
  const int32_t kind = token.kind;
  switch (_enum) {
    case Enum::Outside:
      if (IsWord(token, "enum")) {
        _enumCounter = 0;
        _enum = Enum::AfterEnum;
      }
      return;
    case Enum::AfterEnum:
      if (kind == NEXAL_TOKEN_BRACE_OPEN) {
        _enumName.clear();
        _enumValue.clear();
        _enum = Enum::InList;
      }
      return;
    case Enum::InList:
      if (kind == NEXAL_TOKEN_BRACE_CLOSE) {
        _enum = Enum::Outside;
      } else if (kind == NEXAL_TOKEN_WORD) {
        _enumName.assign(token.text);
        _enum = Enum::AfterName;
      }
      return;
    case Enum::AfterName:
      if (EndsEnumerator(kind)) {
        FinishEnumerator(false);
        _enum = kind == NEXAL_TOKEN_BRACE_CLOSE ? Enum::Outside : Enum::InList;
      } else if (kind == NEXAL_TOKEN_BRACE_OPEN) {
        _enum = Enum::InList;
      } else if (kind == NEXAL_TOKEN_SEMICOLON) {
        _enum = Enum::Outside;
      } else if (kind == NEXAL_TOKEN_ASSIGN) {
        _enum = Enum::InValue;
      }
      return;
    case Enum::InValue:
      if (!_enumValue.empty() && kind == NEXAL_TOKEN_PAREN_OPEN) {
        _enumValue += '(';
        _enum = Enum::InCall;
      } else if (!_enumValue.empty() && EndsEnumerator(kind)) {
        FinishEnumerator(true);
        _enumValue.clear();
        _enum = kind == NEXAL_TOKEN_BRACE_CLOSE ? Enum::Outside : Enum::InList;
      } else if (!(_enumValue.empty() && kind == NEXAL_TOKEN_COMMA)) {
        _enumValue.append(token.text);
      }
      return;
    case Enum::InCall:
      if (kind == NEXAL_TOKEN_LINE_END) {
        // a call that does not close on its line: the enumerator is given up, and its value with it
        _enumValue.clear();
        _enum = Enum::InList;
      } else if (kind == NEXAL_TOKEN_PAREN_CLOSE) {
        _enumValue += ')';
        if (_enumValue.compare(0, kFourByte.size(), kFourByte) == 0 && _pass == ScanPass::Enums) {
          _enumValue = _sink.FourCharacterValue(_enumValue);
        }
        _enum = Enum::InValue;
      } else {
        _enumValue.append(token.text);
      }
      return;
  }
}
