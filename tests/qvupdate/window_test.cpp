// The window for real: under Xvfb, xdotool fills the fields, presses Update
// against a simulated terminal, and the report dialog's text is read from the
// program's standard output (the window prints every dialog it shows). A
// screenshot of the dialog is kept in the build's qvupdate-artefacts folder.
// Skipped when the window is not built or Xvfb or xdotool is missing.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "process.h"
#include "support.h"
#include "termsim/model.h"
#include "termsim/server.h"

extern char** environ;

namespace {

using qvtest::Quote;

bool OnPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// A child process started with posix_spawn, ended (SIGTERM) with the test.
class Child {
  public:
    Child(std::vector<std::string> argv, const std::string& outPath) {
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        if (posix_spawnp(&pid_, args[0], &fa, nullptr, args.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
    }
    ~Child() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    bool Started() const { return pid_ > 0; }

  private:
    pid_t pid_ = -1;
};

// Polls `done` every 100 ms, at most `seconds` long (a bound, not a measurement).
template <class F>
bool WaitFor(F done, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

TEST(QvupdateWindow, UpdateFromTheDialogUnderXvfb) {
#ifndef QVUPDATE_HAVE_WINDOW
    GTEST_SKIP() << "qvupdate was built without its window";
#endif
    if (!OnPath("Xvfb") || !OnPath("xdotool")) GTEST_SKIP() << "Xvfb or xdotool not installed";

    termsim::Model model(termsim::Config{});
    termsim::TerminalServer server(model, termsim::ServeOptions{});
    ASSERT_TRUE(server.Start());
    qvtest::TempDir dir;
    const std::string cfg = dir.File("opts.txt", std::string("DeviceID=9\n~Key=XY\n"));
    const std::string pack = dir.Path("window.qvp");
    ASSERT_EQ(
        qvtest::Shell(std::string(QVPACK_BIN) + " -o " + Quote(pack) + " --config " + Quote(cfg),
                      dir.Path(""))
            .code,
        0);

    // A display number nobody else on the machine holds.
    int number = 90 + ::getpid() % 400;
    while (std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock") ||
           std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)))
        ++number;
    const std::string display = ":" + std::to_string(number);
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
    Child xvfb({"Xvfb", display, "-screen", "0", "640x480x24", "-nolisten", "tcp"},
               dir.Path("xvfb.log"));
    ASSERT_TRUE(xvfb.Started());
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(socket); }, 20));
    ::setenv("DISPLAY", display.c_str(), 1);
    const std::string out = dir.Path("window.out");
    Child window({QVUPDATE_BIN}, out);
    ASSERT_TRUE(window.Started());

    auto xdo = [&](const std::string& args) {
        return qvtest::Shell("xdotool " + args, dir.Path("")).code == 0;
    };
    ASSERT_TRUE(WaitFor([&] { return xdo("search --name '^QVUpdate$'"); }, 20));
    const std::string win = qvtest::Slurp(dir.Path("stdout")).substr(0, 20);
    const std::string id = std::to_string(std::stoul(win));
    // Positions inside the 257 x 137 dialog.
    auto click = [&](int x, int y) {
        return xdo("mousemove --window " + id + " " + std::to_string(x) + " " + std::to_string(y) +
                   " click 1");
    };
    auto fill = [&](int x, int y, const std::string& text) {
        return click(x, y) && xdo("key ctrl+a") && xdo("type --delay 20 " + Quote(text));
    };
    ASSERT_TRUE(click(34, 14));  // TCP/IP: "IP Address:" / "Port Number:"
    // A port that is not a number is named in a message; nothing is sent.
    ASSERT_TRUE(fill(110, 60, "43x0"));
    ASSERT_TRUE(click(214, 124));  // Update
    ASSERT_TRUE(WaitFor(
        [&] { return qvtest::Slurp(out).find("not a whole number") != std::string::npos; }, 20));
    // The message box has the window's title: wait until it is shown, answer
    // it, and wait until only the window is left.
    auto visible = [&] {
        if (!xdo("search --onlyvisible --name '^QVUpdate$'")) return 0;
        const std::string ids = qvtest::Slurp(dir.Path("stdout"));
        return static_cast<int>(std::count(ids.begin(), ids.end(), '\n'));
    };
    ASSERT_TRUE(WaitFor([&] { return visible() == 2; }, 20));
    ASSERT_TRUE(xdo("key Return"));
    ASSERT_TRUE(WaitFor([&] { return visible() == 1; }, 20));

    // No terminal on the port: a message box says so, with the text printed.
    ASSERT_TRUE(fill(170, 38, "127.0.0.1"));
    ASSERT_TRUE(fill(110, 60, "1"));
    ASSERT_TRUE(fill(110, 100, pack));
    ASSERT_TRUE(click(214, 124));
    ASSERT_TRUE(WaitFor(
        [&] {
            return qvtest::Slurp(out).find("No connection to 127.0.0.1:1.") != std::string::npos;
        },
        60));
    ASSERT_TRUE(WaitFor([&] { return visible() == 2; }, 20));
    ASSERT_TRUE(xdo("key Return"));
    ASSERT_TRUE(WaitFor([&] { return visible() == 1; }, 20));

    char hexPort[16];
    std::snprintf(hexPort, sizeof hexPort, "$%X", server.Port());  // "$" reads as hexadecimal
    ASSERT_TRUE(fill(110, 60, hexPort));
    ASSERT_TRUE(click(214, 124));
    ASSERT_TRUE(
        WaitFor([&] { return qvtest::Slurp(out).find("Update config") != std::string::npos; }, 60));
    EXPECT_NE(qvtest::Slurp(out).find("Update config successfully!"), std::string::npos)
        << qvtest::Slurp(out);
    EXPECT_EQ(model.Option("DeviceID"), "9");
    EXPECT_EQ(model.Option("~Key"), "XY");

    std::filesystem::create_directories(QVUPDATE_ARTEFACTS);
    if (OnPath("import")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        qvtest::Shell("import -display " + display + " -window root " +
                          Quote(std::string(QVUPDATE_ARTEFACTS) + "/window-report.png"),
                      dir.Path(""));
    }
    xdo("key Return");
}

}  // namespace
