#pragma once
// The information window about the options. The Option dialog
// opens it with its built-in text; the file-association window replaces the
// text with the file-type description first.

#include "skin/skinned_dialog.h"

class QPlainTextEdit;

namespace qpt {
class LabelButton;
}

namespace qpt::option {

class InfoWindow : public SkinnedDialog {
    Q_OBJECT
public:
    explicit InfoWindow(QWidget* parent = nullptr);

    // The text as the window holds it, lines separated by CR LF.
    QString text() const { return m_text; }
    void setText(const QString& crlfText);

    // The built-in text; its closing lines name where the settings store
    // keeps the options.
    static QString builtInText();
    // The paragraph of it on the keys that drive the player without a
    // mouse, before the closing paragraph.
    static QStringList playerKeyLines();

    // Shows the window in the topmost band, as it does on loading.
    void open();
    void unload() override;
    // The program ends: the window goes away without any of its unload work.
    void abandon();

    QPlainTextEdit* textView = nullptr;
    LabelButton* okButton = nullptr;

signals:
    // The window has been unloaded: the Option dialog takes input again.
    void unloaded();

private:
    QString m_text;
};

}  // namespace qpt::option
