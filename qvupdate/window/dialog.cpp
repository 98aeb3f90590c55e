// The dialog: connection fields with the TCP/IP and RS232 toggles, the pack
// file with a browse button, and "Update". The update itself runs on a worker
// thread (the core's RunUpdate), so the window keeps answering during the
// pauses between tries; the worker hands its notes and its report back to the
// window's thread with Fl::awake.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "core/number_text.h"
#include "core/update.h"
#include "window/dialog.h"

namespace qvupdate::window {
namespace {

// The network address the TCP/IP toggle proposes: the usual factory address
// of these terminals.
constexpr const char* kDefaultNetAddress = "192.168.1.201";

class Dialog {
  public:
    Dialog();
    void Show() { form_->show(); }

  private:
    struct Done {
        Dialog* dialog;
        UpdateReport report;
    };
    struct Note {
        Dialog* dialog;
        std::string text;
    };

    static void OnTcpIp(Fl_Widget*, void* self) { static_cast<Dialog*>(self)->UseNetwork(); }
    static void OnRs232(Fl_Widget*, void* self) { static_cast<Dialog*>(self)->UseSerial(); }
    static void OnBrowse(Fl_Widget*, void* self) { static_cast<Dialog*>(self)->Browse(); }
    static void OnUpdate(Fl_Widget*, void* self) { static_cast<Dialog*>(self)->StartUpdate(); }
    static void OnTick(void* self) { static_cast<Dialog*>(self)->Tick(); }
    static void OnNote(void* p);
    static void OnDone(void* p);

    void UseNetwork();
    void UseSerial();
    void Browse();
    void StartUpdate();
    void Finish(const UpdateReport& report);
    void Tick();
    void Inform(const std::string& text);
    bool Number(Fl_Input* field, const char* what, int& out);
    void FitNumberRow();

    std::unique_ptr<Fl_Window> form_;
    Fl_Button* sbtnTCPIP_;
    Fl_Button* sbtnRS232_;
    Fl_Input* edtnetAddress_;
    Fl_Input* edtNetPort_;
    Fl_Input* edtBaudRate_;
    Fl_Box* label1_;
    Fl_Input* packFile_;
    Fl_Button* browse_;
    Fl_Button* button5_;
    Fl_Box* status_;
    std::thread worker_;
    bool busy_ = false;
    int ticks_ = 0;
    std::string note_;
    Link link_;  // of the run in progress, for its messages
};

Dialog::Dialog() {
    const int w = 257, h = 137;
    form_ = std::make_unique<Fl_Window>((Fl::w() - w) / 2, (Fl::h() - h) / 2, w, h, "QVUpdate");
    form_->begin();
    sbtnTCPIP_ = new Fl_Button(4, 4, 60, 20, "TCP/IP");
    sbtnRS232_ = new Fl_Button(66, 4, 60, 20, "RS232");
    for (Fl_Button* b : {sbtnTCPIP_, sbtnRS232_}) {
        b->type(FL_RADIO_BUTTON);  // one group: pressing one releases the other
        b->box(FL_FLAT_BOX);
        b->down_box(FL_DOWN_BOX);
        b->labelsize(12);
    }
    sbtnRS232_->value(1);
    sbtnTCPIP_->callback(OnTcpIp, this);
    sbtnRS232_->callback(OnRs232, this);

    edtnetAddress_ = new Fl_Input(86, 28, 167, 20, "IP Address:");
    edtNetPort_ = new Fl_Input(86, 50, 44, 20, "Port Number:");
    edtBaudRate_ = new Fl_Input(193, 50, 60, 20, "BaudRate:");
    for (Fl_Input* in : {edtnetAddress_, edtNetPort_, edtBaudRate_}) {
        in->labelsize(12);
        in->textsize(12);
    }
    edtnetAddress_->value("COM1");
    edtNetPort_->value("1");
    edtBaudRate_->value("115200");

    label1_ = new Fl_Box(4, 72, 249, 16, "Please select update file at here");
    label1_->labelsize(12);
    label1_->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT);
    packFile_ = new Fl_Input(4, 90, 221, 20);
    packFile_->textsize(12);
    browse_ = new Fl_Button(227, 90, 26, 20, "...");
    browse_->callback(OnBrowse, this);

    status_ = new Fl_Box(4, 114, 120, 20);
    status_->labelsize(11);
    status_->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_CLIP);
    button5_ = new Fl_Button(176, 114, 77, 20, "Update");
    button5_->labelsize(12);
    button5_->callback(OnUpdate, this);
    form_->end();
    FitNumberRow();
    form_->size_range(w, h, w, h);  // a fixed dialog border
    // Closing the window while an update runs would leave the terminal half
    // updated; the close is refused until the run ends.
    form_->callback(
        [](Fl_Widget* wdg, void* self) {
            if (!static_cast<Dialog*>(self)->busy_) wdg->hide();
        },
        this);
}

// The row of the port and baud fields is the only tight one: its widths
// come from the font the display really has, so that "$1112", "65535",
// "115200" and the "BaudRate:" label fit whatever font stands in for
// Helvetica. The fields keep their places: the port field after the labels'
// column, the baud field ending at the right margin. When the row cannot
// hold them at size 12, the row's text size steps down until it can.
void Dialog::FitNumberRow() {
    // Texts are measured as labels of a box outside the window (the display
    // is open: the window's position asked for the screen's size).
    Fl_Box probe(0, 0, 0, 0);
    probe.labelfont(edtNetPort_->textfont());
    auto width = [&](const char* text, int size) {
        int w = 0, h = 0;
        probe.label(text);
        probe.labelsize(size);
        probe.measure_label(w, h);
        return w;
    };
    constexpr int kMargin = 10;  // the input's frame and inner margins
    constexpr int kLeft = 86, kRight = 253, kGap = 4;
    for (int size = 12; size >= 8; --size) {
        const int port =
            std::max(44, std::max(width("$1112", size), width("65535", size)) + kMargin);
        const int baud = std::max(60, width("115200", size) + kMargin);
        const int label = width("BaudRate:", size) + 2;
        if (size > 8 && kLeft + port + kGap + label > kRight - baud) continue;
        edtNetPort_->resize(kLeft, 50, port, 20);
        edtBaudRate_->resize(kRight - baud, 50, baud, 20);
        for (Fl_Input* in : {edtNetPort_, edtBaudRate_}) {
            in->labelsize(size);
            in->textsize(size);
        }
        return;
    }
}

void Dialog::UseNetwork() {
    edtnetAddress_->label("IP Address:");
    edtNetPort_->label("Port Number:");
    edtnetAddress_->value(kDefaultNetAddress);
    edtNetPort_->value("$1112");
    form_->redraw();
}

void Dialog::UseSerial() {
    edtnetAddress_->label("Com Port:");
    edtNetPort_->label("Device ID:");
    edtnetAddress_->value("COM4");
    edtNetPort_->value("1");
    form_->redraw();
}

void Dialog::Browse() {
    const char* picked = fl_file_chooser("Select the update pack", "*", packFile_->value());
    if (picked) packFile_->value(picked);
}

void Dialog::Inform(const std::string& text) {
    // Scripts and tests that drive the window read the same text here.
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    fl_message("%s", text.c_str());
}

bool Dialog::Number(Fl_Input* field, const char* what, int& out) {
    auto n = ParseWholeNumber(field->value(), NumberForm::DecimalOrDollarHex);
    if (!n) {
        std::string name = what;  // the field's label without its colon
        if (!name.empty() && name.back() == ':') name.pop_back();
        const std::string text = name + " \"" + field->value() + "\" is not a whole number.";
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
        fl_alert("%s", text.c_str());
        field->take_focus();
        return false;
    }
    out = *n;
    return true;
}

void Dialog::StartUpdate() {
    if (busy_) return;
    // The address is shown as it is used: trimmed and in upper case.
    Link link = LinkFromFields(edtnetAddress_->value(), 0, 0);
    edtnetAddress_->value(link.address.c_str());
    if (!Number(edtNetPort_, edtNetPort_->label(), link.port)) return;
    if (link.kind == Link::Kind::Serial && !Number(edtBaudRate_, "BaudRate", link.baud)) return;

    link_ = link;
    busy_ = true;
    button5_->deactivate();
    button5_->label("Working");
    note_ = "starting";
    ticks_ = 0;
    Fl::add_timeout(0.25, OnTick, this);
    form_->cursor(FL_CURSOR_WAIT);

    Hooks hooks = DefaultHooks();
    hooks.note = [this](const std::string& text) { Fl::awake(OnNote, new Note{this, text}); };
    const std::string path = packFile_->value();
    if (worker_.joinable()) worker_.join();
    worker_ = std::thread([this, link, path, hooks] {
        Fl::awake(OnDone, new Done{this, RunUpdate(link, path, hooks)});
    });
}

void Dialog::OnNote(void* p) {
    std::unique_ptr<Note> n(static_cast<Note*>(p));
    n->dialog->note_ = n->text;
}

void Dialog::OnDone(void* p) {
    std::unique_ptr<Done> d(static_cast<Done*>(p));
    d->dialog->Finish(d->report);
}

// A moving mark beside the note shows that the run is alive.
void Dialog::Tick() {
    if (!busy_) return;
    static const char* const kSpinner[] = {"|", "/", "-", "\\"};
    const std::string shown = std::string(kSpinner[ticks_++ % 4]) + " " + note_;
    status_->copy_label(shown.c_str());
    Fl::repeat_timeout(0.25, OnTick, this);
}

void Dialog::Finish(const UpdateReport& report) {
    if (worker_.joinable()) worker_.join();
    busy_ = false;
    Fl::remove_timeout(OnTick, this);
    form_->cursor(FL_CURSOR_DEFAULT);
    button5_->label("Update");
    button5_->activate();
    switch (report.end) {
        case UpdateEnd::NoConnection:
            status_->copy_label("no connection");
            Inform(text::NoConnection(link_));
            return;
        case UpdateEnd::NoFile:
            status_->copy_label("no such file");
            return;
        case UpdateEnd::BadPack:
            status_->copy_label("pack refused");
            Inform("The pack cannot be used: " + report.error);
            return;
        case UpdateEnd::Refused:
            status_->copy_label("pack refused");
            Inform(std::string(text::kWrongPack));
            return;
        case UpdateEnd::Done:
            break;
    }
    status_->copy_label("done");
    std::string shown;
    for (const auto& m : report.messages) shown += (shown.empty() ? "" : "\n") + m;
    Inform(shown);
}

}  // namespace

int RunDialog() {
    Fl::lock();  // lets the update's worker thread wake the window
    fl_close = "OK";
    fl_message_title_default("QVUpdate");
    Dialog dialog;
    dialog.Show();
    return Fl::run();
}

}  // namespace qvupdate::window
