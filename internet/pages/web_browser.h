#pragma once
// The embedded browser of the main window: shows the update host's pages
// (and the local "loading.ifo"), follows link clicks and reports where it
// is. A page from the network is shown within fixed bounds whatever it
// holds: at most kPageLimit bytes in a fixed time, reduced to a safe subset
// of HTML on a thread of its own before the layout sees it
// (page_sanitiser.h), and laid out once more when its pictures are in
// (web_pictures.h), never once per picture.

#include "page_sanitiser.h"
#include "web_pictures.h"

#include "internet/shared/download.h"

#include <QTextBrowser>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;

namespace qpt::internet {

class WebBrowser : public QTextBrowser {
    Q_OBJECT
public:
    static constexpr qint64 kPageLimit = 4 * 1024 * 1024;
    static constexpr int kPageDeadlineMs = 60000;
    static constexpr int kPageIdleMs = 30000;

    explicit WebBrowser(QWidget* parent = nullptr);
    ~WebBrowser() override;

    // Goes to a web address or a local file. The location changes at once;
    // the page follows when it has arrived.
    void navigate(const QUrl& url);
    void navigate(const QString& urlOrPath);

    // The current location.
    QUrl location() const { return m_location; }

    // True while a page or its pictures are on their way or being read.
    bool isBusy() const { return m_page.isBusy() || m_reading || m_pictures.isBusy(); }

    // Shows page bytes of the current location (as they came from there);
    // a page from the network once it has been read.
    void showPage(const QByteArray& bytes);

    WebPictures& pictures() { return m_pictures; }
    void setPageLimits(const PageLimits& limits) { m_pageLimits = limits; }

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void linkClicked(const QUrl& link);
    void pageArrived(const Download& download);
    void pageRead(quint64 number, const SanitisedPage& page);
    void dropPageBeingRead();
    void picturesArrived();
    void showMessagePage(const QString& text);

    QNetworkAccessManager* m_network;
    Transfer m_page;
    WebPictures m_pictures;
    PageLimits m_pageLimits;
    QUrl m_location;
    QString m_html;  // the page as laid out, laid out again with its pictures
    // Where the page reading thread's result arrives; which page it is for.
    std::shared_ptr<class Inbox> m_inbox;
    quint64 m_pageNumber = 0;
    bool m_reading = false;
};

}  // namespace qpt::internet
