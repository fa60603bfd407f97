#include "object_store.h"

#include <zlib.h>

#include <fstream>
#include <vector>

#include "core/hex.h"
#include "file_digest.h"
#include "publish_error.h"

namespace velmora::publish {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kChunk = 1 << 16;

// Deflates `source` into `target`; the compressed size.
std::uint64_t Deflate(const fs::path& source, const fs::path& target) {
    std::ifstream input(source, std::ios::binary);
    std::ofstream output(target, std::ios::binary | std::ios::trunc);
    if (!input) throw PublishError("cannot read " + source.string());
    if (!output) throw PublishError("cannot write " + target.string());
    z_stream stream{};
    if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK) throw PublishError("zlib cannot start");
    std::vector<unsigned char> in(kChunk), out(kChunk);
    std::uint64_t written = 0;
    int result = Z_OK;
    do {
        input.read(reinterpret_cast<char*>(in.data()), static_cast<std::streamsize>(in.size()));
        if (input.bad()) {
            deflateEnd(&stream);
            throw PublishError("cannot read " + source.string());
        }
        stream.next_in = in.data();
        stream.avail_in = static_cast<uInt>(input.gcount());
        const int flush = input.eof() ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            result = deflate(&stream, flush);
            if (result == Z_STREAM_ERROR) {
                deflateEnd(&stream);
                throw PublishError("zlib failed on " + source.string());
            }
            const std::size_t produced = out.size() - stream.avail_out;
            output.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(produced));
            written += produced;
        } while (stream.avail_out == 0);
    } while (result != Z_STREAM_END);
    deflateEnd(&stream);
    output.close();
    if (!output) throw PublishError("cannot write " + target.string());
    return written;
}

}  // namespace

bool CompressionPays(std::uint64_t size, std::uint64_t compressedSize) {
    return size > 0 && compressedSize * 10 <= size * 9;
}

StoredObject StoreObject(const fs::path& source, const engine::Sha256Digest& sha256,
                         const fs::path& objectsFolder) {
    const std::string hex = engine::ToHex(sha256);
    const fs::path compressed = objectsFolder / (hex + ".z");
    const std::uint64_t size = fs::file_size(source);
    const std::uint64_t compressedSize = Deflate(source, compressed);
    if (CompressionPays(size, compressedSize)) return {hex + ".z", compressedSize};
    fs::remove(compressed);
    fs::copy_file(source, objectsFolder / hex, fs::copy_options::overwrite_existing);
    return {hex, size};
}

ObjectContent ReadObjectContent(const fs::path& object, bool compressed) {
    std::ifstream input(object, std::ios::binary);
    if (!input) throw PublishError("cannot read " + object.string());
    std::vector<unsigned char> in(kChunk), out(kChunk);
    Sha256Stream digest;
    ObjectContent content;
    z_stream stream{};
    if (compressed && inflateInit(&stream) != Z_OK) throw PublishError("zlib cannot start");
    bool ended = false;
    while (input) {
        input.read(reinterpret_cast<char*>(in.data()), static_cast<std::streamsize>(in.size()));
        const auto got = static_cast<std::size_t>(input.gcount());
        if (!compressed) {
            digest.Add(in.data(), got);
            content.size += got;
            continue;
        }
        stream.next_in = in.data();
        stream.avail_in = static_cast<uInt>(got);
        // Until the input is used up and zlib holds no more output for us.
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            const int result = inflate(&stream, Z_NO_FLUSH);
            if (result == Z_BUF_ERROR) break;  // no progress without more input
            if (result != Z_OK && result != Z_STREAM_END) {
                inflateEnd(&stream);
                throw PublishError(object.string() + " is not a valid zlib stream");
            }
            const std::size_t produced = out.size() - stream.avail_out;
            digest.Add(out.data(), produced);
            content.size += produced;
            ended = result == Z_STREAM_END;
        } while (!ended && (stream.avail_in > 0 || stream.avail_out == 0));
        if (ended && (stream.avail_in > 0 || input.peek() != std::char_traits<char>::eof())) {
            inflateEnd(&stream);
            throw PublishError(object.string() + " has data after its zlib stream");
        }
    }
    if (compressed) {
        inflateEnd(&stream);
        if (!ended) throw PublishError(object.string() + " ends before its zlib stream does");
    }
    if (input.bad()) throw PublishError("cannot read " + object.string());
    content.sha256 = digest.Finish();
    return content;
}

}  // namespace velmora::publish
