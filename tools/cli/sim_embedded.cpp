// --sim: a simulated terminal inside the tool, seeded with sample data and
// served on a free loopback port, so every command can be tried without
// hardware.
#include "cli/app.h"
#include "cli/errors.h"
#include "termsim/model.h"
#include "termsim/server.h"

namespace tlcli {

namespace {

class Simulator final : public EmbeddedSimulator {
  public:
    Simulator(termsim::Profile profile, int key) : model_(MakeConfig(profile, key)) {
        termsim::GenerateParams plan;
        plan.events = 3;  // a few punches waiting for 'termlink events'
        model_.Generate(plan);
        termsim::ServeOptions options;
        options.udp = false;
        std::string error;
        server_ = termsim::Serve(model_, options, &error);
        if (!server_) throw ToolError(kExitFailed, "cannot start the simulated terminal: " + error);
        profile_ = termsim::ProfileName(profile);
    }
    ~Simulator() override {
        if (server_) server_->Stop();
    }
    int port() const override { return server_->Port(); }
    std::string profile() const override { return profile_; }

  private:
    static termsim::Config MakeConfig(termsim::Profile profile, int key) {
        termsim::Config c;
        c.profile = profile;
        c.commKey = static_cast<std::uint32_t>(key);
        return c;
    }

    termsim::Model model_;
    std::unique_ptr<termsim::TerminalServer> server_;
    std::string profile_;
};

}  // namespace

std::vector<std::string> SimulatorProfiles() {
    return {"classic", "extended", "tft", "fp10", "legacy"};
}

std::unique_ptr<EmbeddedSimulator> StartSimulator(const std::string& name, int key) {
    const std::string wanted = name.empty() ? "classic" : name;
    const auto profile = termsim::ParseProfile(wanted);
    if (!profile) {
        std::string known;
        for (const auto& p : SimulatorProfiles()) known += (known.empty() ? "" : ", ") + p;
        throw UsageError("--sim: unknown profile '" + wanted + "' (" + known + ")");
    }
    return std::make_unique<Simulator>(*profile, key);
}

}  // namespace tlcli
