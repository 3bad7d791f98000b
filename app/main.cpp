// The program's entry: reads the command line and hands over to what it asks for.
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/nestora_app.h"
#include "config/config_validator.h"
#include "platform/context.h"

namespace {

int RunValidateConfig(const std::string& source) {
    const std::filesystem::path root = platform::DefaultSandboxRoot();
    std::unique_ptr<platform::Context> context = platform::OpenSandbox(root);
    if (!context) {
        std::cerr << "cannot open the sandbox at " << root.string() << "\n";
        return 1;
    }
    return config::ValidateConfig(source, *context, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--validate-config") {
        return RunValidateConfig(argv[2]);
    }
    nestora::CNestoraApp app;
    return app.InitInstance(std::vector<std::string>(argv + 1, argv + argc));
}
