// Signed release manifests: the reader's strictness, signatures made here
// and by the openssl command, what a manifest backs, the trusted keys, and
// the publisher's tool as a process.

#include "internet/update/release_crypto.h"
#include "internet/update/release_keys.h"
#include "internet/update/release_manifest.h"
#include "local_servers.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using namespace qpt::internet::release;
using qpt::test::TestEnv;

namespace {

const QByteArray kDigest(64, 'a');

QByteArray manifestText(const QByteArray& images = "image option.dat v1.01 1234 " + kDigest + "\n",
                        const QByteArray& times = "issued 2026-12-01T10:00:00Z\nvalid-until 2026-12-31T10:00:00Z\n")
{
    return "Quorbel Player Tirk release 1\n" + times + images;
}

QDateTime at(const char* text)
{
    return *parseManifestTime(QLatin1String(text));
}

ReleaseManifest manifestOf(const QString& version)
{
    return {at("2026-12-01T10:00:00Z"), at("2026-12-31T10:00:00Z"),
            {{QStringLiteral("option.dat"), version, 4, sha256("abcd")}}};
}

// Runs a program to its end, bounded in time; the exit code, or -1.
int runTool(const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("timeout"),
                  QStringList{QStringLiteral("30"), QStringLiteral(QPT_BUILD_DIR "/tools/qpt-release")} + arguments);
    if (!process.waitForFinished(40000))
        return -1;
    if (output)
        *output = process.readAll();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}  // namespace

class TestRelease : public QObject {
    Q_OBJECT
private slots:
    // Only the exact form is a manifest: a byte out of place is refused.
    void manifestReader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        const QByteArray image = "image option.dat v1.01 1234 " + kDigest + "\n";
        QTest::newRow("as written") << manifestText() << true;
        QTest::newRow("three images") << manifestText(image + "image Internet.dat v2 1 " + kDigest + "\n"
                                                      + "image QuorbelPlayerTirk.exe v1.0.0.9 99 " + kDigest + "\n")
                                      << true;
        QTest::newRow("CR LF") << QByteArray(manifestText()).replace("\n", "\r\n") << false;
        QTest::newRow("no last line end") << manifestText().chopped(1) << false;
        QTest::newRow("two blanks") << manifestText("image option.dat  v1.01 1234 " + kDigest + "\n") << false;
        QTest::newRow("upper-case digest") << manifestText("image option.dat v1.01 1234 " + QByteArray(64, 'A') + "\n") << false;
        QTest::newRow("short digest") << manifestText("image option.dat v1.01 1234 " + QByteArray(63, 'a') + "\n") << false;
        QTest::newRow("size with a leading zero") << manifestText("image option.dat v1.01 01234 " + kDigest + "\n") << false;
        QTest::newRow("size zero") << manifestText("image option.dat v1.01 0 " + kDigest + "\n") << false;
        QTest::newRow("size beyond 1 TiB") << manifestText("image option.dat v1.01 1099511627777 " + kDigest + "\n") << false;
        QTest::newRow("negative size") << manifestText("image option.dat v1.01 -4 " + kDigest + "\n") << false;
        QTest::newRow("the same image twice") << manifestText(image + image) << false;
        QTest::newRow("hidden name") << manifestText("image .option v1.01 1234 " + kDigest + "\n") << false;
        QTest::newRow("name with a folder") << manifestText("image ../option.dat v1.01 1234 " + kDigest + "\n") << false;
        QTest::newRow("version without v") << manifestText("image option.dat 1.01 1234 " + kDigest + "\n") << false;
        QTest::newRow("version of five numbers") << manifestText("image option.dat v1.2.3.4.5 1 " + kDigest + "\n") << false;
        QTest::newRow("version with letters") << manifestText("image option.dat v1.01b 1 " + kDigest + "\n") << false;
        QTest::newRow("no image") << manifestText(QByteArray()) << false;
        QByteArray seventeen;
        for (int i = 0; i < 17; ++i)
            seventeen += "image f" + QByteArray::number(i) + " v1 1 " + kDigest + "\n";
        QTest::newRow("seventeen images") << manifestText(seventeen) << false;
        QTest::newRow("valid before issued")
            << manifestText(image, "issued 2026-12-01T10:00:00Z\nvalid-until 2026-12-01T10:00:00Z\n") << false;
        QTest::newRow("31 April") << manifestText(image, "issued 2026-04-31T10:00:00Z\nvalid-until 2026-12-31T10:00:00Z\n")
                                  << false;
        QTest::newRow("24 o'clock") << manifestText(image, "issued 2026-12-01T24:00:00Z\nvalid-until 2026-12-31T10:00:00Z\n")
                                    << false;
        QTest::newRow("local time") << manifestText(image, "issued 2026-12-01T10:00:00+01:00\nvalid-until 2026-12-31T10:00:00Z\n")
                                    << false;
        QTest::newRow("lines swapped") << manifestText(image, "valid-until 2026-12-31T10:00:00Z\nissued 2026-12-01T10:00:00Z\n")
                                       << false;
        QTest::newRow("another header") << QByteArray(manifestText()).replace("release 1", "release 2") << false;
        QTest::newRow("a byte above 127") << QByteArray(manifestText()).replace("option", "opti\xc3\xb6n") << false;
        QTest::newRow("a zero byte") << QByteArray(manifestText()).replace("option", QByteArray("opt\0on", 6)) << false;
        QTest::newRow("larger than 16 KiB") << manifestText(image + QByteArray(16 * 1024, '\n')) << false;
    }
    void manifestReader()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        const auto manifest = parseManifest(bytes);
        QCOMPARE(manifest.has_value(), accepted);
        // What is read is what was written, byte for byte.
        if (manifest)
            QCOMPARE(writeManifest(*manifest), bytes);
    }

    void versions()
    {
        QCOMPARE(versionNumbers(QStringLiteral("v1.01")), (std::optional<QList<quint32>>{{1, 1}}));
        QVERIFY(!versionNumbers(QStringLiteral("v")));
        QVERIFY(!versionNumbers(QStringLiteral("v1..0")));
        QVERIFY(!versionNumbers(QStringLiteral("v1234567890")));
        const auto compare = [](const char* a, const char* b) {
            return compareVersions(*versionNumbers(QLatin1String(a)), *versionNumbers(QLatin1String(b)));
        };
        QCOMPARE(compare("v1.10", "v1.9"), 1);
        QCOMPARE(compare("v1.01", "v1.1"), 0);
        QCOMPARE(compare("v1.1", "v1.1.0"), 0);
        QCOMPARE(compare("v1.00", "v1.01"), -1);
        QCOMPARE(compare("v2", "v1.99.99"), 1);
    }

    // A signature holds for the exact bytes and the one key only; the
    // signature file is read only in its one exact form.
    void signatures()
    {
        const auto pair = generateKeyPair();
        const auto other = generateKeyPair();
        QVERIFY(pair && other);
        QCOMPARE(publicKeyOf(pair->privatePem), std::optional<QByteArray>(pair->publicKey));
        const QByteArray text = manifestText();
        const QByteArray signature = *sign(pair->privatePem, text);
        QVERIFY(verifySignature(pair->publicKey, text, signature));
        QVERIFY(!verifySignature(other->publicKey, text, signature));
        QByteArray changed = text;
        changed[40] = changed[40] ^ 1;
        QVERIFY(!verifySignature(pair->publicKey, changed, signature));
        QVERIFY(!verifySignature(pair->publicKey, text.chopped(1), signature));
        QVERIFY(!verifySignature(pair->publicKey, text, signature.chopped(1)));

        const QByteArray file = writeSignatureFile(signature);
        QCOMPARE(parseSignatureFile(file), std::optional<QByteArray>(signature));
        QCOMPARE(parseSignatureFile(file.chopped(1)), std::optional<QByteArray>(signature));  // without its line end
        QVERIFY(!parseSignatureFile(file.left(60)));
        QVERIFY(!parseSignatureFile(file.left(44) + "\n" + file.mid(44)));
        QVERIFY(!parseSignatureFile(" " + file));
        QVERIFY(!parseSignatureFile(file + "\n"));
        QVERIFY(!parseSignatureFile(QByteArray(64, 'A')));

        QCOMPARE(parsePublicKeyText(publicKeyText(pair->publicKey)), std::optional<QByteArray>(pair->publicKey));
        QVERIFY(!parsePublicKeyText(publicKeyText(pair->publicKey).chopped(2)));
    }

    // A key made and a manifest signed by the openssl command verify here:
    // the format is the standard one, not a private variant.
    void opensslInterplay()
    {
        QTemporaryDir dir;
        const auto run = [&](const QStringList& arguments) {
            QProcess process;
            process.setWorkingDirectory(dir.path());
            process.start(QStringLiteral("timeout"), QStringList{QStringLiteral("30"), QStringLiteral("openssl")} + arguments);
            return process.waitForFinished(40000) && process.exitCode() == 0;
        };
        const QByteArray text = manifestText();
        TestEnv::writeFile(dir.filePath(QStringLiteral("release.manifest")), text);
        QVERIFY(run({"genpkey", "-algorithm", "ed25519", "-out", "key.pem"}));
        QVERIFY(run({"pkeyutl", "-sign", "-rawin", "-inkey", "key.pem", "-in", "release.manifest", "-out", "sig.bin"}));
        const QByteArray pem = TestEnv::readFile(dir.filePath(QStringLiteral("key.pem")));
        const QByteArray signature = TestEnv::readFile(dir.filePath(QStringLiteral("sig.bin")));
        QCOMPARE(signature.size(), kSignatureBytes);
        QVERIFY(verifySignature(*publicKeyOf(pem), text, signature));
        // Ed25519 signatures are deterministic: ours are the same bytes.
        QCOMPARE(*sign(pem, text), signature);
    }

    void releaseVerdicts()
    {
        const auto pair = generateKeyPair();
        const auto other = generateKeyPair();
        const QByteArray text = manifestText();
        const QByteArray signature = writeSignatureFile(*sign(pair->privatePem, text));
        const QList<QByteArray> keys{other->publicKey, pair->publicKey};
        const QDateTime during = at("2026-12-15T00:00:00Z");
        const auto status = [&](const QByteArray& manifest, const QByteArray& sig, const QList<QByteArray>& trusted,
                                const QDateTime& now, const std::optional<QDateTime>& seen = std::nullopt) {
            return checkRelease(manifest, sig, trusted, now, seen).status;
        };
        QCOMPARE(status(text, signature, keys, during), ReleaseStatus::Trusted);
        QCOMPARE(status(text, signature, {other->publicKey}, during), ReleaseStatus::NotSigned);
        QCOMPARE(status(text.chopped(20), signature, keys, during), ReleaseStatus::NotSigned);
        QCOMPARE(status(text, signature.left(50), keys, during), ReleaseStatus::NotSigned);
        QCOMPARE(status(text, QByteArray(), keys, during), ReleaseStatus::NotSigned);
        QCOMPARE(status(text, signature, keys, at("2027-01-01T00:00:00Z")), ReleaseStatus::Expired);
        QCOMPARE(status(text, signature, keys, during, at("2026-12-02T00:00:00Z")), ReleaseStatus::Superseded);
        QCOMPARE(status(text, signature, keys, during, at("2026-12-01T10:00:00Z")), ReleaseStatus::Trusted);
        // A clock that is behind: a day's drift is taken; past the latest
        // manifest seen, time is that manifest's; more than a day before
        // the issue of a signed manifest, the clock is not believed.
        QCOMPARE(status(text, signature, keys, at("2026-11-30T12:00:00Z")), ReleaseStatus::Trusted);
        QCOMPARE(status(text, signature, keys, at("2026-11-29T12:00:00Z")), ReleaseStatus::ClockBehind);
        QCOMPARE(status(text, signature, keys, during, at("2027-01-05T00:00:00Z")), ReleaseStatus::Expired);
        // However long a manifest says it is valid, 90 days is the most.
        const QByteArray yearLong = manifestText("image option.dat v1.01 1234 " + kDigest + "\n",
                                                 "issued 2026-12-01T10:00:00Z\nvalid-until 2027-12-01T10:00:00Z\n");
        const QByteArray yearLongSignature = writeSignatureFile(*sign(pair->privatePem, yearLong));
        QCOMPARE(status(yearLong, yearLongSignature, keys, at("2027-02-27T00:00:00Z")), ReleaseStatus::Trusted);
        QCOMPARE(status(yearLong, yearLongSignature, keys, at("2027-03-02T00:00:00Z")), ReleaseStatus::Expired);
        const QByteArray nonsense("signed, but no manifest\n");
        QCOMPARE(status(nonsense, writeSignatureFile(*sign(pair->privatePem, nonsense)), keys, during),
                 ReleaseStatus::Unreadable);
    }

    // What the version file offers is installable only as the trusted
    // manifest lists it, and only when it is newer than what is installed.
    void offers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("signedVersion");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("published");
        QTest::addColumn<QString>("installed");
        QTest::addColumn<int>("backing");
        const int trusted = int(ReleaseStatus::Trusted);
        QTest::newRow("newer") << trusted << "v1.01" << "option.dat" << "v1.01" << "v1.00" << int(Backing::Installable);
        QTest::newRow("never recorded") << trusted << "v1.01" << "option.dat" << "v1.01" << "v" << int(Backing::Installable);
        // Not recorded is no way back behind the first release.
        QTest::newRow("never recorded, first release") << trusted << "v1.00" << "option.dat" << "v1.00" << "v"
                                                       << int(Backing::NotNewer);
        QTest::newRow("never recorded, older") << trusted << "v0.99" << "option.dat" << "v0.99" << ""
                                               << int(Backing::NotNewer);
        QTest::newRow("not listed") << trusted << "v1.01" << "Internet.dat" << "v1.01" << "v1.00" << int(Backing::NotListed);
        QTest::newRow("another version") << trusted << "v1.01" << "option.dat" << "v1.02" << "v1.00" << int(Backing::NotListed);
        QTest::newRow("the same") << trusted << "v1.00" << "option.dat" << "v1.00" << "v1.0" << int(Backing::NotNewer);
        QTest::newRow("older") << trusted << "v0.99" << "option.dat" << "v0.99" << "v1.00" << int(Backing::NotNewer);
        const std::pair<ReleaseStatus, const char*> refused[] = {
            {ReleaseStatus::Expired, "expired"}, {ReleaseStatus::Superseded, "replayed"},
            {ReleaseStatus::NotSigned, "not signed"}, {ReleaseStatus::Unreadable, "unreadable"},
            {ReleaseStatus::ClockBehind, "clock behind"}};
        for (const auto& [status, name] : refused) {
            QTest::newRow(name) << int(status) << "v1.01" << "option.dat" << "v1.01" << "v1.00"
                                << int(Backing::ReleaseRefused);
        }
    }
    void offers()
    {
        QFETCH(int, status);
        QFETCH(QString, signedVersion);
        QFETCH(QString, file);
        QFETCH(QString, published);
        QFETCH(QString, installed);
        QFETCH(int, backing);
        const ReleaseCheck release{ReleaseStatus(status), manifestOf(signedVersion)};
        const OfferCheck offer = checkOffer(release, file, published, installed);
        QCOMPARE(int(offer.backing), backing);
        if (offer.backing == Backing::Installable)
            QCOMPARE(offer.image.sha256, sha256("abcd"));
    }

    // The built-in key first, then those product.ini names; what is not a
    // key is passed over.
    void trustedKeysOfTheInstallation()
    {
        TestEnv env;
        QCOMPARE(trustedKeys(), QList<QByteArray>{builtInKey()});
        const auto pair = generateKeyPair();
        TestEnv::writeFile(env.app(QStringLiteral("product.ini")),
                           "[Product]\nReleaseKeys=" + publicKeyText(pair->publicKey) + ", not-a-key\n");
        QCOMPARE(trustedKeys(), (QList<QByteArray>{builtInKey(), pair->publicKey}));
    }

    // The publisher's tool: a key pair once, a signed manifest for a folder
    // of images, and a verification that finds a changed image.
    void releaseTool()
    {
        QTemporaryDir dir;
        const QString key = dir.filePath(QStringLiteral("release.key"));
        const QString pub = dir.filePath(QStringLiteral("release.pub"));
        QCOMPARE(runTool({"keygen", key, pub}), 0);
        QCOMPARE(QFile::permissions(key) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        QCOMPARE(runTool({"keygen", key, pub}), 2);  // never over an existing key

        const QString images = dir.filePath(QStringLiteral("images"));
        QDir().mkpath(images);
        TestEnv::writeFile(images + QStringLiteral("/option.dat"), "#!/bin/sh\necho option\n");
        TestEnv::writeFile(images + QStringLiteral("/Internet.dat"), "#!/bin/sh\necho internet\n");
        const QString manifest = dir.filePath(QStringLiteral("release.manifest"));
        QCOMPARE(runTool({"sign", key, images, manifest, "--version", "option.dat=v1.01"}), 2);  // one without a version
        // Only the one spelling of a version, and no more than 90 days.
        const QStringList versions{"--version", "option.dat=v1.01", "--version", "Internet.dat=v1.02"};
        for (const char* version : {"v1.1", "v1.010", "v01.01", "v1"}) {
            QCOMPARE(runTool(QStringList{"sign", key, images, manifest, "--version", "option.dat=v1.01", "--version",
                                         QStringLiteral("Internet.dat=") + QLatin1String(version)}),
                     2);
        }
        QCOMPARE(runTool(QStringList{"sign", key, images, manifest} + versions + QStringList{"--valid-days", "91"}), 2);
        QVERIFY(!QFile::exists(manifest));
        QCOMPARE(runTool(QStringList{"sign", key, images, manifest} + versions
                         + QStringList{"--issued", "2026-12-01T10:00:00Z", "--valid-days", "90"}),
                 0);
        const auto written = parseManifest(TestEnv::readFile(manifest));
        QVERIFY(written);
        QCOMPARE(written->issued, at("2026-12-01T10:00:00Z"));
        QCOMPARE(written->find(QStringLiteral("Internet.dat"))->version, QStringLiteral("v1.02"));
        QCOMPARE(written->find(QStringLiteral("option.dat"))->sha256, sha256("#!/bin/sh\necho option\n"));
        QCOMPARE(checkRelease(TestEnv::readFile(manifest), TestEnv::readFile(manifest + QStringLiteral(".sig")),
                              {*parsePublicKeyText(TestEnv::readFile(pub).trimmed())}, at("2026-12-02T00:00:00Z"),
                              std::nullopt)
                     .status,
                 ReleaseStatus::Trusted);

        QByteArray output;
        QCOMPARE(runTool({"verify", pub, manifest, "--folder", images}, &output), 0);
        TestEnv::writeFile(images + QStringLiteral("/option.dat"), "#!/bin/sh\necho Option\n");
        QCOMPARE(runTool({"verify", pub, manifest, "--folder", images}, &output), 1);
        QVERIFY(output.contains("option.dat: DOES NOT MATCH"));
        QByteArray text = TestEnv::readFile(manifest);
        TestEnv::writeFile(manifest, text.replace("v1.02", "v1.03"));
        QCOMPARE(runTool({"verify", pub, manifest}, &output), 2);
        QVERIFY(output.contains("not signed by this key"));
    }
};

QTEST_MAIN(TestRelease)
#include "test_release.moc"
