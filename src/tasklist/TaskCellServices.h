#pragma once

class DownloadRegistry;
class JobRunner;
class ThumbnailLoader;

// What the grid lends every cell: the runs of downloads, the job runner for work longer than
// a frame, and the thumbnails.
struct TaskCellServices {
    DownloadRegistry &downloads;
    JobRunner &jobs;
    ThumbnailLoader &thumbnails;
};
