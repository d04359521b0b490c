#include "start_message_window.h"

#include "online_window.h"

#include "internet/online_system.h"
#include "internet/shared/online_log.h"
#include "internet/update/online_files.h"

#include "common/file_names.h"
#include "common/marker_files.h"
#include "common/product.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace qpt::internet {

StartMessageWindow::StartMessageWindow(OnlineSystem& system) : m_system(system)
{
    setWindowTitle(QLatin1String(kCaption));
    useControlStyle();
    setFixedSize(470, 500);

    auto* heading = new QLabel(QStringLiteral("Quorbel Player Tirk Online System"), this);
    QFont headingFont(QStringLiteral("Comic Sans MS"));
    headingFont.setPointSize(15);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    heading->setAlignment(Qt::AlignCenter);
    heading->setStyleSheet(QStringLiteral("QLabel { color: #2b3138; }"));

    messageView = new QPlainTextEdit(this);
    messageView->setReadOnly(true);
    messageView->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont messageFont(QStringLiteral("Tahoma"));
    messageFont.setPointSize(9);
    messageView->setFont(messageFont);
    messageView->setPlainText(shownText(messageText()));
    messageView->setAccessibleName(QStringLiteral("Message"));

    dontShowBox = new QCheckBox(this);
    dontShowBox->setChecked(false);
    dontShowLabel = new CaptionLabel(QStringLiteral("Don't Show This Message Again"), this);
    dontShowLabel->setCursor(Qt::PointingHandCursor);
    // The text names the box for a screen reader; the ring goes round both.
    dontShowLabel->setBuddy(dontShowBox);
    connectButton = dialogButton(QStringLiteral("Connect"), this);
    stopButton = dialogButton(QStringLiteral("STOP"), this);

    auto* checkRow = new QHBoxLayout;
    checkRow->setSpacing(4);
    checkRow->addWidget(dontShowBox);
    checkRow->addWidget(dontShowLabel);
    checkRow->addStretch();
    checkRow->addWidget(connectButton);
    checkRow->addSpacing(6);
    checkRow->addWidget(stopButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 18, 22, 22);
    layout->setSpacing(8);
    layout->addWidget(heading);
    layout->addWidget(messageView, 1);
    layout->addLayout(checkRow);

    connect(dontShowLabel, &CaptionLabel::clicked, this, &StartMessageWindow::toggleDontShow);
    connect(connectButton, &LabelButton::clicked, this, &StartMessageWindow::connectOnline);
    connect(stopButton, &LabelButton::clicked, this, &StartMessageWindow::stop);
    setEscapeButton(stopButton);
}

QString StartMessageWindow::messageText()
{
    const QStringList lines = {
        QStringLiteral(" Welcome to Quorbel Player Tirk Online System"),
        QString(),
        QStringLiteral(" This Online System will give you access to Player "),
        QStringLiteral(" updates, information and instruction about the Quorbel "),
        QStringLiteral(" Player and much more. You will also be able to report"),
        QStringLiteral(" bugs and send directly to The Vyx Hollowmere HQ."),
        QStringLiteral(" This means if you have experience some bugs while you "),
        QStringLiteral(" where using the Player, you can by sending an bug"),
        QStringLiteral(" report, help to fix it, and make Quorbel Player Tirk"),
        QStringLiteral(" better than it already is."),
        QString(),
        QStringLiteral(" Warning:"),
        QStringLiteral(" The next session you are about to enter, will connect "),
        QStringLiteral(" you to the internet. There will be no kind of "),
        QStringLiteral(" information send to the Vyx Hollowmere HQ. If you "),
        QStringLiteral(" don't have any access to the internet, you will not be "),
        QStringLiteral(" able to connect to the Online System."),
        QStringLiteral(" If you don't want to proceed press the STOP "),
        QStringLiteral(" button, else press the Connect button."),
        QStringLiteral(" "),
        QStringLiteral(" Have a nice time!"),
        QStringLiteral(" "),
        // The publisher's notice.
        QStringLiteral(" ______________________________________________"),
        QStringLiteral(" Quorbel Player Tirk and its Online System are"),
        QStringLiteral(" published by The Vyx Hollowmere HQ."),
        QStringLiteral(" Copyright (C) The Vyx Hollowmere HQ. All rights reserved."),
        QStringLiteral(" Visit: %1").arg(Product::website()),
    };
    return lines.join(QStringLiteral("\r\n"));
}

QString StartMessageWindow::markerPath()
{
    return systemFolder() + QLatin1Char('/') + QLatin1String(files::StartMessageMarker);
}

void StartMessageWindow::open()
{
    if (MarkerFiles::exists(markerPath())) {
        connectOnline();
        hide();
        return;
    }
    centreOver(nullptr);
    show();
    connectButton->setFocus();
}

void StartMessageWindow::toggleDontShow()
{
    dontShowBox->setChecked(!dontShowBox->isChecked());
}

void StartMessageWindow::connectOnline()
{
    hide();
    // Without write access to the folder the message simply shows again
    // next time.
    if (dontShowBox->isChecked()
        && !(QDir().mkpath(systemFolder()) && MarkerFiles::writeNoFollow(markerPath(), QByteArray(kMarkerLine) + "\r\n")))
        qCWarning(lcOnline) << "cannot write" << markerPath();
    m_system.mainWindow()->load();
    hide();
}

void StartMessageWindow::stop()
{
    m_system.endProgram();
}

void StartMessageWindow::closeEvent(QCloseEvent* event)
{
    // Closing the window by its frame is the same as STOP.
    event->ignore();
    if (isVisible())
        stop();
}

}  // namespace qpt::internet
