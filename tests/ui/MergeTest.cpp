// Merges through the Merge button on generated trend sets: the output folder
// from the clock, the result, the cleared boxes, and the refusals that leave
// no folder behind.
#include "Fakes.h"
#include "trendset/TrendSetBuilder.h"
#include "ui/Joinwright.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>

using namespace jw::ui;
using namespace jw::ui::test;
namespace ts = jw::trendset;

namespace {

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

// Two sets of one trend: the backup holds 1, 2 and 3 September 2004, the
// existing set 3, 10 and 20 September.  With the break date 09-10-2004 the
// merge takes existing 10 and 20 and backup 1, 2 and 3: five files.
struct Sets {
    ts::BuiltSet backup;
    ts::BuiltSet existing;
    QString emptyFile;
    QString programFolder;

    explicit Sets(const QString& root) {
        const std::filesystem::path base = root.toStdString();
        ts::SetSpec b;
        b.RecordedFolder = "C:\\Citect\\Data";
        for (int day : {1, 2, 3})
            b.Files.push_back({ts::RawTime(b.Version, 2004, 9, day, 6), ts::RawTime(b.Version, 2004, 9, day, 23), 10 + day, {}, true});
        ts::SetSpec e = b;
        e.Files.clear();
        for (int day : {3, 10, 20})
            e.Files.push_back({ts::RawTime(e.Version, 2004, 9, day, 6), ts::RawTime(e.Version, 2004, 9, day, 23), 20 + day, {}, true});
        backup = ts::Build(base / "backup", b);
        existing = ts::Build(base / "existing", e);
        ts::BuildEmptyDataFile(base / "empty" / "TREND.000", b);
        emptyFile = Q(base / "empty" / "TREND.000");
        programFolder = root + QStringLiteral("/program");
        QDir().mkpath(programFolder);
    }
};

void Fill(Joinwright& w, const Sets& s, const QString& count, const QString& date = QStringLiteral("09-10-2004")) {
    w.txtBackup->setText(Q(s.backup.Master));
    w.txtExisting->setText(Q(s.existing.Master));
    w.txtOCFile->setText(s.emptyFile);
    w.txtBrakeDate->setText(date);
    w.txtNOFiles->setText(count);
}

QStringList Boxes(const Joinwright& w) {
    return {w.txtBackup->text(), w.txtExisting->text(), w.txtOCFile->text(), w.txtBrakeDate->text(),
            w.txtNOFiles->text()};
}

}  // namespace

class MergeTest : public QObject {
    Q_OBJECT

private slots:
    void mergeThroughTheButton_data();
    void mergeThroughTheButton();
    void refusedMergeLeavesNoFolder_data();
    void refusedMergeLeavesNoFolder();
    void sameTimeOfDayNeverReusesAFolder();
    void differentTimesWriteDifferentFolders();
};

void MergeTest::mergeThroughTheButton_data() {
    QTest::addColumn<QString>("count");
    QTest::addColumn<int>("files");
    QTest::newRow("8") << "8" << 8;
    QTest::newRow("blank 8") << " 8" << 8;
    QTest::newRow("7.5 to even 8") << "7.5" << 8;
    QTest::newRow("5.5 to even 6") << "5.5" << 6;
    QTest::newRow("exactly the taken 5") << "5" << 5;
}

void MergeTest::mergeThroughTheButton() {
    QFETCH(QString, count);
    QFETCH(int, files);
    FakeDesktop desktop;
    const Sets sets(desktop.Root.path());
    desktop.Folder.Folder = sets.programFolder;
    desktop.Clock.Time = QTime(14, 35, 22);
    desktop.Clock.DateFormat = QStringLiteral("dd/MM/yyyy");  // "/" cannot stand in a folder name
    Joinwright w(desktop.Services());
    Fill(w, sets, count);
    const QStringList filled = Boxes(w);

    // While the result is shown the boxes still hold their texts and the
    // busy cursor is gone.
    QStringList boxesWhileShown;
    bool busyWhileShown = true;
    desktop.Messages.OnShow = [&](const ShownMessage&) {
        boxesWhileShown = Boxes(w);
        busyWhileShown = QApplication::overrideCursor() != nullptr;
    };
    QTest::mouseClick(w.btnMerge, Qt::LeftButton);

    QCOMPARE(desktop.Messages.Shown.size(), std::size_t{1});
    QCOMPARE(desktop.Messages.Shown[0].Text, QStringLiteral("The trendfiles are now merged."));
    QCOMPARE(desktop.Messages.Shown[0].Icon, MessageIcon::None);
    QCOMPARE(boxesWhileShown, filled);
    QVERIFY(!busyWhileShown);
    QCOMPARE(Boxes(w), QStringList(5, QString()));

    const QString folder = sets.programFolder + QStringLiteral("/Merged trenddata 14-35-22");
    QCOMPARE(Entries(sets.programFolder), QStringList{"Merged trenddata 14-35-22"});
    QCOMPARE(QDir::fromNativeSeparators(w.OutputFolder), folder);
    QCOMPARE(w.TimeStamp, QStringLiteral("14-35-22"));
    QCOMPARE(w.BrakeDate, QStringLiteral("09-10-2004"));
    QCOMPARE(w.BackupFile, filled[0]);
    QCOMPARE(w.ExistingFile, filled[1]);
    QCOMPARE(w.EmptyDataFile, filled[2]);
    QCOMPARE(static_cast<int>(w.NumberOfFiles), files);

    QStringList expected{"TREND.HST"};
    for (int i = 0; i < files; ++i) expected << QStringLiteral("TREND.%1").arg(i, 3, 10, QLatin1Char('0'));
    std::sort(expected.begin(), expected.end());
    QCOMPARE(Entries(folder), expected);
    // Existing 10 and 20 September first, then backup 1, 2, 3, then empty copies.
    QCOMPARE(Bytes(folder + "/TREND.000"), Bytes(Q(sets.existing.DataFiles[1])));
    QCOMPARE(Bytes(folder + "/TREND.001"), Bytes(Q(sets.existing.DataFiles[2])));
    QCOMPARE(Bytes(folder + "/TREND.002"), Bytes(Q(sets.backup.DataFiles[0])));
    QCOMPARE(Bytes(folder + "/TREND.004"), Bytes(Q(sets.backup.DataFiles[2])));
    for (int i = 5; i < files; ++i)
        QCOMPARE(Bytes(folder + QStringLiteral("/TREND.%1").arg(i, 3, 10, QLatin1Char('0'))), Bytes(sets.emptyFile));
}

void MergeTest::refusedMergeLeavesNoFolder_data() {
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("backup");  // empty: the generated one; "existing": the existing master
    QTest::addColumn<QString>("emptyFile");  // likewise for the empty data file
    QTest::addColumn<QString>("reason");  // part of the engine's reason
    QTest::newRow("count 0") << "0" << "09-10-2004" << "" << "" << "at least 1";
    QTest::newRow("count -3") << "-3" << "09-10-2004" << "" << "" << "at least 1";
    QTest::newRow("fewer than taken") << "4" << "09-10-2004" << "" << "" << "ask for at least 5";
    QTest::newRow("date not a date") << "8" << "13-45-2004" << "" << "" << "is not a date";
    QTest::newRow("date with letters") << "8" << "Sept 10" << "" << "" << "is not a date";
    QTest::newRow("backup missing") << "8" << "09-10-2004" << "missing" << "" << "backup master";
    QTest::newRow("empty file is a master") << "8" << "09-10-2004" << "" << "existing" << "empty data file";
}

void MergeTest::refusedMergeLeavesNoFolder() {
    QFETCH(QString, count);
    QFETCH(QString, date);
    QFETCH(QString, backup);
    QFETCH(QString, emptyFile);
    QFETCH(QString, reason);
    FakeDesktop desktop;
    const Sets sets(desktop.Root.path());
    desktop.Folder.Folder = sets.programFolder;
    Joinwright w(desktop.Services());
    Fill(w, sets, count, date);
    if (backup == QLatin1String("missing")) w.txtBackup->setText(desktop.Root.path() + QStringLiteral("/none/TREND.HST"));
    if (emptyFile == QLatin1String("existing")) w.txtOCFile->setText(Q(sets.existing.Master));
    const QStringList filled = Boxes(w);
    const QByteArray existingMaster = Bytes(Q(sets.existing.Master));

    QTest::mouseClick(w.btnMerge, Qt::LeftButton);

    QCOMPARE(desktop.Messages.Shown.size(), std::size_t{1});
    const ShownMessage& m = desktop.Messages.Shown[0];
    QCOMPARE(m.Icon, MessageIcon::Error);
    QVERIFY2(m.Text.startsWith(QStringLiteral("The merge failed.\n\n")), qPrintable(m.Text));
    QVERIFY2(m.Text.contains(reason), qPrintable(m.Text));
    QVERIFY2(m.Text.contains(QStringLiteral("the output folder was removed again")), qPrintable(m.Text));
    QVERIFY(m.Text.endsWith(w.OutputFolder));
    QVERIFY(!w.OutputFolder.isEmpty());
    QCOMPARE(Boxes(w), filled);
    QVERIFY(Entries(sets.programFolder).isEmpty());  // no folder left
    QCOMPARE(Bytes(Q(sets.existing.Master)), existingMaster);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void MergeTest::sameTimeOfDayNeverReusesAFolder() {
    FakeDesktop desktop;
    const Sets sets(desktop.Root.path());
    desktop.Folder.Folder = sets.programFolder;
    Joinwright w(desktop.Services());
    Fill(w, sets, QStringLiteral("8"));
    QTest::mouseClick(w.btnMerge, Qt::LeftButton);
    const QString folder = sets.programFolder + QStringLiteral("/Merged trenddata 14-35-22");
    const QStringList first = Entries(folder);
    QCOMPARE(first.size(), 9);
    const QByteArray master = Bytes(folder + QStringLiteral("/TREND.HST"));

    // The same time of day on another day: refused, the earlier set untouched.
    Fill(w, sets, QStringLiteral("6"));
    QTest::mouseClick(w.btnMerge, Qt::LeftButton);
    QCOMPARE(desktop.Messages.Shown.size(), std::size_t{2});
    QCOMPARE(desktop.Messages.Shown[1].Icon, MessageIcon::Error);
    QVERIFY(desktop.Messages.Shown[1].Text.contains(QStringLiteral("already exists")));
    QCOMPARE(Entries(folder), first);
    QCOMPARE(Bytes(folder + QStringLiteral("/TREND.HST")), master);
    QCOMPARE(w.txtNOFiles->text(), QStringLiteral("6"));
    QCOMPARE(Entries(sets.programFolder).size(), 1);
}

void MergeTest::differentTimesWriteDifferentFolders() {
    FakeDesktop desktop;
    const Sets sets(desktop.Root.path());
    desktop.Folder.Folder = sets.programFolder;
    Joinwright w(desktop.Services());
    for (const QTime& t : {QTime(8, 0, 0), QTime(8, 0, 1)}) {
        desktop.Clock.Time = t;
        Fill(w, sets, QStringLiteral("6"));
        QTest::mouseClick(w.btnMerge, Qt::LeftButton);
    }
    QCOMPARE(Entries(sets.programFolder), (QStringList{"Merged trenddata 08-00-00", "Merged trenddata 08-00-01"}));
    for (const ShownMessage& m : desktop.Messages.Shown) QCOMPARE(m.Text, QStringLiteral("The trendfiles are now merged."));
}

QTEST_MAIN(MergeTest)
#include "MergeTest.moc"
