#include "skin_accessibility.h"

#include "control_access.h"

#include <QLabel>
#include <QWidget>

#include <cmath>

namespace qpt {

namespace {

// Asked for every class of an object, most derived first; an object with
// no description goes on to the next factory (Qt's own).
QAccessibleInterface* skinFactory(const QString&, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    ControlAccess* access = ControlAccess::of(object);
    return access ? new SkinAccessible(static_cast<QWidget*>(object), access) : nullptr;
}

}  // namespace

void installSkinAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(skinFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void forgetAccessibleInterface(QWidget* widget)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    if (iface && !dynamic_cast<SkinAccessible*>(iface))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

SkinAccessible::SkinAccessible(QWidget* widget, const ControlAccess* access)
    : QAccessibleWidget(widget, access->role())
{
}

ControlAccess* SkinAccessible::access() const
{
    return ControlAccess::of(object());
}

QAccessible::Role SkinAccessible::role() const
{
    const ControlAccess* const described = access();
    return described ? described->role() : QAccessibleWidget::role();
}

QString SkinAccessible::text(QAccessible::Text t) const
{
    const ControlAccess* const described = access();
    if (!described)
        return QAccessibleWidget::text(t);
    switch (t) {
    case QAccessible::Name:
        // A name the program set on the widget outranks the shown text.
        if (widget()->accessibleName().isEmpty())
            return described->name();
        break;
    case QAccessible::Description:
        if (described->description)
            return described->description();
        break;
    case QAccessible::Value:
        if (described->hasValue())
            return QString::number(described->value.current());
        break;
    default:
        break;
    }
    return QAccessibleWidget::text(t);
}

QAccessible::State SkinAccessible::state() const
{
    const ControlAccess* const described = access();
    QAccessible::State state = QAccessibleWidget::state();
    // A disabled control cannot be pressed, whatever it looks like.
    if (described && !widget()->isEnabled())
        state.disabled = true;
    if (described && described->decorative)
        state.invisible = true;
    return state;
}

QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
SkinAccessible::relations(QAccessible::Relation match) const
{
    auto found = QAccessibleWidget::relations(match);
    // A label names its buddy (Qt says so for its own labels only).
    const auto* label = qobject_cast<const QLabel*>(widget());
    if ((match & QAccessible::Labelled) && label && label->buddy()) {
        if (QAccessibleInterface* buddy = QAccessible::queryAccessibleInterface(label->buddy()))
            found.append({buddy, QAccessible::Labelled});
    }
    return found;
}

void* SkinAccessible::interface_cast(QAccessible::InterfaceType type)
{
    const ControlAccess* const described = access();
    if (type == QAccessible::ValueInterface && described && described->hasValue())
        return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QStringList SkinAccessible::actionNames() const
{
    const ControlAccess* const described = access();
    QStringList names;
    if (described && described->pressable())
        names << pressAction();
    for (const QString& name : QAccessibleWidget::actionNames()) {
        if (!names.contains(name))
            names << name;
    }
    return names;
}

void SkinAccessible::doAction(const QString& actionName)
{
    const ControlAccess* const described = access();
    if (actionName == pressAction() && described && described->pressable()) {
        // Exactly a click: nothing while the control or its window is disabled.
        if (widget()->isEnabled())
            described->press();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

QStringList SkinAccessible::keyBindingsForAction(const QString& actionName) const
{
    const ControlAccess* const described = access();
    if (actionName == pressAction() && described && described->pressable())
        return described->pressKeys;
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

QVariant SkinAccessible::currentValue() const
{
    const ControlAccess* const described = access();
    return described && described->hasValue() ? QVariant(described->value.current()) : QVariant();
}

void SkinAccessible::setCurrentValue(const QVariant& value)
{
    const ControlAccess* const described = access();
    if (!described || !described->hasValue() || !described->value.set || !widget()->isEnabled())
        return;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (ok && std::isfinite(number))
        described->value.set(qBound(described->value.minimum, number, described->value.maximum()));
}

QVariant SkinAccessible::maximumValue() const
{
    const ControlAccess* const described = access();
    return described && described->hasValue() ? QVariant(described->value.maximum()) : QVariant();
}

QVariant SkinAccessible::minimumValue() const
{
    const ControlAccess* const described = access();
    return described && described->hasValue() ? QVariant(described->value.minimum) : QVariant();
}

QVariant SkinAccessible::minimumStepSize() const
{
    const ControlAccess* const described = access();
    return described && described->hasValue() ? QVariant(described->value.step) : QVariant();
}

}  // namespace qpt
