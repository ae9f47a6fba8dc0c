#include "capture/OutputNames.h"

#include "capture/OutputFile.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <cstring>

OutputNames::Key OutputNames::keyOf(const QString &text)
{
    const QByteArray digest = QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char *>(text.utf16()), text.size() * 2), QCryptographicHash::Md5);
    Key key;
    std::memcpy(&key.high, digest.constData(), 8);
    std::memcpy(&key.low, digest.constData() + 8, 8);
    return key;
}

QString OutputNames::plainName(const QString &address, const QString &extension) const
{
    return MakeOutputFileName(address, extension.isEmpty() ? m_extension : extension);
}

QString OutputNames::reserve(const QString &address, const std::optional<QString> &plainGiven)
{
    const QString plain = plainGiven ? *plainGiven : plainName(address);
    const Key key = addressKey(address);
    const auto known = m_numberByAddress.find(key);
    if (known != m_numberByAddress.end())
        return NumberedOutputFileName(plain, known->second);
    const Key plainKey = keyOf(NumberedOutputFileName(plain, 1));
    int number = 1;
    if (m_names.count(plainKey)) {
        int &next = m_nextNumber.try_emplace(plainKey, 2).first->second;
        while (m_names.count(keyOf(NumberedOutputFileName(plain, next))))
            ++next;
        number = next++;
    }
    const QString name = NumberedOutputFileName(plain, number);
    m_names.insert(number == 1 ? plainKey : keyOf(name));
    m_numberByAddress.emplace(key, number);
    return name;
}

void OutputNames::take(const QString &address, const QString &fileName)
{
    static const QRegularExpression numbered(QStringLiteral(" \\((\\d{1,9})\\)(\\.[a-z]{2,4})?$"));
    const int number = qMax(1, numbered.match(fileName).captured(1).toInt());
    m_numberByAddress.emplace(addressKey(address), number);
    m_names.insert(keyOf(fileName));
}

bool OutputNames::numbered(const QString &address) const
{
    const auto known = m_numberByAddress.find(addressKey(address));
    return known != m_numberByAddress.end() && known->second > 1;
}
