#include "frm_start_msg.h"

#include "frm_main.h"
#include "online_files.h"
#include "online_system.h"

#include "common/marker_files.h"
#include "common/product.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

namespace qpt::internet {

FrmStartMSG::FrmStartMSG(OnlineSystem& system) : m_system(system)
{
    setWindowTitle(QLatin1String(kCaption));
    setFixedSize(470, 500);

    auto* heading = new QLabel(QStringLiteral("Quorbel Player Tirk Online System"), this);
    QFont headingFont(QStringLiteral("Comic Sans MS"));
    headingFont.setPointSize(15);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    heading->setAlignment(Qt::AlignCenter);
    heading->setStyleSheet(QStringLiteral("QLabel { color: #2b3138; }"));

    txtMsG = new QPlainTextEdit(this);
    txtMsG->setReadOnly(true);
    txtMsG->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont messageFont(QStringLiteral("Tahoma"));
    messageFont.setPointSize(9);
    txtMsG->setFont(messageFont);
    txtMsG->setPlainText(messageText());  // shown with ordinary line breaks

    chkDontShow = new QCheckBox(this);
    chkDontShow->setChecked(false);
    Label1 = new CaptionLabel(QStringLiteral("Don't Show This Message Again"), this);
    Label1->setCursor(Qt::PointingHandCursor);
    lblConnect = dialogButton(QStringLiteral("Connect"), this);
    lblSTOP = dialogButton(QStringLiteral("STOP"), this);

    auto* checkRow = new QHBoxLayout;
    checkRow->setSpacing(4);
    checkRow->addWidget(chkDontShow);
    checkRow->addWidget(Label1);
    checkRow->addStretch();
    checkRow->addWidget(lblConnect);
    checkRow->addSpacing(6);
    checkRow->addWidget(lblSTOP);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 18, 22, 22);
    layout->setSpacing(8);
    layout->addWidget(heading);
    layout->addWidget(txtMsG, 1);
    layout->addLayout(checkRow);

    connect(Label1, &CaptionLabel::clicked, this, &FrmStartMSG::Label1_Click);
    connect(lblConnect, &LabelButton::clicked, this, &FrmStartMSG::lblConnect_Click);
    connect(lblSTOP, &LabelButton::clicked, this, &FrmStartMSG::lblSTOP_Click);
}

QString FrmStartMSG::messageText()
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

QString FrmStartMSG::markerPath()
{
    return GetSystemDir() + QLatin1Char('/') + QLatin1String(kMarkerName);
}

void FrmStartMSG::load()
{
    if (MarkerFiles::exists(markerPath())) {
        lblConnect_Click();
        hide();
        return;
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    lblConnect->setFocus();
}

void FrmStartMSG::Label1_Click()
{
    chkDontShow->setChecked(!chkDontShow->isChecked());
}

void FrmStartMSG::lblConnect_Click()
{
    hide();
    if (chkDontShow->isChecked()) {
        // Best effort: without write access to the folder the message simply
        // shows again next time.
        QDir().mkpath(GetSystemDir());
        MarkerFiles::writeNoFollow(markerPath(), QByteArray(kMarkerLine) + "\r\n");
    }
    m_system.frmMain()->load();
    hide();
}

void FrmStartMSG::lblSTOP_Click()
{
    m_system.endProgram();
}

void FrmStartMSG::closeEvent(QCloseEvent* event)
{
    // Closing the window by its frame is the same as STOP.
    event->ignore();
    if (isVisible())
        lblSTOP_Click();
}

}  // namespace qpt::internet
