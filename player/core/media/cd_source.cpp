#include "player/core/media/cd_source.h"

#include "common/cd_address.h"

#include <gst/gst.h>
#include <sys/stat.h>

#include <mutex>

namespace qpt::media {

namespace {

constexpr const char* kImageReader = "cdiocddasrc";
constexpr const char* kDriveReader = "cdparanoiasrc";

}  // namespace

bool isCdUri(const QString& uri)
{
    return uri.startsWith(QLatin1String("cdda:"), Qt::CaseInsensitive);
}

bool readsCdImage(const QString& uri)
{
    if (!isCdUri(uri))
        return false;
    const auto address = cd::parse(uri.toUtf8());
    if (!address)
        return false;
    const QByteArray device = cd::deviceOf(*address);
    struct stat st {};
    return ::stat(device.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

void chooseCdSource(bool image)
{
    // Sessions open on threads of their own: one ranking at a time.
    static std::mutex mutex;
    static guint ownRank = 0;
    static bool known = false;
    const std::lock_guard lock(mutex);
    GstPluginFeature* reader = gst_registry_lookup_feature(gst_registry_get(), kImageReader);
    if (!reader)
        return;  // without it a drive is all there is to read
    if (!known) {
        ownRank = gst_plugin_feature_get_rank(reader);
        known = true;
    }
    guint rank = ownRank;
    if (image) {
        rank = GST_RANK_PRIMARY + 1;
        if (GstPluginFeature* drive = gst_registry_lookup_feature(gst_registry_get(), kDriveReader)) {
            rank = std::max(rank, gst_plugin_feature_get_rank(drive) + 1);
            gst_object_unref(drive);
        }
    }
    gst_plugin_feature_set_rank(reader, rank);
    gst_object_unref(reader);
}

}  // namespace qpt::media
