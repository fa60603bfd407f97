#pragma once
// The tool's commands. Each prints what it did on `out` and warnings on
// `warnings`, and throws PublishError when it cannot do its job.
#include <ostream>

#include "command_line.h"

namespace velmora::publish {

// Makes a P-256 key pair: the private key as PEM (mode 0600) and the public
// key as a C++ header. Refuses to overwrite either file.
void RunKeygen(const KeygenOptions& options, std::ostream& out);

// Turns a release folder into a signed server folder; see command_line.h
// for the options and docs/update-format.md for the result.
void RunPublish(const PublishOptions& options, std::ostream& out, std::ostream& warnings);

// Checks a server folder: the signature against the public keys, every
// pack present with its listed size, every chunk unpacking at its place to
// its size and SHA-256, and each file's chunks making its content.
void RunVerify(const VerifyOptions& options, std::ostream& out, std::ostream& warnings);

}  // namespace velmora::publish
