#pragma once

#include <functional>
#include <string>

// Something the user must hear of while the store starts and the engine runs: the window
// shows it in its status bar, the command-line tool on stderr, each in its own words.
struct EngineReport {
    enum Kind {
        kServicesLine,  // a line of data/services.conf that is not understood
        kStoreFailed,   // a statement failed for another reason than a duplicate: storing
                        // stopped for this run
        kRowsMerged,    // opening brought a file of the first builds up to date, and merged
                        // channels whose names differ only in case, or items found to be one
    };
    Kind kind = kStoreFailed;
    int line = 0;            // kServicesLine: the line's number, counted from 1
    std::string detail;      // the line as written, or the database's error text
    int channelsMerged = 0;  // kRowsMerged: channels given to another of the same name
    int itemsMerged = 0;     // kRowsMerged: items found to be another item of their channel
};

// Called on any thread, the engine's among them; it must not wait for the window thread.
using EngineReporter = std::function<void(const EngineReport&)>;
