#include "client/format.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tlclient {
namespace {

std::string Render(const Table& t, Format f) {
    std::ostringstream out;
    WriteTable(out, t, f);
    return out.str();
}

Table Sample() {
    Table t;
    t.columns = {"user", "name", "count"};
    t.Add({Text("1"), Text("Ann, \"the\" boss"), Num(12)});
    t.Add({Text("22"), Text("Bo"), Num(3)});
    return t;
}

TEST(JsonString, EscapesQuotesBackslashAndControlCharacters) {
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString("x\ny\tz\r"), "\"x\\ny\\tz\\r\"");
    EXPECT_EQ(JsonString(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\\u007f\"");
    EXPECT_EQ(JsonString(std::string("a\0b", 3)), "\"a\\u0000b\"");
}

TEST(JsonString, KeepsValidUtf8AndEscapesStrayBytes) {
    EXPECT_EQ(JsonString("Zoë 张"), "\"Zoë 张\"");
    // GB2312 bytes for a name are not UTF-8: each becomes \u00XX.
    EXPECT_EQ(JsonString("\xd5\xc5"), "\"\\u00d5\\u00c5\"");
    // Truncated and overlong sequences, and encoded surrogates.
    EXPECT_EQ(JsonString("\xe5\xbc"), "\"\\u00e5\\u00bc\"");
    EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\u00c0\\u00af\"");
    EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\\u00ed\\u00a0\\u0080\"");
}

TEST(CsvField, QuotesOnlyWhereNeeded) {
    EXPECT_EQ(CsvField("plain"), "plain");
    EXPECT_EQ(CsvField(""), "");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(CsvField(" padded"), "\" padded\"");
}

TEST(WriteTable, CsvHasHeaderAndCrlfRows) {
    EXPECT_EQ(Render(Sample(), Format::Csv),
              "user,name,count\r\n1,\"Ann, \"\"the\"\" boss\",12\r\n22,Bo,3\r\n");
}

TEST(WriteTable, JsonIsAnArrayOfObjectsWithTypedValues) {
    Table t;
    t.columns = {"id", "ok", "note"};
    t.Add({Num(-5), Bool(true), Null()});
    EXPECT_EQ(Render(t, Format::Json), "[\n  {\"id\": -5, \"ok\": true, \"note\": null}\n]\n");
    t.rows.clear();
    EXPECT_EQ(Render(t, Format::Json), "[]\n");
}

TEST(WriteTable, TextAlignsColumnsAndRightAlignsNumbers) {
    EXPECT_EQ(Render(Sample(), Format::Table),
              "user  name             count\n"
              "----  ---------------  -----\n"
              "1     Ann, \"the\" boss     12\n"
              "22    Bo                   3\n");
}

TEST(WriteTable, TextKeepsTheGridWithNewlinesAndWideCharacters) {
    Table t;
    t.columns = {"a", "b"};
    t.Add({Text("x\ny"), Text("1")});
    t.Add({Text("张三"), Text("2")});
    EXPECT_EQ(Render(t, Format::Table), "a     b\n----  -\nx y   1\n张三  2\n");
}

TEST(WriteFields, AllThreeFormats) {
    Fields f;
    f.Add("firmware", Text("Ver 6.60"));
    f.Add("users", Num(3));
    f.Add("pin width", Null());
    std::ostringstream table, csv, json;
    WriteFields(table, f, Format::Table);
    WriteFields(csv, f, Format::Csv);
    WriteFields(json, f, Format::Json);
    EXPECT_EQ(table.str(), "firmware:  Ver 6.60\nusers:     3\npin width: -\n");
    EXPECT_EQ(csv.str(), "field,value\r\nfirmware,Ver 6.60\r\nusers,3\r\npin width,\r\n");
    EXPECT_EQ(json.str(),
              "{\n  \"firmware\": \"Ver 6.60\",\n  \"users\": 3,\n  \"pin width\": null\n}\n");
}

TEST(WriteJsonLine, OneObjectPerLine) {
    std::ostringstream out;
    WriteJsonLine(out, {"kind", "data"}, {Num(1), Text("00 ff")});
    EXPECT_EQ(out.str(), "{\"kind\":1,\"data\":\"00 ff\"}\n");
}

TEST(Hex, SpacedLowerCase) {
    const std::uint8_t b[] = {0x00, 0xab, 0x10};
    EXPECT_EQ(Hex(b, 3), "00 ab 10");
    EXPECT_EQ(Hex(b, 0), "");
}

}  // namespace
}  // namespace tlclient
