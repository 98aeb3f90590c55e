// The few operating-system services the tool uses, behind one small layer so
// that the same commands build for Linux and for Windows.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace tlcli::host {

// Converts the one- and two-byte codes of GB18030 text (the terminal's and
// the report pages' character set; GB2312 and GBK bytes are GB18030
// unchanged) to UTF-8 and back, completely or not at all: nothing when any
// byte or character cannot be converted, never a replacement or a
// look-alike. cli/gb_text.h holds the rule, the four-byte codes and says
// which character failed.
std::optional<std::string> Utf8FromGb18030(const std::string& gb);
std::optional<std::string> Gb18030FromUtf8(const std::string& utf8);

// A command-line argument as the UTF-8 text the user typed. On Linux the
// argument itself; on Windows the program's arguments arrive in the ANSI code
// page, which loses what it cannot hold, so the argument is taken again from
// the wide command line.
std::string TypedText(const std::string& argument);

// Local calendar time of `t`.
std::tm LocalTime(std::time_t t);

// Standard output carries bytes as written: no line-end translation (on
// Windows text mode would turn CSV's CR LF into CR CR LF and corrupt the
// raw template bytes `template get -o -` writes).
void UseBinaryStdout();

// True when standard error is a terminal (progress lines are drawn there).
bool StderrIsTerminal();

// Creates a new, empty folder of the owner's only, named `prefix` plus a
// unique ending; its path, or nothing (errno set) when it cannot.
std::optional<std::string> MakeTempFolder(const std::string& prefix);

// The device that swallows output ("/dev/null", "NUL").
const char* NullDevice();

// The characters that end a folder name in a path ("/"; on Windows "\\" and
// "/"), as the library takes a file's base name after the last of them.
const char* PathSeparators();

// While one lives, files this process creates are its owner's only (on
// Windows they take their folder's access, as always).
class OwnerOnlyFiles {
  public:
    OwnerOnlyFiles();
    ~OwnerOnlyFiles();
    OwnerOnlyFiles(const OwnerOnlyFiles&) = delete;
    OwnerOnlyFiles& operator=(const OwnerOnlyFiles&) = delete;

  private:
    unsigned previous_ = 0;
};

}  // namespace tlcli::host
