#include "skin_accessibility.h"

#include "caption_label.h"
#include "label_button.h"
#include "skinned_window.h"

namespace qpt {

namespace {

bool isClass(const QString& className, const QMetaObject& meta)
{
    return className == QLatin1String(meta.className());
}

// Asked for every class of an object, most derived first; an object of a
// class not named here goes on to the next factory (Qt's own).
QAccessibleInterface* skinInterface(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (isClass(className, LabelButton::staticMetaObject))
        return new LabelButtonAccessible(static_cast<LabelButton*>(object));
    if (isClass(className, CaptionLabel::staticMetaObject))
        return new CaptionLabelAccessible(static_cast<CaptionLabel*>(object));
    if (isClass(className, SkinnedWindow::staticMetaObject))
        return new SkinnedWindowAccessible(static_cast<SkinnedWindow*>(object));
    return nullptr;
}

}  // namespace

void installSkinAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(skinInterface);
}

// ---------------------------------------------------------------- label button

LabelButtonAccessible::LabelButtonAccessible(LabelButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

LabelButton* LabelButtonAccessible::button() const
{
    return static_cast<LabelButton*>(widget());
}

QString LabelButtonAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Name && button()->accessibleName().isEmpty())
        return button()->caption();
    return QAccessibleWidget::text(kind);
}

QStringList LabelButtonAccessible::actionNames() const
{
    return QStringList(pressAction()) + QAccessibleWidget::actionNames();
}

void LabelButtonAccessible::doAction(const QString& action)
{
    // Exactly a click: nothing while the button or its window is disabled.
    if (action == pressAction())
        button()->click();
    else
        QAccessibleWidget::doAction(action);
}

QStringList LabelButtonAccessible::keyBindingsForAction(const QString& action) const
{
    if (action == pressAction())
        return {QStringLiteral("Space"), QStringLiteral("Return")};
    return QAccessibleWidget::keyBindingsForAction(action);
}

// ---------------------------------------------------------------- caption label

CaptionLabelAccessible::CaptionLabelAccessible(CaptionLabel* label)
    : QAccessibleWidget(label, QAccessible::StaticText)
{
}

CaptionLabel* CaptionLabelAccessible::label() const
{
    return static_cast<CaptionLabel*>(widget());
}

QString CaptionLabelAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Name && label()->accessibleName().isEmpty())
        return label()->text();
    return QAccessibleWidget::text(kind);
}

QAccessible::State CaptionLabelAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    if (label()->isDecorative())
        state.invisible = true;
    return state;
}

QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
CaptionLabelAccessible::relations(QAccessible::Relation match) const
{
    auto found = QAccessibleWidget::relations(match);
    if ((match & QAccessible::Labelled) && label()->buddy()) {
        if (QAccessibleInterface* buddy = QAccessible::queryAccessibleInterface(label()->buddy()))
            found.append({buddy, QAccessible::Labelled});
    }
    return found;
}

QStringList CaptionLabelAccessible::actionNames() const
{
    const QStringList own = QAccessibleWidget::actionNames();
    return label()->answersClick() ? QStringList(pressAction()) + own : own;
}

void CaptionLabelAccessible::doAction(const QString& action)
{
    if (action == pressAction()) {
        if (label()->answersClick())
            label()->click();
    } else {
        QAccessibleWidget::doAction(action);
    }
}

// ---------------------------------------------------------------- window

SkinnedWindowAccessible::SkinnedWindowAccessible(SkinnedWindow* window) : QAccessibleWidget(window) {}

SkinnedWindow* SkinnedWindowAccessible::skinnedWindow() const
{
    return static_cast<SkinnedWindow*>(widget());
}

QAccessible::Role SkinnedWindowAccessible::role() const
{
    return skinnedWindow()->isMainWindow() ? QAccessible::Window : QAccessible::Dialog;
}

}  // namespace qpt
