#pragma once
// A file's path as a manifest lists it: its length and its bytes in one
// block of their own behind one pointer. A large game lists a few hundred
// thousand files, and a std::string takes 24 to 32 bytes in each besides
// the block it allocates for a path of more than 15 bytes, as most are.
#include <concepts>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace velmora::engine {

class ManifestPath {
public:
    ManifestPath() = default;
    // Made from text, and read as a std::string_view, without a word: a path
    // stands where a std::string stood.
    ManifestPath(std::string_view text) {
        if (text.empty()) return;
        const auto size = static_cast<std::uint32_t>(text.size());
        block_ = std::make_unique_for_overwrite<char[]>(sizeof size + text.size());
        std::memcpy(block_.get(), &size, sizeof size);
        std::memcpy(block_.get() + sizeof size, text.data(), text.size());
    }
    ManifestPath(const char* text) : ManifestPath(std::string_view(text)) {}
    ManifestPath(const std::string& text) : ManifestPath(std::string_view(text)) {}
    ManifestPath(const ManifestPath& other) : ManifestPath(other.View()) {}
    ManifestPath(ManifestPath&&) noexcept = default;
    ManifestPath& operator=(const ManifestPath& other) {
        if (this != &other) *this = ManifestPath(other);
        return *this;
    }
    ManifestPath& operator=(ManifestPath&&) noexcept = default;

    std::string_view View() const {
        if (!block_) return {};
        std::uint32_t size = 0;
        std::memcpy(&size, block_.get(), sizeof size);
        return std::string_view(block_.get() + sizeof size, size);
    }
    operator std::string_view() const { return View(); }
    bool empty() const { return !block_; }
    std::size_t size() const { return View().size(); }

    friend bool operator==(const ManifestPath& a, const ManifestPath& b) { return a.View() == b.View(); }
    // With any text: a std::string, a std::string_view, a literal.
    template <typename Text>
        requires std::convertible_to<const Text&, std::string_view> && (!std::same_as<Text, ManifestPath>)
    friend bool operator==(const ManifestPath& path, const Text& text) {
        return path.View() == std::string_view(text);
    }
    friend std::string operator+(std::string text, const ManifestPath& path) { return text.append(path.View()); }
    friend std::string operator+(const ManifestPath& path, const std::string& text) {
        return std::string(path.View()).append(text);
    }

private:
    std::unique_ptr<char[]> block_;  // the length as 4 bytes, then the bytes; none when empty
};

}  // namespace velmora::engine
