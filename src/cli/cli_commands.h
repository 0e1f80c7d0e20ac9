#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/ascii.h"
#include "feeds/engine_report.h"
#include "feeds/feed_store.h"
#include "feeds/update_engine.h"
#include "model/news_row.h"
#include "model/ttrss_sync.h"
#include "store/data_folder.h"

struct TreeFileDamage;

// The tool's one store: the database, the settings and the update engine of its data folder.
extern CFeedStore theStore;

// The commands of quillon-cli. Each writes its result to stdout and errors to stderr, and
// returns the exit status. `args` are the command's own arguments, after the command name.
// Those that use the data folder find it in theStore, pointed there by UseDataFolder.

int RunUpdateCommand(const std::vector<std::string>& args);
int RunReadCommand(const std::vector<std::string>& args);
int RunOpmlCommand(const std::vector<std::string>& args);
int RunExportCommand(const std::vector<std::string>& args);
int RunListCommand(const std::vector<std::string>& args);
int RunMarkReadCommand(const std::vector<std::string>& args);
int RunSearchCommand(const std::vector<std::string>& args);
int RunFolderCommand(const std::vector<std::string>& args);
int RunStatusCommand(const std::vector<std::string>& args);
int RunSubscribeCommand(const std::vector<std::string>& args);
int RunRefreshCommand(const std::vector<std::string>& args);
// star ID and unstar ID: the item of that database ID (as list and search print it).
int RunStarCommand(const std::vector<std::string>& args);
int RunUnstarCommand(const std::vector<std::string>& args);
// account [URL USER | --remove]: the sync account set (and its login tried), shown or removed.
int RunAccountCommand(const std::vector<std::string>& args);
// sync [--json]: one sync with the account's server.
int RunSyncCommand(const std::vector<std::string>& args);
// The summary on stdout (as JSON with `json`), a failure's reason on stderr.
void PrintSyncSummary(const SyncSummary& summary, bool json);
// A failure of the account's server in English, with what to do where there is something.
std::string AccountFailureEnglish(const TtRssAnswer& answer);

// clean DAYS [--keep-unread]: the news older than DAYS days removed, the file compacted.
int RunCleanCommand(const std::vector<std::string>& args);

// Lays out the data folder `chosen` (empty: the one the environment names, see
// DefaultDataFolder) from the installed template and points theStore at it. False, with the
// reason on stderr, when the folder cannot be laid out or its database is refused; a command
// that only reads (`use`) takes a database that cannot be written.
bool UseDataFolder(const std::string& chosen, DatabaseUse use);
// Makes every fetch of the tool go through the proxy set in the data folder `chosen` (empty:
// the one the environment names), with its password from the secret store.
void UseProxySetting(const std::string& chosen);

// Opens theStore's database for a command that only reads it: as it is when it cannot be
// written. False, with the reason on stderr, when it cannot be opened.
bool OpenDatabaseForReading();
// Why theStore's database could not be opened, and what to do, for the line on stderr.
std::string StoreOpenFailureText();

// The stdout line of one channel after an update or a refresh: its name, the feeds stored,
// the new items, the failed fetches, the unchanged and the cut-off documents, tab-separated.
void PrintChannelLine(const std::string& keyword, const KeywordProgress& counts);

// The stderr line for a report of the store or the engine.
void PrintReport(const EngineReport& report);

// The rows of a news list as `list` prints them: one object per row with the six columns'
// texts, whether the item was read, its database ID and whether it is starred.
nlohmann::ordered_json RowsAsJson(const std::vector<CNewsRow>& rows);

// The line on stderr for a tree file that could not be read. The tool only reads the tree,
// so it leaves the file where it is for the window to set aside.
void PrintTreeFileDamage(const std::string& path, const TreeFileDamage& damage);
