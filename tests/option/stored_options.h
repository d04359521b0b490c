#pragma once
// The six options as the settings store holds them, in the order of
// kOptionDefaults, for the Option program's tests.

#include "common/settings_store.h"

#include <QStringList>

namespace qpt::test {

inline const QStringList kDefaultOptions{"1", "1", "1", "2", "2", "2"};

inline void storeOptions(const QStringList& values)
{
    for (int i = 0; i < values.size(); ++i)
        SettingsStore::write(QLatin1String(kOptionDefaults[i].key), values[i]);
}

inline QStringList storedOptions()
{
    QStringList values;
    for (const OptionDefault& option : kOptionDefaults)
        values << SettingsStore::read(QLatin1String(option.key));
    return values;
}

}  // namespace qpt::test
