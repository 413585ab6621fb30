// The protobuf fields the newest packages hold, and the JSON of older ones: well-formed input
// read field by field, and every way a hostile message could run past its end refused.
#include "peers/protobuf_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "peers/json_reader.h"

namespace kelvora::peers {
namespace {

std::vector<ProtoField> fieldsOf(const std::vector<std::uint8_t>& bytes, bool* malformed) {
  ProtoReader reader(bytes);
  std::vector<ProtoField> out;
  ProtoField f;
  while (reader.next(f)) out.push_back(f);
  *malformed = reader.malformed();
  return out;
}

TEST(ProtoReader, ReadsEachWireTypeItKnows) {
  // 1: varint 300; 2: "hi"; 3: fixed32 1; 4: fixed64 2; 255: varint 7 (a two-byte key).
  const std::vector<std::uint8_t> bytes = {0x08, 0xAC, 0x02, 0x12, 0x02, 'h',  'i',  0x1D,
                                           1,    0,    0,    0,    0x21, 2,    0,    0,
                                           0,    0,    0,    0,    0,    0xF8, 0x0F, 7};
  bool malformed = true;
  const auto fields = fieldsOf(bytes, &malformed);
  EXPECT_FALSE(malformed);
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[0].value, 300u);
  EXPECT_EQ(fields[1].text(), "hi");
  EXPECT_EQ(fields[2].value, 1u);
  EXPECT_EQ(fields[3].value, 2u);
  EXPECT_EQ(fields[4].number, 255u);
  EXPECT_EQ(fields[4].value, 7u);
}

TEST(ProtoReader, AMessageThatRunsPastItsEndIsMalformed) {
  const std::vector<std::vector<std::uint8_t>> cases = {
      {0x12, 0x05, 'a'},                     // bytes longer than what is left
      {0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F},  // a length of gigabytes
      {0x08, 0x80},                          // varint cut short
      {0x08, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01},  // 11 bytes
      {0x1D, 1, 2},  // fixed32 cut short
      {0x0B},        // a group: a wire type no message here uses
      {0x00, 0x01},  // field number 0
  };
  for (const auto& bytes : cases) {
    bool malformed = false;
    (void)fieldsOf(bytes, &malformed);
    EXPECT_TRUE(malformed) << bytes.size();
  }
}

TEST(JsonReader, ReadsTheSettingsOfAnOldPackage) {
  const auto doc = parseJson(
      R"({"1342697561419": {"id": 1342697561419, "type": 1, "flds": [{"name": "Fr\u00f6nt"}],)"
      R"( "tmpls": [{"qfmt": "{{c1::x}}\n", "ord": 0}], "f": 2500.0, "e": "\ud83d\ude00\ud800"}})");
  ASSERT_TRUE(doc);
  const JsonValue& model = doc->members.at(0).value;
  EXPECT_EQ(doc->members[0].name, "1342697561419");
  EXPECT_EQ(model.find("id")->integer(), 1342697561419);
  EXPECT_EQ(model.find("flds")->items.at(0).find("name")->string(), "Fr\xC3\xB6nt");
  EXPECT_EQ(model.find("tmpls")->items.at(0).find("qfmt")->string(), "{{c1::x}}\n");
  EXPECT_EQ(model.find("f")->integer(), 2500);
  EXPECT_EQ(model.find("e")->string(), "\xF0\x9F\x98\x80\xEF\xBF\xBD");  // a lone half: U+FFFD
  EXPECT_EQ(model.find("missing"), nullptr);
}

TEST(JsonReader, RefusesWhatIsNotJsonAndNestingPastItsBound) {
  for (const char* bad : {"", "{", "{\"a\":}", "[1,]", "{\"a\" 1}", "\"open", "01x", "[1] 2",
                          "{\"a\":\"\x01\"}", "tru"}) {
    std::string error;
    EXPECT_FALSE(parseJson(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  EXPECT_TRUE(parseJson(std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']')));
  EXPECT_FALSE(parseJson(std::string(100000, '[') + std::string(100000, ']')));
}

}  // namespace
}  // namespace kelvora::peers
