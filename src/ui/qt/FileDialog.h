// Qt's own open-file dialog for the Open buttons' requests: the filter list
// of the request as Qt name filters, the first chosen, only existing files,
// names matched in any letter case on every desktop.
#pragma once

#include "ui/model/CommonDialog.h"

#include <QStringList>

#include <memory>

class QFileDialog;
class QWidget;

namespace jw::ui {

// The entries of a NUL-separated filter list as Qt name filters:
// "Description (p1 p2 ...)".  "*.*", which on Windows matches every name,
// becomes "*".
QStringList QtNameFilters(std::string_view normalisedFilter);

// The dialog set up for a request.  It opens in the folder of the request's
// initial path and proposes its file name; without an initial path (or with
// one whose folder does not exist) it opens in the working folder, never in
// a folder another box's dialog went to.
std::unique_ptr<QFileDialog> MakeOpenFileDialog(const OpenFileRequest& request, QWidget* parent = nullptr);

// FileDialogService through MakeOpenFileDialog, shown modally without an owner.
class QtFileDialog : public FileDialogService {
public:
    OpenFileAnswer OpenFile(const OpenFileRequest& request) override;
};

}  // namespace jw::ui
