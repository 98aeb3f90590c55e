// The window's fields and outcomes, shared by the FLTK and the Win32 window:
// what Update reads from the fields and what each end of a run shows.
#include <gtest/gtest.h>

#include "window/form.h"

namespace qvupdate::window {
namespace {

TEST(QvupdateForm, ReadsTheFieldsAsUpdateUsesThem) {
    struct Case {
        const char *address, *portLabel, *port, *baud;
        FieldsRead::Bad bad;
        std::string message;
        Link::Kind kind;
        std::string shown;
        int linkPort, linkBaud;
    };
    const Case cases[] = {
        // Serial: trimmed and upper-cased, device number and baud read.
        {" com2 ", "Device ID:", "3", "9600", FieldsRead::Bad::None, "", Link::Kind::Serial, "COM2",
         3, 9600},
        // Network: "$" hexadecimal port; the baud field is not read.
        {"10.0.0.5", "Port Number:", "$1112", "fast", FieldsRead::Bad::None, "",
         Link::Kind::Network, "10.0.0.5", 4370, 0},
        // A bad number is named with the field's current label.
        {"host", "Port Number:", "43x0", "1", FieldsRead::Bad::Port,
         "Port Number \"43x0\" is not a whole number.", Link::Kind::Network, "HOST", 0, 0},
        {"COM1", "Device ID:", "", "1", FieldsRead::Bad::Port,
         "Device ID \"\" is not a whole number.", Link::Kind::Serial, "COM1", 0, 0},
        {"COM1", "Device ID:", "1", "fast", FieldsRead::Bad::Baud,
         "BaudRate \"fast\" is not a whole number.", Link::Kind::Serial, "COM1", 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.address) + " / " + c.port + " / " + c.baud);
        const FieldsRead r = ReadFields(c.address, c.portLabel, c.port, c.baud);
        EXPECT_EQ(r.bad, c.bad);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.shownAddress, c.shown);
        EXPECT_EQ(r.link.kind, c.kind);
        if (c.bad != FieldsRead::Bad::None) continue;
        EXPECT_EQ(r.link.port, c.linkPort);
        if (c.kind == Link::Kind::Serial) {
            EXPECT_EQ(r.link.baud, c.linkBaud);
        }
    }
}

TEST(QvupdateForm, EachEndOfARunShowsItsMessage) {
    Link net{Link::Kind::Network, "10.0.0.5", 4370, 0};
    Link serial{Link::Kind::Serial, "COM2", 1, 115200};
    auto report = [](UpdateEnd end, std::vector<std::string> messages = {},
                     std::string error = "") {
        UpdateReport r;
        r.end = end;
        r.messages = std::move(messages);
        r.error = std::move(error);
        return r;
    };
    struct Case {
        UpdateReport report;
        Link link;
        std::string status;
        Outcome::Box box;
        std::string message;
    };
    const Case cases[] = {
        {report(UpdateEnd::NoConnection), net, "no connection", Outcome::Box::Warning,
         "No connection to 10.0.0.5:4370."},
        {report(UpdateEnd::NoConnection), serial, "no connection", Outcome::Box::Warning,
         "No connection to COM2."},
        {report(UpdateEnd::NoFile), net, "no such file", Outcome::Box::None, ""},
        {report(UpdateEnd::BadPack, {}, "the pack declares 90 bytes but holds 30"), net,
         "pack refused", Outcome::Box::Warning,
         "The pack cannot be used: the pack declares 90 bytes but holds 30"},
        {report(UpdateEnd::Refused), net, "pack refused", Outcome::Box::Information,
         std::string(text::kWrongPack)},
        {report(UpdateEnd::Done, {"Update firmware successfully!", "Update config fali"}), net,
         "done", Outcome::Box::Information, "Update firmware successfully!\nUpdate config fali"},
        // A pack that applies nothing still ends with its (empty) report.
        {report(UpdateEnd::Done), net, "done", Outcome::Box::Information, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status + ": " + c.message);
        const Outcome o = Describe(c.report, c.link);
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(o.box, c.box);
        EXPECT_EQ(o.message, c.message);
    }
}

}  // namespace
}  // namespace qvupdate::window
