#include "servers_command.h"

#include "module_path.h"

#include <minihost/module.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>

namespace tavi {

std::function<int()> addServersCommand(CLI::App& app) {
    auto* command = app.add_subcommand("servers", "List the servers a module offers");
    auto modulePath = std::make_shared<std::string>();
    command->add_option("MODULE", *modulePath,
                        "Module file (default: the module built alongside tavi)");
    return [command, modulePath]() -> int {
        (void)command;
        const auto path =
            modulePath->empty() ? defaultModulePath() : std::filesystem::path(*modulePath);
        const auto module = minihost::Module::load(path);
        std::size_t classWidth = 5, nameWidth = 6;
        for (const auto& server : module.servers()) {
            classWidth = std::max(classWidth, server.className.size());
            nameWidth = std::max(nameWidth, server.name.size());
        }
        auto pad = [](const std::string& text, std::size_t width) {
            return text + std::string(width - text.size() + 2, ' ');
        };
        std::cout << pad("CLASS", classWidth) << pad("SERVER", nameWidth) << "NAME\n";
        for (const auto& server : module.servers())
            std::cout << pad(server.className, classWidth) << pad(server.name, nameWidth)
                      << server.title << "\n";
        return 0;
    };
}

} // namespace tavi
