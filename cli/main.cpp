// `tavi`: runs the node filters outside the host, through minihost.
// Exit codes: 0 success, 1 runtime failure, 2 usage error, 130 Ctrl-C.
#include "command_errors.h"
#include "demo_command.h"
#include "panel_command.h"
#include "render_command.h"
#include "servers_command.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <functional>
#include <iostream>
#include <map>
#include <string>

int main(int argc, char** argv) {
    CLI::App app{"tavi: run the Tavi node filters over render passes"};
    app.require_subcommand(1);
    const std::map<std::string, std::function<int()>> commands = {
        {"render", tavi::addRenderCommand(app)},
        {"demo", tavi::addDemoCommand(app)},
        {"panel", tavi::addPanelCommand(app)},
        {"servers", tavi::addServersCommand(app)},
    };

    // CLI11 would only say that a command is required.
    if (argc > 1 && argv[1][0] != '-' && !commands.contains(argv[1])) {
        std::cerr << "tavi: unknown command '" << argv[1]
                  << "' (commands: render, demo, panel, servers; see tavi --help)\n";
        return tavi::kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return tavi::kExitUsage;
    }

    try {
        for (const auto& [name, run] : commands)
            if (app.got_subcommand(name))
                return run();
    } catch (const tavi::UsageError& e) {
        std::cerr << "tavi: " << e.what() << "\n";
        return tavi::kExitUsage;
    } catch (const tavi::Interrupted& e) {
        std::cerr << "tavi: " << e.what() << "\n";
        return tavi::kExitInterrupted;
    } catch (const std::exception& e) {
        std::cerr << "tavi: " << e.what() << "\n";
        return tavi::kExitFailure;
    }
    return tavi::kExitUsage;
}
