#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace kalinda {

// The saved property values of one control, as its form keeps them. Keys are matched
// without regard to case.
class PropertyBag final {
public:
    PropertyBag() = default;
    explicit PropertyBag(const QVariantMap& values);

    // The value saved under key, or absent when there is none.
    QVariant read(const QString& key, const QVariant& absent = {}) const;
    bool contains(const QString& key) const;

    // Saves value under key, replacing a key that differs only in case.
    void write(const QString& key, const QVariant& value);
    // As above, but a value equal to the default is not saved (and an old one is dropped).
    void write(const QString& key, const QVariant& value, const QVariant& defaultValue);

    const QVariantMap& values() const { return m_values; }

private:
    QVariantMap::const_iterator find(const QString& key) const;
    void remove(const QString& key);

    QVariantMap m_values;
};

} // namespace kalinda
