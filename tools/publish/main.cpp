// velmora-publish: makes the studio's signing keys, turns a release folder
// into a signed server folder for the update engine, and checks one.
#include <ctime>
#include <unistd.h>

#include <iostream>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "key_name.h"
#include "publish_error.h"

namespace {

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace velmora::publish;
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    Command command;
    try {
        command = ParseCommandLine(arguments, static_cast<std::int64_t>(std::time(nullptr)));
    } catch (const PublishError& error) {
        std::cerr << "velmora-publish: " << error.what() << "\n" << kUsage;
        return 2;
    }
    try {
        std::visit(Overloaded{
                       [](const KeygenOptions& options) { RunKeygen(options, std::cout); },
                       [](PublishOptions options) {
                           options.showProgress = isatty(STDERR_FILENO) == 1;
                           RunPublish(options, std::cout, std::cerr);
                           std::cout << "signed with key " << KeyName(options.key) << "\n";
                       },
                       [](const VerifyOptions& options) { RunVerify(options, std::cout, std::cerr); },
                       [](HelpRequest) { std::cout << kUsage; },
                   },
                   command);
    } catch (const std::exception& error) {
        // PublishError carries our own message; file system and memory
        // failures carry the library's, which names the file concerned.
        std::cerr << "velmora-publish: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
