// The few operating-system services the tool uses, behind one small layer so
// that the same commands build for Linux and for Windows.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace tlcli::host {

// Converts text between the character sets "UTF-8" and "GB2312"; nothing
// when the text or a set name is not understood.
std::optional<std::string> ConvertText(const std::string& text, const char* from, const char* to);

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
