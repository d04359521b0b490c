#include "control_access.h"

#include "skin_accessibility.h"

#include <QWidget>

namespace qpt {

ControlAccess::ControlAccess(QWidget* widget, QAccessible::Role role, std::function<QString()> name)
    : QObject(widget), m_role(role), m_name(std::move(name))
{
    setObjectName(QStringLiteral("qpt_control_access"));
}

ControlAccess* ControlAccess::attach(QWidget* widget, QAccessible::Role role, std::function<QString()> name)
{
    installSkinAccessibility();
    delete of(widget);
    auto* access = new ControlAccess(widget, role, std::move(name));
    // An event sent while the widget was being built may have made (and
    // cached) the toolkit's own interface for it.
    forgetAccessibleInterface(widget);
    return access;
}

void ControlAccess::announce(QAccessibleEvent& event)
{
    if (witness)
        witness(event);
    QAccessible::updateAccessibility(&event);
}

ControlAccess* ControlAccess::of(const QObject* object)
{
    if (!object)
        return nullptr;
    return object->findChild<ControlAccess*>(QStringLiteral("qpt_control_access"), Qt::FindDirectChildrenOnly);
}

}  // namespace qpt
