#include "store/XTask.h"

using Type = AttributeDescription::Type;

XTask::XTask() : XManagedObject(entity()) {}

std::shared_ptr<XManagedObject> XTask::make()
{
    return std::shared_ptr<XManagedObject>(new XTask);
}

const EntityDescription &XTask::entity()
{
    // In the order of the Attribute enumeration.
    static const EntityDescription description(
        0, QStringLiteral("XTask"),
        {
            {QStringLiteral("createDate"), Type::Date},
            {QStringLiteral("completedDate"), Type::Date},
            {QStringLiteral("url"), Type::Text},
            {QStringLiteral("browers"), Type::Text},
            {QStringLiteral("source_description"), Type::Text, true},
            {QStringLiteral("note"), Type::Text},
            {QStringLiteral("localFile"), Type::Text},
            {QStringLiteral("thumbnail"), Type::Blob, true},
            {QStringLiteral("status"), Type::Integer},
            {QStringLiteral("tryBestVideo"), Type::Boolean},
            {QStringLiteral("mustMP4Format"), Type::Boolean},
            {QStringLiteral("failed_reason"), Type::Text},
            {QStringLiteral("videoWidth"), Type::Integer},
            {QStringLiteral("videoHeight"), Type::Integer},
            {QStringLiteral("videoEncodeName"), Type::Text},
            {QStringLiteral("duration"), Type::Float},
            {QStringLiteral("partialFiles"), Type::Text},
        },
        &XTask::make);
    return description;
}
