#pragma once

#include <string>
#include <vector>

class CAdoConnection;

// Runs `statements` (in the Access dialect, as Execute takes them) on one handle in one
// transaction: all of them change the file, or none does. False, with the reason in `*error`
// (when given), when the connection is closed or a statement fails; the transaction is then
// rolled back.
bool ExecuteInTransaction(const CAdoConnection& connection,
                          const std::vector<std::string>& statements, std::string* error = nullptr);
