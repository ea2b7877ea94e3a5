// The JSON API's description and its reader of request bodies: the OpenAPI
// document names exactly the operations of the route table (path, method,
// operation id), and the strict reader takes JSON and nothing else, within
// its bounds.
#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "agent/web/api_routes.h"
#include "platform/text/json_reader.h"
#include "agent/web/open_api_resource.h"

namespace orla {
namespace {

using Operation = std::tuple<std::string, std::string, std::string>;  // path, method, operation id

TEST(ApiDocument, NamesExactlyTheOperationsOfTheRouteTable) {
  JsonReader::Failure failure;
  const std::optional<JsonValue> document = JsonReader({16, 100000}).Read(OpenApiResource::kDocument, &failure);
  ASSERT_TRUE(document) << failure.text << " at " << failure.field;
  ASSERT_NE(document->Find("openapi"), nullptr);
  EXPECT_EQ(document->Find("openapi")->StringValue(), "3.1.0");
  const JsonValue* paths = document->Find("paths");
  ASSERT_NE(paths, nullptr);
  std::set<Operation> documented;
  for (const JsonValue::Member& path : paths->Members()) {
    for (const JsonValue::Member& entry : path.second.Members()) {
      if (entry.first == "parameters") continue;
      std::string method = entry.first;
      for (char& c : method) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      const JsonValue* id = entry.second.Find("operationId");
      documented.emplace(path.first, method, id != nullptr ? id->StringValue() : "");
    }
  }
  std::set<Operation> routed;
  for (size_t i = 0; i < ApiRoutes::RowCount(); ++i) {
    const ApiRoutes::Route& route = ApiRoutes::Rows()[i];
    routed.emplace(std::string("/") + route.path, route.method, route.operationId);
  }
  EXPECT_EQ(documented, routed);
}

TEST(JsonReaderTest, TakesJsonAndNothingElseWithinItsBounds) {
  struct Row {
    std::string text;
    const char* failure;  // null: read
    const char* field = "";
  };
  const Row rows[] = {
      {R"( {"a":[1,-2.5e3,true,false,null,"x\u00e9\ud83d\ude00\n"]} )", nullptr},
      {"[]", nullptr},
      {"{}", nullptr},
      {"0", nullptr},
      {"", JsonReader::kMalformed},
      {"{} {}", JsonReader::kMalformed},
      {R"({"a":1,})", JsonReader::kMalformed, "a"},
      {"[1,]", JsonReader::kMalformed},
      {"01", JsonReader::kMalformed},
      {"1.", JsonReader::kMalformed},
      {"-", JsonReader::kMalformed},
      {"+1", JsonReader::kMalformed},
      {"tru", JsonReader::kMalformed},
      {"NaN", JsonReader::kMalformed},
      {"'a'", JsonReader::kMalformed},
      {"\"a\tb\"", JsonReader::kMalformed},
      {R"("\x")", JsonReader::kMalformed},
      {R"("\ud83d")", JsonReader::kMalformed},
      {R"("\ude00")", JsonReader::kMalformed},
      {"\"\xc3\x28\"", JsonReader::kMalformed},
      {"\"\xc0\xaf\"", JsonReader::kMalformed},
      {"\"abc", JsonReader::kMalformed},
      {"/* c */ 1", JsonReader::kMalformed},
      {R"({"a":{"b":1},"a":2})", JsonReader::kDuplicate, "a"},
      {R"({"deep":[[[[[[[[1]]]]]]]]})", JsonReader::kTooDeep, "deep"},
      {"[[[[[[[1]]]]]]]", nullptr},
      {"[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,35,36,37,38,39,"
       "40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59,60,61,62,63,64]",
       JsonReader::kTooMany},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    JsonReader::Failure failure;
    const std::optional<JsonValue> value = JsonReader({8, 64}).Read(row.text, &failure);
    if (row.failure == nullptr) {
      EXPECT_TRUE(value) << failure.text;
      continue;
    }
    EXPECT_FALSE(value);
    EXPECT_EQ(failure.text, row.failure);
    EXPECT_EQ(failure.field, row.field);
  }
  // What the first row reads.
  const std::optional<JsonValue> read = JsonReader({8, 64}).Read(R"({"a":[-2.5e3,"x\u00e9\ud83d\ude00"]})", nullptr);
  ASSERT_TRUE(read);
  const JsonValue& items = *read->Find("a");
  EXPECT_EQ(items.Items()[0].NumberValue(), -2500.0);
  EXPECT_FALSE(items.Items()[0].IsWholeNumber());
  EXPECT_EQ(items.Items()[1].StringValue(), "x\xc3\xa9\xf0\x9f\x98\x80");
}

}  // namespace
}  // namespace orla
