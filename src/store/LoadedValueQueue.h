#pragma once

#include <deque>
#include <memory>

class XManagedObject;

// The lazily loaded values (thumbnails, descriptions) currently held in memory, oldest
// first, so that scrolling through a long history does not end up holding all of them.
class LoadedValueQueue
{
public:
    explicit LoadedValueQueue(std::size_t capacity) : m_capacity(capacity) {}

    void add(const std::shared_ptr<XManagedObject> &object, int slot);
    // Called under the context's lock: forgets the oldest values beyond the capacity. A
    // value that was set and not yet saved is never forgotten.
    template <typename Forget> void trim(Forget forget)
    {
        while (m_entries.size() > m_capacity) {
            const Entry entry = m_entries.front();
            m_entries.pop_front();
            if (const auto object = entry.object.lock()) forget(*object, entry.slot);
        }
    }

private:
    struct Entry {
        std::weak_ptr<XManagedObject> object;
        int slot;
    };
    std::size_t m_capacity;
    std::deque<Entry> m_entries;
};
