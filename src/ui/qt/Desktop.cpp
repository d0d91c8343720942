#include "ui/qt/Desktop.h"

#include "ui/qt/FileDialog.h"
#include "ui/qt/HelpViewer.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QTime>

namespace jw::ui {

void QtMessageBox::Show(const std::string& text, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Error     ? QMessageBox::Critical
                    : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                   : QMessageBox::NoIcon,
                    QString::fromLatin1(kAppTitle), QString::fromStdString(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

ClockTime QtClock::TimeOfDay() const {
    const QTime now = QTime::currentTime();
    return {now.hour(), now.minute(), now.second()};
}

std::string QtClock::ShortDateFormat() const { return QLocale::system().dateFormat(QLocale::ShortFormat).toStdString(); }

std::string QtClock::DecimalSeparator() const { return QLocale::system().decimalPoint().toStdString(); }

QtBusyCursor::~QtBusyCursor() { SetBusy(false); }

void QtBusyCursor::SetBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

QtDesktop::QtDesktop()
    : messages_(std::make_unique<QtMessageBox>()),
      files_(std::make_unique<QtFileDialog>()),
      help_(std::make_unique<ChmHelpService>()),
      clock_(std::make_unique<QtClock>()),
      folder_(std::make_unique<SystemProgramFolder>()),
      busy_(std::make_unique<QtBusyCursor>()) {}

QtDesktop::~QtDesktop() = default;

DesktopServices QtDesktop::Services() const {
    return {messages_.get(), files_.get(), help_.get(), clock_.get(), folder_.get(), busy_.get()};
}

}  // namespace jw::ui
