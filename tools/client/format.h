// Output of the termlink tools: readable tables, CSV and JSON.
//
// Every command builds its result as a Table (rows of cells) or as Fields (one
// record of named values) and hands it to one of the writers below, so the
// three formats always carry the same data.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tlclient {

enum class Format { Table, Csv, Json };

// One value. Numbers and booleans are kept as text but typed, so JSON writes
// them bare and the table aligns numbers to the right.
struct Cell {
    enum class Kind { Text, Number, Bool, Null };
    Kind kind = Kind::Null;
    std::string text;
};

Cell Text(std::string_view text);
Cell Num(long long value);
Cell Bool(bool value);
Cell Null();

struct Table {
    std::vector<std::string> columns;
    std::vector<std::vector<Cell>> rows;

    void Add(std::vector<Cell> row) { rows.push_back(std::move(row)); }
};

// A single record: named values in a fixed order.
struct Fields {
    std::vector<std::pair<std::string, Cell>> items;

    void Add(std::string name, Cell value) {
        items.emplace_back(std::move(name), std::move(value));
    }
};

void WriteTable(std::ostream& out, const Table& table, Format format);
void WriteFields(std::ostream& out, const Fields& fields, Format format);

// One row of a table as a JSON object on a line of its own (streamed output,
// e.g. events --follow --json).
void WriteJsonLine(std::ostream& out, const std::vector<std::string>& columns,
                   const std::vector<Cell>& row);

// Escaping, exposed for tests and for commands that write free text.
// JSON: quotes, backslash and control characters escaped; valid UTF-8 kept;
// any byte that is not part of valid UTF-8 (terminal text is 8-bit in the
// terminal's code page) becomes \u00XX, so no input makes the output invalid.
std::string JsonString(std::string_view text);
// CSV (RFC 4180): a field holding a comma, quote, CR, LF, or leading or
// trailing blanks is quoted, inner quotes doubled.
std::string CsvField(std::string_view text);
// Columns a text occupies on a terminal: UTF-8 sequences count once, other
// bytes once each.
std::size_t DisplayWidth(std::string_view text);
// Lower-case hexadecimal bytes separated by blanks.
std::string Hex(const std::uint8_t* data, std::size_t length);

}  // namespace tlclient
