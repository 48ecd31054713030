#include "widgets/property_bag.h"

namespace kalinda {

PropertyBag::PropertyBag(const QVariantMap& values) {
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        write(it.key(), it.value());
}

QVariantMap::const_iterator PropertyBag::find(const QString& key) const {
    const auto exact = m_values.constFind(key);
    if (exact != m_values.cend())
        return exact;
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        if (it.key().compare(key, Qt::CaseInsensitive) == 0)
            return it;
    }
    return m_values.cend();
}

QVariant PropertyBag::read(const QString& key, const QVariant& absent) const {
    const auto it = find(key);
    return it == m_values.cend() ? absent : it.value();
}

bool PropertyBag::contains(const QString& key) const {
    return find(key) != m_values.cend();
}

void PropertyBag::write(const QString& key, const QVariant& value) {
    remove(key);
    m_values.insert(key, value);
}

void PropertyBag::write(const QString& key, const QVariant& value, const QVariant& defaultValue) {
    if (value != defaultValue) {
        write(key, value);
        return;
    }
    remove(key);
}

void PropertyBag::remove(const QString& key) {
    const auto it = find(key);
    if (it == m_values.cend())
        return;
    const QString saved = it.key(); // a copy: the node goes away
    m_values.remove(saved);
}

} // namespace kalinda
