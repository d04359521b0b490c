#include "common/options.h"

#include "common/settings_store.h"

#include <algorithm>
#include <iterator>

namespace qpt {

namespace {

struct Field {
    const char* key;
    std::optional<double> Options::*value;
};

// In the order of kOptionDefaults.
constexpr Field kFields[] = {
    {keys::AutoFileAss, &Options::autoFileAss},
    {keys::TransPlayList, &Options::transPlayList},
    {keys::FadeOutCD, &Options::fadeOutCD},
    {keys::MinimizeSeparate, &Options::minimizeSeparate},
    {keys::AutosavePlayList, &Options::autosavePlayList},
    {keys::OSOT, &Options::osot},
};
static_assert(std::size(kFields) == std::size(kOptionDefaults), "every option has a field");

}  // namespace

Options Options::read()
{
    Options options;
    for (const Field& field : kFields)
        options.*field.value = SettingsStore::readNumber(QLatin1String(field.key));
    return options;
}

bool Options::allSaved() const
{
    return std::all_of(std::begin(kFields), std::end(kFields),
                       [this](const Field& field) { return (this->*field.value).has_value(); });
}

bool Options::isOn(std::string_view key) const
{
    for (const Field& field : kFields) {
        if (key == field.key)
            return isOne(this->*field.value);
    }
    return false;
}

}  // namespace qpt
