-- The task history ("XTaskModel"). Each "-- version N" section takes a database from
-- version N-1 to version N (PRAGMA user_version); a new database runs every section in order.
--
-- Columns are named after the record attributes. NULL is an absent value. Dates are
-- milliseconds since 1970 (UTC), booleans 0 or 1. Large values (thumbnails, descriptions)
-- live in tables of their own, "<entity>_<attribute>" with one row per record that has one,
-- so that listing the history never reads them.

-- version 1
CREATE TABLE XTask (
    id INTEGER PRIMARY KEY,
    createDate INTEGER,
    completedDate INTEGER,
    url TEXT,
    browers TEXT,
    note TEXT,
    localFile TEXT,
    status INTEGER,
    tryBestVideo INTEGER,
    mustMP4Format INTEGER,
    failed_reason TEXT,
    videoWidth INTEGER,
    videoHeight INTEGER,
    videoEncodeName TEXT,
    duration REAL
);
CREATE TABLE XTask_source_description (
    owner INTEGER PRIMARY KEY REFERENCES XTask(id) ON DELETE CASCADE,
    value TEXT
);
CREATE TABLE XTask_thumbnail (
    owner INTEGER PRIMARY KEY REFERENCES XTask(id) ON DELETE CASCADE,
    value BLOB
);
-- Removing a task does not remove its files by itself: the store deletes them explicitly.
CREATE TABLE XFile (
    id INTEGER PRIMARY KEY,
    task INTEGER REFERENCES XTask(id) ON DELETE SET NULL,
    url TEXT,
    localFile TEXT,
    name TEXT,
    videoEncodeName TEXT,
    width INTEGER,
    height INTEGER,
    duration REAL
);
CREATE INDEX XFile_task ON XFile(task);
CREATE TABLE XFile_source_description (
    owner INTEGER PRIMARY KEY REFERENCES XFile(id) ON DELETE CASCADE,
    value TEXT
);
CREATE TABLE XFile_thumbnail (
    owner INTEGER PRIMARY KEY REFERENCES XFile(id) ON DELETE CASCADE,
    value BLOB
);

-- version 2
-- File names are searched through a folded copy (decomposed, without combining marks,
-- case-folded). SQLite cannot fold beyond ASCII, so the application fills the column
-- after this section and keeps it whenever a name is written.
ALTER TABLE XFile ADD COLUMN name_folded TEXT;

-- version 3
-- Ids are never given twice (people name tasks by id): the highest id a removed row had is
-- kept per table, and a new row gets an id above it and above every row there.
CREATE TABLE RowIdFloor (
    tableName TEXT PRIMARY KEY,
    highest INTEGER NOT NULL
);
CREATE TRIGGER XTask_keeps_its_ids AFTER DELETE ON XTask BEGIN
    INSERT INTO RowIdFloor (tableName, highest) VALUES ('XTask', OLD.id)
        ON CONFLICT (tableName) DO UPDATE SET highest = max(highest, excluded.highest);
END;
CREATE TRIGGER XFile_keeps_its_ids AFTER DELETE ON XFile BEGIN
    INSERT INTO RowIdFloor (tableName, highest) VALUES ('XFile', OLD.id)
        ON CONFLICT (tableName) DO UPDATE SET highest = max(highest, excluded.highest);
END;

-- version 4
-- What a download named and never finished (its ".part" pieces), recorded with the task so
-- that removing the task removes them too: paths joined by line feeds, absent when none.
ALTER TABLE XTask ADD COLUMN partialFiles TEXT;
-- Removal asks whether another task names a path: by file record, by legacy file list and by
-- partial file list. Only a few tasks have either list, and these indexes hold just those.
CREATE INDEX XFile_localFile ON XFile(localFile);
CREATE INDEX XTask_with_legacy_list ON XTask(id) WHERE localFile IS NOT NULL;
CREATE INDEX XTask_with_partial_files ON XTask(id) WHERE partialFiles IS NOT NULL;
