#pragma once

#include <functional>

// Runs fn later on the main thread (the "main queue"). Needs a QCoreApplication.
void dispatchMain(std::function<void()> fn);
