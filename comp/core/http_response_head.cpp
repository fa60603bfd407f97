#include "core/http_response_head.h"

#include "core/decimal.h"

namespace velmora::engine {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// A header field name: one or more token characters (RFC 9110, 5.6.2).
bool IsToken(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum && std::string_view("!#$%&'*+-.^_`|~").find(c) == std::string_view::npos) return false;
        if (u > 0x7e) return false;
    }
    return true;
}

// The last coding of a Transfer-Encoding list ("gzip, chunked" -> "chunked").
std::string_view LastCoding(std::string_view value) {
    const std::size_t comma = value.rfind(',');
    return Trimmed(comma == std::string_view::npos ? value : value.substr(comma + 1));
}

}  // namespace

std::size_t ResponseHeadReader::Feed(std::string_view bytes) {
    std::size_t used = 0;
    while (used < bytes.size() && !complete_ && !refusal_) {
        const std::string_view rest = bytes.substr(used);
        const std::size_t end = rest.find('\n');
        const std::size_t take = end == std::string_view::npos ? rest.size() : end + 1;
        if (taken_ + take > kMaxResponseHeadBytes) {
            used += kMaxResponseHeadBytes - taken_;
            taken_ = kMaxResponseHeadBytes;
            Refuse("response head larger than " + std::to_string(kMaxResponseHeadBytes) + " bytes");
            break;
        }
        taken_ += take;
        used += take;
        line_.append(rest.substr(0, take));
        if (end == std::string_view::npos) break;
        std::string_view line(line_);
        line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        TakeLine(line);
        line_.clear();
    }
    return used;
}

void ResponseHeadReader::TakeLine(std::string_view line) {
    if (!statusSeen_) return TakeStatusLine(line);
    if (line.empty()) return EndOfHead();
    TakeField(line);
}

void ResponseHeadReader::TakeStatusLine(std::string_view line) {
    // "HTTP/1.<digit> <three digits>[ <reason>]"
    constexpr std::string_view version = "HTTP/1.";
    if (line.size() < 12 || !line.starts_with(version) || line[7] < '0' || line[7] > '9' || line[8] != ' ' ||
        (line.size() > 12 && line[12] != ' '))
        return Refuse("not an HTTP/1.x status line");
    unsigned status = 0;
    for (std::size_t i = 9; i < 12; ++i) {
        if (line[i] < '0' || line[i] > '9') return Refuse("not an HTTP/1.x status line");
        status = status * 10 + static_cast<unsigned>(line[i] - '0');
    }
    if (status < 100) return Refuse("status " + std::to_string(status));
    if (status == 101) return Refuse("server switched protocols");
    statusSeen_ = true;
    head_ = HttpResponseHead{};
    head_.status = status;
    chunked_ = transferEncoding_ = false;
}

void ResponseHeadReader::TakeField(std::string_view line) {
    // A line folded onto the one before it is obsolete; a recipient may
    // refuse it, and no server this engine talks to needs it.
    if (IsBlank(line.front())) return Refuse("folded header line");
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) return Refuse("malformed header line");
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = Trimmed(line.substr(colon + 1));
    if (SameName(name, "Content-Length")) {
        const std::optional<std::uint64_t> length = ParseDecimal(value);
        if (!length) return Refuse("Content-Length is not a number");
        // Two lengths that differ leave the body's end unknown.
        if (head_.contentLength && *head_.contentLength != *length) return Refuse("two different Content-Lengths");
        head_.contentLength = length;
    } else if (SameName(name, "Transfer-Encoding")) {
        transferEncoding_ = true;
        chunked_ = SameName(LastCoding(value), "chunked");
    } else if (SameName(name, "Content-Range")) {
        head_.contentRange = std::string(value);
    }
}

void ResponseHeadReader::EndOfHead() {
    // An interim answer (100 Continue, 103 Early Hints) comes before the
    // real one, which follows on the same connection.
    if (head_.status < 200) {
        statusSeen_ = false;
        return;
    }
    if (head_.status == 204 || head_.status == 304) {
        head_.framing = BodyFraming::Length;
        head_.contentLength = 0;
    } else if (transferEncoding_) {
        // A transfer coding overrides any Content-Length (RFC 9112, 6.3).
        head_.framing = chunked_ ? BodyFraming::Chunked : BodyFraming::UntilClose;
        head_.contentLength.reset();
    } else {
        head_.framing = head_.contentLength ? BodyFraming::Length : BodyFraming::UntilClose;
    }
    complete_ = true;
}

void ResponseHeadReader::Refuse(std::string reason) {
    refusal_ = std::move(reason);
    line_.clear();
}

}  // namespace velmora::engine
