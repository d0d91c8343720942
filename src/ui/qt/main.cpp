// joinwright: the desktop window that merges two Citect trend sets.
#include "ui/qt/Desktop.h"
#include "ui/qt/Joinwright.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <cstdio>
namespace {

// Start-up measurement for the benchmarks (bench/run), not an operator's
// setting: with JOINWRIGHT_EXIT_AFTER_PAINT=1 in the environment the program
// prints the milliseconds from the start of main to the end of the window's
// first paint and quits.
class ExitAfterFirstPaint final : public QObject {
public:
    explicit ExitAfterFirstPaint(const QElapsedTimer& started) : started_(started) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            // Runs once the paint has been handled.
            QTimer::singleShot(0, this, [this] {
                std::printf("first paint after %.1f ms\n", static_cast<double>(started_.nsecsElapsed()) / 1e6);
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer& started_;
    bool painted_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer started;
    started.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(jw::ui::kAppTitle));
    ExitAfterFirstPaint startupProbe(started);
    if (qEnvironmentVariableIntValue("JOINWRIGHT_EXIT_AFTER_PAINT") == 1) app.installEventFilter(&startupProbe);
    jw::ui::QtDesktop desktop;
    jw::ui::Joinwright window(desktop.Services());
    window.show();
    return QApplication::exec();
}
