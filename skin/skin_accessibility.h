#pragma once
// What a screen reader learns of the skin's own controls. Qt knows a label
// as static text and a plain window as a filler; the skin's label buttons
// act as buttons, a caption label that answers a click can be pressed, and
// a skinned window is a dialog or, for a program's main window, a frame.
// The factory is installed once, by the first skinned control made.

#include <QAccessibleWidget>

namespace qpt {

class CaptionLabel;
class LabelButton;
class SkinnedWindow;

void installSkinAccessibility();

// A label button: a button named by its caption, pressed as by a click.
class LabelButtonAccessible : public QAccessibleWidget {
public:
    explicit LabelButtonAccessible(LabelButton* button);

    QString text(QAccessible::Text kind) const override;
    QStringList actionNames() const override;
    void doAction(const QString& action) override;
    QStringList keyBindingsForAction(const QString& action) const override;

private:
    LabelButton* button() const;
};

// A caption label: static text as shown, the label of its buddy, and,
// while anything answers its click, Press, which does what the click does.
// (Qt makes an object's interface once, often while the object is still
// being built, so what it offers is decided when asked.)
class CaptionLabelAccessible : public QAccessibleWidget {
public:
    explicit CaptionLabelAccessible(CaptionLabel* label);

    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation match = QAccessible::AllRelations) const override;
    QStringList actionNames() const override;
    void doAction(const QString& action) override;

private:
    CaptionLabel* label() const;
};

// A skinned window: a dialog or a frame, named by its caption.
class SkinnedWindowAccessible : public QAccessibleWidget {
public:
    explicit SkinnedWindowAccessible(SkinnedWindow* window);

    QAccessible::Role role() const override;

private:
    SkinnedWindow* skinnedWindow() const;
};

}  // namespace qpt
