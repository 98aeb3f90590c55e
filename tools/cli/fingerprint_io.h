// Users, fingerprint templates and faces read from and written to a terminal
// through the public C API, in the terminal-neutral form of the export
// folder. Shared by `templates`, `template`, `export` and `import`.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/app.h"
#include "cli/transfer_folder.h"
#include "client/terminal.h"

namespace tlcli {

// What the biometric commands need to know beyond TerminalTraits.
struct BioTraits {
    tlclient::TerminalTraits terminal;
    int fingerprintVersion = 9;  // option "~QVFPVersion"; 10 = template containers
};
BioTraits ReadBioTraits(TL_HANDLE h);

// The fingers a listing asks for: 0-9, and 15 (the container's finger) on
// terminals with fingerprint version 10.
std::vector<int> ListedFingers(const BioTraits& traits);

// A user of the terminal with its internal number.
struct TerminalUser {
    int pin = 0;
    FolderUser user;
};

// Every user, from a fresh download of the user table (none when it is empty).
std::vector<TerminalUser> ReadAllUsers(const Context& ctx, TL_HANDLE h, const BioTraits& traits);

// Every template of these users at the listed fingers, from the template
// table (TL_ReadTempData) through the cached-table query.
std::vector<FolderTemplate> ReadAllTemplates(const Context& ctx, TL_HANDLE h,
                                             const BioTraits& traits,
                                             const std::vector<TerminalUser>& users);

// The faces of these users at the given indexes, one exchange each.
std::vector<FolderFace> ReadAllFaces(const Context& ctx, TL_HANDLE h,
                                     const std::vector<TerminalUser>& users,
                                     const std::vector<int>& indexes);

// Whether the terminal has this user (enrolled number, internal number on
// terminals before Ver 5.04, or text ID).
bool UserExists(const Context& ctx, TL_HANDLE h, const BioTraits& traits, const std::string& id);

// A text ID in the 24-byte, NUL-padded field the Ext and face exports read.
std::array<char, 24> IdField(const std::string& id);

// Writes one template with the export that suits it and the terminal (see
// docs/tool.md): a version-10 container with TL_SetUserTmpEx, a flagged
// standard template with TL_SetUserTmpEx (not on version-10 terminals, which
// take only containers there), other standard templates with TL_SetUserTmp or,
// on text-ID terminals, SSR_TL_SetUserTmpExt. Returns the library's result.
int WriteTemplate(TL_HANDLE h, const BioTraits& traits, const std::string& user, int finger,
                  int flag, const std::vector<std::uint8_t>& data);

// Whether the flag travels with a template written to this terminal.
bool FlagTravels(const BioTraits& traits, const std::vector<std::uint8_t>& data);

// Reads a face: the face bytes, or empty when the terminal has none there.
std::vector<std::uint8_t> ReadFace(TL_HANDLE h, const std::string& user, int index);

// "0-9", "0,3,50", "all": face indexes 0-255.
std::vector<int> ParseIndexes(const std::string& text);

}  // namespace tlcli
