#pragma once

#include <atomic>
#include <cstddef>
#include <string>

// Reads a whole local file that a user named: only a regular file, never more than a limit,
// and abandoned when the stop flag is set. A named pipe, a device or a folder is refused
// without being opened for reading, so no read can block.
struct LocalFile {
    enum Outcome {
        kRead,        // `bytes` holds the whole file
        kMissing,     // nothing at the path
        kNotRegular,  // a folder, pipe, device or socket
        kTooLarge,    // over the limit
        kUnreadable,  // no permission, an I/O error
        kAbandoned,   // the stop flag was set
    };
    Outcome outcome = kUnreadable;
    std::string bytes;
    std::string error;  // why it was not read, naming the path; "" when read

    bool ok() const { return outcome == kRead; }
};

// `stop`, when given, is owned by the caller and only read.
LocalFile ReadLocalFile(const std::string& path, std::size_t maxBytes,
                        const std::atomic<bool>* stop = nullptr);
