#include "key_name.h"

#include <string_view>

namespace velmora::publish {

std::string KeyName(const std::filesystem::path& keyFile) {
    std::string name = keyFile.stem().string();
    for (const std::string_view suffix : {"-private", "-public"}) {
        if (name.size() > suffix.size() && name.ends_with(suffix)) {
            name.resize(name.size() - suffix.size());
            break;
        }
    }
    return name;
}

}  // namespace velmora::publish
