// Renders the Joinwright window, as it opens, into a PNG file (the picture in
// the README).  Usage: jw_screenshot <out.png>; run with QT_QPA_PLATFORM=offscreen.
#include "ui/qt/Desktop.h"
#include "ui/qt/Joinwright.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: jw_screenshot <out.png>\n");
        return 2;
    }
    QApplication::setApplicationName(QString::fromLatin1(jw::ui::kAppTitle));
    jw::ui::QtDesktop desktop;
    jw::ui::Joinwright window(desktop.Services());
    window.show();
    QApplication::processEvents();
    const QPixmap picture = window.grab();
    if (!picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "jw_screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
