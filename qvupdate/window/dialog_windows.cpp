// The dialog (Win32): the FLTK window's controls, texts and behaviour made
// with the system's own controls in code. The fields, their labels and the
// outcome of a run come from form.h; the update runs on a worker thread (the
// core's RunUpdate), which posts its notes and its report to the window.
#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "core/update.h"
#include "window/dialog.h"
#include "window/form.h"

namespace qvupdate::window {
namespace {

enum ControlId : int {
    kIdTcpIp = 101,
    kIdRs232,
    kIdAddressLabel,
    kIdAddress,
    kIdPortLabel,
    kIdPort,
    kIdBaudLabel,
    kIdBaud,
    kIdPackLabel,
    kIdPack,
    kIdBrowse,
    kIdStatus,
    kIdUpdate,
};

constexpr UINT kMsgNote = WM_APP + 1;  // lParam: a std::string* the window takes over
constexpr UINT kMsgDone = WM_APP + 2;  // lParam: an UpdateReport* the window takes over
constexpr UINT_PTR kTickTimer = 1;
constexpr const char* kClassName = "QVUpdateDialog";
constexpr int kClientWidth = 257, kClientHeight = 137;

// One control, placed in client pixels of the 257 x 137 dialog (the FLTK
// window's positions; the labels the FLTK fields draw outside themselves are
// separate static controls here, right-aligned against their fields).
struct Place {
    int id;
    const char* windowClass;
    DWORD style;
    int x, y, w, h;
    const char* text;
};

constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kToggle = kButton | BS_AUTORADIOBUTTON | BS_PUSHLIKE;
constexpr DWORD kEdit = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_CENTERIMAGE | SS_NOPREFIX;

const Place kPlaces[] = {
    {kIdTcpIp, "BUTTON", kToggle | WS_GROUP, 4, 4, 60, 20, kTcpIp},
    {kIdRs232, "BUTTON", kToggle, 66, 4, 60, 20, kRs232},
    {kIdAddressLabel, "STATIC", kLabel | SS_RIGHT | WS_GROUP, 2, 28, 82, 20, ""},
    {kIdAddress, "EDIT", kEdit, 86, 28, 167, 20, ""},
    {kIdPortLabel, "STATIC", kLabel | SS_RIGHT, 2, 50, 82, 20, ""},
    {kIdPort, "EDIT", kEdit, 86, 50, 44, 20, ""},
    {kIdBaudLabel, "STATIC", kLabel | SS_RIGHT, 132, 50, 59, 20, kBaudLabel},
    {kIdBaud, "EDIT", kEdit, 193, 50, 60, 20, kStartBaud},
    {kIdPackLabel, "STATIC", kLabel | SS_LEFT, 4, 72, 249, 16, kPackLabel},
    {kIdPack, "EDIT", kEdit, 4, 90, 221, 20, ""},
    {kIdBrowse, "BUTTON", kButton | BS_PUSHBUTTON, 227, 90, 26, 20, kBrowse},
    // The corner runs up to the Update button, so the longest note fits.
    {kIdStatus, "STATIC", kLabel | SS_LEFTNOWORDWRAP, 4, 114, 168, 20, ""},
    {kIdUpdate, "BUTTON", kButton | BS_DEFPUSHBUTTON, 176, 114, 77, 20, kUpdate},
};

class Dialog {
  public:
    bool Create(HINSTANCE instance);
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND Handle() const { return hwnd_; }

  private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    void MakeControls();
    HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }
    std::string Text(int id) const;
    void SetText(int id, const std::string& text);
    void ShowFields(const LinkFields& f);
    void Browse();
    void StartUpdate();
    void Finish(const UpdateReport& report);
    void Show(const std::string& text, UINT icon);
    void CheckFit(int id);

    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    std::thread worker_;
    bool busy_ = false;
    int ticks_ = 0;
    std::string note_;
    Link link_;
};

std::string Dialog::Text(int id) const {
    HWND item = Item(id);
    const int n = ::GetWindowTextLengthA(item);
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    s.resize(static_cast<std::size_t>(::GetWindowTextA(item, s.data(), n + 1)));
    return s;
}

void Dialog::SetText(int id, const std::string& text) {
    ::SetWindowTextA(Item(id), text.c_str());
    CheckFit(id);
}

// Every text must fit its control. The fonts differ between systems, so the
// window measures each text it sets and says on standard error which one is
// cut (the Wine test fails on such a line).
void Dialog::CheckFit(int id) {
    HWND item = Item(id);
    const std::string text = Text(id);
    if (text.empty() || id == kIdPack || id == kIdStatus) return;  // the user's path; notes
    RECT r{};
    ::GetClientRect(item, &r);
    int room = r.right - r.left;
    char cls[16] = {};
    ::GetClassNameA(item, cls, sizeof cls);
    if (::lstrcmpiA(cls, "EDIT") == 0) {
        const DWORD margins = static_cast<DWORD>(::SendMessageA(item, EM_GETMARGINS, 0, 0));
        room -= LOWORD(margins) + HIWORD(margins) + 2;  // and the caret
    } else if (::lstrcmpiA(cls, "BUTTON") == 0) {
        room -= 2 * ::GetSystemMetrics(SM_CXEDGE) + 2;
    }
    HDC dc = ::GetDC(item);
    HGDIOBJ old = ::SelectObject(dc, font_);
    SIZE size{};
    ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(item, dc);
    if (size.cx > room)
        std::fprintf(stderr, "qvupdate: \"%s\" needs %ld pixels, its control has %d\n",
                     text.c_str(), static_cast<long>(size.cx), room);
}

bool Dialog::Create(HINSTANCE instance) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hIcon = ::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!::RegisterClassExA(&wc)) return false;

    // A fixed dialog border around a 257 x 137 client area, centred.
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT r{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    return ::CreateWindowExA(exStyle, kClassName, kTitle, style, x, y, w, h, nullptr, nullptr,
                             instance, this) != nullptr;
}

void Dialog::MakeControls() {
    // The system's message font (the one its own dialogs use).
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font_ = ::CreateFontIndirectA(&metrics.lfMessageFont);
    if (!font_) font_ = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(hwnd_, GWLP_HINSTANCE));
    for (const Place& p : kPlaces) {
        const DWORD ex = std::string_view(p.windowClass) == "EDIT" ? WS_EX_CLIENTEDGE : 0;
        HWND item = ::CreateWindowExA(ex, p.windowClass, p.text, p.style, p.x, p.y, p.w, p.h, hwnd_,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(p.id)), instance,
                                      nullptr);
        ::SendMessageA(item, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    ::SendMessageA(Item(kIdRs232), BM_SETCHECK, BST_CHECKED, 0);
    ShowFields(StartFields());
    for (int id : {kIdTcpIp, kIdRs232, kIdBaudLabel, kIdBaud, kIdPackLabel, kIdBrowse, kIdUpdate})
        CheckFit(id);
    SetText(kIdStatus, "");
}

void Dialog::ShowFields(const LinkFields& f) {
    SetText(kIdAddressLabel, f.addressLabel);
    SetText(kIdPortLabel, f.portLabel);
    SetText(kIdAddress, f.address);
    SetText(kIdPort, f.port);
}

void Dialog::Browse() {
    char path[MAX_PATH] = {};
    const std::string current = Text(kIdPack);
    if (current.size() < sizeof path) current.copy(path, current.size());
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd_;
    ofn.lpstrFilter = "All files\0*.*\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrTitle = kBrowseTitle;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (::GetOpenFileNameA(&ofn)) SetText(kIdPack, path);
}

// Scripts and tests that drive the window read every message it shows on
// standard output.
void Dialog::Show(const std::string& text, UINT icon) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    ::MessageBoxA(hwnd_, text.c_str(), kTitle, MB_OK | icon);
}

void Dialog::StartUpdate() {
    if (busy_) return;
    const FieldsRead read =
        ReadFields(Text(kIdAddress), Text(kIdPortLabel), Text(kIdPort), Text(kIdBaud));
    SetText(kIdAddress, read.shownAddress);  // as it is used: trimmed, upper case
    if (read.bad != FieldsRead::Bad::None) {
        Show(read.message, MB_ICONWARNING);
        HWND field = Item(read.bad == FieldsRead::Bad::Port ? kIdPort : kIdBaud);
        ::SetFocus(field);
        ::SendMessageA(field, EM_SETSEL, 0, -1);
        return;
    }
    link_ = read.link;

    busy_ = true;
    SetText(kIdUpdate, kWorking);
    ::EnableWindow(Item(kIdUpdate), FALSE);
    note_ = kStarting;
    ticks_ = 0;
    ::SetTimer(hwnd_, kTickTimer, 250, nullptr);
    ::SetCursor(::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));

    HWND hwnd = hwnd_;
    Hooks hooks = DefaultHooks();
    hooks.note = [hwnd](const std::string& text) {
        auto note = std::make_unique<std::string>(text);
        if (::PostMessageA(hwnd, kMsgNote, 0, reinterpret_cast<LPARAM>(note.get()))) note.release();
    };
    const std::string path = Text(kIdPack);
    const Link link = link_;
    if (worker_.joinable()) worker_.join();
    worker_ = std::thread([hwnd, link, path, hooks] {
        auto report = std::make_unique<UpdateReport>(RunUpdate(link, path, hooks));
        // The window cannot close while a run goes on, so it is there to
        // take the report.
        if (::PostMessageA(hwnd, kMsgDone, 0, reinterpret_cast<LPARAM>(report.get())))
            report.release();
    });
}

void Dialog::Finish(const UpdateReport& report) {
    if (worker_.joinable()) worker_.join();
    busy_ = false;
    ::KillTimer(hwnd_, kTickTimer);
    SetText(kIdUpdate, kUpdate);
    ::EnableWindow(Item(kIdUpdate), TRUE);
    POINT p{};
    ::GetCursorPos(&p);
    ::SetCursorPos(p.x, p.y);  // the cursor leaves the busy shape at once
    const Outcome o = Describe(report, link_);
    SetText(kIdStatus, o.status);
    if (o.box == Outcome::Box::Information) Show(o.message, MB_ICONINFORMATION);
    if (o.box == Outcome::Box::Warning) Show(o.message, MB_ICONWARNING);
}

LRESULT CALLBACK Dialog::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Dialog*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return self ? self->OnMessage(msg, wp, lp) : ::DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT Dialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            MakeControls();
            return 0;
        case WM_COMMAND:
            if (HIWORD(wp) != BN_CLICKED) break;
            switch (LOWORD(wp)) {
                case kIdTcpIp:
                    ShowFields(NetworkFields());
                    return 0;
                case kIdRs232:
                    ShowFields(SerialFields());
                    return 0;
                case kIdBrowse:
                    Browse();
                    return 0;
                case kIdUpdate:
                    StartUpdate();
                    return 0;
                case IDCANCEL:  // Escape closes the window, as its close box does
                    ::PostMessageA(hwnd_, WM_CLOSE, 0, 0);
                    return 0;
            }
            return 0;
        case WM_SETCURSOR:
            if (busy_) {
                ::SetCursor(::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
                return TRUE;
            }
            break;
        case WM_TIMER:
            // A moving mark beside the note shows that the run is alive.
            if (wp == kTickTimer && busy_) SetText(kIdStatus, Progress(ticks_++, note_));
            return 0;
        case kMsgNote: {
            std::unique_ptr<std::string> note(reinterpret_cast<std::string*>(lp));
            note_ = *note;
            return 0;
        }
        case kMsgDone: {
            std::unique_ptr<UpdateReport> report(reinterpret_cast<UpdateReport*>(lp));
            Finish(*report);
            return 0;
        }
        case WM_CLOSE:
            // Closing while an update runs would leave the terminal half
            // updated; the close is refused until the run ends.
            if (!busy_) ::DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            if (worker_.joinable()) worker_.join();
            ::PostQuitMessage(0);
            return 0;
    }
    return ::DefWindowProcA(hwnd_, msg, wp, lp);
}

}  // namespace

int RunDialog() {
    // Started from Explorer, the program has a console of its own, which
    // would only sit empty beside the window: it is let go. Started from a
    // console or with its output redirected, the output stays where it is.
    DWORD ids[2];
    if (::GetConsoleProcessList(ids, 2) == 1) ::FreeConsole();

    Dialog dialog;
    if (!dialog.Create(::GetModuleHandleA(nullptr))) {
        std::fprintf(stderr, "qvupdate: cannot open the window\n");
        return 1;
    }
    ::ShowWindow(dialog.Handle(), SW_SHOWNORMAL);
    ::UpdateWindow(dialog.Handle());
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        // Tab and Shift+Tab move between the controls, as in a dialog.
        if (::IsDialogMessageA(dialog.Handle(), &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}

}  // namespace qvupdate::window
