#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

// The output names of one run, reserved in list order: a row gets the first of
// NAME.txt, NAME (2).txt, … that no row with another address has, so the names
// never depend on which page finishes first. Rows with the same address text
// share their name. Addresses and names are kept as 128-bit digests, so a long
// list costs a few dozen bytes a row.
class OutputNames
{
public:
    explicit OutputNames(QString extension = QStringLiteral(".txt")) : m_extension(std::move(extension)) {}

    // A row's name before numbering by the fixed rule, MakeOutputFileName's (with
    // `extension`, else the names' own).
    QString plainName(const QString &address, const QString &extension = {}) const;
    // The form in which addresses are told apart, as an archive writes them (the
    // form of a form is itself); by default the text.
    using AddressForm = std::function<QString(const QString &address)>;
    void setAddressForm(AddressForm form) { m_form = std::move(form); }

    // The row's name, from `plain` (its name before numbering) or else the fixed rule.
    QString reserve(const QString &address, const std::optional<QString> &plain = std::nullopt);
    // Marks the name as the address's (a name an earlier run of the same list
    // gave it); the address may be given in its form.
    void take(const QString &address, const QString &fileName);
    // True when the address got a number because its plain name was taken.
    bool numbered(const QString &address) const;

private:
    struct Key {
        quint64 high = 0;
        quint64 low = 0;
        bool operator==(const Key &other) const { return high == other.high && low == other.low; }
    };
    struct KeyHash {
        size_t operator()(const Key &key) const { return size_t(key.low ^ (key.high * 31)); }
    };
    static Key keyOf(const QString &text);
    Key addressKey(const QString &address) const { return keyOf(m_form ? m_form(address) : address); }

    QString m_extension;
    AddressForm m_form;
    std::unordered_map<Key, int, KeyHash> m_numberByAddress;
    std::unordered_set<Key, KeyHash> m_names;
    std::unordered_map<Key, int, KeyHash> m_nextNumber; // plain names already taken: where to go on
};
