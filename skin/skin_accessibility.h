#pragma once
// What a screen reader learns of every control the skin draws, in all
// three programs. Qt knows a label as static text and a plain widget as a
// filler; a control with a ControlAccess attached (control_access.h) is
// known by it instead: its role and name, Press, a value. The skin's label
// buttons, caption labels and skinned windows attach theirs when made; a
// program attaches one to each control it draws itself.
//
// One factory per program, installed by the first ControlAccess attached.

#include <QAccessibleWidget>

namespace qpt {

class ControlAccess;

class SkinAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    SkinAccessible(QWidget* widget, const ControlAccess* access);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation match = QAccessible::AllRelations) const override;
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
    // Looked up each time: a later description replaces an earlier one
    // while Qt keeps this interface.
    ControlAccess* access() const;
};

// Installs the factory once per process; every ControlAccess::attach
// makes sure of it.
void installSkinAccessibility();
// Drops the interface the accessibility cache holds for a widget unless it
// is already ours.
void forgetAccessibleInterface(QWidget* widget);

}  // namespace qpt
