// `tavi`: runs the node filters outside the host, through minihost.
// Exit codes: 0 success, 1 runtime failure, 2 usage error.
#include "servers_command.h"

#include <minihost/module.h>

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    CLI::App app{"tavi: run the Tavi node filters over render passes"};
    app.require_subcommand(1);
    const auto runServers = tavi::addServersCommand(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }

    try {
        if (app.got_subcommand("servers"))
            return runServers();
    } catch (const std::exception& e) {
        std::cerr << "tavi: " << e.what() << "\n";
        return 1;
    }
    return 2;
}
