#pragma once

#include <string>
#include <string_view>

// The last-error text of the connection and the recordset:
// "Code=" + eight lower-case hex digits + " Message=" + the result's message text +
// " Source=" + source + " Description=" + description. Nobody shows it; it is kept for
// whoever debugs a failed statement. What the user reads is made from its parts (see
// model/database_texts.h).
std::string FormatAdoError(int sqliteCode, std::string_view description);

// The SQLite result code and the description of a text FormatAdoError made; for a text of
// another form (a reason the program worded itself), SQLITE_ERROR and the whole text.
struct AdoErrorParts {
    int code = 0;
    std::string description;
};
AdoErrorParts ParseAdoError(std::string_view text);
