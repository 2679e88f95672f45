#include "store/LoadedValueQueue.h"

void LoadedValueQueue::add(const std::shared_ptr<XManagedObject> &object, int slot)
{
    m_entries.push_back({object, slot});
}
