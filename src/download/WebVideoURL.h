#pragma once

#include <QString>

// The new-task form's URL test, shared by every front end.
class WebVideoURL
{
public:
    // YES when the text has at least 5 characters and parses as a URL whose scheme, in any
    // case, is http or https.
    static bool isAvailableWebVideoURL(const QString &text);
};
