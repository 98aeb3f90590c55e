#include "client/format.h"

#include <algorithm>
#include <cstdio>

namespace tlclient {

Cell Text(std::string_view text) {
    return Cell{Cell::Kind::Text, std::string(text)};
}
Cell Num(long long value) {
    return Cell{Cell::Kind::Number, std::to_string(value)};
}
Cell Bool(bool value) {
    return Cell{Cell::Kind::Bool, value ? "true" : "false"};
}
Cell Null() {
    return Cell{Cell::Kind::Null, ""};
}

namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0 when the bytes
// there are not one (overlong forms, surrogates and values above U+10FFFF
// are rejected).
std::size_t Utf8Sequence(std::string_view text, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) return 1;
    std::size_t len;
    unsigned cp;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + len > text.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return 0;
    if (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return 0;
    return len;
}

std::string JsonValue(const Cell& cell) {
    switch (cell.kind) {
        case Cell::Kind::Number:
        case Cell::Kind::Bool:
            return cell.text;
        case Cell::Kind::Null:
            return "null";
        case Cell::Kind::Text:
            break;
    }
    return JsonString(cell.text);
}

// Blanks, control characters and the like would break the table's grid.
std::string TableText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u == '\n' || u == '\r' || u == '\t')
            out += ' ';
        else if (u < 0x20 || u == 0x7F)
            out += '?';
        else
            out += c;
    }
    return out;
}

void Pad(std::ostream& out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out << ' ';
}

}  // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t len = Utf8Sequence(text, i);
        if (len > 1) {
            out.append(text.substr(i, len));
            i += len;
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F || len == 0) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    out += '"';
    return out;
}

std::string CsvField(std::string_view text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' ' ||
                                          text.front() == '\t' || text.back() == '\t'));
    if (!quote) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::size_t DisplayWidth(std::string_view text) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = Utf8Sequence(text, i);
        if (len <= 1) {
            ++i;
            ++width;
            continue;
        }
        unsigned cp = static_cast<unsigned char>(text[i]) & (0xFF >> (len + 1));
        for (std::size_t k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += len;
        // East Asian wide and full-width characters take two columns.
        const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                          (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                          (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                          (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

std::string Hex(const std::uint8_t* data, std::size_t length) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", data[i]);
        if (i) out += ' ';
        out += buf;
    }
    return out;
}

void WriteJsonLine(std::ostream& out, const std::vector<std::string>& columns,
                   const std::vector<Cell>& row) {
    out << '{';
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (c) out << ',';
        out << JsonString(columns[c]) << ':' << (c < row.size() ? JsonValue(row[c]) : "null");
    }
    out << "}\n";
}

void WriteTable(std::ostream& out, const Table& table, Format format) {
    const std::size_t ncol = table.columns.size();
    auto cellAt = [&](const std::vector<Cell>& row, std::size_t c) -> Cell {
        return c < row.size() ? row[c] : Null();
    };
    switch (format) {
        case Format::Json: {
            out << "[";
            for (std::size_t r = 0; r < table.rows.size(); ++r) {
                out << (r ? ",\n  " : "\n  ") << '{';
                for (std::size_t c = 0; c < ncol; ++c) {
                    if (c) out << ", ";
                    out << JsonString(table.columns[c]) << ": "
                        << JsonValue(cellAt(table.rows[r], c));
                }
                out << '}';
            }
            out << (table.rows.empty() ? "]\n" : "\n]\n");
            return;
        }
        case Format::Csv: {
            for (std::size_t c = 0; c < ncol; ++c)
                out << (c ? "," : "") << CsvField(table.columns[c]);
            out << "\r\n";
            for (const auto& row : table.rows) {
                for (std::size_t c = 0; c < ncol; ++c)
                    out << (c ? "," : "") << CsvField(cellAt(row, c).text);
                out << "\r\n";
            }
            return;
        }
        case Format::Table:
            break;
    }
    std::vector<std::vector<std::string>> texts;
    std::vector<std::size_t> width(ncol);
    for (std::size_t c = 0; c < ncol; ++c) width[c] = DisplayWidth(table.columns[c]);
    for (const auto& row : table.rows) {
        std::vector<std::string> line;
        for (std::size_t c = 0; c < ncol; ++c) {
            line.push_back(TableText(cellAt(row, c).text));
            width[c] = std::max(width[c], DisplayWidth(line.back()));
        }
        texts.push_back(std::move(line));
    }
    auto emit = [&](const std::vector<std::string>& line, const std::vector<Cell>* row) {
        for (std::size_t c = 0; c < ncol; ++c) {
            const std::size_t fill = width[c] - DisplayWidth(line[c]);
            const bool right = row && cellAt(*row, c).kind == Cell::Kind::Number;
            if (c) out << "  ";
            if (right) Pad(out, fill);
            out << line[c];
            if (!right && c + 1 < ncol) Pad(out, fill);
        }
        out << '\n';
    };
    emit(table.columns, nullptr);
    std::vector<std::string> rule;
    for (std::size_t c = 0; c < ncol; ++c) rule.emplace_back(width[c], '-');
    emit(rule, nullptr);
    for (std::size_t r = 0; r < texts.size(); ++r) emit(texts[r], &table.rows[r]);
}

void WriteFields(std::ostream& out, const Fields& fields, Format format) {
    switch (format) {
        case Format::Json: {
            out << '{';
            for (std::size_t i = 0; i < fields.items.size(); ++i) {
                out << (i ? ",\n  " : "\n  ") << JsonString(fields.items[i].first) << ": "
                    << JsonValue(fields.items[i].second);
            }
            out << (fields.items.empty() ? "}\n" : "\n}\n");
            return;
        }
        case Format::Csv: {
            out << "field,value\r\n";
            for (const auto& [name, cell] : fields.items)
                out << CsvField(name) << ',' << CsvField(cell.text) << "\r\n";
            return;
        }
        case Format::Table:
            break;
    }
    std::size_t width = 0;
    for (const auto& item : fields.items) width = std::max(width, DisplayWidth(item.first));
    for (const auto& [name, cell] : fields.items) {
        out << name << ':';
        Pad(out, width - DisplayWidth(name) + 1);
        out << (cell.kind == Cell::Kind::Null ? "-" : TableText(cell.text)) << '\n';
    }
}

}  // namespace tlclient
