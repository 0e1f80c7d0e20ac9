#pragma once

#include <sqlite3.h>

#include <initializer_list>
#include <string>

// The tables, indexes and triggers of data/schema.sql, by name: what an upgrade step creates
// them with, so that each stands written once, in the schema, and a step cannot drift from it.
// A step creates an object as the current schema has it even where a later step changes it;
// the later step then finds its work done, as it does on a file rebuilt from version 0.

// Creates each named table, index or trigger of the current schema that the file lacks, in
// the order given. False, with the reason, when one fails or the schema has no such name.
bool CreateMissing(sqlite3* db, std::initializer_list<const char*> names, int* code,
                   std::string* message);

// Drops the named trigger if the file has it and creates it as the current schema has it.
bool RecreateTrigger(sqlite3* db, const char* name, int* code, std::string* message);

// Adds to `table` each column the current schema gives it that the file's table lacks, with
// its type, NOT NULL and default as the schema has them.
bool AddMissingColumns(sqlite3* db, const char* table, int* code, std::string* message);
