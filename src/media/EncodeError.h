#pragma once

#include <QString>

// Why a re-encode ended without a result: the domain is the text shown to the user.
struct EncodeError {
    QString domain;
    int code = -1;
    QString detail; // the platform's description where there is one

    QString description() const
    {
        const QString base = QStringLiteral("%1 (%2)").arg(domain).arg(code);
        return detail.isEmpty() ? base : base + QStringLiteral(": ") + detail;
    }
};
