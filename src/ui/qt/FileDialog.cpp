#include "ui/qt/FileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace jw::ui {

QStringList QtNameFilters(std::string_view normalisedFilter) {
    QStringList filters;
    for (const FilterEntry& entry : FilterEntries(normalisedFilter)) {
        QStringList patterns;
        for (const std::string& pattern : entry.Patterns)
            patterns << (pattern == "*.*" ? QStringLiteral("*") : QString::fromStdString(pattern));
        filters << QString::fromStdString(entry.Description) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

std::unique_ptr<QFileDialog> MakeOpenFileDialog(const OpenFileRequest& request, QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    // Qt's own dialog on every desktop, so the patterns match in any letter
    // case; the combo box shows the descriptions alone, as they are written;
    // the dialog offers no renaming or deleting of files.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog->setOption(QFileDialog::ReadOnly, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode((request.Flags & kFileMustExist) != 0 ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog->setFilter(dialog->filter() & ~QDir::CaseSensitive);
    if (!request.Title.empty()) dialog->setWindowTitle(QString::fromStdString(request.Title));

    const QStringList filters = QtNameFilters(request.Filter);
    dialog->setNameFilters(filters);
    if (request.FilterIndex >= 1 && request.FilterIndex <= filters.size())
        dialog->selectNameFilter(filters[request.FilterIndex - 1]);

    // Qt's dialog would otherwise open where the last one closed.
    dialog->setDirectory(QDir::current());
    if (!request.InitialPath.empty()) {
        const QFileInfo initial(QString::fromStdString(request.InitialPath));
        if (initial.isDir()) {
            dialog->setDirectory(initial.absoluteFilePath());
        } else {
            if (initial.absoluteDir().exists()) dialog->setDirectory(initial.absoluteDir());
            dialog->selectFile(initial.fileName());
        }
    }
    return dialog;
}

OpenFileAnswer QtFileDialog::OpenFile(const OpenFileRequest& request) {
    const std::unique_ptr<QFileDialog> dialog = MakeOpenFileDialog(request, nullptr);
    if (dialog->exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog->selectedFiles();
    if (chosen.isEmpty()) return {};
    return {QDir::toNativeSeparators(chosen.first()).toStdString(), 0};
}

}  // namespace jw::ui
