#include "window/form.h"

#include "core/number_text.h"

namespace qvupdate::window {
namespace {

// The network address the TCP/IP toggle proposes: the usual factory address
// of these terminals.
constexpr const char* kDefaultNetAddress = "192.168.1.201";

// "Port Number:" names the field as "Port Number".
std::string FieldName(std::string_view label) {
    std::string name(label);
    if (!name.empty() && name.back() == ':') name.pop_back();
    return name;
}

bool ReadNumber(std::string_view label, std::string_view text, int& out, std::string& message) {
    auto n = ParseWholeNumber(text, NumberForm::DecimalOrDollarHex);
    if (n) {
        out = *n;
        return true;
    }
    message = FieldName(label) + " \"" + std::string(text) + "\" is not a whole number.";
    return false;
}

}  // namespace

LinkFields StartFields() {
    return {"IP Address:", "Port Number:", "COM1", "1"};
}
LinkFields NetworkFields() {
    return {"IP Address:", "Port Number:", kDefaultNetAddress, "$1112"};
}
LinkFields SerialFields() {
    return {"Com Port:", "Device ID:", "COM4", "1"};
}

FieldsRead ReadFields(std::string_view address, std::string_view portLabel, std::string_view port,
                      std::string_view baud) {
    FieldsRead r;
    r.link = LinkFromFields(std::string(address), 0, 0);
    r.shownAddress = r.link.address;
    if (!ReadNumber(portLabel, port, r.link.port, r.message)) {
        r.bad = FieldsRead::Bad::Port;
    } else if (r.link.kind == Link::Kind::Serial &&
               !ReadNumber(kBaudLabel, baud, r.link.baud, r.message)) {
        r.bad = FieldsRead::Bad::Baud;
    }
    return r;
}

Outcome Describe(const UpdateReport& report, const Link& link) {
    switch (report.end) {
        case UpdateEnd::NoConnection: {
            std::string where = link.address;
            if (link.kind == Link::Kind::Network) where += ":" + std::to_string(link.port);
            return {"no connection", Outcome::Box::Warning, "No connection to " + where + "."};
        }
        case UpdateEnd::NoFile:
            return {"no such file", Outcome::Box::None, ""};
        case UpdateEnd::BadPack:
            return {"pack refused", Outcome::Box::Warning,
                    "The pack cannot be used: " + report.error};
        case UpdateEnd::Refused:
            return {"pack refused", Outcome::Box::Information, std::string(text::kWrongPack)};
        case UpdateEnd::Done:
            break;
    }
    std::string shown;
    for (const auto& m : report.messages) shown += (shown.empty() ? "" : "\n") + m;
    return {"done", Outcome::Box::Information, shown};
}

std::string Progress(int tick, const std::string& note) {
    static const char* const kSpinner[] = {"|", "/", "-", "\\"};
    return std::string(kSpinner[tick % 4]) + " " + note;
}

}  // namespace qvupdate::window
