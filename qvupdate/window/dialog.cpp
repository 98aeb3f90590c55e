// The dialog (FLTK): connection fields with the TCP/IP and RS232 toggles, the pack
// file with a browse button, and "Update". The update itself runs on a worker
// thread (the core's RunUpdate), so the window keeps answering during the
// pauses between tries; the worker hands its notes and its report back to the
// window's thread with Fl::awake. Texts, field reading and what a run's end
// shows come from form.h, which the Windows window shares.
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

#include "core/update.h"
#include "window/dialog.h"
#include "window/form.h"

namespace qvupdate::window {
namespace {

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
    void Warn(const std::string& text);
    void ShowFields(const LinkFields& f);
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
    Link link_;
};

Dialog::Dialog() {
    const int w = 257, h = 137;
    form_ = std::make_unique<Fl_Window>((Fl::w() - w) / 2, (Fl::h() - h) / 2, w, h, kTitle);
    form_->begin();
    sbtnTCPIP_ = new Fl_Button(4, 4, 60, 20, kTcpIp);
    sbtnRS232_ = new Fl_Button(66, 4, 60, 20, kRs232);
    for (Fl_Button* b : {sbtnTCPIP_, sbtnRS232_}) {
        b->type(FL_RADIO_BUTTON);  // one group: pressing one releases the other
        b->box(FL_FLAT_BOX);
        b->down_box(FL_DOWN_BOX);
        b->labelsize(12);
    }
    sbtnRS232_->value(1);
    sbtnTCPIP_->callback(OnTcpIp, this);
    sbtnRS232_->callback(OnRs232, this);

    edtnetAddress_ = new Fl_Input(86, 28, 167, 20);
    edtNetPort_ = new Fl_Input(86, 50, 44, 20);
    edtBaudRate_ = new Fl_Input(193, 50, 60, 20, kBaudLabel);
    for (Fl_Input* in : {edtnetAddress_, edtNetPort_, edtBaudRate_}) {
        in->labelsize(12);
        in->textsize(12);
    }
    ShowFields(StartFields());
    edtBaudRate_->value(kStartBaud);

    label1_ = new Fl_Box(4, 72, 249, 16, kPackLabel);
    label1_->labelsize(12);
    label1_->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT);
    packFile_ = new Fl_Input(4, 90, 221, 20);
    packFile_->textsize(12);
    browse_ = new Fl_Button(227, 90, 26, 20, kBrowse);
    browse_->callback(OnBrowse, this);

    status_ = new Fl_Box(4, 114, 120, 20);
    status_->labelsize(11);
    status_->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_CLIP);
    button5_ = new Fl_Button(176, 114, 77, 20, kUpdate);
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

void Dialog::ShowFields(const LinkFields& f) {
    edtnetAddress_->label(f.addressLabel);
    edtNetPort_->label(f.portLabel);
    edtnetAddress_->value(f.address);
    edtNetPort_->value(f.port);
    form_->redraw();
}

void Dialog::UseNetwork() {
    ShowFields(NetworkFields());
}
void Dialog::UseSerial() {
    ShowFields(SerialFields());
}

void Dialog::Browse() {
    const char* picked = fl_file_chooser(kBrowseTitle, "*", packFile_->value());
    if (picked) packFile_->value(picked);
}

void Dialog::Inform(const std::string& text) {
    // Scripts and tests that drive the window read the same text here.
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    fl_message("%s", text.c_str());
}

void Dialog::Warn(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    fl_alert("%s", text.c_str());
}

void Dialog::StartUpdate() {
    if (busy_) return;
    // The address is shown as it is used: trimmed and in upper case.
    const FieldsRead read = ReadFields(edtnetAddress_->value(), edtNetPort_->label(),
                                       edtNetPort_->value(), edtBaudRate_->value());
    edtnetAddress_->value(read.shownAddress.c_str());
    if (read.bad != FieldsRead::Bad::None) {
        Warn(read.message);
        (read.bad == FieldsRead::Bad::Port ? edtNetPort_ : edtBaudRate_)->take_focus();
        return;
    }
    const Link link = read.link;
    link_ = link;

    busy_ = true;
    button5_->deactivate();
    button5_->label(kWorking);
    note_ = kStarting;
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
    status_->copy_label(Progress(ticks_++, note_).c_str());
    Fl::repeat_timeout(0.25, OnTick, this);
}

void Dialog::Finish(const UpdateReport& report) {
    if (worker_.joinable()) worker_.join();
    busy_ = false;
    Fl::remove_timeout(OnTick, this);
    form_->cursor(FL_CURSOR_DEFAULT);
    button5_->label(kUpdate);
    button5_->activate();
    const Outcome o = Describe(report, link_);
    status_->copy_label(o.status.c_str());
    if (o.box == Outcome::Box::Information) Inform(o.message);
    if (o.box == Outcome::Box::Warning) Warn(o.message);
}

}  // namespace

int RunDialog() {
    Fl::lock();  // lets the update's worker thread wake the window
    fl_close = "OK";
    fl_message_title_default(kTitle);
    Dialog dialog;
    dialog.Show();
    return Fl::run();
}

}  // namespace qvupdate::window
