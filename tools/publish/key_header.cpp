#include "key_header.h"

#include <cstdio>

#include "core/hex.h"

namespace velmora::publish {

std::string KeyHeaderText(const PublicKeyBytes& key, std::string_view description) {
    std::string text =
        "#pragma once\n"
        "// ";
    text += description;
    text +=
        "\n"
        "// The public key the update engine checks gamedata.vel against: ECDSA\n"
        "// P-256, the point X then Y, 32 bytes each, big-endian. Written by\n"
        "// velmora-publish keygen.\n"
        "\n"
        "namespace velmora::engine {\n"
        "\n"
        "inline constexpr unsigned char kManifestPublicKey[64] = {";
    for (std::size_t i = 0; i < key.size(); ++i) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02x", static_cast<unsigned>(key[i]));
        text += i % 8 == 0 ? "\n    " : " ";
        text += byte;
        text += ',';
    }
    text +=
        "\n};\n"
        "\n"
        "}  // namespace velmora::engine\n";
    return text;
}

std::optional<PublicKeyBytes> ParseKeyHeader(std::string_view text) {
    const std::size_t name = text.find("kManifestPublicKey");
    const std::size_t open = text.find('{', name);
    const std::size_t close = text.find('}', open);
    if (name == std::string_view::npos || open == std::string_view::npos || close == std::string_view::npos)
        return std::nullopt;
    std::string_view list = text.substr(open + 1, close - open - 1);
    PublicKeyBytes key;
    std::size_t count = 0;
    while (true) {
        const std::size_t start = list.find_first_not_of(" \t\r\n,");
        if (start == std::string_view::npos) break;
        list.remove_prefix(start);
        if (count == key.size() || list.size() < 4 || list[0] != '0' || (list[1] != 'x' && list[1] != 'X'))
            return std::nullopt;
        std::uint8_t byte[1];
        if (!engine::FromHex(list.substr(2, 2), byte)) return std::nullopt;
        key[count++] = byte[0];
        list.remove_prefix(4);
        if (!list.empty() && list.find_first_of(" \t\r\n,") != 0) return std::nullopt;
    }
    if (count != key.size()) return std::nullopt;
    return key;
}

}  // namespace velmora::publish
