#include "core/placed_files.h"

#include <charconv>

#include "core/byte_find.h"
#include "core/decimal.h"
#include "core/hex.h"
#include "core/line_cutter.h"
#include "core/path_rules.h"

namespace velmora::engine {
namespace {

constexpr std::string_view kFirstLine = "VELPLACED 2";
constexpr std::string_view kPathsOnlyFirstLine = "VELPLACED 1";
constexpr std::size_t kWritePiece = 64 * 1024;

// The next blank-separated field of `rest`, taken off it.
std::string_view TakeField(std::string_view& rest) {
    const std::size_t blank = FindByte(rest, ' ');
    const std::string_view field = rest.substr(0, blank);
    rest.remove_prefix(blank == std::string_view::npos ? rest.size() : blank + 1);
    return field;
}

// Whether a record's file is the manifest's `file` again, byte for byte,
// with a stamp of the manifest's size.
bool Alike(const ManifestFile& file, std::string_view path, const Sha256Digest& sha256, bool playerFile,
           std::uint64_t stampSize) {
    return path == file.path && sha256 == file.sha256 && playerFile == file.playerFile && stampSize == file.size;
}

// One line of the second form, without its '\n'; the path a view into it.
std::optional<PlacedFile> ParseEntry(std::string_view line) {
    PlacedFile file;
    const std::string_view kind = TakeField(line);
    if (kind != "file" && kind != "player-file") return std::nullopt;
    file.playerFile = kind == "player-file";
    const std::string_view sha256 = TakeField(line);
    if (sha256 != "-") {
        Sha256Digest digest{};
        if (!FromHex(sha256, digest)) return std::nullopt;
        file.sha256 = digest;
    }
    const auto size = ParseDecimal(TakeField(line));
    const auto lastWrite = ParseDecimal(TakeField(line));
    if (!size || !lastWrite || (!file.sha256 && (*size != 0 || *lastWrite != 0))) return std::nullopt;
    file.stamp = {*size, *lastWrite};
    if (!IsSafeManifestPath(line)) return std::nullopt;
    file.path = line;
    return file;
}

// The record's text taken in pieces of any size, line by line: counts the
// files, those not alike `alike`'s and their paths' bytes, or, given
// `into`, checks each line and adds its file there. Once a line is wrong
// the record is damaged and the rest is refused.
class PlacedFilesReader {
public:
    PlacedFilesReader(PlacedFiles* into, std::span<const ManifestFile> alike) : into_(into), alike_(alike) {}

    Result<void> Feed(std::string_view piece) {
        size_ += piece.size();
        if (size_ > kMaxManifestBytes) damaged_ = true;
        if (!damaged_)
            lines_.Feed(piece, [this](std::string_view line) {
                TakeLine(line);
                return !damaged_;
            });
        if (damaged_) return InvalidFormat("damaged record of placed files");
        return {};
    }

    // Whether the record was whole and sound.
    bool Finish() const { return !damaged_ && form_ != Form::Unknown && !lines_.InLine(); }

    std::size_t files = 0;
    std::size_t whole = 0;
    std::size_t pathBytes = 0;

private:
    enum class Form { Unknown, PathsOnly, Full };

    void TakeLine(std::string_view line) {
        if (form_ == Form::Unknown) {
            form_ = line == kFirstLine ? Form::Full : line == kPathsOnlyFirstLine ? Form::PathsOnly : Form::Unknown;
            damaged_ = form_ == Form::Unknown;
            return;
        }
        ++files;
        if (!into_) {
            // Counting only, which is quicker: the path follows the fourth
            // blank of the second form. The lines are checked as they are kept.
            if (form_ == Form::Full && CountedAlike(files - 1, line)) return;
            ++whole;
            pathBytes += line.size();
            return;
        }
        std::optional<PlacedFile> file;
        if (form_ == Form::Full)
            file = ParseEntry(line);
        else if (IsSafeManifestPath(line))
            file = PlacedFile{line, false, std::nullopt, {}};
        if (file)
            into_->Add(*file);
        else
            damaged_ = true;
    }

    // Whether the line (of the second form) would be kept alike the
    // manifest's file at `index`; leaves the path in `line`.
    bool CountedAlike(std::size_t index, std::string_view& line) const {
        const std::string_view kind = TakeField(line);
        const std::string_view sha256 = TakeField(line);
        const std::optional<std::uint64_t> size = ParseDecimal(TakeField(line));
        TakeField(line);
        if (index >= alike_.size() || line != alike_[index].path) return false;
        Sha256Digest digest{};
        return (kind == "file" || kind == "player-file") && size && FromHex(sha256, digest) &&
               Alike(alike_[index], line, digest, kind == "player-file", *size);
    }

    PlacedFiles* into_;
    std::span<const ManifestFile> alike_;
    Form form_ = Form::Unknown;
    LineCutter lines_;
    std::uint64_t size_ = 0;
    bool damaged_ = false;
};

void AppendDecimal(std::string& text, std::uint64_t number) {
    char digits[20];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    text.append(digits, end);
}

void AppendLine(std::string& text, const PlacedFile& file) {
    static constexpr char kHexDigits[] = "0123456789abcdef";
    text += file.playerFile ? "player-file " : "file ";
    if (file.sha256) {
        for (const std::uint8_t byte : *file.sha256) {
            text += kHexDigits[byte >> 4];
            text += kHexDigits[byte & 0xf];
        }
    } else {
        text += '-';
    }
    text += ' ';
    AppendDecimal(text, file.sha256 ? file.stamp.size : 0);
    text += ' ';
    AppendDecimal(text, file.sha256 ? file.stamp.lastWrite : 0);
    text += ' ';
    text += file.path;
    text += '\n';
}

}  // namespace

PlacedFiles::PlacedFiles(std::initializer_list<PlacedFile> files) {
    for (const PlacedFile& file : files) Add(file);
}

void PlacedFiles::Reserve(std::size_t files, std::size_t whole, std::size_t pathBytes) {
    if (whole > 0 && whole < files) whole_.reserve(size() + files);
    lastWrites_.reserve(size() + files);
    paths_.reserve(paths_.size() + pathBytes);
    ends_.reserve(ends_.size() + whole);
    sha256_.reserve(sha256_.size() + whole);
    sizes_.reserve(sizes_.size() + whole);
    kinds_.reserve(kinds_.size() + whole);
}

void PlacedFiles::Add(const PlacedFile& file) {
    const std::size_t i = size();
    const FileStamp stamp = file.sha256 ? file.stamp : FileStamp{};
    const bool alike =
        file.sha256 && i < alike_.size() && Alike(alike_[i], file.path, *file.sha256, file.playerFile, stamp.size);
    lastWrites_.push_back(stamp.lastWrite);
    // While the files are all of one sort, none is numbered.
    const bool allWhole = whole_.empty() && ends_.size() == i;
    const bool allAlike = whole_.empty() && ends_.empty();
    if (alike) {
        if (allWhole && i > 0)
            for (std::uint32_t number = 0; number < i; ++number) whole_.push_back(number);
        if (!whole_.empty()) whole_.push_back(kAlike);
        return;
    }
    if (allAlike && i > 0) whole_.assign(i, kAlike);
    if (!whole_.empty()) whole_.push_back(static_cast<std::uint32_t>(ends_.size()));
    paths_ += file.path;
    ends_.push_back(static_cast<std::uint32_t>(paths_.size()));
    sha256_.push_back(file.sha256.value_or(Sha256Digest{}));
    sizes_.push_back(stamp.size);
    kinds_.push_back(static_cast<std::uint8_t>((file.playerFile ? kPlayerFile : 0) |
                                               (file.sha256 ? kContentKnown : 0)));
}

std::uint32_t PlacedFiles::Whole(std::size_t i) const {
    if (!whole_.empty()) return whole_[i];
    return ends_.empty() ? kAlike : static_cast<std::uint32_t>(i);
}

std::string_view PlacedFiles::Path(std::size_t i) const {
    const std::uint32_t w = Whole(i);
    if (w == kAlike) return alike_[i].path;
    const std::uint32_t begin = w == 0 ? 0 : ends_[w - 1];
    return std::string_view(paths_).substr(begin, ends_[w] - begin);
}

const Sha256Digest* PlacedFiles::Content(std::size_t i) const {
    const std::uint32_t w = Whole(i);
    if (w == kAlike) return &alike_[i].sha256;
    return kinds_[w] & kContentKnown ? &sha256_[w] : nullptr;
}

bool PlacedFiles::IsPlayerFile(std::size_t i) const {
    const std::uint32_t w = Whole(i);
    return w == kAlike ? alike_[i].playerFile : (kinds_[w] & kPlayerFile) != 0;
}

FileStamp PlacedFiles::Stamp(std::size_t i) const {
    const std::uint32_t w = Whole(i);
    return {w == kAlike ? alike_[i].size : sizes_[w], lastWrites_[i]};
}

PlacedFile PlacedFiles::operator[](std::size_t i) const {
    PlacedFile file{Path(i), IsPlayerFile(i), std::nullopt, Stamp(i)};
    if (const Sha256Digest* content = Content(i)) file.sha256 = *content;
    return file;
}

bool operator==(const PlacedFiles& a, const PlacedFiles& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

PlacedFilesWriter::PlacedFilesWriter(TextPieces take) : take_(std::move(take)), piece_(kFirstLine) {
    piece_ += '\n';
    piece_.reserve(kWritePiece + 1024);
}

void PlacedFilesWriter::Add(const PlacedFile& file) {
    AppendLine(piece_, file);
    if (piece_.size() >= kWritePiece) Give();
}

Result<void> PlacedFilesWriter::Finish() {
    if (!piece_.empty()) Give();
    return given_;
}

void PlacedFilesWriter::Give() {
    if (given_) given_ = take_(piece_);
    piece_.clear();
}

Result<void> WritePlacedFiles(const PlacedFiles& files, const TextPieces& take) {
    PlacedFilesWriter writer(take);
    for (std::size_t i = 0; i < files.size(); ++i) writer.Add(files[i]);
    return writer.Finish();
}

std::string PlacedFilesText(const PlacedFiles& files) {
    std::string text(kFirstLine);
    text += '\n';
    for (std::size_t i = 0; i < files.size(); ++i) AppendLine(text, files[i]);
    return text;
}

std::optional<PlacedFiles> ReadPlacedFiles(const std::function<Result<void>(const TextPieces&)>& readText,
                                           std::span<const ManifestFile> alike) {
    PlacedFilesReader counting(nullptr, alike);
    if (!readText([&](std::string_view piece) { return counting.Feed(piece); }) || !counting.Finish())
        return std::nullopt;
    PlacedFiles files(alike);
    files.Reserve(counting.files, counting.whole, counting.pathBytes);
    PlacedFilesReader filling(&files, alike);
    if (!readText([&](std::string_view piece) { return filling.Feed(piece); }) || !filling.Finish())
        return std::nullopt;
    return files;
}

std::optional<PlacedFiles> ParsePlacedFiles(std::string_view text, std::span<const ManifestFile> alike) {
    return ReadPlacedFiles([text](const TextPieces& take) { return take(text); }, alike);
}

std::vector<std::string> PathsOf(const Manifest& manifest) {
    std::vector<std::string> paths;
    paths.reserve(manifest.files.size());
    for (const ManifestFile& file : manifest.files) paths.emplace_back(file.path);
    return paths;
}

std::vector<std::string> PathsOf(const PlacedFiles& files) {
    std::vector<std::string> paths;
    paths.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) paths.emplace_back(files.Path(i));
    return paths;
}

}  // namespace velmora::engine
