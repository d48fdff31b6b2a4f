#include "sharedpictures.h"

#include <QCryptographicHash>

#include <algorithm>

namespace Export {

QByteArray SharedPictures::keyOf(const QString &address)
{
    // The digest keeps an entry small whatever the address's length.
    return QCryptographicHash::hash(address.toUtf8(), QCryptographicHash::Md5);
}

// Forgets the older half of the published addresses at once, so the sort is paid once
// per many new addresses. A download still awaited is never forgotten.
void SharedPictures::forgetOldest()
{
    std::vector<quint64> uses;
    uses.reserve(m_entries.size());
    for (const Entry &entry : std::as_const(m_entries)) {
        if (entry.published)
            uses.push_back(entry.lastUse);
    }
    if (uses.empty())
        return;
    const auto middle = uses.begin() + qsizetype(uses.size() / 2);
    std::nth_element(uses.begin(), middle, uses.end());
    const quint64 newestForgotten = *middle;
    m_entries.removeIf([newestForgotten](const QHash<QByteArray, Entry>::iterator &it) {
        return it->published && it->lastUse <= newestForgotten;
    });
}

bool SharedPictures::claim(const QString &address, Ready ready)
{
    QMutexLocker locker(&m_mutex);
    const QByteArray key = keyOf(address);
    const auto found = m_entries.find(key);
    if (found == m_entries.end()) {
        if (m_entries.size() >= m_remembered)
            forgetOldest();
        m_entries.insert(key, Entry{.lastUse = ++m_clock});
        return true;
    }
    found->lastUse = ++m_clock;
    if (!found->published) {
        found->waiting.push_back(std::move(ready));
        return false;
    }
    const FetchedPicture fetched = found->fetched;
    locker.unlock();
    ready(fetched);
    return false;
}

void SharedPictures::publish(const QString &address, const FetchedPicture &fetched)
{
    std::vector<Ready> waiting;
    FetchedPicture published;
    {
        QMutexLocker locker(&m_mutex);
        Entry &entry = m_entries[keyOf(address)];
        entry.lastUse = ++m_clock;
        if (!entry.published) {
            entry.published = true;
            entry.fetched = fetched;
        } else if (entry.fetched.reason.isEmpty() && fetched.reason.isEmpty()) {
            if (entry.fetched.rawPath.isEmpty())
                entry.fetched.rawPath = fetched.rawPath;
            if (entry.fetched.stampedPath.isEmpty()) {
                entry.fetched.stampedPath = fetched.stampedPath;
                entry.fetched.unstamped = fetched.unstamped;
            }
        }
        waiting.swap(entry.waiting);
        published = entry.fetched;
    }
    // Outside the lock: a waiter may claim or publish in turn.
    for (const Ready &ready : waiting)
        ready(published);
}

} // namespace Export
