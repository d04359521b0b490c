#pragma once
// The skinned look of the Online System's windows: a painted background,
// label buttons on a button plate, and labels that show a caption with
// CR LF line ends as it is meant to be read.

#include "skin/label_button.h"

#include <QLabel>
#include <QWidget>

class QPainter;

namespace qpt::internet {

// Paints the skin's dialog background over the whole rectangle, or a
// gradient of the same mood when the picture is missing.
void paintDialogBackground(QPainter& painter, const QRect& rect);

// The window and tray icon, drawn when the skin has none.
QIcon appIcon();

// The look shared by the text fields and lists on the skinned background.
QString controlStyleSheet();

// A window whose background is the skin's dialog background.
class SkinnedWindow : public QWidget {
    Q_OBJECT
public:
    explicit SkinnedWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A label whose caption keeps its exact text (CR LF included) while it is
// shown with ordinary line breaks.
class CaptionLabel : public QLabel {
    Q_OBJECT
public:
    explicit CaptionLabel(const QString& caption = QString(), QWidget* parent = nullptr);
    void setCaption(const QString& caption);
    QString caption() const { return m_caption; }

signals:
    void clicked();
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QString m_caption;
};

// A label button the size every button of these windows has (90 x 24).
LabelButton* dialogButton(const QString& caption, QWidget* parent);

}  // namespace qpt::internet
