#pragma once

// Makes each task cell a list item for screen readers, named by what it shows.
class TaskCellAccessibility
{
public:
    // Once per process; later calls do nothing.
    static void install();
};
