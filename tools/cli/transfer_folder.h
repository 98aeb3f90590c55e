// The folder that `export` writes and `import` reads: a terminal's users with
// their fingerprint templates and faces. Format 1 (docs/tool.md):
//
//   DIR/termlink-export.txt   "termlink-export 1", then key=value lines
//   DIR/users.csv             one row per user
//   DIR/templates.csv         one row per template, naming its file
//   DIR/templates/*.tmpl      the template bytes as the terminal holds them
//   DIR/faces.csv             one row per face, naming its file
//   DIR/faces/*.face          the face bytes
//
// Nothing here talks to a terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tlcli {

constexpr int kFolderFormat = 1;

// One user, in the terminal-neutral form of users.csv.
struct FolderUser {
    std::string user;  // enrolled number in decimal, or the text ID
    std::string name;
    std::string password;
    int privilege = 0;  // 0 user, 1 enroller, 2 admin, 3 supervisor
    bool enabled = true;
    unsigned long long card = 0;
    int group = 0;
    bool followsGroup = true;  // no time zones of the user's own
    std::vector<int> zones;    // the user's own zone slots, in order
    bool operator==(const FolderUser&) const = default;
};

struct FolderTemplate {
    std::string user;
    int finger = 0;
    int flag = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const FolderTemplate&) const = default;
};

struct FolderFace {
    std::string user;
    int index = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const FolderFace&) const = default;
};

// What the export was taken from (informative: an import reads it only to
// tell the person what it is moving).
struct FolderSource {
    std::string firmware;
    bool textIds = false;
    int fingerprintVersion = 0;
    int pinWidth = 0;
    std::string faceIndexes;  // the face indexes asked for; empty: faces not exported
};

struct Folder {
    FolderSource source;
    std::vector<FolderUser> users;
    std::vector<FolderTemplate> templates;
    std::vector<FolderFace> faces;
};

// Writes the folder, creating it (readable by its owner only: it holds
// passwords). It must not exist or be empty. Throws ToolError (exit 8) when a
// file cannot be written.
void WriteFolder(const std::string& dir, const Folder& folder);

// Throws ToolError (exit 8) unless DIR does not exist or is an empty folder,
// so an export fails before it talks to the terminal.
void CheckFolderFree(const std::string& dir);

// Reads and checks a whole folder. Throws ToolError (exit 8) naming the file
// and line of the first thing wrong.
Folder ReadFolder(const std::string& dir);

// The layout of a template by its first bytes: "A", "B" or "C" for standard
// templates (by their magic), "container" for a version-10 container (its
// big-endian length at bytes 8-9 is its size), else "unknown".
std::string TemplateLayout(const std::uint8_t* data, std::size_t size);

// A user as part of a file name: letters, digits, '-' and '_' kept, every
// other byte as %XX, so that different users give different names.
std::string FileNamePart(std::string_view user);

// Zones as users.csv writes them: "group", or the slots separated by ';'
// ("" for an own list without zones).
std::string ZonesField(const FolderUser& u);

// RFC 4180 CSV (CRLF or LF line ends, quoted fields may hold commas, quotes
// and line breaks). False and *error when a quote is left open.
bool ParseCsv(std::string_view text, std::vector<std::vector<std::string>>& rows,
              std::string* error);

}  // namespace tlcli
