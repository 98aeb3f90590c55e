#include "cli/transfer_folder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "cli/args.h"
#include "cli/errors.h"
#include "client/format.h"

using namespace tlclient;

namespace tlcli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kManifest = "termlink-export.txt";
constexpr const char* kUsers = "users.csv";
constexpr const char* kTemplates = "templates.csv";
constexpr const char* kFaces = "faces.csv";
constexpr std::size_t kMaxTemplateFile = 65536;
constexpr std::size_t kMaxFaceFile = 131072;

[[noreturn]] void FileError(const std::string& what) {
    throw ToolError(kExitFile, what);
}

void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) FileError("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path, std::size_t limit) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) FileError("cannot read " + path.string() + ": " + ec.message());
    if (size > limit)
        FileError(path.string() + ": " + std::to_string(size) + " bytes, more than the " +
                  std::to_string(limit) + " it may hold");
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!in) FileError("cannot read " + path.string());
    return bytes;
}

std::string Bytes(const std::vector<std::uint8_t>& data) {
    return std::string(data.begin(), data.end());
}

void WriteCsv(const fs::path& path, const Table& table) {
    std::ostringstream out;
    WriteTable(out, table, Format::Csv);
    WriteFile(path, out.str());
}

// ---- reading ------------------------------------------------------------

// One CSV file with a header row; fields are found by column name, so
// columns may come in any order and unknown ones are passed over.
class CsvFile {
  public:
    CsvFile(const fs::path& path, std::vector<std::string> required)
        : name_(path.filename().string()) {
        std::string text = ReadFile(path, std::size_t{1} << 30);
        if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // a spreadsheet's BOM
        std::string error;
        if (!ParseCsv(text, rows_, &error)) FileError(name_ + ": " + error);
        if (rows_.empty()) FileError(name_ + ": no header row");
        for (std::size_t i = 0; i < rows_[0].size(); ++i) columns_[rows_[0][i]] = i;
        for (const auto& c : required)
            if (!columns_.count(c)) FileError(name_ + ": no column '" + c + "'");
    }

    std::size_t rows() const { return rows_.size() - 1; }
    bool Has(const std::string& column) const { return columns_.count(column) != 0; }
    // Row r (from 0, after the header), column `column`.
    const std::string& Get(std::size_t r, const std::string& column) const {
        const auto& row = rows_[r + 1];
        const std::size_t c = columns_.at(column);
        if (c >= row.size()) Fail(r, "no '" + column + "' field");
        return row[c];
    }
    long long Number(std::size_t r, const std::string& column, long long min, long long max) const {
        std::string error;
        const auto v = ParseInt(Get(r, column), min, max, &error);
        if (!v) Fail(r, column + ": " + error);
        return *v;
    }
    [[noreturn]] void Fail(std::size_t r, const std::string& what) const {
        FileError(name_ + ", row " + std::to_string(r + 1) + ": " + what);
    }

  private:
    std::string name_;
    std::vector<std::vector<std::string>> rows_;
    std::map<std::string, std::size_t> columns_;
};

// A data file named by a table: relative, inside the folder.
fs::path DataPath(const fs::path& dir, const CsvFile& table, std::size_t r) {
    const fs::path rel(table.Get(r, "file"));
    if (rel.empty() || rel.is_absolute()) table.Fail(r, "file: not a path inside the folder");
    for (const auto& part : rel)
        if (part == "..") table.Fail(r, "file: not a path inside the folder");
    return dir / rel;
}

std::vector<int> ParseZones(const CsvFile& t, std::size_t r, bool& followsGroup) {
    const std::string& text = t.Get(r, "zones");
    followsGroup = text == "group";
    std::vector<int> zones;
    if (followsGroup || text.empty()) return zones;
    std::size_t start = 0;
    for (;;) {
        const auto semi = text.find(';', start);
        std::string error;
        const auto v = ParseInt(text.substr(start, semi - start), 0, 65535, &error);
        if (!v) t.Fail(r, "zones: " + error);
        zones.push_back(static_cast<int>(*v));
        if (semi == std::string::npos) break;
        start = semi + 1;
    }
    if (zones.size() > 4) t.Fail(r, "zones: at most four");
    return zones;
}

void ReadManifest(const fs::path& dir, FolderSource& source,
                  std::map<std::string, long long>& counts) {
    const std::string text = ReadFile(dir / kManifest, 65536);
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string magic = "termlink-export ";
    if (line.rfind(magic, 0) != 0) FileError(std::string(kManifest) + ": not a termlink export");
    std::string error;
    const auto format = ParseInt(line.substr(magic.size()), 1, 1000000, &error);
    if (!format) FileError(std::string(kManifest) + ": format " + error);
    if (*format != kFolderFormat)
        FileError(std::string(kManifest) + ": format " + std::to_string(*format) +
                  "; this termlink reads format " + std::to_string(kFolderFormat));
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "firmware") source.firmware = value;
        if (key == "text_ids") source.textIds = value == "1";
        if (key == "fingerprint_version")
            source.fingerprintVersion =
                static_cast<int>(ParseInt(value, 0, 255, &error).value_or(0));
        if (key == "pin_width")
            source.pinWidth = static_cast<int>(ParseInt(value, 0, 24, &error).value_or(0));
        if (key == "face_indexes") source.faceIndexes = value;
        if (key == "users" || key == "templates" || key == "faces") {
            const auto n = ParseInt(value, 0, 1LL << 40, &error);
            if (!n) FileError(std::string(kManifest) + ": " + key + ": " + error);
            counts[key] = *n;
        }
    }
}

void CheckCount(const std::map<std::string, long long>& counts, const std::string& key,
                std::size_t found) {
    const auto it = counts.find(key);
    if (it != counts.end() && it->second != static_cast<long long>(found))
        FileError(std::string(kManifest) + " lists " + std::to_string(it->second) + " " + key +
                  ", the folder holds " + std::to_string(found) + " (an incomplete copy?)");
}

}  // namespace

std::string TemplateLayout(const std::uint8_t* data, std::size_t size) {
    if (size >= 2) {
        const unsigned magic = data[0] | static_cast<unsigned>(data[1]) << 8;
        if (magic == 0x432A) return "A";
        if ((magic & 0xFF00) == 0xCA00 && (magic & 0x7F) < 0x21) return "B";
        if (magic >= 0xCA80 && magic <= 0xCABF) return "C";
    }
    if (size >= 10 && (static_cast<std::size_t>(data[8]) << 8 | data[9]) == size)
        return "container";
    return "unknown";
}

std::string FileNamePart(std::string_view user) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (char c : user) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
            u == '-' || u == '_') {
            out += c;
        } else {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        }
    }
    return out;
}

std::string ZonesField(const FolderUser& u) {
    if (u.followsGroup) return "group";
    std::string s;
    for (std::size_t i = 0; i < u.zones.size(); ++i)
        s += (i ? ";" : "") + std::to_string(u.zones[i]);
    return s;
}

bool ParseCsv(std::string_view text, std::vector<std::vector<std::string>>& rows,
              std::string* error) {
    rows.clear();
    std::vector<std::string> row;
    std::string field;
    bool quoted = false, fieldStarted = false;
    std::size_t line = 1, quoteLine = 0;
    auto endRow = [&] {
        row.push_back(std::move(field));
        field.clear();
        // A line with nothing on it is no row (a trailing line end, or a
        // blank line in a hand-edited file).
        if (!(row.size() == 1 && row[0].empty() && !fieldStarted)) rows.push_back(std::move(row));
        row.clear();
        fieldStarted = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == '\n') ++line;
                field += c;
            }
            continue;
        }
        switch (c) {
            case '"':
                quoted = true;
                fieldStarted = true;
                quoteLine = line;
                break;
            case ',':
                row.push_back(std::move(field));
                field.clear();
                fieldStarted = true;
                break;
            case '\r':
                if (i + 1 < text.size() && text[i + 1] == '\n') break;
                ++line;
                endRow();
                break;
            case '\n':
                ++line;
                endRow();
                break;
            default:
                field += c;
                fieldStarted = true;
        }
    }
    if (quoted) {
        if (error) *error = "line " + std::to_string(quoteLine) + ": a quote is never closed";
        return false;
    }
    if (fieldStarted || !field.empty() || !row.empty()) endRow();
    return true;
}

void CheckFolderFree(const std::string& dirName) {
    const fs::path dir(dirName);
    std::error_code ec;
    if (fs::exists(dir, ec) && !(fs::is_directory(dir, ec) && fs::is_empty(dir, ec)))
        FileError(dirName + " exists and is not an empty folder");
}

void WriteFolder(const std::string& dirName, const Folder& f) {
    const fs::path dir(dirName);
    std::error_code ec;
    CheckFolderFree(dirName);
    fs::create_directories(dir / "templates", ec);
    if (!ec) fs::create_directories(dir / "faces", ec);
    if (ec) FileError("cannot create " + dirName + ": " + ec.message());
    // The folder holds passwords and biometric data: its owner's only.
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace, ec);

    Table users;
    users.columns = {"user", "name", "password", "privilege", "enabled", "card", "group", "zones"};
    for (const auto& u : f.users) {
        users.Add({Text(u.user), Text(u.name), Text(u.password), Num(u.privilege),
                   Num(u.enabled ? 1 : 0), Num(static_cast<long long>(u.card)), Num(u.group),
                   Text(ZonesField(u))});
    }
    Table templates;
    templates.columns = {"user", "finger", "flag", "size", "layout", "file"};
    for (const auto& t : f.templates) {
        const std::string file =
            "templates/" + FileNamePart(t.user) + "-" + std::to_string(t.finger) + ".tmpl";
        WriteFile(dir / file, Bytes(t.data));
        templates.Add({Text(t.user), Num(t.finger), Num(t.flag),
                       Num(static_cast<long long>(t.data.size())),
                       Text(TemplateLayout(t.data.data(), t.data.size())), Text(file)});
    }
    Table faces;
    faces.columns = {"user", "index", "size", "file"};
    for (const auto& face : f.faces) {
        const std::string file =
            "faces/" + FileNamePart(face.user) + "-" + std::to_string(face.index) + ".face";
        WriteFile(dir / file, Bytes(face.data));
        faces.Add({Text(face.user), Num(face.index), Num(static_cast<long long>(face.data.size())),
                   Text(file)});
    }
    WriteCsv(dir / kUsers, users);
    WriteCsv(dir / kTemplates, templates);
    WriteCsv(dir / kFaces, faces);
    // The manifest last: a folder that has one is complete.
    std::ostringstream m;
    m << "termlink-export " << kFolderFormat << "\n"
      << "firmware=" << f.source.firmware << "\n"
      << "text_ids=" << (f.source.textIds ? 1 : 0) << "\n"
      << "fingerprint_version=" << f.source.fingerprintVersion << "\n"
      << "pin_width=" << f.source.pinWidth << "\n"
      << "face_indexes=" << f.source.faceIndexes << "\n"
      << "users=" << f.users.size() << "\n"
      << "templates=" << f.templates.size() << "\n"
      << "faces=" << f.faces.size() << "\n";
    WriteFile(dir / kManifest, m.str());
}

Folder ReadFolder(const std::string& dirName) {
    const fs::path dir(dirName);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) FileError(dirName + ": no such folder");
    Folder f;
    std::map<std::string, long long> counts;
    ReadManifest(dir, f.source, counts);

    const CsvFile users(dir / kUsers, {"user", "name", "password", "privilege", "enabled", "card",
                                       "group", "zones"});
    std::set<std::string> known;
    for (std::size_t r = 0; r < users.rows(); ++r) {
        FolderUser u;
        u.user = users.Get(r, "user");
        if (u.user.empty()) users.Fail(r, "user: empty");
        if (!known.insert(u.user).second) users.Fail(r, "user " + u.user + " is listed twice");
        u.name = users.Get(r, "name");
        u.password = users.Get(r, "password");
        u.privilege = static_cast<int>(users.Number(r, "privilege", 0, 3));
        u.enabled = users.Number(r, "enabled", 0, 1) == 1;
        u.card = static_cast<unsigned long long>(users.Number(r, "card", 0, 1099511627775LL));
        u.group = static_cast<int>(users.Number(r, "group", 0, 255));
        u.zones = ParseZones(users, r, u.followsGroup);
        f.users.push_back(std::move(u));
    }

    const CsvFile templates(dir / kTemplates, {"user", "finger", "flag", "file"});
    std::set<std::pair<std::string, int>> fingers;
    for (std::size_t r = 0; r < templates.rows(); ++r) {
        FolderTemplate t;
        t.user = templates.Get(r, "user");
        if (!known.count(t.user)) templates.Fail(r, "user " + t.user + " is not in users.csv");
        t.finger = static_cast<int>(templates.Number(r, "finger", 0, 15));
        t.flag = static_cast<int>(templates.Number(r, "flag", 0, 255));
        if (!fingers.insert({t.user, t.finger}).second)
            templates.Fail(r, "finger " + std::to_string(t.finger) + " of user " + t.user +
                                  " is listed twice");
        const std::string bytes = ReadFile(DataPath(dir, templates, r), kMaxTemplateFile);
        if (bytes.empty()) templates.Fail(r, "the template file is empty");
        if (templates.Has("size") &&
            templates.Number(r, "size", 0, 1LL << 40) != static_cast<long long>(bytes.size()))
            templates.Fail(r, "the template file's size differs from the size column");
        t.data.assign(bytes.begin(), bytes.end());
        f.templates.push_back(std::move(t));
    }

    // A folder written without faces still has the table, empty; one from
    // before faces could be written is read as having none.
    if (fs::exists(dir / kFaces, ec)) {
        const CsvFile faces(dir / kFaces, {"user", "index", "file"});
        std::set<std::pair<std::string, int>> indexes;
        for (std::size_t r = 0; r < faces.rows(); ++r) {
            FolderFace face;
            face.user = faces.Get(r, "user");
            if (!known.count(face.user))
                faces.Fail(r, "user " + face.user + " is not in users.csv");
            face.index = static_cast<int>(faces.Number(r, "index", 0, 255));
            if (!indexes.insert({face.user, face.index}).second)
                faces.Fail(r, "face " + std::to_string(face.index) + " of user " + face.user +
                                  " is listed twice");
            const std::string bytes = ReadFile(DataPath(dir, faces, r), kMaxFaceFile);
            if (bytes.empty()) faces.Fail(r, "the face file is empty");
            if (faces.Has("size") &&
                faces.Number(r, "size", 0, 1LL << 40) != static_cast<long long>(bytes.size()))
                faces.Fail(r, "the face file's size differs from the size column");
            face.data.assign(bytes.begin(), bytes.end());
            f.faces.push_back(std::move(face));
        }
    }
    CheckCount(counts, "users", f.users.size());
    CheckCount(counts, "templates", f.templates.size());
    CheckCount(counts, "faces", f.faces.size());
    return f;
}

}  // namespace tlcli
