// The termlink command-line tool: global options, the command table, the
// connection to the terminal and the dispatch.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/ticker.h"
#include "client/format.h"
#include "termlink.h"

namespace tlcli {

struct ConnectionOptions {
    enum class Kind { None, Net, Tcp, Com, Usb, Sim };
    Kind kind = Kind::None;
    std::string host;        // --net / --tcp
    int port = 4370;         // --net / --tcp
    std::string comName;     // --com
    int baud = 115200;       // --baud
    int device = 1;          // --device: the terminal's number on the serial line
    int usbPort = 0;         // --usb
    int key = 0;             // --key: communication key
    int timeoutMs = 0;       // --timeout: transport timeout, 0 = the transport's default
    std::string simProfile;  // --sim [PROFILE]
};

struct GlobalOptions {
    ConnectionOptions conn;
    tlclient::Format format = tlclient::Format::Table;
    bool quiet = false;
    bool interactive = false;  // standard error is a terminal: show progress
};

// A running embedded simulated terminal (--sim). Created by StartSimulator.
class EmbeddedSimulator {
  public:
    virtual ~EmbeddedSimulator() = default;
    virtual int port() const = 0;  // loopback TCP port it listens on
    virtual std::string profile() const = 0;
};
// Starts a simulated terminal with sample data on a free loopback port;
// throws ToolError when the tool was built without the simulator or the
// profile is unknown.
std::unique_ptr<EmbeddedSimulator> StartSimulator(const std::string& profile, int key);
// Profile names the embedded simulator knows (empty when not built in).
std::vector<std::string> SimulatorProfiles();

// One open connection to a terminal; closes it (and stops an embedded
// simulator) when destroyed.
class Session {
  public:
    explicit Session(const ConnectionOptions& options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    TL_HANDLE handle() const { return handle_; }
    const std::string& description() const { return description_; }
    // The terminal closed the session itself (reboot): do not close it again.
    void Forget() { handle_ = nullptr; }

  private:
    std::unique_ptr<EmbeddedSimulator> sim_;
    TL_HANDLE handle_ = nullptr;
    std::string description_;
};

// Describes a connection for messages: "udp 10.0.0.5:4370".
std::string DescribeConnection(const ConnectionOptions& options);

// Shows how far a long transfer has come, on standard error, only when that
// is a terminal. Cleared when destroyed.
class Progress {
  public:
    Progress(bool enabled, std::ostream& err, std::string label);
    ~Progress();
    void Update(long long count);

  private:
    bool enabled_;
    std::ostream& err_;
    std::string label_;
    long long last_ = -1;
};

struct Context {
    const GlobalOptions& global;
    const Args& args;
    std::ostream& out;
    std::ostream& err;

    Session& session();  // connects on first use
    tlclient::Format format() const { return global.format; }
    bool quiet() const { return global.quiet; }
    // Says something to the person at the keyboard (standard error), unless quiet.
    void Note(const std::string& text) const;
    Progress MakeProgress(std::string label) const {
        return Progress(global.interactive && !global.quiet, err, std::move(label));
    }
    // For one blocking call: the label and the seconds elapsed.
    Ticker MakeTicker(std::string label) const {
        return Ticker(global.interactive && !global.quiet, err, std::move(label));
    }

    std::unique_ptr<Session> session_;
};

// Positional arguments of a command, with usage errors for what is missing,
// extra or out of range.
const std::string& Arg(const Context& ctx, std::size_t i, const std::string& usage);
void NoMoreArgs(const Context& ctx, std::size_t count, const std::string& usage);
int Number(const std::string& text, long long min, long long max, const std::string& what);

struct Command {
    std::string name;
    std::string synopsis;  // arguments after the name
    std::string summary;   // one line
    std::string details;   // further help text, may be empty
    std::vector<FlagSpec> flags;
    bool connects = true;  // needs a terminal
    std::function<int(Context&)> run;
};

// Every command of the tool, in the order --help lists them.
std::vector<Command> AllCommands();

// Set by the SIGINT handler; long-running commands stop when it is set.
extern std::atomic<bool> g_interrupted;

// Runs the tool on argv without the program name; returns the exit code.
int Run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
        bool interactive = false);

// The command families register themselves here.
void AddSessionCommands(std::vector<Command>& commands);
void AddConfigCommands(std::vector<Command>& commands);
void AddAccessCommands(std::vector<Command>& commands);
void AddContentCommands(std::vector<Command>& commands);
// "state set|enable|delete": custom attendance states; shares the command
// name with the capture state, which takes no arguments.
int CustomState(Context& ctx);
// "voice INDEX" and "voice FIRST LAST": play prompts; shares the command name
// with the custom voices (voice set|enable|delete).
int PlayVoice(Context& ctx);
void AddRecordCommands(std::vector<Command>& commands);
void AddUserCommands(std::vector<Command>& commands);
void AddReportCommands(std::vector<Command>& commands);
void AddTemplateCommands(std::vector<Command>& commands);
void AddTransferCommands(std::vector<Command>& commands);
void AddFaceCommands(std::vector<Command>& commands);
void AddDeviceCommands(std::vector<Command>& commands);
void AddMaintenanceCommands(std::vector<Command>& commands);
void AddBackupCommands(std::vector<Command>& commands);
void AddRecordCommands(std::vector<Command>& commands);
void AddUserCommands(std::vector<Command>& commands);

}  // namespace tlcli
