#include "player/shell/skin_accessible.h"

#include "player/shell/control_access.h"

#include <QWidget>

#include <cmath>

namespace qpt {

namespace {

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

SkinAccessible::SkinAccessible(QWidget* widget, ControlAccess* access)
    : QAccessibleWidget(widget, access->role()), m_access(access)
{
}

QAccessible::Role SkinAccessible::role() const
{
    return m_access ? m_access->role() : QAccessibleWidget::role();
}

QString SkinAccessible::text(QAccessible::Text t) const
{
    if (!m_access)
        return QAccessibleWidget::text(t);
    switch (t) {
    case QAccessible::Name:
        return m_access->name();
    case QAccessible::Description:
        if (m_access->description)
            return m_access->description();
        break;
    case QAccessible::Value:
        if (m_access->hasValue())
            return QString::number(m_access->value.current());
        break;
    default:
        break;
    }
    return QAccessibleWidget::text(t);
}

QAccessible::State SkinAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    // A disabled control cannot be pressed, whatever it looks like.
    if (m_access && !widget()->isEnabled())
        state.disabled = true;
    return state;
}

void* SkinAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface && m_access && m_access->hasValue())
        return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QStringList SkinAccessible::actionNames() const
{
    QStringList names;
    if (m_access && m_access->press)
        names << pressAction();
    for (const QString& name : QAccessibleWidget::actionNames()) {
        if (!names.contains(name))
            names << name;
    }
    return names;
}

void SkinAccessible::doAction(const QString& actionName)
{
    if (actionName == pressAction() && m_access && m_access->press) {
        if (widget()->isEnabled())
            m_access->press();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

QStringList SkinAccessible::keyBindingsForAction(const QString& actionName) const
{
    if (actionName == pressAction() && m_access && m_access->press)
        return {QStringLiteral("Space")};
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

QVariant SkinAccessible::currentValue() const
{
    return m_access && m_access->hasValue() ? QVariant(m_access->value.current()) : QVariant();
}

void SkinAccessible::setCurrentValue(const QVariant& value)
{
    if (!m_access || !m_access->hasValue() || !m_access->value.set || !widget()->isEnabled())
        return;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (ok && std::isfinite(number))
        m_access->value.set(qBound(m_access->value.minimum, number, m_access->value.maximum()));
}

QVariant SkinAccessible::maximumValue() const
{
    return m_access && m_access->hasValue() ? QVariant(m_access->value.maximum()) : QVariant();
}

QVariant SkinAccessible::minimumValue() const
{
    return m_access && m_access->hasValue() ? QVariant(m_access->value.minimum) : QVariant();
}

QVariant SkinAccessible::minimumStepSize() const
{
    return m_access && m_access->hasValue() ? QVariant(m_access->value.step) : QVariant();
}

}  // namespace qpt
