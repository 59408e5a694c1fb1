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
  pendingSlash_ = token;
  pendingSlash_.text = "/";
}

bool HeaderRecognizer::Process(const nexal::TextToken& token) {
  const bool glued = !token.separated;
  switch (comment_) {
    case Comment::None:
      if (token.kind == NEXAL_TOKEN_SLASH) {
        comment_ = Comment::SlashSeen;
        KeepSlash(token);
        return false;
      }
      return Recognize(token);
    case Comment::SlashSeen:
      if (token.kind == NEXAL_TOKEN_SLASH) {
        if (glued) {
          comment_ = Comment::Line;
          return false;
        }
        // "/ /": the first slash opened nothing and goes on; the second may still open a comment
        const nexal::TextToken first = pendingSlash_;
        const bool skip = Recognize(first);
        KeepSlash(token);
        return skip;
      }
      if (token.kind == NEXAL_TOKEN_STAR && glued) {
        comment_ = Comment::Block;
        return false;
      }
      // A slash that opens no comment is part of the text (a division in a define value): both it
      // and this token go on. The skip a recogniser may ask for after the slash concerns this token's
      // line too, so this token is then dropped as the skip would drop it.
      comment_ = Comment::None;
      if (Recognize(pendingSlash_)) return token.kind != NEXAL_TOKEN_LINE_END || Recognize(token);
      return Recognize(token);
    case Comment::Block:
      if (token.kind == NEXAL_TOKEN_STAR) comment_ = Comment::BlockStar;
      return false;
    case Comment::BlockStar:
      if (token.kind == NEXAL_TOKEN_SLASH && glued) {
        comment_ = Comment::None;
      } else if (token.kind != NEXAL_TOKEN_STAR) {
        comment_ = Comment::Block;
      }
      return false;
    case Comment::Line:
      if (token.kind != NEXAL_TOKEN_LINE_END) return false;
      comment_ = Comment::None;
      return Recognize(token);
  }
  return false;
}

bool HeaderRecognizer::Recognize(const nexal::TextToken& token) {
  if (directive_ == Directive::None) {
    if (token.kind == NEXAL_TOKEN_HASH && token.separated) {
      directive_ = Directive::AfterHash;
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
  switch (directive_) {
    case Directive::None:
      return false;
    case Directive::AfterHash:
      // Only "#define" matters; conditionals are not evaluated, so the defines of every branch count.
      directive_ = Directive::None;
      if (IsWord(token, "define") && !token.separated) {
        directive_ = Directive::AfterDefine;
        return false;
      }
      return !lineEnded;
    case Directive::AfterDefine:
      if (token.kind == NEXAL_TOKEN_WORD) {
        defineName_.assign(token.text);
        defineValue_.clear();
        depth_ = 0;
        directive_ = Directive::CollectingValue;
        return false;
      }
      sink_.PrintLine("ERROR ERROR ERROR ERROR ERROR ERROR ERROR ERROR");
      directive_ = Directive::None;
      return !lineEnded;
    case Directive::CollectingValue:
      if (token.kind == NEXAL_TOKEN_LINE_END) {
        if (pass_ == ScanPass::Defines && !defineValue_.empty()) sink_.StoreDefine(defineName_, defineValue_);
        directive_ = Directive::None;
        return false;
      }
      if (IsOpening(token.kind)) {
        if (depth_ == -1) {
          // a bracket group followed by another: the parameter list and body of a function-like macro
          directive_ = Directive::None;
          return true;
        }
        ++depth_;
      } else if (IsClosing(token.kind)) {
        if (--depth_ == 0) depth_ = -1;
      }
      defineValue_.append(token.text);
      return false;
  }
  return false;
}

void HeaderRecognizer::FinishEnumerator(bool withValue) {
  if (enumName_.empty() || pass_ != ScanPass::Enums) return;
  sink_.StoreEnumerator(enumName_, withValue ? &enumValue_ : nullptr, enumCounter_);
}

void HeaderRecognizer::RecognizeEnum(const nexal::TextToken& token) {
  const int32_t kind = token.kind;
  switch (enum_) {
    case Enum::Outside:
      if (IsWord(token, "enum")) {
        enumCounter_ = 0;
        enum_ = Enum::AfterEnum;
      }
      return;
    case Enum::AfterEnum:
      if (kind == NEXAL_TOKEN_BRACE_OPEN) {
        enumName_.clear();
        enumValue_.clear();
        enum_ = Enum::InList;
      }
      return;
    case Enum::InList:
      if (kind == NEXAL_TOKEN_BRACE_CLOSE) {
        enum_ = Enum::Outside;
      } else if (kind == NEXAL_TOKEN_WORD) {
        enumName_.assign(token.text);
        enum_ = Enum::AfterName;
      }
      return;
    case Enum::AfterName:
      if (EndsEnumerator(kind)) {
        FinishEnumerator(false);
        enum_ = kind == NEXAL_TOKEN_BRACE_CLOSE ? Enum::Outside : Enum::InList;
      } else if (kind == NEXAL_TOKEN_BRACE_OPEN) {
        enum_ = Enum::InList;
      } else if (kind == NEXAL_TOKEN_SEMICOLON) {
        enum_ = Enum::Outside;
      } else if (kind == NEXAL_TOKEN_ASSIGN) {
        enum_ = Enum::InValue;
      }
      return;
    case Enum::InValue:
      if (!enumValue_.empty() && kind == NEXAL_TOKEN_PAREN_OPEN) {
        enumValue_ += '(';
        enum_ = Enum::InCall;
      } else if (!enumValue_.empty() && EndsEnumerator(kind)) {
        FinishEnumerator(true);
        enumValue_.clear();
        enum_ = kind == NEXAL_TOKEN_BRACE_CLOSE ? Enum::Outside : Enum::InList;
      } else if (!(enumValue_.empty() && kind == NEXAL_TOKEN_COMMA)) {
        enumValue_.append(token.text);
      }
      return;
    case Enum::InCall:
      if (kind == NEXAL_TOKEN_LINE_END) {
        // a call that does not close on its line: the enumerator is given up, and its value with it
        enumValue_.clear();
        enum_ = Enum::InList;
      } else if (kind == NEXAL_TOKEN_PAREN_CLOSE) {
        enumValue_ += ')';
        if (enumValue_.compare(0, kFourByte.size(), kFourByte) == 0 && pass_ == ScanPass::Enums) {
          enumValue_ = sink_.FourCharacterValue(enumValue_);
        }
        enum_ = Enum::InValue;
      } else {
        enumValue_.append(token.text);
      }
      return;
  }
}
