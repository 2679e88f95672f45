#include "store/XFile.h"

#include "store/XTask.h"

using Type = AttributeDescription::Type;

XFile::XFile() : XManagedObject(entity()) {}

std::shared_ptr<XManagedObject> XFile::make()
{
    return std::shared_ptr<XManagedObject>(new XFile);
}

const EntityDescription &XFile::entity()
{
    // In the order of the Attribute enumeration.
    static const EntityDescription description(
        1, QStringLiteral("XFile"),
        {
            {QStringLiteral("url"), Type::Text},
            {QStringLiteral("localFile"), Type::Text},
            {QStringLiteral("name"), Type::Text, false, QStringLiteral("name_folded")},
            {QStringLiteral("source_description"), Type::Text, true},
            {QStringLiteral("thumbnail"), Type::Blob, true},
            {QStringLiteral("videoEncodeName"), Type::Text},
            {QStringLiteral("width"), Type::Integer},
            {QStringLiteral("height"), Type::Integer},
            {QStringLiteral("duration"), Type::Float},
            {QStringLiteral("task"), Type::Relation, false, QString(), &XTask::entity()},
        },
        &XFile::make);
    return description;
}

std::shared_ptr<XTask> XFile::task() const
{
    return std::static_pointer_cast<XTask>(relatedObject(Task));
}

void XFile::setTask(const std::shared_ptr<XTask> &task)
{
    setRelatedObject(Task, task);
}
