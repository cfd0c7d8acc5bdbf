// The file and folder dialogs of the interaction host.
//
// They are Qt's own dialogs with an icon provider that looks at names only: a dialog never opens
// the files it lists (on Linux, closing any descriptor of a data file would drop the locks the
// table layer holds on it). The data files and their journals are not listed at all. A dialog
// starts in the folder the caller names, else where the last dialog of the same purpose (its
// title) ended, else in the user's home; file-name patterns match whatever the case ("*.WAV"
// shows a.wav).
#pragma once

#include <QFileDialog>

#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/host.h"

namespace ov::ui {

// Whether `name` (without a folder) is a data file or one of its journals: RO97.ZEZ, *.TPS, OVTpl,
// OVACTN, MSGLINK, each also with "-wal", "-shm" or "-journal"; case is ignored.
bool isDataFileName(std::string_view name);

// A file-name pattern that matches regardless of case: "*.WAV" becomes "*.[wW][aA][vV]".
std::string caseBlindPattern(std::string_view pattern);

// The dialogs for a request, set up and not yet shown.
std::unique_ptr<QFileDialog> makeFileDialog(const FileRequest& request, QWidget* parent);
std::unique_ptr<QFileDialog> makeFolderDialog(const FolderRequest& request, QWidget* parent);

// Notes where a dialog of `purpose` ended (the next one of that purpose starts there).
void rememberFolder(std::string_view purpose, const QString& folder);

}  // namespace ov::ui
