// The Qt window driven without a person: its controls and menus built from
// the table with every caption fitting, keys and clicks handed to the model,
// the file dialog's set-up and the shipped help's map.  A recorder stands in
// for the desktop, so nothing here opens a dialog that would wait for an answer.
#include "ui/model/RecordingDesktop.h"
#include "ui/qt/ChmArchive.h"
#include "ui/qt/FileDialog.h"
#include "ui/qt/HelpViewer.h"
#include "ui/qt/Joinwright.h"

#include <QTest>
#include <QtWidgets>

using namespace jw::ui;
using namespace jw::uitest;

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void controlsMenusKeysAndClicks();
    void fileDialog();
    void shippedHelpMapsEveryContext();
};

// Every control of the table in its container, at its place, with its
// caption, which in the widget's own font needs no more room than the
// control (a label's wrapped where it wraps).  Run at scale 1 and 1.5.  Then
// keys and clicks handed to the model.
void WindowTest::controlsMenusKeysAndClicks() {
    RecordingDesktop d;
    Joinwright w(d.Services());
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const char* kinds[] = {"QGroupBox", "QLabel", "QLabel", "QLineEdit", "QPushButton"};  // by ControlKind
    for (const ControlRow& c : Controls()) {
        QWidget* x = w.centralWidget()->findChild<QWidget*>(QLatin1String(c.Name));
        QVERIFY2(x != nullptr && x->inherits(kinds[static_cast<int>(c.Kind)]), c.Name);
        QCOMPARE(x->property(c.Kind == ControlKind::Frame ? "title" : "text").toString(), QString::fromUtf8(c.Caption));
        QCOMPARE(x->parentWidget(), c.Container ? w.centralWidget()->findChild<QWidget*>(RowOf(*c.Container).Name) : w.centralWidget());
        QCOMPARE(x->geometry(), QRect(c.Left, c.Top, DrawnWidth(c.Id), DrawnHeight(c.Id)));
        const bool wraps = c.Kind == ControlKind::Label;
        const QRect need = x->fontMetrics().boundingRect(QRect(0, 0, wraps ? x->width() : 100000, 100000),
                                                         (wraps ? Qt::TextWordWrap : 0) | Qt::AlignLeft, c.Caption);
        QVERIFY2(need.width() <= x->width() && need.height() <= x->height(), c.Name);
    }
    QCOMPARE(w.windowTitle(), QString::fromLatin1(kWindowCaption));
    QCOMPARE(w.centralWidget()->size(), QSize(kClientWidth, kClientHeight));
    QStringList menus, expected;
    for (QAction* a : w.menuBar()->actions()) {
        menus << a->text();
        if (a->menu()) for (QAction* item : a->menu()->actions()) menus << "  " + item->text();
    }
    for (const MenuRow& m : Menus()) expected << QString(m.Parent ? "  " : "") + m.Caption;
    QCOMPARE(menus, expected);
    // Tab walks the boxes and buttons in the table's order, back to the first.
    QStringList visited, order;
    for (const ControlId id : FocusOrder()) order << RowOf(id).Name;
    for (qsizetype i = 0; i <= order.size(); ++i, QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab))
        visited << QApplication::focusWidget()->objectName();
    QCOMPARE(visited, order << order.first());
    // F1 on the focused box (the second), a "?" label, a menu item; Enter and Escape trigger nothing.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QTest::mouseClick(w.findChild<QLabel*>("lblFolder"), Qt::LeftButton);
    w.findChild<QAction*>("mnuHelp")->trigger();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    const auto help = [&](int context) { return (d.Program / kHelpFileName).string() + " at " + std::to_string(context); };
    QCOMPARE(d.Help, (std::vector{help(HelpContextFor(FocusOrder()[1])), help(RowOf(ControlId::lblFolder).LinkContext),
                                  help(RowOf(MenuId::mnuHelp).HelpContext)}));
    // Merge's check reads the boxes and its answer reaches the message box.
    w.findChild<QLineEdit*>("txtExisting")->setText("/e/TREND.HST");
    QTest::mouseClick(w.findChild<QPushButton*>("btnMerge"), Qt::LeftButton);
    QCOMPARE(d.Messages, std::vector{std::string(kNoBackup) + std::string(kNoEmptyFile) + std::string(kNoDate) + std::string(kNoCount)});
}

// The dialog opens on the box's file in its folder, offering the four file
// types (Qt's "*" for "*.*"), the first chosen and shown without its patterns.
void WindowTest::fileDialog() {
    QTemporaryDir root;
    const QString file = root.path() + "/TREND.HST";
    const auto dialog = MakeOpenFileDialog({"", file.toStdString(), NormaliseFilter(kTrendFileFilter), 1, kOpenButtonFlags});
    QCOMPARE(dialog->directory().absolutePath(), QDir(root.path()).canonicalPath());
    QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), QStringLiteral("TREND.HST"));
    QCOMPARE(dialog->nameFilters(), (QStringList{"All Trend Files (*.HST *.0?? *.1?? *.2?\?)", "History Files (*.HST) (*.HST)",
                                                 "Data Files (*.nnn) (*.0?? *.1?? *.2?\?)", "All Files (*)"}));
    QVERIFY(dialog->selectedNameFilter() == "All Trend Files" && dialog->fileMode() == QFileDialog::ExistingFile &&
            !(dialog->filter() & QDir::CaseSensitive));  // patterns match in any letter case
}

// Every shipped help file: the one built beside joinwright and those named in
// JW_SHIPPED_HELP_FILES (scripts/package: the Windows build's, the zip's).
// Each context goes through the file's own map to a stored topic, as in
// Windows' viewer, and through the Qt viewer to the same topic.
void WindowTest::shippedHelpMapsEveryContext() {
    QStringList files{QStringLiteral(JW_BUILT_HELP_FILE)};
    files += qEnvironmentVariable("JW_SHIPPED_HELP_FILES").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const std::pair<std::uint32_t, const char*> titles[] = {
        {1001, "The Joinwright window"}, {1002, "About Joinwright"}, {1003, "Backup Trend File"},
        {1004, "Brake Date"}, {1005, "Empty Data File"}, {1006, "Existing Trend File"},
        {1007, "The output folder"}, {1008, "Number of files"}, {1010, "Joinwright Help"}};
    for (const QString& file : files) {
        const auto archive = ChmArchive::Open(file);
        QVERIFY2(archive != nullptr, qPrintable(file));
        QCOMPARE(archive->ContextMap().size(), std::size(titles));
        HelpWindow viewer;
        for (const auto& [context, title] : titles) {
            const std::string topic = archive->TopicForContext(context).value_or("");
            QVERIFY2(archive->Read(topic).value_or("").contains(QByteArray("<title>") + title + "</title>"), title);
            QVERIFY2(viewer.ShowContext(file, static_cast<int>(context)), title);
            QCOMPARE(viewer.CurrentTopic(), QString::fromStdString(topic));
        }
        // Nothing of the machine that built it.
        for (const std::string& object : archive->ObjectPaths())
            QVERIFY2(!archive->Read(object).value_or("").contains(JW_SOURCE_DIR), object.c_str());
    }
}

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
