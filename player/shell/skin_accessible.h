#pragma once
// The accessible interface of a skin-drawn control (a picture, a label
// that acts like a button, a knob, a skinned window), made from the
// ControlAccess attached to it, and the factory that hands it to Qt's
// accessibility (and so to the desktop's screen readers).

#include <QAccessibleWidget>
#include <QPointer>

namespace qpt {

class ControlAccess;

class SkinAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    SkinAccessible(QWidget* widget, ControlAccess* access);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

private:
    QPointer<ControlAccess> m_access;
};

// Installs the factory once per process; every ControlAccess::attach
// makes sure of it.
void installSkinAccessibility();
// Drops the interface the accessibility cache holds for a widget unless it
// is already ours.
void forgetAccessibleInterface(QWidget* widget);

}  // namespace qpt
