#include "ui/qt/HelpViewer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QStyle>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

namespace jw::ui {

namespace {
constexpr const char* kScheme = "chm";
}

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent) {
    setOpenExternalLinks(false);
    setOpenLinks(true);
}

QUrl HelpBrowser::TopicUrl(const std::string& archivePath) {
    QUrl url;
    url.setScheme(QString::fromLatin1(kScheme));
    const QString text = QString::fromUtf8(archivePath);
    const qsizetype hash = text.indexOf(QLatin1Char('#'));
    url.setPath(hash < 0 ? text : text.left(hash));
    if (hash >= 0) url.setFragment(text.mid(hash + 1));
    return url;
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    if (name.scheme() != QLatin1String(kScheme)) return {};  // nothing outside the help file
    if (archive_ == nullptr) return {};
    const std::optional<QByteArray> bytes = archive_->Read(name.path().toStdString());
    if (!bytes) return {};
    if (type == QTextDocument::ImageResource) return *bytes;
    return QString::fromUtf8(*bytes);
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_QuitOnClose, false);  // closing the main window ends the program
    resize(640, 480);

    back_ = new QToolButton(this);
    back_->setText(QStringLiteral("Back"));
    back_->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    back_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    back_->setEnabled(false);
    forward_ = new QToolButton(this);
    forward_->setText(QStringLiteral("Forward"));
    forward_->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    forward_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    forward_->setEnabled(false);

    browser_ = new HelpBrowser(this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back_);
    buttons->addWidget(forward_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_);

    connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
        showingNote_ = false;
        UpdateTitle();
    });
    UpdateTitle();
}

HelpWindow::~HelpWindow() { browser_->SetArchive(nullptr); }

bool HelpWindow::ShowContext(const QString& helpFile, int context) {
    // The file is read afresh for every request, so a help file replaced or
    // removed meanwhile is seen as it is now.
    if (helpFile != archivePath_) browser_->clearHistory();
    browser_->SetArchive(nullptr);
    archive_ = ChmArchive::Open(helpFile);
    archivePath_ = archive_ ? helpFile : QString();
    browser_->SetArchive(archive_.get());
    if (!archive_) {
        ShowNote(QStringLiteral("The help file cannot be opened."),
                 QStringLiteral("%1 is missing or is not a compiled help file.")
                     .arg(QDir::toNativeSeparators(helpFile).toHtmlEscaped()));
        return false;
    }
    const std::optional<std::string> topic =
        context < 0 ? std::nullopt : archive_->TopicForContext(static_cast<std::uint32_t>(context));
    if (!topic) {
        ShowNote(QStringLiteral("No help topic for this item."),
                 QStringLiteral("The help file has no topic for help context %1.").arg(context));
        return false;
    }
    const QUrl url = HelpBrowser::TopicUrl(*topic);
    if (browser_->source() == url) {
        browser_->reload();
    } else {
        browser_->setSource(url);
    }
    showingNote_ = false;
    UpdateTitle();
    return true;
}

QString HelpWindow::CurrentTopic() const {
    if (showingNote_) return {};
    return browser_->source().path();
}

void HelpWindow::ShowNote(const QString& heading, const QString& text) {
    browser_->setHtml(QStringLiteral("<h3>%1</h3><p>%2</p>").arg(heading.toHtmlEscaped(), text));
    showingNote_ = true;
    UpdateTitle();
}

void HelpWindow::UpdateTitle() {
    QString title = archive_ && !archive_->Title().isEmpty() ? archive_->Title() : QStringLiteral("Joinwright Help");
    const QString page = browser_->documentTitle();
    if (!showingNote_ && !page.isEmpty()) title += QStringLiteral(" - ") + page;
    setWindowTitle(title);
}

ChmHelpService::ChmHelpService() = default;
ChmHelpService::~ChmHelpService() = default;

void ChmHelpService::ShowHelp(const std::string& helpFile, int context) {
    if (!viewer_) viewer_ = std::make_unique<HelpWindow>();
    viewer_->ShowContext(QString::fromStdString(helpFile), context);
    viewer_->show();
    viewer_->raise();
    viewer_->activateWindow();
}

}  // namespace jw::ui
