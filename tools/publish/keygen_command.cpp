#include <filesystem>

#include "commands.h"
#include "file_io.h"
#include "key_header.h"
#include "publish_error.h"
#include "signing_key.h"

namespace velmora::publish {

void RunKeygen(const KeygenOptions& options, std::ostream& out) {
    namespace fs = std::filesystem;
    for (const fs::path& file : {options.privateKey, options.publicHeader}) {
        std::error_code error;
        if (fs::exists(file, error)) throw PublishError(file.string() + " already exists; not overwritten");
    }
    const SigningKey key = SigningKey::Generate();
    WriteNewFile(options.privateKey, key.PrivatePem(), 0600);
    try {
        WriteNewFile(options.publicHeader,
                     KeyHeaderText(key.PublicKey(), "Public half of the key pair whose private key was written to " +
                                                        options.privateKey.filename().string() + "."),
                     0644);
    } catch (const PublishError&) {
        // A private key without its header is no usable result.
        std::error_code ignored;
        fs::remove(options.privateKey, ignored);
        throw;
    }
    out << "private key: " << options.privateKey.string() << " (keep it secret)\n"
        << "public key:  " << options.publicHeader.string() << "\n";
}

}  // namespace velmora::publish
