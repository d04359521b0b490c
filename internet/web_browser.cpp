#include "web_browser.h"

#include "common/native_path.h"
#include "common/window_helpers.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScrollBar>
#include <QTextDocument>

#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace qpt::internet {

namespace {

bool isWeb(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// No page or picture of the host is kept beyond these sizes, whatever
// it sends.
constexpr qint64 kPageLimit = 4 * 1024 * 1024;
constexpr qint64 kImageLimit = 8 * 1024 * 1024;
constexpr int kImagesPerPage = 64;

// A local page (the loading page of the application folder) read whole, up
// to the page limit; a pipe or device under its name is not waited on.
std::optional<QByteArray> readLocalPage(const QString& path)
{
    struct stat st {};
    const int fd = nativepath::openRegularFile(QFile::encodeName(path), st);
    if (fd < 0)
        return std::nullopt;
    QFile file;
    if (st.st_size > kPageLimit || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    return file.read(kPageLimit);
}

const char* const kTooLarge = "qptTooLarge";

// Aborts the reply once more than the limit has arrived or is announced,
// and marks it so.
void limit(QNetworkReply* reply, qint64 bytes)
{
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply, bytes](qint64 received, qint64 total) {
        if (received > bytes || total > bytes) {
            reply->setProperty(kTooLarge, true);
            reply->abort();
        }
    });
}

bool wasTooLarge(const QNetworkReply* reply)
{
    return reply->property(kTooLarge).toBool();
}

QNetworkRequest freshRequest(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(30000);
    return request;
}

}  // namespace

WebBrowser::WebBrowser(QWidget* parent) : QTextBrowser(parent), m_network(new QNetworkAccessManager(this))
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setFrameShape(QFrame::StyledPanel);
    // Pages bring their own colours; keep the view white like a browser.
    setStyleSheet(QStringLiteral("QTextBrowser { background: white; color: black; border: 1px solid #3a424c; }"));
    connect(this, &QTextBrowser::anchorClicked, this, &WebBrowser::linkClicked);
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
    if (m_page) {
        QNetworkReply* old = m_page;
        m_page = nullptr;
        old->abort();
    }
    m_location = url;
    m_images.clear();
    m_requested.clear();
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
    QNetworkReply* reply = m_network->get(freshRequest(url));
    m_page = reply;
    limit(reply, kPageLimit);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { pageArrived(reply); });
}

void WebBrowser::pageArrived(QNetworkReply* reply)
{
    reply->deleteLater();
    if (reply != m_page)
        return;  // a page we no longer want
    m_page = nullptr;
    const bool tooLarge = wasTooLarge(reply);
    const QByteArray body = tooLarge ? QByteArray() : reply->readAll();
    if (tooLarge) {
        setHtml(tr("<html><body style=\"font-family: Tahoma\"><h3>The page cannot be displayed</h3>"
                   "<p>%1</p><p>The page is too large to be shown.</p></body></html>")
                    .arg(m_location.toString().toHtmlEscaped()));
    } else if (body.isEmpty() && reply->error() != QNetworkReply::NoError) {
        setHtml(tr("<html><body style=\"font-family: Tahoma\"><h3>The page cannot be displayed</h3>"
                   "<p>%1</p><p>%2</p></body></html>")
                    .arg(m_location.toString().toHtmlEscaped(), reply->errorString().toHtmlEscaped()));
    } else {
        showPage(body);
    }
}

void WebBrowser::showPage(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    document()->setBaseUrl(m_location);
    if (Qt::mightBeRichText(text))
        setHtml(text);
    else
        setPlainText(text);
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
    if (type != QTextDocument::ImageResource)
        return QVariant();
    const auto found = m_images.constFind(url);
    if (found != m_images.constEnd())
        return found.value();
    if (!m_requested.contains(url) && m_requested.size() < kImagesPerPage) {
        m_requested.insert(url);
        QNetworkReply* reply = m_network->get(freshRequest(url));
        limit(reply, kImageLimit);
        connect(reply, &QNetworkReply::finished, this, [this, reply, url] { imageArrived(reply, url); });
    }
    return QVariant();
}

void WebBrowser::imageArrived(QNetworkReply* reply, const QUrl& key)
{
    reply->deleteLater();
    if (!m_requested.contains(key) || wasTooLarge(reply))
        return;  // the page has changed since, or the picture was too large
    QImage image;
    if (!image.loadFromData(reply->readAll()))
        return;
    m_images.insert(key, image);
    // Lay the page out again so that the picture takes its place.
    const QString html = toHtml();
    const int scroll = verticalScrollBar()->value();
    setHtml(html);
    verticalScrollBar()->setValue(scroll);
}

void WebBrowser::linkClicked(const QUrl& link)
{
    const QUrl target = link.isRelative() ? m_location.resolved(link) : link;
    if (isWeb(target) || (target.isLocalFile() && !isWeb(m_location)))
        navigate(target);
    else if (target.isLocalFile())
        return;  // a page from the network does not open local files
    else
        OpenLink(target.toString());
}

}  // namespace qpt::internet
