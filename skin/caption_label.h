#pragma once
// Texts of the programs keep CR LF line ends (they are compared, logged and
// restored exactly); on screen they show with ordinary line breaks.

#include "common/dialogs.h"  // shownText

#include <QLabel>
#include <QString>

namespace qpt {

// A label whose caption keeps its exact text (CR LF included) while it is
// shown with ordinary line breaks. It reports clicks and double-clicks; one
// that answers a click can be pressed by a screen reader too.
class CaptionLabel : public QLabel {
    Q_OBJECT
public:
    explicit CaptionLabel(const QString& caption = QString(), QWidget* parent = nullptr);
    void setCaption(const QString& caption);
    QString caption() const { return m_caption; }

    // Runs the click as the mouse would (screen readers).
    void click();
    // Whether anything listens to the click.
    bool answersClick() const;

    // A copy of another label's text drawn for its look (a shadow): a
    // screen reader passes it over.
    void setDecorative(bool decorative);
    bool isDecorative() const { return m_decorative; }

signals:
    void clicked();
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QString m_caption;
    bool m_decorative = false;
};

}  // namespace qpt
