// A small JSON reader for the settings older Anki packages keep as JSON: the note types and
// decks of a collection and the package's media list. Values are held whole; the documents are
// small beside the collection.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::peers {

struct JsonMember;

struct JsonValue {
  enum class Kind : std::uint8_t { Null, Boolean, Number, String, Array, Object };

  Kind kind = Kind::Null;
  bool boolean = false;
  std::string text;  // a String's UTF-8 text; a Number as written
  std::vector<JsonValue> items;
  std::vector<JsonMember> members;  // in document order

  // The member of that name (the first, when an object repeats one); nullptr when there is none
  // or this is no object.
  const JsonValue* find(std::string_view name) const;
  // A Number written as a whole number that fits, or a String of decimal digits (Anki writes
  // some IDs as keys): fallback otherwise.
  std::int64_t integer(std::int64_t fallback = 0) const;
  const std::string& string() const { return text; }
};

struct JsonMember {
  std::string name;
  JsonValue value;
};

// The document, or nothing when it is not JSON (error then says where). Nesting deeper than
// kMaxJsonDepth is refused, so hostile input cannot exhaust the stack.
inline constexpr int kMaxJsonDepth = 64;
std::optional<JsonValue> parseJson(std::string_view document, std::string* error = nullptr);

}  // namespace kelvora::peers
