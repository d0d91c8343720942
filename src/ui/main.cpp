// joinwright: the desktop window that merges two Citect trend sets.
#include "ui/Joinwright.h"
#include "ui/Services.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(jw::ui::kAppTitle));
    jw::ui::DesktopServices desktop;
    jw::ui::Joinwright window(desktop.Services());
    window.show();
    return QApplication::exec();
}
