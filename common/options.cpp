#include "common/options.h"

#include "common/settings_store.h"

namespace qpt {

Options Options::read()
{
    const auto number = [](const char* key) { return SettingsStore::readNumber(QLatin1String(key)); };
    Options options;
    options.autoFileAss = number(keys::AutoFileAss);
    options.transPlayList = number(keys::TransPlayList);
    options.fadeOutCD = number(keys::FadeOutCD);
    options.minimizeSeparate = number(keys::MinimizeSeparate);
    options.autosavePlayList = number(keys::AutosavePlayList);
    options.osot = number(keys::OSOT);
    return options;
}

}  // namespace qpt
