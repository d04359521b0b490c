#include "web_browser.h"

#include "inbox.h"

#include "internet/shared/web_address.h"

#include "common/native_path.h"
#include "common/window_helpers.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QScrollBar>
#include <QTextDocument>
#include <QThreadPool>

#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace qpt::internet {

namespace {

// One thread for reading pages: a page never holds up the window thread,
// and one page at a time is read.
QThreadPool& pageThread()
{
    static QThreadPool pool;
    [[maybe_unused]] static const bool single = (pool.setMaxThreadCount(1), true);
    return pool;
}

// A local page (the loading page of the application folder) read whole, up
// to the page limit; a pipe or device under its name is not waited on.
std::optional<QByteArray> readLocalPage(const QString& path)
{
    struct stat st {};
    const int fd = nativepath::openRegularFile(QFile::encodeName(path), st);
    if (fd < 0)
        return std::nullopt;
    QFile file;
    if (st.st_size > WebBrowser::kPageLimit || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    return file.read(WebBrowser::kPageLimit);
}

}  // namespace

WebBrowser::WebBrowser(QWidget* parent)
    : QTextBrowser(parent),
      m_network(new QNetworkAccessManager(this)),
      m_page(this, m_network),
      m_pictures(*m_network, this),
      m_inbox(Inbox::make())
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setFrameShape(QFrame::StyledPanel);
    // Pages bring their own colours; keep the view white like a browser.
    setStyleSheet(QStringLiteral("QTextBrowser { background: white; color: black; border: 1px solid #3a424c; }"));
    connect(this, &QTextBrowser::anchorClicked, this, &WebBrowser::linkClicked);
    connect(&m_page, &Transfer::finished, this, &WebBrowser::pageArrived);
    connect(&m_pictures, &WebPictures::arrived, this, &WebBrowser::picturesArrived);
}

WebBrowser::~WebBrowser()
{
    // A page still being read is read to its end with nobody to tell.
    m_inbox->close();
}

void WebBrowser::navigate(const QString& urlOrPath)
{
    if (QFileInfo(urlOrPath).isAbsolute())
        navigate(QUrl::fromLocalFile(urlOrPath));
    else
        navigate(QUrl(urlOrPath));
}

void WebBrowser::navigate(const QUrl& url)
{
    m_page.abandon();
    m_pictures.clear();
    dropPageBeingRead();
    m_location = url;
    if (url.isLocalFile()) {
        if (const auto page = readLocalPage(url.toLocalFile()))
            showPage(*page);
        else
            setPlainText(tr("The page %1 could not be found.").arg(url.toLocalFile()));
        return;
    }
    if (!isWeb(url)) {
        setPlainText(tr("The page %1 could not be shown.").arg(url.toString()));
        return;
    }
    m_page.start(url.toString(), {kPageLimit, kPageIdleMs, kPageDeadlineMs});
}

void WebBrowser::dropPageBeingRead()
{
    ++m_pageNumber;
    m_reading = false;
}

void WebBrowser::showMessagePage(const QString& text)
{
    dropPageBeingRead();
    m_html.clear();
    setHtml(tr("<html><body style=\"font-family: Tahoma\"><h3>The page cannot be displayed</h3>"
               "<p>%1</p><p>%2</p></body></html>")
                .arg(m_location.toString().toHtmlEscaped(), text.toHtmlEscaped()));
}

void WebBrowser::pageArrived(const Download& download)
{
    switch (download.end) {
    case TransferEnd::Complete: return showPage(download.body);
    case TransferEnd::TooLarge: return showMessagePage(tr("The page is too large to be shown."));
    case TransferEnd::Stalled:
    case TransferEnd::TimedOut: return showMessagePage(tr("The page took too long to arrive."));
    case TransferEnd::CutShort: return showMessagePage(tr("The page arrived only in part."));
    case TransferEnd::NotTrusted: return showMessagePage(tr("The page's server could not prove its identity."));
    case TransferEnd::Failed:
    case TransferEnd::Cancelled:
    case TransferEnd::NotStored: return showMessagePage(tr("There is no connection to the page's server."));
    }
}

void WebBrowser::showPage(const QByteArray& bytes)
{
    dropPageBeingRead();
    document()->setBaseUrl(m_location);
    if (!isWeb(m_location)) {
        // The application folder's own page is the programs' own.
        m_html.clear();
        const QString text = QString::fromUtf8(bytes);
        if (Qt::mightBeRichText(text))
            setHtml(text);
        else
            setPlainText(text);
        return;
    }
    // Read on a thread of its own: the window thread only ever lays out
    // the finished safe subset.
    m_reading = true;
    pageThread().start([this, inbox = m_inbox, number = m_pageNumber, bytes, base = m_location,
                        limits = m_pageLimits] {
        const SanitisedPage page = sanitisePage(bytes, base, limits);
        Inbox::post(inbox, [this, number, page] { pageRead(number, page); });
    });
}

void WebBrowser::pageRead(quint64 number, const SanitisedPage& page)
{
    // Another page came since, or the browser went elsewhere.
    if (number != m_pageNumber)
        return;
    m_reading = false;
    m_html = page.html;
    setHtml(m_html);
    if (!page.pictures.isEmpty())
        m_pictures.fetch(page.pictures);
}

void WebBrowser::picturesArrived()
{
    if (m_html.isEmpty())
        return;
    // The one more layout, now that the pictures are in.
    const int scroll = verticalScrollBar()->value();
    setHtml(m_html);
    verticalScrollBar()->setValue(scroll);
}

QVariant WebBrowser::loadResource(int type, const QUrl& name)
{
    const QUrl url = name.isRelative() ? m_location.resolved(name) : name;
    if (!isWeb(url)) {
        // A page from the network never reaches into this computer's files
        // (file:///dev/zero would be read for ever). Not an empty QVariant:
        // with that, the document reads a local file itself.
        return isWeb(m_location) ? QVariant(QByteArray()) : QTextBrowser::loadResource(type, url);
    }
    // Pictures come only from what was fetched for the page; the layout
    // never starts a transfer of its own.
    if (type != QTextDocument::ImageResource)
        return QVariant(QByteArray());
    const QImage picture = m_pictures.picture(url);
    return picture.isNull() ? QVariant(QByteArray()) : QVariant(picture);
}

void WebBrowser::linkClicked(const QUrl& link)
{
    const QUrl target = link.isRelative() ? m_location.resolved(link) : link;
    if (isWeb(target) || (target.isLocalFile() && !isWeb(m_location)))
        navigate(target);
    else if (target.isLocalFile())
        return;  // a page from the network does not open local files
    else if (const QUrl mail = plainMailto(target); mail.isValid())
        OpenLink(mail.toString(QUrl::FullyEncoded));
    // Any other kind of link opens nothing: the sanitiser lets none through.
}

}  // namespace qpt::internet
