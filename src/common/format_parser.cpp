#include "common/format_parser.hpp"

#include <cctype>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace quorvel {

bool is_data_edit(EditKind kind) {
  switch (kind) {
    case EditKind::Integer:
    case EditKind::Fixed:
    case EditKind::Exponent:
    case EditKind::Scientific:
    case EditKind::Engineering:
    case EditKind::DoubleExp:
    case EditKind::General:
    case EditKind::Text:
      return true;
    default:
      return false;
  }
}

namespace {

constexpr int kMaxNesting = 64;

// Reads a format text; blanks outside literals are not significant.
class FormatLexer {
 public:
  explicit FormatLexer(std::string_view text) : text_(text) {}

  // The next significant character, upper-cased; 0 at the end.
  char peek() {
    skip_blanks();
    return at_end() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_])));
  }
  void advance() { ++pos_; }
  bool at_end() const { return pos_ >= text_.size(); }
  bool accept(char c) {
    if (peek() != c) return false;
    advance();
    return true;
  }

  // An unsigned number (blanks between its digits allowed); nullopt when
  // there is no digit or it exceeds the limit.
  std::optional<int> number() {
    if (!std::isdigit(static_cast<unsigned char>(peek()))) return std::nullopt;
    long long value = 0;
    bool too_big = false;
    while (std::isdigit(static_cast<unsigned char>(peek()))) {
      value = value * 10 + (text_[pos_] - '0');
      if (value > kFormatNumberLimit) too_big = true, value = kFormatNumberLimit + 1;
      advance();
    }
    if (too_big) return std::nullopt;
    return static_cast<int>(value);
  }

  // A quoted literal starting at the current quote; '' (or "") is one quote.
  std::optional<std::string> quoted() {
    char quote = text_[pos_++];
    std::string out;
    while (pos_ < text_.size()) {
      char c = text_[pos_++];
      if (c == quote) {
        if (pos_ < text_.size() && text_[pos_] == quote) {
          out.push_back(quote);
          ++pos_;
          continue;
        }
        return out;
      }
      out.push_back(c);
    }
    return std::nullopt;
  }

  // n characters taken as they stand (the Hollerith nH form).
  std::optional<std::string> raw(int n) {
    if (text_.size() - pos_ < static_cast<std::size_t>(n)) return std::nullopt;
    std::string out(text_.substr(pos_, n));
    pos_ += n;
    return out;
  }

  char raw_peek() const { return at_end() ? '\0' : text_[pos_]; }

 private:
  void skip_blanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }
  std::string_view text_;
  std::size_t pos_ = 0;
};

class FormatParser {
 public:
  explicit FormatParser(std::string_view text) : lex_(text) {}

  std::shared_ptr<const Format> parse() {
    if (!lex_.accept('(')) return nullptr;
    auto format = std::make_shared<Format>();
    if (!list(format->items, 1)) return nullptr;
    // Whatever follows the closing parenthesis is ignored.
    for (std::size_t i = 0; i < format->items.size(); ++i) {
      if (format->items[i].kind == EditKind::Group) format->reversion = i;
    }
    for (std::size_t i = 0; i < format->items.size(); ++i) {
      bool data = contains_data(format->items[i]);
      format->has_data = format->has_data || data;
      if (i >= format->reversion) format->reversion_has_data = format->reversion_has_data || data;
    }
    return format;
  }

 private:
  static bool contains_data(const EditNode& node) {
    if (is_data_edit(node.kind)) return true;
    for (const auto& child : node.items) {
      if (contains_data(child)) return true;
    }
    return false;
  }

  // The list after an opening parenthesis, up to and including its ")".
  bool list(std::vector<EditNode>& out, int depth) {
    if (depth > kMaxNesting) return false;
    for (;;) {
      char c = lex_.peek();
      if (c == '\0') return false;
      if (c == ')') {
        lex_.advance();
        return true;
      }
      if (c == ',') {
        lex_.advance();
        continue;
      }
      if (!item(out, depth)) return false;
    }
  }

  bool item(std::vector<EditNode>& out, int depth) {
    char c = lex_.peek();
    EditNode node;
    // The current character is the whole of a node of `kind`: it is taken and the node added.
    auto take = [&](EditKind kind) {
      lex_.advance();
      node.kind = kind;
      out.push_back(std::move(node));
      return true;
    };
    if (c == '\'' || c == '"') {
      auto text = lex_.quoted();
      if (!text) return false;
      node.kind = EditKind::Literal;
      node.text = std::move(*text);
      out.push_back(std::move(node));
      return true;
    }
    if (c == '/') return take(EditKind::Slash);
    if (c == ':') return take(EditKind::Colon);
    // A leading number: a repeat count, the n of nX or nH, or the k of kP.
    bool negative = false, has_sign = false;
    if (c == '+' || c == '-') {
      negative = c == '-';
      has_sign = true;
      lex_.advance();
    }
    std::optional<int> lead;
    if (std::isdigit(static_cast<unsigned char>(lex_.peek()))) {
      lead = lex_.number();
      if (!lead) return false;
    } else if (has_sign) {
      return false;
    }
    c = lex_.peek();
    if (c == 'P') {
      if (!lead) return false;
      node.count = negative ? -*lead : *lead;
      return take(EditKind::Scale);
    }
    if (has_sign) return false;
    if (c == 'X') {
      node.count = lead.value_or(1);
      return take(EditKind::Skip);
    }
    if (c == 'H' && lead) {
      lex_.advance();
      auto text = lex_.raw(*lead);
      if (!text || *lead == 0) return false;
      node.kind = EditKind::Literal;
      node.text = std::move(*text);
      out.push_back(std::move(node));
      return true;
    }
    int repeat = lead.value_or(1);
    if (repeat < 1) return false;
    node.repeat = repeat;
    if (c == '(') {
      lex_.advance();
      node.kind = EditKind::Group;
      if (!list(node.items, depth + 1)) return false;
      out.push_back(std::move(node));
      return true;
    }
    if (c == '/') return take(EditKind::Slash);
    if (!descriptor(node, lead.has_value())) return false;
    out.push_back(std::move(node));
    return true;
  }

  // A named descriptor at the current letter; `repeated` when a count preceded it.
  bool descriptor(EditNode& node, bool repeated) {
    char c = lex_.peek();
    lex_.advance();
    switch (c) {
      case 'I':
        node.kind = EditKind::Integer;
        return width(node, true) && digits(node, false);
      case 'F':
        node.kind = EditKind::Fixed;
        return width(node, true) && digits(node);
      case 'D':
        node.kind = EditKind::DoubleExp;
        return width(node, true) && digits(node);
      case 'E':
        node.kind = EditKind::Exponent;
        if (lex_.accept('S')) {
          node.kind = EditKind::Scientific;
        } else if (lex_.accept('N')) {
          node.kind = EditKind::Engineering;
        }
        return width(node, true) && digits(node) && exponent(node);
      case 'G':
        node.kind = EditKind::General;
        return width(node, true) && digits(node) && exponent(node);
      case 'A':
        node.kind = EditKind::Text;
        return width(node, false);
      default:
        break;
    }
    if (repeated) return false;  // a count before T, B, S is not a repeat count
    switch (c) {
      case 'T': {
        node.kind = EditKind::Tab;
        if (lex_.accept('L')) {
          node.kind = EditKind::SkipLeft;
        } else if (lex_.accept('R')) {
          node.kind = EditKind::Skip;
        }
        auto n = lex_.number();
        if (!n || *n < 1) return false;
        node.count = *n;
        return true;
      }
      case 'B':
        if (lex_.accept('N')) {
          node.kind = EditKind::BlankNull;
          return true;
        }
        if (lex_.accept('Z')) {
          node.kind = EditKind::BlankZero;
          return true;
        }
        return false;
      case 'S':
        node.kind = EditKind::SignDefault;
        if (lex_.accept('P')) {
          node.kind = EditKind::SignPlus;
        } else {
          lex_.accept('S');
        }
        return true;
      default:
        return false;
    }
  }

  bool width(EditNode& node, bool required) {
    auto w = lex_.number();
    if (!w) return !required && !std::isdigit(static_cast<unsigned char>(lex_.peek()));
    node.width = *w;
    return true;
  }
  // The ".d" of a descriptor; without its point, false when it is required.
  bool digits(EditNode& node, bool required = true) {
    if (!lex_.accept('.')) return !required;
    auto d = lex_.number();
    if (!d) return false;
    node.digits = *d;
    return true;
  }
  bool exponent(EditNode& node) {
    // "E" here is the exponent width only when digits follow it.
    if (lex_.peek() != 'E') return true;
    FormatLexer saved = lex_;
    lex_.advance();
    auto e = lex_.number();
    if (!e) {
      lex_ = saved;
      return true;
    }
    if (*e < 1) return false;
    node.exponent = *e;
    return true;
  }

  FormatLexer lex_;
};

}  // namespace

std::shared_ptr<const Format> parse_format(std::string_view text) { return FormatParser(text).parse(); }

std::shared_ptr<const Format> cached_format(std::string_view text) {
  static std::mutex mutex;
  static std::unordered_map<std::string, std::shared_ptr<const Format>> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = cache.find(std::string(text));
  if (it != cache.end()) return it->second;
  // Formats of the data files come from outside: keep the cache bounded.
  if (cache.size() >= 4096) cache.clear();
  auto format = parse_format(text);
  cache.emplace(std::string(text), format);
  return format;
}

}  // namespace quorvel
