// The help viewer: on Windows the system's HTML Help (HtmlHelpA of
// hhctrl.ocx, command HH_HELP_CONTEXT); elsewhere a window of the program
// that reads the compiled help file itself and shows one topic at a time,
// with working links between topics.  Either runs beside the main window:
// ShowHelp returns at once and nothing waits for the viewer.
#pragma once

#include "ui/Services.h"

#include <memory>

#ifdef JW_HAVE_CHMLIB
#include "ui/ChmArchive.h"

#include <QPointer>
#include <QTextBrowser>
#include <QWidget>

class QToolButton;
#endif

namespace jw::ui {

#ifdef JW_HAVE_CHMLIB

// Shows the objects of one compiled help file; its pages have URLs of the
// form chm:/path/topic.htm, so relative links resolve inside the archive.
class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);
    void SetArchive(const ChmArchive* archive) { archive_ = archive; }
    QVariant loadResource(int type, const QUrl& name) override;

    static QUrl TopicUrl(const std::string& archivePath);

private:
    const ChmArchive* archive_ = nullptr;
};

// The help window: one per main window, reused for every topic.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    ~HelpWindow() override;

    // Opens helpFile (unless it is the one already open) and shows the
    // topic of context; a missing file or an unmapped context shows a
    // short note in the window instead.  Returns whether a topic is shown.
    bool ShowContext(const QString& helpFile, int context);

    HelpBrowser* Browser() const { return browser_; }
    // Archive path of the topic shown ("/backup.htm"); empty while a note is shown.
    QString CurrentTopic() const;

private:
    void ShowNote(const QString& heading, const QString& text);
    void UpdateTitle();

    std::unique_ptr<ChmArchive> archive_;
    QString archivePath_;
    HelpBrowser* browser_ = nullptr;
    QToolButton* back_ = nullptr;
    QToolButton* forward_ = nullptr;
    bool showingNote_ = false;
};

// HelpService through a HelpWindow owned by the calling window.
class ChmHelpService : public HelpService {
public:
    void ShowHelp(QWidget* window, const QString& helpFile, int context) override;
    HelpWindow* Viewer() const { return viewer_; }

private:
    QPointer<HelpWindow> viewer_;
};
#endif  // JW_HAVE_CHMLIB

#ifdef _WIN32
// HelpService through HtmlHelpA, loaded from hhctrl.ocx on first use.
class HtmlHelpService : public HelpService {
public:
    void ShowHelp(QWidget* window, const QString& helpFile, int context) override;
};
#endif

}  // namespace jw::ui
