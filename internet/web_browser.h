#pragma once
// The embedded browser of the main window: shows the update host's pages
// (and the local "loading.ifo"), loads their pictures over the network,
// follows link clicks and reports where it is.

#include <QHash>
#include <QImage>
#include <QNetworkReply>
#include <QPointer>
#include <QSet>
#include <QTextBrowser>
#include <QUrl>

class QNetworkAccessManager;

namespace qpt::internet {

class WebBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit WebBrowser(QWidget* parent = nullptr);

    // Goes to a web address or a local file. The location changes at once;
    // the page follows when it has arrived.
    void navigate(const QUrl& url);
    void navigate(const QString& urlOrPath);

    // The current location.
    QUrl location() const { return m_location; }

    // True while a page is on its way.
    bool isBusy() const { return m_page != nullptr; }

    // Page text is shown as HTML when it looks like HTML, else as it is.
    void showPage(const QByteArray& bytes);

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void linkClicked(const QUrl& link);
    void pageArrived(QNetworkReply* reply);
    void imageArrived(QNetworkReply* reply, const QUrl& key);

    QNetworkAccessManager* m_network;
    QUrl m_location;
    QPointer<QNetworkReply> m_page;
    QHash<QUrl, QImage> m_images;
    QSet<QUrl> m_requested;
};

}  // namespace qpt::internet
