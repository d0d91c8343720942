#include "ui/Services.h"

#include "ui/CommonDialog.h"
#include "ui/HelpViewer.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMessageBox>

namespace jw::ui {

void QtMessageBoxService::Show(QWidget* owner, const QString& text, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                    QString::fromLatin1(kAppTitle), text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

QTime SystemClock::TimeOfDay() const { return QTime::currentTime(); }

QString SystemClock::ShortDateFormat() const { return QLocale::system().dateFormat(QLocale::ShortFormat); }

QString ExecutableFolder::ProgramFolder() const { return QCoreApplication::applicationDirPath(); }

DesktopServices::DesktopServices()
    : messages_(std::make_unique<QtMessageBoxService>()),
      files_(std::make_unique<QtFileDialogService>()),
      help_(MakePlatformHelpService()),
      clock_(std::make_unique<SystemClock>()),
      folder_(std::make_unique<ExecutableFolder>()) {}

DesktopServices::~DesktopServices() = default;

WindowServices DesktopServices::Services() const {
    return {messages_.get(), files_.get(), help_.get(), clock_.get(), folder_.get()};
}

}  // namespace jw::ui
