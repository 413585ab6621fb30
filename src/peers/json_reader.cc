// Recursive-descent JSON reading with a bounded depth; strings are decoded to UTF-8, surrogate
// pairs joined and lone surrogates taken as U+FFFD.
#include "peers/json_reader.h"

#include <charconv>

#include "store/utf8.h"

namespace kelvora::peers {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view in) : m_in(in) {}

  bool document(JsonValue& out) {
    if (!value(out, 0)) return false;
    blanks();
    return m_at == m_in.size() || fail();
  }
  std::size_t at() const { return m_at; }

 private:
  bool fail() { return false; }

  void blanks() {
    while (m_at < m_in.size() &&
           (m_in[m_at] == ' ' || m_in[m_at] == '\t' || m_in[m_at] == '\n' || m_in[m_at] == '\r')) {
      ++m_at;
    }
  }

  bool literal(std::string_view word) {
    if (m_in.substr(m_at, word.size()) != word) return false;
    m_at += word.size();
    return true;
  }

  bool value(JsonValue& out, int depth) {
    if (depth > kMaxJsonDepth) return fail();
    blanks();
    if (m_at >= m_in.size()) return fail();
    const char c = m_in[m_at];
    if (c == '{') return object(out, depth);
    if (c == '[') return array(out, depth);
    if (c == '"') {
      out.kind = JsonValue::Kind::String;
      return string(out.text);
    }
    if (literal("true")) {
      out.kind = JsonValue::Kind::Boolean;
      out.boolean = true;
      return true;
    }
    if (literal("false")) {
      out.kind = JsonValue::Kind::Boolean;
      return true;
    }
    if (literal("null")) return true;
    return number(out);
  }

  bool number(JsonValue& out) {
    const std::size_t start = m_at;
    if (m_at < m_in.size() && m_in[m_at] == '-') ++m_at;
    const auto digits = [&] {
      const std::size_t from = m_at;
      while (m_at < m_in.size() && m_in[m_at] >= '0' && m_in[m_at] <= '9') ++m_at;
      return m_at > from;
    };
    if (!digits()) return fail();
    if (m_at < m_in.size() && m_in[m_at] == '.') {
      ++m_at;
      if (!digits()) return fail();
    }
    if (m_at < m_in.size() && (m_in[m_at] == 'e' || m_in[m_at] == 'E')) {
      ++m_at;
      if (m_at < m_in.size() && (m_in[m_at] == '+' || m_in[m_at] == '-')) ++m_at;
      if (!digits()) return fail();
    }
    out.kind = JsonValue::Kind::Number;
    out.text.assign(m_in.substr(start, m_at - start));
    return true;
  }

  bool hex4(std::uint32_t& unit) {
    if (m_in.size() - m_at < 4) return fail();
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = m_in[m_at++];
      unit <<= 4;
      if (h >= '0' && h <= '9') {
        unit |= static_cast<std::uint32_t>(h - '0');
      } else if (h >= 'a' && h <= 'f') {
        unit |= static_cast<std::uint32_t>(h - 'a' + 10);
      } else if (h >= 'A' && h <= 'F') {
        unit |= static_cast<std::uint32_t>(h - 'A' + 10);
      } else {
        return fail();
      }
    }
    return true;
  }

  bool string(std::string& out) {
    ++m_at;  // the opening quote
    out.clear();
    while (m_at < m_in.size()) {
      const char c = m_in[m_at++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return fail();
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (m_at >= m_in.size()) return fail();
      const char e = m_in[m_at++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out.push_back(e);
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'u': {
          std::uint32_t unit = 0;
          if (!hex4(unit)) return false;
          if (unit >= 0xD800 && unit < 0xDC00 && m_in.substr(m_at, 2) == "\\u") {
            const std::size_t back = m_at;
            m_at += 2;
            std::uint32_t low = 0;
            if (hex4(low) && low >= 0xDC00 && low < 0xE000) {
              store::appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
              break;
            }
            m_at = back;
          }
          store::appendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
          break;
        }
        default:
          return fail();
      }
    }
    return fail();
  }

  bool array(JsonValue& out, int depth) {
    ++m_at;
    out.kind = JsonValue::Kind::Array;
    blanks();
    if (m_at < m_in.size() && m_in[m_at] == ']') {
      ++m_at;
      return true;
    }
    while (true) {
      out.items.emplace_back();
      if (!value(out.items.back(), depth + 1)) return false;
      blanks();
      if (m_at >= m_in.size()) return fail();
      const char c = m_in[m_at++];
      if (c == ']') return true;
      if (c != ',') return fail();
    }
  }

  bool object(JsonValue& out, int depth) {
    ++m_at;
    out.kind = JsonValue::Kind::Object;
    blanks();
    if (m_at < m_in.size() && m_in[m_at] == '}') {
      ++m_at;
      return true;
    }
    while (true) {
      blanks();
      if (m_at >= m_in.size() || m_in[m_at] != '"') return fail();
      out.members.emplace_back();
      if (!string(out.members.back().name)) return false;
      blanks();
      if (m_at >= m_in.size() || m_in[m_at++] != ':') return fail();
      if (!value(out.members.back().value, depth + 1)) return false;
      blanks();
      if (m_at >= m_in.size()) return fail();
      const char c = m_in[m_at++];
      if (c == '}') return true;
      if (c != ',') return fail();
    }
  }

  std::string_view m_in;
  std::size_t m_at = 0;
};

}  // namespace

const JsonValue* JsonValue::find(std::string_view name) const {
  for (const auto& [key, value] : members) {
    if (key == name) return &value;
  }
  return nullptr;
}

std::int64_t JsonValue::integer(std::int64_t fallback) const {
  if (kind != Kind::Number && kind != Kind::String) return fallback;
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec == std::errc{} && ptr == end) return value;
  if (kind == Kind::Number && ec == std::errc{} && ptr < end && *ptr == '.') {
    // A whole number written with a fraction of zeros, as some writers put 2500.0.
    const char* p = ptr + 1;
    while (p < end && *p == '0') ++p;
    if (p == end) return value;
  }
  return fallback;
}

std::optional<JsonValue> parseJson(std::string_view document, std::string* error) {
  JsonValue out;
  Parser parser(document);
  if (!parser.document(out)) {
    if (error) *error = "not JSON near byte " + std::to_string(parser.at());
    return std::nullopt;
  }
  return out;
}

}  // namespace kelvora::peers
