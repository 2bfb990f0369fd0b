/*
 * QRVLanguageDll: finds language files in a folder tree, tells their display
 * names, loads one file and hands out its item number / item text pairs.
 *
 * Language files are profile (INI) text files, UTF-16LE with byte-order mark
 * or UTF-8 (with or without one), whose "[App]" section holds lines
 * "number=text"; item 8888 is the language's display name.
 *
 * All texts are UTF-16 and zero-terminated; every buffer belongs to the
 * caller. Results are 1 for success and 0 for failure (the count excepted).
 * The library keeps one process-wide store; calls may come from any thread.
 */
#ifndef QRVLANGUAGEDLL_H
#define QRVLANGUAGEDLL_H

#include <stdint.h>

#if defined(QRVLANGUAGEDLL_BUILD)
#define QRVL_API __attribute__((visibility("default")))
#else
#define QRVL_API
#endif

#ifdef __cplusplus
extern "C" {
#else
#include <uchar.h> /* char16_t */
#endif

/* Lists the files below `folder` (searched breadth first, subfolders
 * included, symbolic links to folders not followed) whose names end in
 * `extension` (without the dot, e.g. u"lug"; compared without regard to case;
 * empty or u"*" lists every file), sorted by bare name without regard to case.
 * One trailing "/" of the folder is ignored. 1 when at least one file is
 * listed; 0 when none is, or when more than 4159 folders are pending at once
 * (the files found until then stay listed, unsorted). Keeps the loaded items. */
QRVL_API int32_t qmkHLSetLanguageFileFolderName(const char16_t* folder, const char16_t* extension);

/* Number of listed files (at most 32767). */
QRVL_API int16_t qmkHLGetLanguageFileCount(void);

/* The bare file name (name and extension) at `index`. `capacity` counts
 * characters without the terminator, so the buffer needs capacity + 1.
 * Index out of range: 0 and nothing written. Otherwise *length = the name's
 * length, and 0 when that is 0 or above capacity; else the name and its
 * terminator are written and the result is 1. */
QRVL_API int32_t qmkHLGetLanguageFileName(uint16_t index, char16_t* buffer, uint16_t capacity, uint16_t* length);

/* The display name of the file at `index`: its item 8888 with blanks and one
 * pair of quotes removed (at most 259 characters), else the file name up to
 * its first "." (empty for a name without "."). Buffer rules as above. */
QRVL_API int32_t qmkHLGetLanguageName(uint16_t index, char16_t* buffer, uint16_t capacity, uint16_t* length);

/* Loads the listed file at `index`. Index out of range: 0, nothing changes.
 * A file that can no longer be read: 0 and no items until the next load. */
QRVL_API int32_t qmkHLLoadContenFromFile_Index(uint16_t index);

/* Loads the file at `path` (zero-terminated; `pathLength` is not used).
 * 0 and no items until the next successful load when it cannot be read.
 * A file without "[App]" section loads with no items. */
QRVL_API int32_t qmkHLLoadContenFromFile_Point(const char16_t* path, uint16_t pathLength);

/* The loaded pair at position `index` (file order, from 0). Each text is at
 * most 799 characters, so buffers of 800 characters always suffice. 0 past
 * the end or when nothing is loaded. */
QRVL_API int32_t qmkHLGetContenItem(uint16_t index, char16_t* itemNumber, char16_t* itemText);

#ifdef __cplusplus
}
#endif

#endif /* QRVLANGUAGEDLL_H */
