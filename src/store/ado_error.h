#pragma once

#include <string>
#include <string_view>

// The last-error text of the connection and the recordset:
// "Code=" + eight lower-case hex digits + " Message=" + the result's message text +
// " Source=" + source + " Description=" + description. Nobody shows it; it is kept for
// whoever debugs a failed statement.
std::string FormatAdoError(int sqliteCode, std::string_view description);
