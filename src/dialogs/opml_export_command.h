#pragma once

class CFeedStore;
class QWidget;

// "导出OPML": asks for a file in the save form of the file dialog (pattern *.opml, with the
// overwrite prompt) and writes the subscribed feeds there as OPML. ".opml" is appended only
// when the chosen name lacks it; Cancel writes nothing; a file that could not be written is
// reported in a message box. `store` gives the feeds; `parent` owns the dialogs.
void RunExportOpmlCommand(CFeedStore& store, QWidget* parent);
