// The resource database: files of sections with key=value lines
//
//   ; a comment
//   [Header]
//   OutputDirectory=/srv/out
//
// A database is opened on one file, searched and modified in memory, and
// written back with rdb_flush. Sections and keys keep their order (a new
// key goes to the end of its section, a new section to the end of the file);
// comments survive an edit. Section and key names compare without regard to
// ASCII letter case. Blank space around a key, a value and the "=" is not
// part of them; lines that are neither a section, a key=value line nor a
// comment are ignored and not written back.
//
// rdb_flush replaces the file atomically: the new text goes to a temporary
// file beside it, is flushed to disk and renamed over the file, so a crash
// never leaves a half-written file.
//
// Errors: rdb_open_push answers null for a file it can't open. Every other
// failure (a null handle or text, a name or value the file can't hold, a
// file that can't be written) raises a std::exception whose text says what
// failed.
#pragma once

struct rdb_database;
typedef rdb_database* RDB_HANDLE;

// Opens the file at `path` (UTF-8) and answers its handle, or null when the
// file can't be opened: missing, unreadable, not a regular file, or holding
// a terminator byte (not text). `status`, when given, receives 0 on success,
// else the errno value of the failure (EINVAL for a file that is not text).
RDB_HANDLE rdb_open_push(const char* path, int* status);

// Points `*value` at the text of `key` in `section` and answers 0; for a
// missing key (or section) it points at the empty text and answers 1. The
// text stays valid until the key is modified or the handle is closed.
int rdb_search(RDB_HANDLE handle, const char* section, const char* key, const char** value);

// Sets `key` in `section` to `value`, adding the section and the key when
// missing; answers 0. Refuses (std::invalid_argument) what the file can't
// hold: a line break in any of the three, an empty key, a key holding "="
// or starting with "[", ";", "#" or a byte order mark, a section name
// holding "]", and names and values with blank space at either end.
int rdb_modify(RDB_HANDLE handle, const char* section, const char* key, const char* value);

// Writes the database back into its file (atomically, see above); answers 0.
int rdb_flush(RDB_HANDLE handle);

// Releases the handle; changes not flushed are dropped. A null handle is
// ignored (answers 1); else answers 0.
int rdb_close(RDB_HANDLE handle);
