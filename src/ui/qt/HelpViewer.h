// The help viewer of the Qt window: a window of the program that reads the
// compiled help file itself (through chmlib) and shows one topic at a time,
// with working links between topics.  It runs beside the main window:
// ShowHelp returns at once and nothing waits for the viewer.
#pragma once

#include "ui/model/Desktop.h"
#include "ui/qt/ChmArchive.h"

#include <QTextBrowser>
#include <QWidget>

#include <memory>

class QToolButton;

namespace jw::ui {

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

// HelpService through one HelpWindow, reused for every topic.
class ChmHelpService : public HelpService {
public:
    ChmHelpService();
    ~ChmHelpService() override;
    void ShowHelp(const std::string& helpFile, int context) override;
    HelpWindow* Viewer() const { return viewer_.get(); }

private:
    std::unique_ptr<HelpWindow> viewer_;
};

}  // namespace jw::ui
