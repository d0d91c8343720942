#include "ui/HelpViewer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QStyle>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#ifdef _WIN32
#include <windows.h>
#endif

namespace jw::ui {

#ifdef JW_HAVE_CHMLIB
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

void ChmHelpService::ShowHelp(QWidget* window, const QString& helpFile, int context) {
    if (!viewer_) viewer_ = new HelpWindow(window);
    viewer_->ShowContext(helpFile, context);
    viewer_->show();
    viewer_->raise();
    viewer_->activateWindow();
}

#endif  // JW_HAVE_CHMLIB

#ifdef _WIN32
void HtmlHelpService::ShowHelp(QWidget* window, const QString& helpFile, int context) {
    using HtmlHelpAFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
    constexpr UINT kHelpContext = 15;  // HH_HELP_CONTEXT
    static HtmlHelpAFunction htmlHelp = [] {
        HMODULE library = LoadLibraryA("hhctrl.ocx");
        return library ? reinterpret_cast<HtmlHelpAFunction>(GetProcAddress(library, "HtmlHelpA")) : nullptr;
    }();
    if (htmlHelp == nullptr) return;
    const QByteArray path = QFile::encodeName(QDir::toNativeSeparators(helpFile));
    HWND owner = window ? reinterpret_cast<HWND>(window->winId()) : nullptr;
    htmlHelp(owner, path.constData(), kHelpContext, static_cast<DWORD_PTR>(context));
}

std::unique_ptr<HelpService> MakePlatformHelpService() { return std::make_unique<HtmlHelpService>(); }
#else
std::unique_ptr<HelpService> MakePlatformHelpService() { return std::make_unique<ChmHelpService>(); }
#endif

}  // namespace jw::ui
