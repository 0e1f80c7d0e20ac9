#pragma once

class CFeedStore;
class QWidget;

// Brings the database of `store`'s data folder up to date before the window opens, when it
// was written by an earlier build: the upgrade runs on a thread of its own while a progress
// dialog tells how far the search index has come. A file that is current, missing or refused
// is left for the store to open (and to report) as always.
void UpgradeDatabaseWithProgress(CFeedStore& store, QWidget* parent);
