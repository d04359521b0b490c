#pragma once
// frmInfo: the information window about the options. The Option dialog
// opens it with its built-in text; the file-association window replaces the
// text with the file-type description first.

#include "skinned_window.h"

class QPlainTextEdit;

namespace qpt {
class LabelButton;
}

namespace qpt::option {

class InfoWindow : public SkinnedWindow {
    Q_OBJECT
public:
    explicit InfoWindow(QWidget* parent = nullptr);

    // The text as held by `txtInfo`, lines separated by CR LF.
    QString text() const { return m_text; }
    void setText(const QString& crlfText);

    // The built-in text; its closing lines name where the settings store
    // keeps the options.
    static QString builtInText();

    // Shows the window in the topmost band, as it does on loading.
    void open();
    void unload() override;
    // The program ends: the window goes away without any of its unload work.
    void abandon();

    QPlainTextEdit* txtInfo = nullptr;
    LabelButton* lblOK = nullptr;

signals:
    // The window has been unloaded: the Option dialog takes input again.
    void unloaded();

private:
    QString m_text;
};

}  // namespace qpt::option
