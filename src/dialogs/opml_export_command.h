#pragma once

class CFeedStore;
class CTD_TreeView;
class QString;
class QWidget;

// "导出OPML": asks for a file in the save form of the file dialog (pattern *.opml, with the
// overwrite prompt) and writes the channel tree of `tree` with the subscribed feeds of `store`
// there as OPML. ".opml" is appended only when the chosen name lacks it; Cancel writes
// nothing; a file that could not be written is reported in a message box. `parent` owns the
// dialogs. Returns what the status bar says after it: how many feeds and folders went out, or
// "" when nothing was written.
QString RunExportOpmlCommand(CFeedStore& store, CTD_TreeView& tree, QWidget* parent);
