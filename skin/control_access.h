#pragma once
// What a screen reader is told about a control the skin draws, and what it
// may do with it: its role and name, a Press action, and a value it can
// read and set. Attached to the widget as a child object; the skin's
// accessibility factory (skin_accessibility.h) turns it into the control's
// accessible interface. The skin's own widgets attach theirs when made;
// a program attaches one to each control it draws itself. What the control
// does stays with whoever attached it: a press and a set value are handed
// back to it (the player sends them through its command table, like a
// click or a drag).

#include <QAccessible>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace qpt {

// A value a screen reader can read and set (a slider's).
struct AccessibleValue {
    std::function<double()> current;
    std::function<double()> maximum;
    std::function<void(double)> set;
    double minimum = 0;
    double step = 1;
};

class ControlAccess : public QObject {
    Q_OBJECT
public:
    // Attaches a description to a widget (replacing one it had) and drops
    // an interface the accessibility cache may already hold for it, so the
    // next query sees this one. Installs the skin's factory on first use.
    static ControlAccess* attach(QWidget* widget, QAccessible::Role role, std::function<QString()> name);
    // The description of an object, nullptr without one.
    static ControlAccess* of(const QObject* object);

    QAccessible::Role role() const { return m_role; }
    // A skinned window turns from dialog to frame when it becomes a
    // program's main window.
    void setRole(QAccessible::Role role) { m_role = role; }
    QString name() const { return m_name ? m_name() : QString(); }

    // The Press action; none unless set.
    std::function<void()> press;
    // Whether Press is offered now, asked each time (a caption label offers
    // it only while something answers its click); always when unset.
    std::function<bool()> offersPress;
    bool pressable() const { return press && (!offersPress || offersPress()); }
    // The keys that press the control while it has the focus.
    QStringList pressKeys{QStringLiteral("Space")};
    // A spoken description beyond the name (the tool tip when empty).
    std::function<QString()> description;
    // A value; none unless `value.current` is set.
    AccessibleValue value;
    bool hasValue() const { return bool(value.current); }
    // Shown for its look only (a text's shadow copy): passed over.
    bool decorative = false;

    // Tells screen readers of a change (a name, a value). Qt drops the event
    // while no screen reader listens; the witness, when set, hears it all
    // the same (tests).
    static void announce(QAccessibleEvent& event);
    static inline std::function<void(const QAccessibleEvent&)> witness;

private:
    ControlAccess(QWidget* widget, QAccessible::Role role, std::function<QString()> name);

    QAccessible::Role m_role;
    std::function<QString()> m_name;
};

}  // namespace qpt
