#include "app/cp1252.h"
#include "app/helpers.h"
#include "app/money.h"
#include "app/settings.h"
#include "support/printers.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace kalinda;

namespace {

QString encodeOnce(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toBase64());
}

TEST(Base64Decode, DecodesStandardVectorsAndHonoursPadding) {
    EXPECT_EQ(Base64Decode(QStringLiteral("TWFu")), QStringLiteral("Man"));
    EXPECT_EQ(Base64Decode(QStringLiteral("TWE=")), QStringLiteral("Ma"));
    EXPECT_EQ(Base64Decode(QStringLiteral("TQ==")), QStringLiteral("M"));
    EXPECT_EQ(Base64Decode(QStringLiteral("Zm9vYmFy")), QStringLiteral("foobar"));
    EXPECT_EQ(Base64Decode(QString()), QString());
    // An unfinished group gives no bytes of its own.
    EXPECT_EQ(Base64Decode(QStringLiteral("TWFuTQ")), QStringLiteral("Man"));
}

TEST(Base64Decode, SkipsCharactersOutsideTheAlphabet) {
    EXPECT_EQ(Base64Decode(QStringLiteral("TW\r\nFu")), QStringLiteral("Man"));
    EXPECT_EQ(Base64Decode(QStringLiteral(" T-W.F*u ")), QStringLiteral("Man"));
    EXPECT_EQ(Base64Decode(QStringLiteral("Zm9v\nYmE=\n")), QStringLiteral("fooba"));
}

TEST(Base64Decode, TurnsBytesIntoTextAsUtf8) {
    EXPECT_EQ(Base64Decode(encodeOnce(QByteArray::fromHex("C3A9E282AC"))), QString::fromUtf8("é€"));
}

TEST(DecodeSetting, UndoesThreeRoundsOfBase64) {
    EXPECT_EQ(DecodeSetting(QStringLiteral("VFZSSk0weHFRWFZOUXpSNA==")),
              QStringLiteral("127.0.0.1"));
    const QByteArray plain = "kalinda-demo";
    EXPECT_EQ(DecodeSetting(encodeOnce(encodeOnce(encodeOnce(plain).toLatin1()).toLatin1())),
              QStringLiteral("kalinda-demo"));
}

TEST(DecodeSetting, BuiltInSettingsDecodeToThisBuildsValues) {
    const EncodedSettings& s = builtInSettings();
    EXPECT_EQ(DecodeSetting(s.user), QStringLiteral(KALINDA_TEST_USER));
    EXPECT_EQ(DecodeSetting(s.database), QStringLiteral(KALINDA_TEST_DBNAME));
    bool ok = false;
    DecodeSetting(s.portLocal).toInt(&ok);
    EXPECT_TRUE(ok);
    // Nothing of the plain values stands in the stored text.
    EXPECT_FALSE(s.user.contains(QStringLiteral(KALINDA_TEST_USER)));
    EXPECT_EQ(connectionProfiles()[2].listText, QStringLiteral("3 : Backup-1"));
}

// The office's account is read at run time, never from the build; a password file that every
// user may read is refused, and systemd's credential stands in for the file.
TEST(OfficeAccount, ComesFromTheSettingsFileAndAPasswordOnlyItsOwnerReads) {
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("kalinda")),
                  password = dir.filePath(QStringLiteral("audit-password"));
    const auto write = [](const QString& path, const QByteArray& text, QFile::Permissions mode) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.setPermissions(mode);
    };
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    const struct {
        QByteArray settings;
        QFile::Permissions mode;
        bool credential;
        const char* password;
        const char* problem;
    } cases[] = {
        {"KALINDA_AUDIT_USER=\"kantor\"\nKALINDA_AUDIT_PASSWORD_FILE=PW\n", owner, false,
         "rahasia 'x'", ""},
        {"KALINDA_AUDIT_USER=kantor\nKALINDA_AUDIT_PASSWORD_FILE=PW\n", owner | QFile::ReadOther,
         false, "", "may be read by every user"},
        {"#KALINDA_AUDIT_USER=kantor\nKALINDA_AUDIT_PASSWORD_FILE=PW\n", owner, false, "",
         "no office account"},
        {"KALINDA_AUDIT_USER=kantor\nKALINDA_AUDIT_PASSWORD_FILE=PW-missing\n", owner, false, "",
         "cannot read"},
        {"KALINDA_AUDIT_USER=kantor\nKALINDA_AUDIT_PASSWORD_FILE=PW-missing\n", owner, true,
         "dari systemd", ""},
    };
    for (const char* name : {"KALINDA_AUDIT_USER", "KALINDA_AUDIT_PASSWORD_FILE"})
        qunsetenv(name);
    for (const auto& c : cases) {
        write(settings, QByteArray(c.settings).replace("PW", password.toUtf8()), owner);
        write(password, "rahasia 'x'\n", c.mode);
        write(dir.filePath(QStringLiteral("kalinda-audit-password")), "dari systemd", owner);
        if (c.credential)
            qputenv("CREDENTIALS_DIRECTORY", dir.path().toUtf8());
        else
            qunsetenv("CREDENTIALS_DIRECTORY");
        const OfficeAccount account = officeAccount(settings);
        EXPECT_EQ(account.password, QLatin1String(c.password)) << c.settings.constData();
        EXPECT_TRUE(account.problem.contains(QLatin1String(c.problem)) &&
                    account.problem.isEmpty() == !*c.problem)
            << account.problem.toStdString();
        EXPECT_EQ(account.user, account.problem.startsWith("no") ? "" : "kantor");
    }
    qunsetenv("CREDENTIALS_DIRECTORY");
}

TEST(Cp1252, RoundTripsAndMarksWhatDoesNotMap) {
    EXPECT_EQ(toCp1252(QString::fromUtf8("Rp. 1.500 – Aïda €")), QByteArray("Rp. 1.500 \x96 A\xEF"
                                                                            "da \x80"));
    EXPECT_EQ(toCp1252(QString::fromUtf8("漢字😀")), QByteArray("???"));
    EXPECT_EQ(fromCp1252(toCp1252(QString::fromUtf8("Ma'ruf é"))), QString::fromUtf8("Ma'ruf é"));
}

TEST(GetToken, CutsProfileAndProductEntries) {
    const QString entry = QStringLiteral("1 : Lokal");
    EXPECT_EQ(GetToken(entry, QStringLiteral(":"), 1), QStringLiteral("1"));
    EXPECT_EQ(GetToken(entry, QStringLiteral(":"), 2), QStringLiteral("Lokal"));
    int last = -1;
    EXPECT_EQ(GetToken(entry, QStringLiteral(":"), last), QStringLiteral("Lokal"));
    EXPECT_EQ(last, 2); // written back
    EXPECT_EQ(GetToken(entry, QStringLiteral(":"), 3), QString());
    EXPECT_EQ(GetToken(entry, QStringLiteral(":"), 0), QString());
    EXPECT_EQ(GetToken(QString(), QStringLiteral(":"), 1), QString());
}

TEST(GetToken, TextWithoutSeparatorIsTheWholeText) {
    EXPECT_EQ(GetToken(QStringLiteral(" Lokal "), QStringLiteral(":"), 1), QStringLiteral("Lokal"));
    EXPECT_EQ(GetToken(QStringLiteral(" Lokal "), QStringLiteral(":"), 5),
              QStringLiteral(" Lokal "));
}

TEST(GetToken, PositionFarBelowZeroGivesEmptyText) {
    int position = -3; // two tokens: -1 and -2 are the only valid negatives
    EXPECT_EQ(GetToken(QStringLiteral("a:b"), QStringLiteral(":"), position), QString());
    EXPECT_EQ(GetToken(QStringLiteral("a:b"), QStringLiteral(":"), -2), QStringLiteral("a"));
    EXPECT_EQ(GetToken(QStringLiteral("a:b"), QStringLiteral(":"), -100), QString());
    // Only blanks are trimmed.
    EXPECT_EQ(GetToken(QStringLiteral("K010 : Kertas: A4"), QStringLiteral(":"), 2),
              QStringLiteral("Kertas"));
}

TEST(SelectComboByKey, SelectsTheMatchingEntryOrNone) {
    QComboBox combo;
    for (const auto& p : connectionProfiles())
        combo.addItem(p.listText);
    QString separator;
    int position = 0;
    EXPECT_EQ(SelectComboByKey(QStringLiteral("3"), &combo, separator, position), 0);
    EXPECT_EQ(combo.currentText(), QStringLiteral("3 : Backup-1"));
    EXPECT_EQ(separator, QStringLiteral(":"));
    EXPECT_EQ(position, 1);
    SelectComboByKey(QStringLiteral("9"), &combo, separator, position);
    EXPECT_EQ(combo.currentIndex(), -1);
    SelectComboByKey(QStringLiteral("1"), &combo, separator, position);
    EXPECT_EQ(combo.currentIndex(), 0);

    QComboBox empty;
    EXPECT_EQ(SelectComboByKey(QStringLiteral("1"), &empty, separator, position), 0);
}

struct MoneyCase {
    const char* locale;
    qint64 amount;
    const char* shown;
};

TEST(Money, FormatsWithTheLocalesGrouping) {
    const MoneyCase cases[] = {
        {"id_ID", 0, "0"},
        {"id_ID", 999, "999"},
        {"id_ID", 1000, "1.000"},
        {"id_ID", 1234567, "1.234.567"},
        {"id_ID", -15000, "-15.000"},
        {"en_US", 1234567, "1,234,567"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatRupiah(c.amount, QLocale(QString::fromLatin1(c.locale))),
                  QString::fromLatin1(c.shown))
            << c.locale << " " << c.amount;
    }
    // The default locale of the tests is Indonesian, as on the kiosks.
    EXPECT_EQ(formatRupiah(2500), QStringLiteral("2.500"));
}

TEST(Money, ReadsShownAmountsBack) {
    const QLocale id(QStringLiteral("id_ID"));
    const QLocale en(QStringLiteral("en_US"));
    EXPECT_EQ(parseRupiah(QStringLiteral("1.234.567"), id), 1234567);
    EXPECT_EQ(parseRupiah(QStringLiteral("1234567"), id), 1234567);
    EXPECT_EQ(parseRupiah(QStringLiteral(" 15.000 "), id), 15000);
    EXPECT_EQ(parseRupiah(QStringLiteral("-500"), id), -500);
    EXPECT_EQ(parseRupiah(QStringLiteral("0"), id), 0);
    EXPECT_EQ(parseRupiah(QStringLiteral("12,5"), id), 13);
    EXPECT_EQ(parseRupiah(QStringLiteral("12,4"), id), 12);
    EXPECT_EQ(parseRupiah(QStringLiteral("1,234,567"), en), 1234567);
    EXPECT_EQ(parseRupiah(QStringLiteral("1,234.5"), en), 1235);
    // Round trip of the display form.
    EXPECT_EQ(parseRupiah(formatRupiah(987654321, id), id), 987654321);
}

TEST(Money, ReportsTextThatIsNotANumber) {
    const QLocale id(QStringLiteral("id_ID"));
    for (const char* bad :
         {"", " ", "abc", "12a", ".", "1..2", "1.", "-", "1,2,3", "Rp", "99999999999999999999"}) {
        EXPECT_FALSE(parseRupiah(QString::fromLatin1(bad), id).has_value()) << bad;
    }
}

TEST(FormatTextBoxNumber, RegroupsWhileTypingWithTheCaretAtTheEnd) {
    QLineEdit box;
    QObject::connect(&box, &QLineEdit::textChanged, &box, [&box] { FormatTextBoxNumber(&box); });
    QTest::keyClicks(&box, QStringLiteral("1234567"));
    EXPECT_EQ(box.text(), QStringLiteral("1.234.567"));
    EXPECT_EQ(box.cursorPosition(), 9);
    box.setText(QString());
    EXPECT_EQ(box.text(), QString());
    box.setText(QStringLiteral("abc"));
    EXPECT_EQ(box.text(), QStringLiteral("abc"));
    box.setText(QStringLiteral("0"));
    SelectAllText(&box);
    QTest::keyClicks(&box, QStringLiteral("25000"));
    EXPECT_EQ(box.text(), QStringLiteral("25.000"));
}

TEST(MacAddress, WritesTwoUpperCaseDigitsPerByte) {
    EXPECT_EQ(FormatMacAddress(QByteArray::fromHex("000CFF0a0b01")),
              QStringLiteral("00-0C-FF-0A-0B-01"));
    EXPECT_EQ(FormatMacAddress(QByteArray(6, '\0')), QString());
}

// The address as the kernel lists it, not as Qt reports it; empty when it has none.
QString kernelMacAddress(const QString& interfaceName) {
    QFile file(QStringLiteral("/sys/class/net/%1/address").arg(interfaceName));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QString mac = QString::fromLatin1(file.readAll().trimmed()).toUpper();
    mac.replace(QLatin1Char(':'), QLatin1Char('-'));
    return mac == QStringLiteral("00-00-00-00-00-00") ? QString() : mac;
}

TEST(MacAddress, FindsThisMachinesInterfacesAndRefusesTheRest) {
    QString mac = QStringLiteral("unchanged");
    EXPECT_FALSE(GetMacAddress(QStringLiteral("0.0.0.0"), mac));
    EXPECT_FALSE(GetMacAddress(QStringLiteral("not an address"), mac));
    EXPECT_FALSE(GetMacAddress(QStringLiteral("127.0.0.1"), mac)); // loopback has no address
    EXPECT_EQ(mac, QStringLiteral("unchanged"));
    int found = 0;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        const QString expected = kernelMacAddress(iface.name());
        for (const QNetworkAddressEntry& e : iface.addressEntries()) {
            if (expected.isEmpty() || e.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            ASSERT_TRUE(GetMacAddress(e.ip().toString(), mac)) << iface.name().toStdString();
            EXPECT_EQ(mac, expected);
            ++found;
        }
    }
    if (found == 0)
        GTEST_SKIP() << "no interface here has an IPv4 address and a hardware address";
}

} // namespace
