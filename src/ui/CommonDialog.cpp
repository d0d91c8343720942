#include "ui/CommonDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace jw::ui {

QString NormaliseFilter(const QString& filter) {
    QString text = filter;
    if (!text.endsWith(QLatin1Char('|'))) text += QStringLiteral("||");
    if (!text.endsWith(QStringLiteral("||"))) text += QLatin1Char('|');
    text.replace(QLatin1Char('|'), QChar(0));
    return text;
}

QStringList QtNameFilters(const QString& normalisedFilter) {
    // Pairs of description and pattern list; an empty description ends the
    // list (the two NULs at its end).
    const QStringList parts = normalisedFilter.split(QChar(0));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (description.isEmpty()) break;
        QStringList patterns;
        for (const QString& raw : parts[i + 1].split(QLatin1Char(';'))) {
            const QString pattern = raw.trimmed();
            if (pattern.isEmpty()) continue;
            patterns << (pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern);
        }
        if (patterns.isEmpty()) continue;
        filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

QString ChooseFile(const QString& DialogTitle, const QString& InitialPath, const QString& Filter,
                   std::int32_t Flags, std::int16_t& ReadOnlyChosen, FileDialogService& dialogs) {
    OpenFileRequest request;
    request.Title = DialogTitle;
    request.InitialPath = InitialPath;
    request.NameFilters = QtNameFilters(NormaliseFilter(Filter));
    request.SelectedFilter = 0;
    request.FileMustExist = (Flags & kFileMustExist) != 0;
    request.PathMustExist = (Flags & kPathMustExist) != 0;
    request.HideReadOnly = (Flags & kHideReadOnly) != 0;

    const OpenFileAnswer answer = dialogs.OpenFile(request);
    ReadOnlyChosen = answer.ReadOnly ? -1 : 0;

    // The path up to a NUL, if the dialog left one, with blanks at its start removed.
    QString path = answer.Path.section(QChar(0), 0, 0);
    qsizetype lead = 0;
    while (lead < path.size() && path[lead] == QLatin1Char(' ')) ++lead;
    return path.mid(lead);
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
    dialog->setFileMode(request.FileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog->setFilter(dialog->filter() & ~QDir::CaseSensitive);
    if (!request.Title.isEmpty()) dialog->setWindowTitle(request.Title);

    dialog->setNameFilters(request.NameFilters);
    if (request.SelectedFilter >= 0 && request.SelectedFilter < request.NameFilters.size())
        dialog->selectNameFilter(request.NameFilters[request.SelectedFilter]);

    if (!request.InitialPath.isEmpty()) {
        const QFileInfo initial(request.InitialPath);
        if (initial.isDir()) {
            dialog->setDirectory(initial.absoluteFilePath());
        } else {
            const QDir folder = initial.absoluteDir();
            if (folder.exists()) dialog->setDirectory(folder);
            dialog->selectFile(initial.fileName());
        }
    }
    return dialog;
}

OpenFileAnswer QtFileDialogService::OpenFile(const OpenFileRequest& request) {
    const std::unique_ptr<QFileDialog> dialog = MakeOpenFileDialog(request, nullptr);
    if (dialog->exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog->selectedFiles();
    if (chosen.isEmpty()) return {};
    return {QDir::toNativeSeparators(chosen.first()), false};
}

}  // namespace jw::ui
